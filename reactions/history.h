// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "reactions/tops.h"

#include <QList>
#include <QPointF>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

/// The runs that the reactions log holds, read back for the observer's
/// progress from one run to the next.
namespace Reactions {

/// One run's reactions in brief, under one set of conditions: a run whose
/// trials were made under several has as many.
struct RunFigures
{
    std::int64_t startUtcSeconds = 0; ///< the run's start, UTC seconds since 1970
    Conditions::ObservingConditions conditions;
    std::int32_t trials = 0;          ///< trials with a top that counts
    std::int32_t disappearanceCount = 0;
    std::int32_t reappearanceCount = 0;
    double disappearanceMean = 0.0; ///< seconds, with its count above 0
    double reappearanceMean = 0.0;
};

struct History
{
    /// Each run's sets of conditions, in the order of their first lines.
    std::vector<RunFigures> runs;
    /// Lines that are not the log's lines: another header's, damaged ones.
    std::int32_t unreadableLines = 0;
    /// The first of them, from 1 in what was read; 0 without any.
    std::int64_t firstUnreadableLine = 0;
    /// The log is longer than what is read of it: its older runs are left
    /// out.
    bool olderLeftOut = false;
};

/// Of a longer log, only its first line (a header) and its last this many
/// bytes are read: at some 80 bytes a trial, the last hundreds of
/// thousands of trials.
constexpr std::int64_t HistoryReadBytes = std::int64_t(64) << 20;

/// Reads the text of a reactions log: one run per start and set of
/// conditions found in its lines.
/// A header (a line of column names) says where the columns are in the
/// lines after it, whatever their order and whatever other columns it
/// names; before any header, and after one that lacks a needed column (it
/// counts as unreadable), the log's own order holds. Empty lines and a
/// leading byte-order mark are passed over; any other line whose needed
/// columns do not each have their shape is counted as unreadable and left
/// out. The conditions' columns are not needed: an older log has none, and
/// a value that is missing or has no shape of its own reads as its default.
History parseHistory(const char *data, std::size_t size);

/// Reads the reactions log at path as parseHistory() does, its first line
/// and its last maxBytes at most. No file gives no runs. Throws InOutError,
/// naming the file, for one that cannot be read, that is no regular file
/// (it is not opened in a way that waits for a pipe's writer), or whose
/// lines are none of them the log's.
History readHistory(const QString &path, std::int64_t maxBytes = HistoryReadBytes);

/// The log's runs other than the one that started at the given time (whose
/// trials the program has already), newest first; a run's sets of
/// conditions the one first seen last.
std::vector<RunFigures> earlierRuns(const History &history, std::int64_t currentStartUtcSeconds);

/// How many of the runs started after the one at startUtcSeconds: the
/// current run's place among them, newest first. A run of the same second
/// counts as older.
int newerRunCount(const std::vector<RunFigures> &runs, std::int64_t startUtcSeconds);

/// This run's figures per set of conditions, the latest used first, as
/// the runs' rows give them.
std::vector<RunFigures> currentRuns(const std::vector<TrialReactions> &trials,
                                    std::int64_t startUtcSeconds);

/// The runs made under the conditions, in their order.
std::vector<RunFigures> runsUnder(const std::vector<RunFigures> &runs,
                                  const Conditions::ObservingConditions &conditions);

/// One edge's mean reactions run by run, oldest first, as the chart of the
/// runs draws them: x is the run's place from 1, runs without a reaction at
/// the edge are left out, and the current run, whose mean (if any) is
/// given, takes its place after the newerRuns newest earlier runs. The
/// earlier runs are newest first.
QList<QPointF> runMeans(const std::vector<RunFigures> &earlier, int newerRuns, Edge edge,
                        std::optional<double> currentMean);

} // namespace Reactions
