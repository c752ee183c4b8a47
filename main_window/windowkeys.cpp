// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "main_window/windowkeys.h"

#include "app/clock.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

WindowKeys::WindowKeys(QWidget *window, Handler handler)
    : QObject(window)
    , m_window(window)
    , m_handler(std::move(handler))
{
    // A key reaches the native window first, once, and is then handed to
    // the control with the focus (and on to its parents): watched at the
    // native window, each press is seen once, wherever the focus is.
    qApp->installEventFilter(this);
    // With a screen reader, Qt's accessibility bridge holds every key back
    // until the reader has seen it, before any of the program's handlers:
    // on X11 the press is read as it comes from the server instead, for the
    // main window's own native window.
    qApp->installNativeEventFilter(this);
}

WindowKeys::~WindowKeys()
{
    qApp->removeNativeEventFilter(this);
}

bool WindowKeys::nativeEventFilter(const QByteArray &eventType, void *message, qintptr *)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto *event = static_cast<const xcb_generic_event_t *>(message);
    if ((event->response_type & 0x7f) == XCB_KEY_PRESS) {
        const qint64 reading = Clock::steadyNanoseconds();
        const auto *press = static_cast<const xcb_key_press_event_t *>(message);
        if (m_window->windowHandle() && press->event == m_window->winId()) {
            m_presses[m_nextPress] = {press->time, reading, false};
            m_nextPress = (m_nextPress + 1) % m_presses.size();
        }
    }
    return false;
}

qint64 WindowKeys::pressReading(unsigned long timestamp)
{
    // The bridge passes the keys on in their order, but copied without
    // their timestamp, once the screen reader has seen them (Qt's bridge
    // waits at most a tenth of a second for it). A press read more than
    // half a second ago is matched no more: room for a busy program.
    constexpr qint64 BridgeWait = 500'000'000;
    const qint64 now = Clock::steadyNanoseconds();
    Press *found = nullptr;
    for (std::size_t i = 0; i < m_presses.size(); ++i) {
        Press &press = m_presses[(m_nextPress + i) % m_presses.size()];
        if (press.claimed || now - press.reading > BridgeWait)
            continue;
        if (timestamp == 0 || press.timestamp == timestamp) {
            found = &press;
            break;
        }
    }
    if (!found)
        return now;
    found->claimed = true;
    return found->reading;
}

bool WindowKeys::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if ((type != QEvent::KeyPress && type != QEvent::KeyRelease)
        || watched != m_window->windowHandle())
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    return m_handler(key, type == QEvent::KeyPress ? pressReading(key->timestamp()) : 0);
}
