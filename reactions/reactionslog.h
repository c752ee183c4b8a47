// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "reactions/tops.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>

/// The reactions log: one CSV line per trial with a top that counts,
/// appended as soon as the trial's tops are complete. Its columns only ever
/// grow at the end.
namespace ReactionsLog {

/// The log's name, relative to the working directory.
inline const char *const FileName = "reactions.csv";
inline const char *const HeaderLine =
    "seance,essai,date_utc,duree_s,reaction_disparition_s,reaction_reapparition_s,"
    "anticipations_disparition,anticipations_reapparition,eclat,scintillation,fondu_ms,bips,"
    "annonce_s,prevue_disparition_s,prevue_reapparition_s";
/// Where the announcement's three columns start, from 0.
constexpr int AnnouncementColumn = 12;

/// The line, without CR LF, plain ASCII: the run's start and the star's
/// return in UTC (milliseconds since 1970; the run's start to the second,
/// the return to the millisecond, "YYYY-MM-DD HH:MM:SS[.mmm]", which
/// spreadsheets read as dates in any language), the trial's number, the
/// true duration and the two reaction times in seconds with three decimals
/// (a reaction without its top is empty), the anticipations at each
/// edge, and the trial's conditions: the Éclat and Scintillation steps, the
/// fade in ms, the pips (0 or 1), the announcement's standard deviation in
/// seconds (0 when unannounced) and the seconds announced for each edge
/// (empty when unannounced).
QByteArray recordLine(std::int64_t runStartUtcMs, std::int64_t returnUtcMs, double duration,
                      const Reactions::TrialReactions &trial);

/// A line's announcement, as its last three columns give it.
struct LineAnnouncement
{
    int annonce = 0; ///< the place in Conditions::AnnouncementSigmas
    std::optional<int> disappearance;
    std::optional<int> reappearance;
    bool operator==(const LineAnnouncement &other) const
    {
        return annonce == other.annonce && disappearance == other.disappearance
               && reappearance == other.reappearance;
    }
};

/// Reads the announcement from a line's fields from "annonce_s" on, count of
/// them (those after the third are left alone): a line written before these
/// columns existed has none, and is unannounced. None where a field has
/// another shape than recordLine() gives it, or an unannounced line has a
/// second announced.
std::optional<LineAnnouncement> readAnnouncement(const QByteArrayView *fields, int count);

/// Appends the line to the log at path as the run log is written. The
/// error's message names the file: "\"reactions.csv\" : " and the system's
/// text.
void append(const QByteArray &line, const QString &path = QString::fromLatin1(FileName));

} // namespace ReactionsLog
