// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "main_window/pressreadings.h"

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <functional>

class QKeyEvent;
class QWidget;

/// Sees the keys that reach a window before any of its controls does,
/// whichever has the focus, with the steady clock read as each press
/// arrived.
class WindowKeys : public QObject, public QAbstractNativeEventFilter
{
public:
    /// Returns true where the key is taken, and goes no further. The clock
    /// is read for presses only.
    using Handler = std::function<bool(QKeyEvent *key, qint64 steadyReading)>;

    WindowKeys(QWidget *window, Handler handler);
    ~WindowKeys() override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_window;
    Handler m_handler;
    PressReadings m_presses;
    /// Whether the key events carry the window system's own time.
    bool m_stamped;
};
