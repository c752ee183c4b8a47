// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>
#include <exception>

/// An error that ends the handler in which it arises and reaches the user
/// through the error dialog (or, during start-up, the fatal error box).
class Error : public std::exception
{
public:
    explicit Error(QString message);

    const QString &message() const { return m_message; }
    /// The error's kind as the fatal error box names it.
    virtual const char *typeName() const { return "Error"; }
    /// Address of the code that raised the error.
    const void *raisedAt() const { return m_raisedAt; }
    const char *what() const noexcept override { return m_utf8.constData(); }

protected:
    Error(QString message, const void *raisedAt);

private:
    QString m_message;
    QByteArray m_utf8;
    const void *m_raisedAt;
};

#define VELMARIS_ERROR_CLASS(Name)                                \
    class Name : public Error                                     \
    {                                                             \
    public:                                                       \
        using Error::Error;                                       \
        const char *typeName() const override { return #Name; }   \
    }

VELMARIS_ERROR_CLASS(FloatError);
VELMARIS_ERROR_CLASS(InOutError);
VELMARIS_ERROR_CLASS(FileOpenError);
VELMARIS_ERROR_CLASS(LayoutReadError);

/// "Débordement en virgule flottante"
class FloatOverflow : public FloatError
{
public:
    FloatOverflow();
    const char *typeName() const override { return "FloatOverflow"; }
};

/// "Opération en virgule flottante incorrecte"
class FloatInvalidOperation : public FloatError
{
public:
    FloatInvalidOperation();
    const char *typeName() const override { return "FloatInvalidOperation"; }
};

/// "Division par zéro en virgule flottante"
class FloatDivideByZero : public FloatError
{
public:
    FloatDivideByZero();
    const char *typeName() const override { return "FloatDivideByZero"; }
};

/// The value itself, or FloatOverflow for an infinity and
/// FloatInvalidOperation for a not-a-number.
double checkedValue(double value);
long double checkedValue(long double value);

/// numerator / denominator, with the floating-point faults raised as errors.
double checkedDivide(double numerator, double denominator);

/// The message as the error dialog shows it: a full stop is added when the
/// last character comes after '.' in the character table.
QString withFinalStop(const QString &message);
