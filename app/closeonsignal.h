// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;
class QWidget;

/// Turns the first SIGTERM, SIGINT or SIGHUP (a kill, Ctrl+C in the terminal,
/// the end of the session) into a close request on a window, taken by the
/// event loop like one from the window manager: the main window's close
/// handler still writes the run's log. A second signal of the same kind ends
/// the program at once, as it would have without this, until that close
/// has failed and its error dialog has been answered. The signal handler
/// only writes one byte to a pipe that a socket notifier watches.
class CloseOnSignal : public QObject
{
    Q_OBJECT

public:
    explicit CloseOnSignal(QWidget *window);
    ~CloseOnSignal() override;

private:
    void catchSignals();
    void closeWindow();

    QWidget *m_window;
    QSocketNotifier *m_notifier = nullptr;
    bool m_closing = false;
};
