// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "detection/detection.h"
#include "detection/staircasechart.h"

#include <QString>
#include <QStringList>

#include <vector>

/// What the detection window says of a block: its figures, its result
/// lines and advice, its chart, and the earlier blocks' lines.
namespace Detection {

struct BlockFigures
{
    int windows = 0;
    int withDrop = 0;
    int seen = 0;
    int withoutDrop = 0;
    /// Windows without a drop in which the user pressed all the same.
    int quietWindowsWithAlarm = 0;
    /// False alarms during the windows with a drop.
    int alarmsDuringDrops = 0;
    int reactions = 0;
    double meanReactionS = 0;
    Threshold threshold;
};

BlockFigures blockFigures(const std::vector<WindowOutcome> &outcomes, const Threshold &threshold);

/// Whether false alarms came in more than one window in five of those
/// without a drop.
bool manyFalseAlarms(int windowsWithAlarm, int windowsWithoutDrop);

/// The lines under the star field once a block ends: the threshold, the
/// false alarms, the reaction to the drops seen, then the advice.
QStringList resultLines(const BlockFigures &figures);

/// One earlier block as the list shows it: its start (UTC), its
/// conditions, its threshold and its false-alarm rate.
QString earlierBlockLine(const Log::LoggedBlock &block);

/// The chart's points, and the summary a screen reader gives of it.
StaircaseChartData chartData(const std::vector<WindowOutcome> &outcomes,
                             const Threshold &threshold);
QString chartSummary(const BlockFigures &figures, const StaircaseChartData &data);

} // namespace Detection
