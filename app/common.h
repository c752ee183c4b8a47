// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>
#include <cstdint>

// Shared by the settings window and the main window.

/// Exclusive upper bound of each random delay of a trial, in milliseconds.
extern std::int32_t MaxDelay;
/// Local wall-clock instant at which the star vanished, in days.
extern double OccultStart;
/// Local wall-clock instant at which the star reappeared, in days.
extern double OccultEnd;

/// A number of seconds with two decimals, at least five characters wide:
/// ' 2.50', '-0.00', '123.46', '  Nan', ' 1.0E+0040'. Never uses the locale.
QString SecondsText(double x);

/// A count as plain decimal digits, with '-' when negative.
QString CountText(std::int32_t n);

/// The number of seconds the user typed: optional blanks (spaces, tabs,
/// line breaks), a sign, digits with '.' or ',' as the decimal point, an
/// optional exponent, and optional blanks. Text of any other shape gives 0,
/// a blank inside the number too. Throws FloatOverflow
/// when the value does not fit in a double.
double ParseSeconds(const QString &text);
