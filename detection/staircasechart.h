// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QList>
#include <QPointF>

#include <memory>
#include <optional>

class QWidget;

namespace Detection {

/// What the staircase's chart shows of a block: the drop of each window
/// with a drop (window from 1, magnitudes), seen or missed, the windows
/// without a drop, and the windows with false alarms.
struct StaircaseChartData
{
    int windows = 0;
    QList<QPointF> seen;
    QList<QPointF> missed;
    QList<int> withoutDrop;
    QList<int> falseAlarms;
    std::optional<double> thresholdMag;
};

/// The detection window's staircase chart, drawn by Qt Charts in the
/// charts' module that the personal-equation window loads too.
class StaircaseChart
{
public:
    virtual ~StaircaseChart() = default;
    virtual void show(const StaircaseChartData &data) = 0;
};

/// Builds the chart filling its place, the charts' module loaded the first
/// time; throws an Error naming the module when it cannot be loaded.
std::unique_ptr<StaircaseChart> loadStaircaseChart(QWidget *place);

} // namespace Detection

/// The module's entry point for it, named by its C name
/// "velmarisNewStaircaseChart".
using VelmarisNewStaircaseChart = Detection::StaircaseChart *(*)(QWidget *place);
