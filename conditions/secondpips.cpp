// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "conditions/secondpips.h"

#include "app/clock.h"
#include "conditions/pips.h"

#ifdef VELMARIS_WITH_PULSE
#include <pulse/error.h>
#include <pulse/simple.h>
#endif

#include <cstdlib>
#include <limits>
#include <vector>

namespace {

constexpr int Rate = 48000;
/// Samples written at a time: 5 ms.
constexpr int Block = Rate / 200;
/// What the stream keeps ahead of the output, ms: short, so that the first
/// pip is heard soon after the start.
constexpr int TargetMs = 20;
/// An estimate of the stream's place that differs from the one kept by
/// more than this moves the pips: the output's clock drifts, samples.
constexpr std::int64_t Resync = Rate * 2 / 1000;

#ifdef VELMARIS_WITH_PULSE
pa_simple *openStream()
{
    pa_sample_spec spec{};
    spec.format = PA_SAMPLE_S16LE;
    spec.rate = Rate;
    spec.channels = 1;
    pa_buffer_attr attr{};
    attr.maxlength = std::numeric_limits<std::uint32_t>::max();
    attr.tlength = Rate * 2 * TargetMs / 1000;
    attr.prebuf = Block * 2;
    attr.minreq = Block * 2;
    attr.fragsize = std::numeric_limits<std::uint32_t>::max();
    int error = 0;
    return pa_simple_new(nullptr, "Velmaris", PA_STREAM_PLAYBACK, nullptr, "Bips des secondes",
                         &spec, nullptr, &attr, &error);
}
#endif

} // namespace

bool SecondPips::outputAvailable()
{
#ifdef VELMARIS_WITH_PULSE
    static const bool available = [] {
        pa_simple *stream = openStream();
        if (stream)
            pa_simple_free(stream);
        return stream != nullptr;
    }();
    return available;
#else
    return false;
#endif
}

SecondPips::~SecondPips()
{
    stop();
}

void SecondPips::start(std::int64_t startReading)
{
    stop();
    m_stop = false;
    m_endReading = -1;
    m_thread = std::thread([this, startReading] { play(startReading); });
}

void SecondPips::end(std::int64_t reading)
{
    m_endReading = reading;
}

void SecondPips::stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void SecondPips::play(std::int64_t startReading)
{
#ifdef VELMARIS_WITH_PULSE
    pa_simple *stream = openStream();
    if (!stream)
        return;
    // Where the pips lie in the stream: sample `written` is heard at the
    // steady reading `heardAt`. The place is taken from the reported
    // latency until the first whole second is near, then kept, unless the
    // output drifts from it.
    std::int64_t written = 0;
    std::int64_t trainStart = 0;
    bool placed = false;
    std::vector<std::int16_t> samples(Block);
    constexpr std::int64_t Never = std::numeric_limits<std::int64_t>::max();
    std::int64_t endSample = Never;
    while (!m_stop) {
        int error = 0;
        const pa_usec_t latency = pa_simple_get_latency(stream, &error);
        const std::int64_t heardAt = Clock::steadyNanoseconds() + std::int64_t(latency) * 1000;
        m_latencyUs = std::int64_t(latency);
        const std::int64_t estimate = written + (startReading - heardAt) * Rate / 1'000'000'000;
        const bool settling = written < trainStart + Rate - Rate / 10;
        if (!placed || settling || std::llabs(estimate - trainStart) > Resync)
            trainStart = estimate;
        placed = true;
        Conditions::PipTrain train(Rate, trainStart);
        const std::int64_t ended = m_endReading;
        if (ended >= 0 && endSample == Never)
            endSample = trainStart + (ended - startReading) * Rate / 1'000'000'000;
        train.end(endSample);
        // Over once the last pip begun before the end has been written.
        if (endSample != Never && written >= endSample + train.pipLength(1))
            break;
        train.render(written, samples.data(), Block);
        if (pa_simple_write(stream, samples.data(), samples.size() * sizeof(std::int16_t), &error) < 0)
            break;
        written += Block;
    }
    int error = 0;
    if (!m_stop)
        pa_simple_drain(stream, &error);
    pa_simple_free(stream);
#else
    (void)startReading;
#endif
}
