// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>

/// The two clocks of a trial. Tests may replace either source.
namespace Clock {

using WallSource = double (*)();
using SteadySource = std::int64_t (*)();
using UtcSource = std::int64_t (*)();

/// The local wall clock, date and time of day together, in days since
/// 30 December 1899, at millisecond resolution.
double nowDays();
/// A monotonic clock in nanoseconds, unaffected by changes of the wall clock.
std::int64_t steadyNanoseconds();
/// The system clock in UTC, milliseconds since 1970.
std::int64_t utcMilliseconds();

/// Replaces the sources; nullptr restores the system's.
void setSources(WallSource wall, SteadySource steady);
void setUtcSource(UtcSource utc);

} // namespace Clock
