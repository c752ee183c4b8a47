// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "main_window/resultline.h"

#include "app/common.h"

#include <cmath>

namespace {

QString seconds(double value)
{
    return SecondsText(value).trimmed();
}

ResultView duration(double value)
{
    return {SecondsText(value), QString(), QStringLiteral("Le temps est de ") + seconds(value)
                                               + QStringLiteral(" s")};
}

} // namespace

ResultView ResultLine::returned(double duration, bool afterEntry)
{
    m_duration = duration;
    m_afterEntry = afterEntry;
    m_waiting = afterEntry;
    if (afterEntry)
        return {QStringLiteral("?"), QString(), QStringLiteral("Saisissez votre temps")};
    return ::duration(duration);
}

std::optional<ResultView> ResultLine::entryAccepted(double entered)
{
    m_waiting = false;
    if (!m_afterEntry)
        return std::nullopt;
    // The gap is the user's time less the true one, as the statistics take
    // it, from the exact values: it is signed only where its rounded
    // magnitude is not zero, so that no "−0.00" is shown.
    const double gap = entered - m_duration;
    const QString magnitude = seconds(std::fabs(gap));
    const bool zero = magnitude == QLatin1String("0.00");
    const QString shownSign =
        zero ? QString() : gap < 0 ? QStringLiteral("\u2212") : QStringLiteral("+");
    const QString saidSign =
        zero ? QString() : gap < 0 ? QStringLiteral("moins ") : QStringLiteral("plus ");
    ResultView view = ::duration(m_duration);
    view.entryLine = QStringLiteral("Votre temps : %1 s (écart %2%3 s)")
                         .arg(seconds(entered), shownSign, magnitude);
    view.sentence += QStringLiteral(" ; votre temps %1 s, écart %2%3 s")
                         .arg(seconds(entered), saidSign, magnitude);
    return view;
}

std::optional<ResultView> ResultLine::trialStarted()
{
    if (!m_waiting)
        return std::nullopt;
    m_waiting = false;
    return ::duration(m_duration);
}
