// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>

namespace Conditions {

/// The second pips of a trial as 16-bit mono samples: a 1 kHz tone of
/// 400 ms from the trial's start, then one of 50 ms on each whole second
/// after it, until the trial ends. Sample positions count from any origin
/// that the output keeps; the start may lie before the first sample
/// rendered, and a pip is then heard from where the output takes it up.
class PipTrain
{
public:
    static constexpr int ToneHz = 1000;
    static constexpr int FirstPipMs = 400;
    static constexpr int PipMs = 50;
    /// Rise and fall of each pip, so that it starts and stops without a
    /// click, milliseconds.
    static constexpr double RampMs = 1.0;
    static constexpr std::int16_t Amplitude = 12000;

    PipTrain(int sampleRate, std::int64_t startSample);

    /// The first sample of pip n, n = 0 the long one at the start.
    std::int64_t pipStart(std::int64_t n) const;
    int pipLength(std::int64_t n) const;
    /// No pip starts at or after this sample: the trial is over.
    void end(std::int64_t sample) { m_end = sample; }

    /// Writes the samples from `from` on, count of them: the pips' tone,
    /// silence elsewhere.
    void render(std::int64_t from, std::int16_t *out, int count) const;

private:
    int m_rate;
    std::int64_t m_start;
    std::int64_t m_end;
};

} // namespace Conditions
