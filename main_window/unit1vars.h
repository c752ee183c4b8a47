// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>

// The main window's process-wide variables: star geometry, the last
// duration and the running sums behind the statistics.

/// A rectangle that includes its left column and top row and excludes its
/// right column and bottom row, in pixels.
struct TRect
{
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
};

extern std::int32_t StarX;    ///< left edge of the star, pixels
extern std::int32_t StarY;    ///< top edge of the star, pixels
extern TRect FieldRect;       ///< the black field, pixels
extern double LastDuration;   ///< last completed occultation, seconds
extern double SumOccult;      ///< sum of |duration|, seconds
extern double SumSqOccult;    ///< sum of duration², seconds²
// The error sums take whatever the user types, up to the largest double:
// they are kept wider than a double, so that the square of an error, and
// of their sum, still fits.
extern long double SumError;   ///< sum of |error|, seconds
extern long double SumSqError; ///< sum of error², seconds²
extern std::int32_t OccultCount;  ///< completed occultations
extern std::int32_t MeasureCount; ///< accepted entries

/// Monotonic clock reading taken when the star vanished, nanoseconds; the
/// duration is measured on this clock, not on the wall clock.
extern std::int64_t OccultStartSteady;
