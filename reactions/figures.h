// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "reactions/tops.h"

#include <QList>
#include <QPointF>
#include <QString>

#include <cstdint>
#include <cstddef>

#include <optional>
#include <vector>

/// The run's reaction figures as the personal-equation window words them.
namespace Reactions {

/// "Anticipations : 1 à la disparition, 0 à la réapparition", the run's
/// anticipated tops at each edge.
QString anticipationsText(const std::vector<TrialReactions> &trials);

/// The line an observer copies into a report, once both edges have a mean:
/// "Pour vos rapports : disparition 0.31 s ± 0.06 s (12 essais, moyenne à
/// ± 0.02 s), réapparition 0.30 s (1 essai) ; éclat 3, scintillation 3,
/// fondu 200 ms, bips ; 2026-12-08 TU." An edge with one reaction has no
/// "± ..."; the date is the run's start, UTC seconds. The empty text before
/// both edges have a mean.
QString reportLine(const EdgeFigures &disappearance, const EdgeFigures &reappearance,
                   const Conditions::ObservingConditions &conditions,
                   std::int64_t runStartUtcSeconds);

/// A mean is settled once its standard error is within this, seconds...
constexpr double SettledError = 0.02;
/// ...over this many trials at least.
constexpr std::int32_t LeastTrials = 10;

/// The standard error of the edge's mean, sigma / sqrt(n): none below two
/// reactions.
std::optional<double> standardError(const EdgeFigures &figures);

/// How many more trials would settle both means, taking each edge's
/// deviation as it is now: for each edge, the fewest reactions n with
/// sigma / sqrt(n) within SettledError, LeastTrials at least, less the
/// reactions it has; the larger of the two. 0 once both are settled.
std::int32_t trialsStillNeeded(const EdgeFigures &disappearance, const EdgeFigures &reappearance);

/// "Encore 7 essais pour des moyennes à ± 0.02 s près" until the means are
/// settled, then "Moyennes établies à ± 0.02 s près"; empty without any
/// reaction.
QString settlingText(const EdgeFigures &disappearance, const EdgeFigures &reappearance);

/// The edge's mean after each of its reactions, in the order of the trials:
/// (trial number, mean of the reactions up to it).
QList<QPointF> runningMeans(const std::vector<TrialReactions> &trials, Edge edge);

/// The trials made under one set of conditions, and how many.
struct ConditionSet
{
    Conditions::ObservingConditions conditions;
    std::int32_t trials = 0;
};

/// The run's sets of conditions, the latest used first, each with its
/// count of trials. Two trials share a set when their conditions are equal
/// as a whole.
std::vector<ConditionSet> conditionSets(const std::vector<TrialReactions> &trials);

/// Which of the sets the figures are of: the one the user picked, while the
/// run has it, otherwise the latest (the first).
std::size_t chosenSet(const std::vector<ConditionSet> &sets,
                      const std::optional<Conditions::ObservingConditions> &picked);

/// The set as the choice of conditions lists it: "éclat 3, scintillation 3,
/// fondu 200 ms, bips (28 essais)".
QString choiceText(const ConditionSet &set);

/// The trials made under the conditions, in their order.
std::vector<TrialReactions> trialsUnder(const std::vector<TrialReactions> &trials,
                                        const Conditions::ObservingConditions &conditions);

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
