// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "main_window/eventtimes.h"

#include <algorithm>

namespace EventTimes {

namespace {
constexpr std::int64_t Millisecond = 1'000'000;
}

std::optional<std::int64_t> pressReading(std::uint64_t stamp, std::int64_t arrival)
{
    // The server's counter keeps only the low 32 bits of the milliseconds.
    const auto stamp32 = std::uint32_t(stamp);
    if (stamp32 == 0 || arrival < 0)
        return std::nullopt;
    const std::int64_t arrivalMs = arrival / Millisecond;
    // Milliseconds from the stamp to the arrival, across a wrap of the
    // counter; a stamp ahead of the arrival comes out near 2^32.
    const std::uint32_t ageMs = std::uint32_t(arrivalMs) - stamp32;
    if (std::int64_t(ageMs) * Millisecond > MaxAge)
        return std::nullopt;
    const std::int64_t made = (arrivalMs - ageMs) * Millisecond + Millisecond / 2;
    return std::min(made, arrival);
}

bool platformStampsEvents(const QString &platform)
{
    return platform == QLatin1String("xcb") || platform == QLatin1String("wayland")
           || platform.startsWith(QLatin1String("wayland-"));
}

std::int64_t edgeReading(std::int64_t drawn, std::optional<std::int64_t> answered)
{
    if (!answered || *answered < drawn || *answered - drawn > AnswerLimit)
        return drawn;
    return *answered;
}

} // namespace EventTimes
