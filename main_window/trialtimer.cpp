// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "main_window/trialtimer.h"

TrialTimer::TrialTimer(QObject *parent)
    : QObject(parent)
{
    // The coarse timer may fire early and rounds long intervals to whole
    // seconds; the drawn delays must be kept to the millisecond.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &TrialTimer::ticked);
}

void TrialTimer::setInterval(int milliseconds)
{
    if (milliseconds == m_interval)
        return;
    m_interval = milliseconds;
    if (m_timer.isActive())
        m_timer.start(m_interval);
}

void TrialTimer::start()
{
    if (!m_timer.isActive())
        m_timer.start(m_interval);
}

void TrialTimer::stop()
{
    m_timer.stop();
}
