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

/// Whether the sound server answers the pips' stream, as the thread that
/// writes it sees it, and whether a trial's pips were all played. Nothing
/// waits on the server longer than a limit: a stream that does not play
/// within OpenLimit of being asked for, or that plays and then leaves the
/// server silent for StallLimit, gives the server up; it is asked again
/// RetryDelay later. A server may take no samples for a while and still
/// answer (a null sink does so for over a second after a stream opens): a
/// stream that takes nothing for QuietLimit has the server asked for its
/// timing. Readings are steady clock nanoseconds.
class OutputWatch
{
public:
    static constexpr std::int64_t OpenLimit = 5'000'000'000;
    static constexpr std::int64_t QuietLimit = 250'000'000;
    static constexpr std::int64_t StallLimit = 1'000'000'000;
    static constexpr std::int64_t RetryDelay = 3'000'000'000;

    /// A stream is asked for now.
    void asked(std::int64_t now);
    /// The server answered now: the stream is ready, took samples, or told
    /// its timing.
    void took(std::int64_t now);
    /// The stream failed, or the server was given up, now.
    void failed(std::int64_t now);
    /// The stream is closed, no longer wanted.
    void closed();

    /// Whether a stream is asked for or plays.
    bool open() const { return m_state != State::Closed; }
    bool playing() const { return m_state == State::Playing; }
    /// Whether the playing stream has heard nothing from the server for a
    /// while: the server is asked whether it still answers.
    bool quiet(std::int64_t now) const { return playing() && now >= m_since + QuietLimit; }
    /// Whether the server has kept the stream waiting too long.
    bool overdue(std::int64_t now) const { return open() && now >= due(); }
    /// Whether a stream may be asked for now.
    bool mayAsk(std::int64_t now) const { return !open() && now >= due(); }
    /// The reading from which overdue() holds, with a stream open, or
    /// mayAsk(), without.
    std::int64_t due() const;

    /// A trial's pips start: they can all be played only if the stream
    /// plays now, and goes on playing.
    void trialStarted();
    /// The trial's last pip is written.
    void trialOver();
    /// Whether the trial's pips were all played.
    bool sounded() const { return m_sounded; }

private:
    enum class State { Closed, Asked, Playing };

    State m_state = State::Closed;
    /// When the server last answered or was asked; when it was given up.
    std::int64_t m_since = 0;
    std::int64_t m_failedAt = 0;
    bool m_failed = false;
    bool m_trialIntact = false;
    bool m_sounded = false;
};

} // namespace Conditions
