// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>

/// The mean of values known by their sum; count must be above 0. Throws
/// FloatOverflow when the mean does not fit in a double.
/// The running sums behind the statistics: of the durations (seconds) and
/// of the user's errors (seconds, kept wider than a double).
struct RunningSums
{
    double occultSum = 0.0;
    double occultSquares = 0.0;
    std::int32_t occultCount = 0;
    long double errorSum = 0.0;
    long double errorSquares = 0.0;
    std::int32_t measureCount = 0;
};

double sampleMean(long double sum, std::int32_t count);

/// The sample standard deviation (divisor count - 1) of values known by
/// their sum and the sum of their squares; count must be above 1. A
/// variance that rounding leaves a hair below zero counts as zero.
/// Throws FloatOverflow when the sums are too large to combine or the
/// deviation does not fit in a double.
double sampleDeviation(long double sum, long double sumOfSquares, std::int32_t count);

/// Throws FloatOverflow unless the sums are finite and give a mean and,
/// from a count of 2 on, a deviation that fit in a double.
void checkSummary(long double sum, long double sumOfSquares, std::int32_t count);
