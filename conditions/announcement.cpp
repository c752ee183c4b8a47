// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "conditions/announcement.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Conditions {

int announcedSecond(std::int64_t edgeMs, double errorSeconds, std::int64_t earliestMs)
{
    const double rounded = std::floor(double(edgeMs) / 1000.0 + errorSeconds + 0.5);
    // The first whole second not before the earliest instant.
    const std::int64_t earliest = std::max<std::int64_t>(0, (earliestMs + 999) / 1000);
    const double largest = double(std::numeric_limits<int>::max());
    return int(std::clamp(rounded, double(earliest), largest));
}

AnnouncementFigures announcementFigures(std::int64_t sinceStartMs, bool returnNext,
                                        std::optional<int> announced)
{
    AnnouncementFigures figures;
    figures.elapsed = QStringLiteral("%1 s").arg(std::max<std::int64_t>(0, sinceStartMs) / 1000);
    if (announced) {
        const QChar edge = returnNext ? QLatin1Char('R') : QLatin1Char('D');
        figures.predicted = QStringLiteral("%1 prévue : %2 s").arg(edge).arg(*announced);
        figures.spoken = QStringLiteral("%1 prévue à %2 s").arg(edge).arg(*announced);
    }
    return figures;
}

} // namespace Conditions
