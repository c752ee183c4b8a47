// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/clock.h"

#include <QDateTime>

#include <time.h>

namespace {

double systemWallDays()
{
    static const qint64 epochJulianDay = QDate(1899, 12, 30).toJulianDay();
    const QDateTime now = QDateTime::currentDateTime();
    return double(now.date().toJulianDay() - epochJulianDay)
           + now.time().msecsSinceStartOfDay() / 86400000.0;
}

std::int64_t systemSteadyNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return std::int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

Clock::WallSource wallSource = systemWallDays;
Clock::SteadySource steadySource = systemSteadyNanoseconds;

} // namespace

namespace Clock {

double nowDays()
{
    return wallSource();
}

std::int64_t steadyNanoseconds()
{
    return steadySource();
}

void setSources(WallSource wall, SteadySource steady)
{
    wallSource = wall ? wall : systemWallDays;
    steadySource = steady ? steady : systemSteadyNanoseconds;
}

} // namespace Clock
