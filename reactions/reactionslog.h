// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "reactions/tops.h"

#include <QByteArray>
#include <QString>

#include <cstdint>

/// The reactions log: one CSV line per trial with a top that counts,
/// appended as soon as the trial's tops are complete. Its columns only ever
/// grow at the end.
namespace ReactionsLog {

/// The log's name, relative to the working directory.
inline const char *const FileName = "reactions.csv";
inline const char *const HeaderLine =
    "seance,essai,date_utc,duree_s,reaction_disparition_s,reaction_reapparition_s,"
    "anticipations_disparition,anticipations_reapparition,eclat,scintillation,fondu_ms,bips";

/// The line, without CR LF, plain ASCII: the run's start and the star's
/// return in UTC (milliseconds since 1970; the run's start to the second,
/// the return to the millisecond, "YYYY-MM-DD HH:MM:SS[.mmm]", which
/// spreadsheets read as dates in any language), the trial's number, the
/// true duration and the two reaction times in seconds with three decimals
/// (a reaction without its top is empty), the anticipations at each
/// edge, and the trial's conditions: the Éclat and Scintillation steps, the
/// fade in ms and the pips (0 or 1).
QByteArray recordLine(std::int64_t runStartUtcMs, std::int64_t returnUtcMs, double duration,
                      const Reactions::TrialReactions &trial);

/// Appends the line to the log at path as the run log is written. The
/// error's message names the file: "\"reactions.csv\" : " and the system's
/// text.
void append(const QByteArray &line, const QString &path = QString::fromLatin1(FileName));

} // namespace ReactionsLog
