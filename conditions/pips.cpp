// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "conditions/pips.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace Conditions {

PipTrain::PipTrain(int sampleRate, std::int64_t startSample)
    : m_rate(sampleRate)
    , m_start(startSample)
    , m_end(std::numeric_limits<std::int64_t>::max())
{
}

std::int64_t PipTrain::pipStart(std::int64_t n) const
{
    return m_start + n * m_rate;
}

int PipTrain::pipLength(std::int64_t n) const
{
    return int(std::int64_t(m_rate) * (n == 0 ? FirstPipMs : PipMs) / 1000);
}

void PipTrain::render(std::int64_t from, std::int16_t *out, int count) const
{
    std::fill(out, out + count, std::int16_t(0));
    constexpr double TwoPi = 6.283185307179586;
    const double ramp = RampMs * m_rate / 1000.0;
    // The pips that overlap [from, from + count): from the one under `from`.
    std::int64_t n = from <= m_start ? 0 : (from - m_start) / m_rate;
    for (; pipStart(n) < from + count && pipStart(n) < m_end; ++n) {
        const std::int64_t start = pipStart(n);
        const int length = pipLength(n);
        const std::int64_t first = std::max(from, start);
        const std::int64_t last = std::min(from + count, start + length);
        for (std::int64_t s = first; s < last; ++s) {
            const double t = double(s - start);
            // A raised cosine at each end of the pip.
            const double edge = std::min(t, double(length) - t) / ramp;
            const double envelope = edge >= 1.0 ? 1.0 : 0.5 - 0.5 * std::cos(edge * TwoPi / 2.0);
            out[s - from] = std::int16_t(std::lround(
                Amplitude * envelope * std::sin(TwoPi * ToneHz * t / m_rate)));
        }
    }
}

PipSchedule::PipSchedule(int sampleRate, std::int64_t resyncSamples, std::int64_t assumedLatencyUs)
    : m_rate(sampleRate)
    , m_resync(resyncSamples)
    , m_latencyUs(assumedLatencyUs)
{
}

void PipSchedule::newTrial()
{
    m_trainStart = Never;
    m_endSample = Never;
}

PipTrain PipSchedule::place(std::int64_t written, std::int64_t now, std::int64_t startReading,
                            std::int64_t endReading, std::optional<std::int64_t> latencyUs)
{
    if (latencyUs)
        m_latencyUs = *latencyUs;
    const std::int64_t heardAt = now + m_latencyUs * 1000;
    const std::int64_t estimate = written + (startReading - heardAt) * m_rate / 1'000'000'000;
    if (m_trainStart == Never || written < m_trainStart + m_rate - m_rate / 10
        || std::llabs(estimate - m_trainStart) > m_resync)
        m_trainStart = estimate;
    if (endReading >= 0 && m_endSample == Never)
        m_endSample = m_trainStart + (endReading - startReading) * m_rate / 1'000'000'000;
    PipTrain train(m_rate, m_trainStart);
    train.end(m_endSample);
    return train;
}

bool PipSchedule::over(std::int64_t written, bool stopped) const
{
    return stopped
           || (m_endSample != Never
               && written >= m_endSample + PipTrain(m_rate, m_trainStart).pipLength(1));
}

void OutputWatch::asked(std::int64_t now)
{
    m_state = State::Asked;
    m_since = now;
}

void OutputWatch::took(std::int64_t now)
{
    m_state = State::Playing;
    m_since = now;
}

void OutputWatch::failed(std::int64_t now)
{
    m_state = State::Closed;
    m_failed = true;
    m_failedAt = now;
    m_trialIntact = false;
}

void OutputWatch::closed()
{
    m_state = State::Closed;
    m_failed = false;
    m_trialIntact = false;
}

std::int64_t OutputWatch::due() const
{
    switch (m_state) {
    case State::Asked:
        return m_since + OpenLimit;
    case State::Playing:
        return m_since + StallLimit;
    case State::Closed:
        break;
    }
    return m_failed ? m_failedAt + RetryDelay : std::numeric_limits<std::int64_t>::min();
}

void OutputWatch::trialStarted()
{
    m_trialIntact = playing();
    m_sounded = false;
}

void OutputWatch::trialOver()
{
    if (m_trialIntact)
        m_sounded = true;
}

} // namespace Conditions
