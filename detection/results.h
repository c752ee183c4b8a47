// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "detection/detection.h"
#include "detection/staircasechart.h"

#include <QString>
#include <QStringList>

#include <vector>

/// What the detection window says of a block (its figures from
/// figuresOf()): its result lines and advice, its chart, and the earlier
/// blocks' lines.
namespace Detection {

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
