// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "statistics/summary.h"

#include "app/errors.h"

#include <cfloat>
#include <cmath>

namespace {

// The value as a double, which every number shown goes through.
double checkedNarrow(long double value)
{
    if (std::fabs(checkedValue(value)) > DBL_MAX)
        throw FloatOverflow();
    return static_cast<double>(value);
}

} // namespace

double sampleMean(long double sum, std::int32_t count)
{
    return checkedNarrow(checkedValue(sum) / count);
}

double sampleDeviation(long double sum, long double sumOfSquares, std::int32_t count)
{
    // Where long double is no wider than double, the square of the sum can
    // overflow: that is an error, not a variance below zero.
    const long double n = count;
    const long double variance = checkedValue((sumOfSquares - sum * sum / n) / (n - 1));
    // Equal values give a variance of zero in exact arithmetic; rounding may
    // leave it slightly negative, which is still zero.
    return variance > 0 ? checkedNarrow(std::sqrt(variance)) : 0.0;
}

void checkSummary(long double sum, long double sumOfSquares, std::int32_t count)
{
    checkedValue(sumOfSquares);
    sampleMean(sum, count);
    if (count > 1)
        sampleDeviation(sum, sumOfSquares, count);
}
