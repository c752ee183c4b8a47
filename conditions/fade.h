// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>

namespace Conditions {

/// The light of a star whose disappearance and reappearance fade, linear in
/// light, over a set time, frame by frame. Each edge's instant is the first
/// frame at or past its half light: the frame that the trial's handler puts
/// on the screen when the edge's delay is over, the clock read as it is
/// shown. Frames in between, on their own clock, never show an edge first.
/// A hidden phase shorter than the fade makes the two fades meet: the star
/// dims without going out. All instants are steady clock readings,
/// nanoseconds.
class FadeLight
{
public:
    explicit FadeLight(int durationMs = 0);

    std::int64_t duration() const { return m_duration; }

    /// The coming edge (the disappearance, then the reappearance) reaches
    /// half the light at halfAt: its fade starts half the duration before.
    void plan(std::int64_t halfAt);
    /// The coming edge's own frame, put on the screen at reading: the
    /// edge's instant. Returns the frame's light, at most half for the
    /// disappearance and at least half for the reappearance.
    double edge(std::int64_t reading);
    /// The light of a frame between the edges, 0 to 1; none where that
    /// frame would show a planned edge before the edge's own frame.
    std::optional<double> frame(std::int64_t reading) const;
    /// The earliest instant from `from` on at which the light changes:
    /// `from` itself within a fade, the next fade's start before it; none
    /// once the last planned fade is over, and never for instant edges.
    std::optional<std::int64_t> nextChange(std::int64_t from) const;

    /// Whether the star counts as shown: before the disappearance's frame
    /// and from the reappearance's.
    bool shown() const { return m_edgesShown != 1; }

private:
    double light(std::int64_t at) const;
    std::optional<std::int64_t> &pending();

    std::int64_t m_duration;
    std::optional<std::int64_t> m_vanishHalf;
    std::optional<std::int64_t> m_returnHalf;
    int m_edgesShown = 0;
};

} // namespace Conditions
