// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QObject>
#include <QTimer>

class TForm1;

/// The main window's timer: an interval in milliseconds, a running flag and
/// a replaceable tick handler. While running it ticks every interval, through
/// the event loop; an interval of 0 ticks as soon as the events already
/// waiting have been dealt with.
class TrialTimer : public QObject
{
    Q_OBJECT

public:
    using Handler = void (TForm1::*)(QObject *sender);

    TrialTimer(TForm1 *owner, Handler onTimer);

    int interval() const { return m_interval; }
    /// A new value restarts the countdown of a running timer; the same value
    /// changes nothing, and a stopped timer only keeps it.
    void setInterval(int milliseconds);

    bool isRunning() const { return m_timer.isActive(); }
    /// Starting a running timer, or stopping a stopped one, does nothing.
    void start();
    void stop();

    Handler onTimer() const { return m_onTimer; }
    /// Replacing the handler leaves the countdown alone.
    void setOnTimer(Handler handler) { m_onTimer = handler; }

private:
    void tick();

    TForm1 *m_owner;
    Handler m_onTimer;
    QTimer m_timer;
    int m_interval = 1000;
};
