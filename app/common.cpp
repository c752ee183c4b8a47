// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/common.h"

#include "app/errors.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

std::int32_t MaxDelay = 5000;
double OccultStart = 0.0;
double OccultEnd = 0.0;

namespace {

// From 2^120 on, magnitudes are written in exponent form.
const double ExponentFormFrom = std::ldexp(1.0, 120);

// Adds one to the decimal number held in digits (only '0'..'9' and one '.'),
// carrying leftwards and growing a digit at the front when needed.
void incrementDigits(std::string &digits)
{
    for (auto i = digits.size(); i-- > 0;) {
        if (digits[i] == '.')
            continue;
        if (digits[i] != '9') {
            ++digits[i];
            return;
        }
        digits[i] = '0';
    }
    digits.insert(digits.begin(), '1');
}

// The magnitude's decimal expansion, before the rounding to two decimals,
// with at least three digits after the point: below 16, the magnitude
// rounded to 17 digits after the point; from 16 on, the magnitude rounded
// to 18 significant digits (one integer digit and 17 decimals once scaled
// by a power of ten, whatever the leading digit), zeros after those.
std::string expandMagnitude(double magnitude)
{
    char buffer[64];
    if (magnitude < 16.0) {
        auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                    std::chars_format::fixed, 17);
        return std::string(buffer, result.ptr);
    }
    // d.ddddddddddddddddde+X: move the point X places to the right.
    auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                std::chars_format::scientific, 17);
    const std::string text(buffer, result.ptr);
    const auto e = text.find('e');
    const int exponent = std::stoi(text.substr(e + 1));
    std::string digits = text.substr(0, 1) + text.substr(2, e - 2);
    const auto integerDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() < integerDigits + 3)
        digits.append(integerDigits + 3 - digits.size(), '0');
    return digits.substr(0, integerDigits) + '.' + digits.substr(integerDigits);
}

QString exponentForm(bool negative, double magnitude)
{
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                std::chars_format::scientific, 17);
    std::string text(buffer, result.ptr);
    const auto e = text.find('e');
    int exponent = std::stoi(text.substr(e + 1));
    std::string twoDigits = text.substr(0, 3); // "d.d"
    if (text[3] >= '5')
        incrementDigits(twoDigits);
    if (twoDigits.size() > 3) { // 9.95 became 10.0
        twoDigits = "1.0";
        ++exponent;
    }
    char exponentText[16];
    std::snprintf(exponentText, sizeof exponentText, "E%c%04d", exponent < 0 ? '-' : '+',
                  std::abs(exponent));
    return QString::fromLatin1((negative ? "-" : " ") + twoDigits + exponentText);
}

} // namespace

QString SecondsText(double x)
{
    if (std::isnan(x))
        return QStringLiteral("  Nan");
    if (std::isinf(x))
        return x > 0 ? QStringLiteral(" +Inf") : QStringLiteral(" -Inf");

    const bool negative = std::signbit(x);
    const double magnitude = std::fabs(x);
    if (magnitude >= ExponentFormFrom)
        return exponentForm(negative, magnitude);

    const std::string expansion = expandMagnitude(magnitude);
    const auto point = expansion.find('.');
    std::string rounded = expansion.substr(0, point + 3);
    if (expansion[point + 3] >= '5')
        incrementDigits(rounded);

    QString text = QString::fromLatin1((negative ? "-" : "") + rounded);
    return text.rightJustified(5, QLatin1Char(' '));
}

QString CountText(std::int32_t n)
{
    // Through a wider integer, so that the smallest value has a magnitude too.
    const std::int64_t wide = n;
    return QString::number(wide);
}

double ParseSeconds(const QString &text)
{
    // Only plain ASCII can match; anything else gives 0 straight away.
    std::string ascii;
    ascii.reserve(static_cast<std::size_t>(text.size()));
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return 0.0;
        ascii += static_cast<char>(c.unicode());
    }
    const char *p = ascii.data();
    const char *end = p + ascii.size();

    // Blanks at either end are ignored: spaces, and the tabs and line breaks
    // that come along with a time pasted from a spreadsheet or a terminal
    // (a line edit keeps them, unseen). Inside the number, any of them is
    // out of place.
    auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (p != end && isBlank(*p))
        ++p;
    while (end != p && isBlank(end[-1]))
        --end;

    bool negative = false;
    if (p != end && (*p == '+' || *p == '-'))
        negative = (*p++ == '-');

    std::string number; // the shape std::from_chars reads
    int integerDigits = 0;
    int fractionDigits = 0;
    while (p != end && *p >= '0' && *p <= '9') {
        number += *p++;
        ++integerDigits;
    }
    if (p != end && (*p == '.' || *p == ',')) {
        ++p;
        number += '.';
        while (p != end && *p >= '0' && *p <= '9') {
            number += *p++;
            ++fractionDigits;
        }
    }
    if (p != end && (*p == 'e' || *p == 'E')) {
        ++p;
        std::string exponent = "e";
        if (p != end && (*p == '+' || *p == '-'))
            exponent += *p++;
        const char *firstDigit = p;
        while (p != end && *p >= '0' && *p <= '9')
            exponent += *p++;
        if (p == firstDigit)
            return 0.0; // an exponent without digits
        number += exponent;
    }
    if (p != end)
        return 0.0; // something that is not part of a number
    if (integerDigits + fractionDigits == 0)
        return 0.0; // '', '-', '.', 'e5': no digits, no value

    double value = 0.0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too large for a double, or too small to be anything but zero:
        // the decimal position of the first significant digit tells which.
        const auto firstNonZero = number.find_first_not_of("0.");
        const bool mantissaIsZero = firstNonZero == std::string::npos
                                    || number[firstNonZero] == 'e';
        if (mantissaIsZero)
            return 0.0;
        // The decimal exponent: written exponent plus the position of the
        // first non-zero digit relative to the point.
        const auto ePos = number.find('e');
        long long written = 0;
        if (ePos != std::string::npos) {
            const char *q = number.data() + ePos + 1;
            const bool minus = *q == '-';
            if (*q == '+' || *q == '-')
                ++q;
            for (; q != number.data() + number.size(); ++q) {
                written = written * 10 + (*q - '0');
                if (written > 1'000'000'000'000LL)
                    break; // far beyond any double, and beyond any text's length
            }
            if (minus)
                written = -written;
        }
        const auto pointPos = number.find('.');
        const auto mantissaEnd = ePos == std::string::npos ? number.size() : ePos;
        const auto pointAt = pointPos == std::string::npos ? mantissaEnd : pointPos;
        const long long leading = firstNonZero < pointAt
                                      ? static_cast<long long>(pointAt - firstNonZero)
                                      : -static_cast<long long>(firstNonZero - pointAt - 1);
        if (written + leading > 0)
            throw FloatOverflow();
        return negative ? -0.0 : 0.0;
    }
    return negative ? -value : value;
}
