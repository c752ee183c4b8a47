// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "detection/staircasechart.h"

#include "reactions/charts.h"

namespace Detection {

std::unique_ptr<StaircaseChart> loadStaircaseChart(QWidget *place)
{
    const auto newChart = reinterpret_cast<VelmarisNewStaircaseChart>(
        Reactions::chartsModuleEntry("velmarisNewStaircaseChart"));
    return std::unique_ptr<StaircaseChart>(newChart(place));
}

} // namespace Detection
