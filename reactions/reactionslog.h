// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

/// The reactions log: one CSV line per trial with a top that counts,
/// appended as soon as the trial's tops are complete.
namespace ReactionsLog {

/// The log's name, relative to the working directory.
inline const char *const FileName = "reactions.csv";
inline const char *const HeaderLine =
    "date,duree_s,reaction_disparition_s,reaction_reapparition_s,tops_anticipes";

/// The line, without CR LF: the local date and time of the star's return
/// (in days, as the wall clock gives it) in ISO 8601 with milliseconds and
/// the offset from UTC, the true duration and the two reaction times in
/// seconds with three decimals (a reaction without its top is empty), and
/// the number of early tops. Plain ASCII.
QByteArray recordLine(double reappearanceDays, double duration,
                      std::optional<double> disappearanceReaction,
                      std::optional<double> reappearanceReaction, std::int32_t earlyTops);

/// Appends the line to the log at path as the run log is written.
void append(const QByteArray &line, const QString &path = QString::fromLatin1(FileName));

} // namespace ReactionsLog
