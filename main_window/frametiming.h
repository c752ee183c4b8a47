// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>

struct xcb_connection_t;

/// Tells when the window system has the frames the program has handed it.
/// On X11 the program asks the X server a question on the connection its
/// windows use and waits for the answer: the server answers once it has
/// processed every request sent before, the frame's drawing included. The
/// wait is bounded (EventTimes::AnswerLimit): a server that does not answer
/// holds the program no longer. Elsewhere (Wayland, offscreen) nothing tells
/// it, and the reading taken as the frame was handed over stands.
class FrameTiming
{
public:
    FrameTiming();

    /// The instant the window system has the frames handed over so far,
    /// the last one just after the steady reading `drawn`.
    std::int64_t shown(std::int64_t drawn);

private:
    xcb_connection_t *m_connection = nullptr;
};
