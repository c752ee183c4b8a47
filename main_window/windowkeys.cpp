// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "main_window/windowkeys.h"

#include "app/clock.h"
#include "main_window/eventtimes.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

WindowKeys::WindowKeys(QWidget *window, Handler handler)
    : QObject(window)
    , m_window(window)
    , m_handler(std::move(handler))
    , m_stamped(EventTimes::platformStampsEvents(QGuiApplication::platformName()))
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
        // The press is timed by the server's own stamp where it is one of
        // the steady clock's: a busy window thread changes nothing then.
        if (m_window->windowHandle() && press->event == m_window->winId())
            m_presses.arrived(press->time,
                              EventTimes::pressReading(press->time, reading).value_or(reading));
    }
    return false;
}

bool WindowKeys::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if ((type != QEvent::KeyPress && type != QEvent::KeyRelease)
        || watched != m_window->windowHandle())
        return false;
    auto *key = static_cast<QKeyEvent *>(event);
    if (type != QEvent::KeyPress)
        return m_handler(key, 0);
    // A press that came by no X server's event (Wayland) is timed by the
    // key event's own time where it is usable, else now.
    const qint64 now = Clock::steadyNanoseconds();
    std::optional<std::int64_t> reading = m_presses.claim(key->timestamp(), now);
    if (!reading && m_stamped)
        reading = EventTimes::pressReading(key->timestamp(), now);
    return m_handler(key, reading.value_or(now));
}
