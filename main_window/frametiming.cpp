// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "main_window/frametiming.h"

#include "app/clock.h"
#include "main_window/eventtimes.h"

#include <QGuiApplication>

#include <xcb/xcb.h>
#include <xcb/xcbext.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

FrameTiming::FrameTiming()
{
    if (auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                            : nullptr)
        m_connection = x11->connection();
}

std::int64_t FrameTiming::shown(std::int64_t drawn)
{
    if (!m_connection || xcb_connection_has_error(m_connection))
        return drawn;
    // The smallest question there is; its answer comes after the server has
    // carried out the drawing requests sent before it. Qt's own thread reads
    // the connection: the answer is looked for in what it has read.
    const unsigned int sequence = xcb_get_input_focus(m_connection).sequence;
    xcb_flush(m_connection);
    std::optional<std::int64_t> answered;
    for (;;) {
        void *reply = nullptr;
        xcb_generic_error_t *error = nullptr;
        if (xcb_poll_for_reply(m_connection, sequence, &reply, &error)) {
            if (reply)
                answered = Clock::steadyNanoseconds();
            std::free(reply);
            std::free(error);
            break;
        }
        if (Clock::steadyNanoseconds() - drawn > EventTimes::AnswerLimit) {
            xcb_discard_reply(m_connection, sequence);
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(20));
    }
    return EventTimes::edgeReading(drawn, answered);
}
