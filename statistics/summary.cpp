// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "statistics/summary.h"

#include "app/errors.h"

#include <cmath>

double sampleDeviation(double sum, double sumOfSquares, std::int32_t count)
{
    const double n = count;
    const double squareOfSum = checkedValue(sum * sum);
    const double variance =
        checkedDivide(checkedValue(sumOfSquares - squareOfSum / n), n - 1.0);
    // Equal values give a variance of zero in exact arithmetic; rounding may
    // leave it slightly negative, which is still zero.
    return variance > 0.0 ? std::sqrt(variance) : 0.0;
}
