// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QObject>
#include <QTimer>

/// The main window's timer: an interval in milliseconds and a running flag.
/// While running it ticks every interval, through the event loop; an
/// interval of 0 ticks as soon as the events already waiting have been
/// dealt with. Which handler a tick runs is its owner's business.
class TrialTimer : public QObject
{
    Q_OBJECT

public:
    explicit TrialTimer(QObject *parent = nullptr);

    int interval() const { return m_interval; }
    /// A new value restarts the countdown of a running timer; the same value
    /// changes nothing, and a stopped timer only keeps it.
    void setInterval(int milliseconds);

    bool isRunning() const { return m_timer.isActive(); }
    /// Starting a running timer, or stopping a stopped one, does nothing.
    void start();
    void stop();

signals:
    void ticked();

private:
    QTimer m_timer;
    int m_interval = 1000;
};
