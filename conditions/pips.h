// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <limits>
#include <optional>

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

/// Where a trial's pips lie in the output's stream, block after block: the
/// stream's sample `written` is heard at the steady reading now plus the
/// output's latency. Their place is taken from the reported latency until
/// the first whole second is near, then kept, a whole second of samples
/// apart, unless the output drifts from it by more than the given bound:
/// the reported latency wavers by a millisecond or two from one read to the
/// next. Readings are steady clock nanoseconds.
class PipSchedule
{
public:
    /// assumedLatencyUs stands for the latency until the server reports one.
    PipSchedule(int sampleRate, std::int64_t resyncSamples, std::int64_t assumedLatencyUs);

    /// A new trial: its pips are placed afresh.
    void newTrial();
    /// The pips of the trial that started at startReading (and ended at
    /// endReading, or -1 while it runs) for the block from sample `written`
    /// on, written at the reading now. latencyUs is the output's latency
    /// as the server reports it, none where it could not: the last one
    /// reported then stands for it.
    PipTrain place(std::int64_t written, std::int64_t now, std::int64_t startReading,
                   std::int64_t endReading, std::optional<std::int64_t> latencyUs);
    /// Whether the trial's last pip is over at sample `written`: past the
    /// end's sample by a pip's length. A trial cut short is over at once.
    bool over(std::int64_t written, bool stopped) const;

    /// The latency the pips are placed with, microseconds.
    std::int64_t latencyUs() const { return m_latencyUs; }

private:
    static constexpr std::int64_t Never = std::numeric_limits<std::int64_t>::max();

    int m_rate;
    std::int64_t m_resync;
    std::int64_t m_latencyUs;
    std::int64_t m_trainStart = Never;
    std::int64_t m_endSample = Never;
};

} // namespace Conditions
