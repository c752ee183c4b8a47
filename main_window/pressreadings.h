// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

/// The steady clock readings of the window system's key presses, taken as
/// they arrived (from the events' own times where they carry usable ones),
/// matched later to the presses as the program handles them. With
/// a screen reader, Qt's accessibility bridge holds every key back until
/// the reader has seen it, and passes it on without its timestamp; the
/// reading taken on arrival is the press's own.
class PressReadings
{
public:
    /// Readings older than this are no longer matched, nanoseconds. The
    /// bridge passes the keys on in their order once the screen reader has
    /// seen them, and waits at most a tenth of a second for it: the rest is
    /// room for a busy program.
    static constexpr std::int64_t BridgeWait = 500'000'000;
    /// How many presses are kept, the oldest overwritten first.
    static constexpr std::size_t Kept = 16;

    /// A press with this timestamp (milliseconds) arrived at the reading.
    void arrived(unsigned long timestamp, std::int64_t reading);
    /// The reading of the press handled now: the one that arrived with this
    /// timestamp; for a press without its timestamp (0), that of the oldest
    /// press not yet handled; else, or once its reading is older than
    /// BridgeWait, `now`. A reading is matched once.
    std::int64_t take(unsigned long timestamp, std::int64_t now);
    /// As take(), but none where no press arrived for it.
    std::optional<std::int64_t> claim(unsigned long timestamp, std::int64_t now);

private:
    struct Press
    {
        unsigned long timestamp = 0;
        std::int64_t reading = 0;
        bool claimed = true;
    };

    std::array<Press, Kept> m_presses{};
    std::size_t m_next = 0;
};
