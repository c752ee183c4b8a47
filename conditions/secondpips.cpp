// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "conditions/secondpips.h"

#include "app/clock.h"
#include "conditions/pips.h"

#ifdef VELMARIS_WITH_PULSE
#include <dlfcn.h>
#include <pulse/simple.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <optional>
#include <vector>

namespace {

constexpr int Rate = 48000;
/// Samples written at a time: 5 ms.
constexpr int Block = Rate / 200;
/// What the stream keeps ahead of the output, ms: short, so that the first
/// pip is heard soon after the start.
constexpr int TargetMs = 10;
/// An estimate of the stream's place that differs from the one kept by
/// more than this moves the pips: the output's clock drifts, samples.
/// Within this bound the pips stay within 10 ms of their seconds.
constexpr std::int64_t Resync = Rate * 6 / 1000;
/// How long the stream stays open, silent, after a trial when the pips are
/// no longer wanted, samples.
constexpr std::int64_t Linger = Rate;

#ifdef VELMARIS_WITH_PULSE
// PulseAudio's simple client library, loaded the first time a stream is
// wanted: it brings a dozen libraries with it (sound file formats, codecs)
// that would otherwise be loaded at every start, pips or not, and lengthen
// it by about two milliseconds. Without the library there is no output.
struct PulseSimple
{
    decltype(&pa_simple_new) open = nullptr;
    decltype(&pa_simple_free) free = nullptr;
    decltype(&pa_simple_flush) flush = nullptr;
    decltype(&pa_simple_get_latency) latency = nullptr;
    decltype(&pa_simple_write) write = nullptr;
};

template <typename Function>
void resolve(void *library, const char *name, Function &function)
{
    function = reinterpret_cast<Function>(dlsym(library, name));
}

const PulseSimple *pulseSimple()
{
    static const PulseSimple *const functions = []() -> const PulseSimple * {
        void *library = dlopen("libpulse-simple.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return nullptr;
        static PulseSimple found;
        resolve(library, "pa_simple_new", found.open);
        resolve(library, "pa_simple_free", found.free);
        resolve(library, "pa_simple_flush", found.flush);
        resolve(library, "pa_simple_get_latency", found.latency);
        resolve(library, "pa_simple_write", found.write);
        if (!found.open || !found.free || !found.flush || !found.latency || !found.write)
            return nullptr;
        return &found;
    }();
    return functions;
}

pa_simple *openStream()
{
    const PulseSimple *pulse = pulseSimple();
    if (!pulse)
        return nullptr;
    pa_sample_spec sampleFormat{};
    sampleFormat.format = PA_SAMPLE_S16LE;
    sampleFormat.rate = Rate;
    sampleFormat.channels = 1;
    // Sizes in bytes. Playback starts as soon as one block is there.
    pa_buffer_attr attr{};
    attr.maxlength = std::numeric_limits<std::uint32_t>::max();
    attr.tlength = Rate * 2 * TargetMs / 1000;
    attr.prebuf = Block * 2;
    attr.minreq = Block * 2;
    attr.fragsize = std::numeric_limits<std::uint32_t>::max();
    int error = 0;
    return pulse->open(nullptr, "Velmaris", PA_STREAM_PLAYBACK, nullptr, "Bips des secondes",
                       &sampleFormat, nullptr, &attr, &error);
}
#endif

} // namespace

bool SecondPips::outputAvailable()
{
#ifdef VELMARIS_WITH_PULSE
    static const bool available = [] {
        pa_simple *stream = openStream();
        if (stream)
            pulseSimple()->free(stream);
        return stream != nullptr;
    }();
    return available;
#else
    return false;
#endif
}

SecondPips &SecondPips::output()
{
    static SecondPips pips;
    return pips;
}

SecondPips::~SecondPips()
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void SecondPips::keepOpen(bool open)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_keepOpen = open;
    }
    m_wake.notify_all();
    if (open)
        startThread();
}

void SecondPips::start(std::int64_t startReading)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_trial = {m_trial.number + 1, startReading, -1, false};
    }
    m_wake.notify_all();
    startThread();
}

void SecondPips::startThread()
{
    if (!m_thread.joinable())
        m_thread = std::thread([this] { play(); });
}

void SecondPips::end(std::int64_t reading)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_trial.end = reading;
}

void SecondPips::stop()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_trial.stopped = true;
}

void SecondPips::play()
{
#ifdef VELMARIS_WITH_PULSE
    pa_simple *stream = nullptr;
    // Set once a stream is open.
    const PulseSimple *pulse = nullptr;
    std::vector<std::int16_t> samples(Block);
    // The trial being played, how many samples the stream has taken, and
    // where the trial's pips lie in it.
    std::uint64_t playing = 0;
    std::int64_t written = 0;
    Conditions::PipSchedule schedule(Rate, Resync, TargetMs * 1000);
    std::int64_t silentSince = 0;
    bool refused = false;
    for (;;) {
        Trial trial;
        bool keepOpen = false;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            // Nothing to play and no stream wanted: sleep until there is.
            // A stream that could not be opened is tried again at the next
            // trial.
            m_wake.wait(lock, [&] {
                return m_quit || stream || (m_keepOpen && !refused)
                       || m_trial.number != playing;
            });
            if (m_quit)
                break;
            trial = m_trial;
            keepOpen = m_keepOpen;
        }
        if (!stream) {
            stream = openStream();
            pulse = pulseSimple();
            written = 0;
            refused = !stream;
            if (!stream) {
                playing = trial.number;
                continue;
            }
        }
        int error = 0;
        if (trial.number != playing) {
            // A new trial: the silence queued is dropped, so that its first
            // pip is heard at once.
            if (written > 0)
                pulse->flush(stream, &error);
            playing = trial.number;
            schedule.newTrial();
        }
        // The server reports (pa_usec_t)-1 where it cannot say: the pips
        // keep the last latency reported (at first, the stream's target).
        const pa_usec_t reported = pulse->latency(stream, &error);
        std::optional<std::int64_t> latency;
        if (reported != pa_usec_t(-1))
            latency = std::int64_t(reported);
        const Conditions::PipTrain train = schedule.place(written, Clock::steadyNanoseconds(),
                                                          trial.start, trial.end, latency);
        if (latency)
            m_latencyUs = *latency;
        const bool over = schedule.over(written, trial.stopped);
        if (!over)
            silentSince = written + Block;
        else if (!keepOpen && written - silentSince > Linger) {
            pulse->free(stream);
            stream = nullptr;
            continue;
        }
        if (over)
            std::fill(samples.begin(), samples.end(), std::int16_t(0));
        else
            train.render(written, samples.data(), Block);
        if (pulse->write(stream, samples.data(), samples.size() * sizeof(std::int16_t), &error)
            < 0) {
            pulse->free(stream);
            stream = nullptr;
            playing = trial.number;
            continue;
        }
        written += Block;
    }
    if (stream)
        pulse->free(stream);
#endif
}
