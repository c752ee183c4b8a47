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

std::int64_t systemUtcMilliseconds()
{
    return QDateTime::currentMSecsSinceEpoch();
}

Clock::WallSource wallSource = systemWallDays;
Clock::SteadySource steadySource = systemSteadyNanoseconds;
Clock::UtcSource utcSource = systemUtcMilliseconds;

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

std::int64_t utcMilliseconds()
{
    return utcSource();
}

void setSources(WallSource wall, SteadySource steady)
{
    wallSource = wall ? wall : systemWallDays;
    steadySource = steady ? steady : systemSteadyNanoseconds;
}

void setUtcSource(UtcSource utc)
{
    utcSource = utc ? utc : systemUtcMilliseconds;
}

} // namespace Clock
