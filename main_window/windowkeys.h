// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <array>
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
    /// The steady reading taken when the window system's press with this
    /// timestamp arrived; for a press without its timestamp, that of the
    /// oldest press not yet handled; or else a reading now.
    qint64 pressReading(unsigned long timestamp);

    struct Press
    {
        unsigned long timestamp = 0;
        qint64 reading = 0;
        bool claimed = true;
    };

    QWidget *m_window;
    Handler m_handler;
    /// The last presses read from the X server, oldest overwritten first.
    std::array<Press, 16> m_presses{};
    std::size_t m_nextPress = 0;
};
