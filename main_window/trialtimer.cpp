// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "main_window/trialtimer.h"

#include "main_window/unit1.h"

TrialTimer::TrialTimer(TForm1 *owner, Handler onTimer)
    : QObject(owner)
    , m_owner(owner)
    , m_onTimer(onTimer)
{
    // The coarse timer may fire early and rounds long intervals to whole
    // seconds; the drawn delays must be kept to the millisecond.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &TrialTimer::tick);
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

void TrialTimer::tick()
{
    if (m_onTimer)
        m_owner->runTimerHandler(m_onTimer, this);
}
