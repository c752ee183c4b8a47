// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

/// The instants of a trial's edges and presses on the program's steady
/// clock (CLOCK_MONOTONIC, nanoseconds), from what the window system says
/// of them.
namespace EventTimes {

/// How long before the program reads it an input event may have been made
/// for its own time to be believed, nanoseconds. Past it, the event's time
/// is taken for one from another clock, or from before the trial.
constexpr std::int64_t MaxAge = 1'000'000'000;

/// The instant of an input event stamped `stamp` by the window system, read
/// by the program at `arrival` (steady nanoseconds). The X server stamps its
/// events with the monotonic clock in whole milliseconds, wrapped to 32
/// bits; the instant is the middle of that millisecond, never after the
/// arrival. None where the stamp cannot be such a time: 0 (no time), ahead
/// of the arrival, or older than MaxAge.
std::optional<std::int64_t> pressReading(std::uint64_t stamp, std::int64_t arrival);

/// Whether the input events of this Qt platform carry the window system's
/// own time: on X11 (xcb) and Wayland. Elsewhere (offscreen, minimal, a VNC
/// server) their times are Qt's own count, and mean nothing as instants.
bool platformStampsEvents(const QString &platform);

/// How long the program waits for the window system to say that it has an
/// edge's frame, nanoseconds: past it, the program goes on without.
constexpr std::int64_t AnswerLimit = 50'000'000;

/// The instant of an edge whose frame was handed over at `drawn`: when the
/// window system said it had processed it (`answered`), if it said so
/// within AnswerLimit and not before the frame was handed over; else
/// `drawn`.
std::int64_t edgeReading(std::int64_t drawn, std::optional<std::int64_t> answered);

} // namespace EventTimes
