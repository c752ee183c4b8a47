// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "main_window/unit1vars.h"

std::int32_t StarX = 0;
std::int32_t StarY = 0;
TRect FieldRect;
double LastDuration = 0.0;
double SumOccult = 0.0;
double SumSqOccult = 0.0;
long double SumError = 0.0;
long double SumSqError = 0.0;
std::int32_t OccultCount = 0;
std::int32_t MeasureCount = 0;
std::int64_t OccultStartSteady = 0;
