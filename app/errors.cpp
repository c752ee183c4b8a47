// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/errors.h"

#include <cmath>

// The address the current function returns to, in the code that called it.
#define CALLER_ADDRESS __builtin_extract_return_addr(__builtin_return_address(0))

// Not inlined, so that the return address lies in the code that raised the error.
__attribute__((noinline)) Error::Error(QString message)
    : Error(std::move(message), CALLER_ADDRESS)
{
}

Error::Error(QString message, const void *raisedAt)
    : m_message(std::move(message))
    , m_utf8(m_message.toUtf8())
    , m_raisedAt(raisedAt)
{
}

__attribute__((noinline)) FloatOverflow::FloatOverflow()
    : FloatError(QStringLiteral("Débordement en virgule flottante"), CALLER_ADDRESS)
{
}

__attribute__((noinline)) FloatInvalidOperation::FloatInvalidOperation()
    : FloatError(QStringLiteral("Opération en virgule flottante incorrecte"), CALLER_ADDRESS)
{
}

__attribute__((noinline)) FloatDivideByZero::FloatDivideByZero()
    : FloatError(QStringLiteral("Division par zéro en virgule flottante"), CALLER_ADDRESS)
{
}

namespace {

template <typename Real>
Real checked(Real value)
{
    if (std::isnan(value))
        throw FloatInvalidOperation();
    if (std::isinf(value))
        throw FloatOverflow();
    return value;
}

} // namespace

double checkedValue(double value)
{
    return checked(value);
}

long double checkedValue(long double value)
{
    return checked(value);
}

double checkedDivide(double numerator, double denominator)
{
    if (denominator == 0.0) {
        if (numerator == 0.0 || std::isnan(numerator))
            throw FloatInvalidOperation();
        throw FloatDivideByZero();
    }
    return checkedValue(numerator / denominator);
}

QString withFinalStop(const QString &message)
{
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + QLatin1Char('.');
    return message;
}
