// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
//
// The number texts of the windows and the log. The first eight input bytes
// are any double, the next four any 32-bit count (missing bytes are zero);
// the count divided by 1000 and by 200 gives two more doubles, which sit on
// or next to the halfway points between hundredths far more often than
// random doubles do. For each double:
// - SecondsText is at least five characters of ASCII, "  Nan", " +Inf" or
//   " -Inf" where the value is not finite, '-' exactly when the sign bit is
//   set, and equal to a model built differently: glibc's printf expansion to
//   17 decimals (18 significant digits from 16 on), rounded half-up to
//   hundredths in integer arithmetic; from 2^120 on, the exponent form;
// - the text reads back with ParseSeconds, with the sign of the value, to
//   within half a hundredth plus one unit of the 17-decimal expansion plus
//   one unit in the last place of the double (the exponent form: within
//   half a unit of its one decimal, or FloatOverflow where it rounded up
//   beyond the largest double).
// For the count, CountText is canonical decimal and reads back exactly, both
// as an integer and with ParseSeconds.
#include "app/common.h"
#include "app/errors.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const double ExponentFormFrom = std::ldexp(1.0, 120);

[[noreturn]] void fail(double x, const QString &text, const char *what)
{
    std::fprintf(stderr, "SecondsText(%a = %.17g) = \"%s\": %s\n", x, x,
                 text.toLatin1().constData(), what);
    std::abort();
}

std::uint64_t powerOfTen(int n)
{
    std::uint64_t p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// 0.01 * hundredths as text: at least one integer digit, two decimals.
std::string hundredthsText(std::uint64_t hundredths)
{
    std::string digits = std::to_string(hundredths);
    if (digits.size() < 3)
        digits.insert(0, 3 - digits.size(), '0');
    digits.insert(digits.size() - 2, 1, '.');
    return digits;
}

// The 18 significant digits of m as an integer, and the decimal exponent of
// the first: m ~ significand * 10^(exponent - 17).
void significantDigits(double m, std::uint64_t &significand, int &exponent)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17e", m);
    // d.ddddddddddddddddde+XX
    std::string digits(buffer, 1);
    digits.append(buffer + 2, 17);
    significand = std::strtoull(digits.c_str(), nullptr, 10);
    exponent = std::atoi(buffer + 20);
}

std::string modelledText(double x)
{
    const bool negative = std::signbit(x);
    const double m = std::fabs(x);
    std::string text;
    if (m < 16.0) {
        // m * 10^17, rounded, fits in 64 bits below 16.
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.17f", m);
        std::string digits(buffer);
        digits.erase(digits.find('.'), 1);
        const std::uint64_t scaled = std::strtoull(digits.c_str(), nullptr, 10);
        const std::uint64_t unit = powerOfTen(15);
        text = hundredthsText((scaled + unit / 2) / unit);
    } else if (m < ExponentFormFrom) {
        std::uint64_t significand;
        int exponent;
        significantDigits(m, significand, exponent);
        if (exponent >= 17) {
            // A whole number: the digits, then zeros.
            text = std::to_string(significand) + std::string(exponent - 17, '0') + ".00";
        } else if (exponent >= 15) {
            // One or two decimals, exact.
            text = hundredthsText(significand * powerOfTen(exponent - 15));
        } else {
            const std::uint64_t unit = powerOfTen(15 - exponent);
            text = hundredthsText((significand + unit / 2) / unit);
        }
    } else {
        std::uint64_t significand;
        int exponent;
        significantDigits(m, significand, exponent);
        // Half-up on the third significant digit.
        std::uint64_t tenths = (significand + 5 * powerOfTen(15)) / powerOfTen(16);
        if (tenths == 100) {
            tenths = 10;
            ++exponent;
        }
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%c%d.%dE%c%04d", negative ? '-' : ' ',
                      static_cast<int>(tenths / 10), static_cast<int>(tenths % 10),
                      exponent < 0 ? '-' : '+', std::abs(exponent));
        return buffer;
    }
    if (negative)
        text.insert(0, 1, '-');
    if (text.size() < 5)
        text.insert(0, 5 - text.size(), ' ');
    return text;
}

// The gap between m and the next double up; at the largest double, the gap
// below.
double unitInLastPlace(double m)
{
    const double above = std::nextafter(m, HUGE_VAL);
    return std::isinf(above) ? m - std::nextafter(m, 0.0) : above - m;
}

void checkSeconds(double x)
{
    const QString text = SecondsText(x);
    const QByteArray latin1 = text.toLatin1();
    if (text.size() < 5)
        fail(x, text, "shorter than five characters");
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() >= 0x7f)
            fail(x, text, "a character outside printable ASCII");
    }

    if (std::isnan(x)) {
        if (text != QLatin1String("  Nan"))
            fail(x, text, "not-a-number is not \"  Nan\"");
        return;
    }
    if (std::isinf(x)) {
        if (text != QLatin1String(x > 0 ? " +Inf" : " -Inf"))
            fail(x, text, "an infinity is not \" +Inf\" or \" -Inf\"");
        return;
    }

    const bool minus = latin1.trimmed().startsWith('-');
    if (minus != std::signbit(x))
        fail(x, text, "the '-' does not follow the sign bit");
    // Read back first: the rounding to hundredths may move it by half a
    // hundredth, the 17-decimal expansion and the conversion by a unit each.
    double back = 0.0;
    try {
        back = ParseSeconds(text);
    } catch (const FloatOverflow &) {
        // Only the exponent form may round up beyond the largest double.
        if (std::fabs(x) < ExponentFormFrom
            || std::fabs(std::strtold(latin1.constData(), nullptr)) <= DBL_MAX)
            fail(x, text, "reads back as an overflow");
        return;
    }
    if (std::signbit(back) != std::signbit(x))
        fail(x, text, "reads back with the other sign");
    const long double error = std::fabs(static_cast<long double>(back) - x);
    const double m = std::fabs(x);
    long double allowed;
    // The last digit of the 18 significant digits from 16 on is worth at
    // most m * 10^-17.
    const long double expansionUnit = m < 16.0 ? 1e-17L : m * 1e-17L;
    const long double lastPlace = unitInLastPlace(std::max(m, std::fabs(back)));
    if (m < ExponentFormFrom) {
        allowed = 0.005L + expansionUnit + lastPlace;
    } else {
        const int exponent = std::atoi(latin1.constData() + latin1.indexOf('E') + 1);
        allowed = 0.05L * std::pow(10.0L, exponent) + expansionUnit + lastPlace;
    }
    if (error > allowed) {
        std::fprintf(stderr, "read back as %a (%.17g), off by %Lg, more than %Lg\n", back, back,
                     error, allowed);
        fail(x, text, "does not read back close enough");
    }

    const std::string expected = modelledText(x);
    if (latin1.toStdString() != expected) {
        std::fprintf(stderr, "expected \"%s\"\n", expected.c_str());
        fail(x, text, "differs from the model");
    }
}

void checkCount(std::int32_t n)
{
    const QString text = CountText(n);
    const QByteArray latin1 = text.toLatin1();
    const auto fault = [&](const char *what) {
        std::fprintf(stderr, "CountText(%" PRId32 ") = \"%s\": %s\n", n, latin1.constData(), what);
        std::abort();
    };
    if (QString::fromLatin1(latin1) != text)
        fault("a character beyond Latin-1");
    // Canonical: '-' only when negative, no '+', no leading zero.
    const char *digits = latin1.constData() + (n < 0 ? 1 : 0);
    if ((n < 0) != latin1.startsWith('-'))
        fault("the '-' does not follow the sign");
    if (*digits == '0' && n != 0)
        fault("a leading zero");
    std::int64_t back = 0;
    const char *end = latin1.constData() + latin1.size();
    const auto result = std::from_chars(latin1.constData(), end, back);
    if (result.ec != std::errc() || result.ptr != end || back != n)
        fault("does not read back as the same integer");
    try {
        if (ParseSeconds(text) != static_cast<double>(n))
            fault("ParseSeconds reads another value");
    } catch (const FloatOverflow &) {
        fault("ParseSeconds overflows");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    unsigned char bytes[12] = {};
    std::memcpy(bytes, data, std::min(size, sizeof bytes));
    double x;
    std::memcpy(&x, bytes, sizeof x);
    std::int32_t n;
    std::memcpy(&n, bytes + 8, sizeof n);

    checkSeconds(x);
    checkSeconds(n / 1000.0);
    checkSeconds(n / 200.0);
    checkCount(n);
    return 0;
}
