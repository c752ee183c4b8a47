// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "main_window/windowkeys.h"

#include "app/clock.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

WindowKeys::WindowKeys(QWidget *window, Handler handler)
    : QObject(window)
    , m_window(window)
    , m_handler(std::move(handler))
{
    // A key reaches the native window first, once, and is then handed to
    // the control with the focus (and on to its parents): watched at the
    // native window, each press is seen once, wherever the focus is.
    qApp->installEventFilter(this);
}

bool WindowKeys::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if ((type != QEvent::KeyPress && type != QEvent::KeyRelease)
        || watched != m_window->windowHandle())
        return false;
    return m_handler(static_cast<QKeyEvent *>(event),
                     type == QEvent::KeyPress ? Clock::steadyNanoseconds() : 0);
}
