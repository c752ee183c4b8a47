// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "reactions/tops.h"

#include <QString>

#include <optional>
#include <vector>

/// The run's reaction figures as the personal-equation window words them.
namespace Reactions {

/// "Anticipations : 1 à la disparition, 0 à la réapparition", the run's
/// anticipated tops at each edge.
QString anticipationsText(const std::vector<TrialReactions> &trials);

/// The line an observer copies into a report, once both edges have a mean:
/// "Pour vos rapports : disparition 0.31 s ± 0.06 s (12 essais),
/// réapparition 0.25 s ± 0.05 s (11 essais)." An edge with one reaction
/// has no "± ..."; the empty text before both edges have a mean.
QString reportLine(const EdgeFigures &disappearance, const EdgeFigures &reappearance);

/// What the mean reactions do to a timed duration, which runs from the
/// disappearance top to the reappearance top: it carries the reappearance
/// reaction and loses the disappearance one. Empty without both edges.
QString durationEffect(const EdgeFigures &disappearance, const EdgeFigures &reappearance);

/// Below this many announced trials with a reaction at an edge, whether
/// the tops follow the announcement there is not judged.
constexpr int AnnouncementJudgedFrom = 3;

/// Where the tops of the announced trials fall from the announced seconds:
/// per edge, the mean of (top minus announced second) and its count.
/// "Vos tops suivent l'annonce : disparition +0.02 s (5 essais), ..." where
/// at an edge with AnnouncementJudgedFrom such trials or more the tops
/// spread less about the announced seconds than about the edges (the
/// reactions' sample deviation), which names that edge; "Vos tops par
/// rapport à la seconde annoncée : ..." otherwise; empty without an
/// announced trial with a reaction.
QString announcementSentence(const std::vector<TrialReactions> &trials);

} // namespace Reactions
