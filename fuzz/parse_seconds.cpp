// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
//
// The entry's number reader against a model of what it accepts. The input
// bytes are decoded twice, as Latin-1 and as UTF-8, as a line edit might
// hand them over. For each text:
// - the reader returns a finite value or throws FloatOverflow, nothing else;
// - text outside the accepted shape (a regular expression below) gives +0;
// - text of that shape gives exactly what the C library's strtod reads from
//   it once the blanks are gone and a decimal comma is a point, including
//   the sign of a zero, or FloatOverflow where strtod says infinity.
#include "app/common.h"
#include "app/errors.h"

#include <QByteArray>
#include <QString>

#include <regex.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Blanks, at either end only, are spaces, tabs, line feeds and carriage
// returns; the decimal point is '.' or ','; a number needs a digit before or
// after the point; an exponent needs a digit.
const char *const AcceptedShape = "^[ \t\n\r]*[-+]?([0-9]+([.,][0-9]*)?|[.,][0-9]+)"
                                  "([eE][-+]?[0-9]+)?[ \t\n\r]*$";

const regex_t &acceptedShape()
{
    static regex_t shape;
    static const bool compiled = [] {
        if (regcomp(&shape, AcceptedShape, REG_EXTENDED | REG_NOSUB) != 0) {
            std::fprintf(stderr, "cannot compile %s\n", AcceptedShape);
            std::abort();
        }
        return true;
    }();
    (void)compiled;
    return shape;
}

struct Outcome
{
    bool overflow = false;
    double value = 0.0;
};

// What the rules say the text gives.
Outcome modelled(const QString &text)
{
    std::string plain;
    for (const QChar c : text) {
        // Past ASCII, or a NUL that would end the C string: not a number.
        if (c.unicode() >= 0x80 || c.unicode() == 0)
            return {};
        plain += static_cast<char>(c.unicode());
    }
    if (regexec(&acceptedShape(), plain.c_str(), 0, nullptr, 0) != 0)
        return {};
    std::string number;
    for (const char c : plain) {
        if (!std::strchr(" \t\n\r", c))
            number += c == ',' ? '.' : c;
    }
    char *end = nullptr;
    const double value = std::strtod(number.c_str(), &end);
    if (end != number.c_str() + number.size()) {
        std::fprintf(stderr, "strtod stopped early in \"%s\"\n", number.c_str());
        std::abort();
    }
    if (std::isinf(value))
        return {true, 0.0};
    return {false, value};
}

void describe(const char *decoding, const QString &text)
{
    std::fprintf(stderr, "%s text, %lld UTF-16 units:", decoding,
                 static_cast<long long>(text.size()));
    for (const QChar c : text)
        std::fprintf(stderr, " %04x", c.unicode());
    std::fprintf(stderr, "\n");
}

void check(const char *decoding, const QString &text)
{
    Outcome got;
    try {
        got.value = ParseSeconds(text);
    } catch (const FloatOverflow &) {
        got.overflow = true;
    } catch (const std::exception &error) {
        describe(decoding, text);
        std::fprintf(stderr, "unexpected exception: %s\n", error.what());
        std::abort();
    }
    if (!got.overflow && !std::isfinite(got.value)) {
        describe(decoding, text);
        std::fprintf(stderr, "a value that is not finite: %a\n", got.value);
        std::abort();
    }

    const Outcome expected = modelled(text);
    const bool same = got.overflow == expected.overflow
                      && (got.overflow
                          || std::memcmp(&got.value, &expected.value, sizeof(double)) == 0);
    if (!same) {
        describe(decoding, text);
        std::fprintf(stderr, "got %s %a (%.17g), expected %s %a (%.17g)\n",
                     got.overflow ? "overflow" : "value", got.value, got.value,
                     expected.overflow ? "overflow" : "value", expected.value, expected.value);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto bytes = reinterpret_cast<const char *>(data);
    const auto length = static_cast<qsizetype>(size);
    check("Latin-1", QString::fromLatin1(bytes, length));
    check("UTF-8", QString::fromUtf8(bytes, length));
    return 0;
}
