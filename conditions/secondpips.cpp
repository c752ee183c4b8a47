// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "conditions/secondpips.h"

#include "app/clock.h"
#include "conditions/pips.h"

#ifdef VELMARIS_WITH_PULSE
#include <dlfcn.h>
#include <pulse/pulseaudio.h>
#endif

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <optional>
#include <vector>

struct SecondPips::Shared
{
    struct Trial
    {
        std::uint64_t number = 0;
        std::int64_t start = 0;
        std::int64_t end = -1; ///< -1 while the trial runs
        bool stopped = true;
    };

    /// Tells the thread of a change; with the lock held.
    void notify()
    {
        changed = true;
        if (wakeLoop)
            wakeLoop();
        wake.notify_all();
    }
    /// Reports whether the server takes a stream, where it was asked or
    /// where that changed; with the lock held.
    void tell(bool output)
    {
        if (check || reported != output) {
            reported = output;
            if (report)
                report(output);
        }
        check = false;
    }

    std::mutex mutex;
    /// Wakes the thread where it has no main loop of the sound library.
    std::condition_variable wake;
    /// Set by the thread as it ends.
    std::condition_variable ended;
    bool done = false;
    Trial trial;
    bool keepOpen = false;
    bool check = false;
    bool quit = false;
    /// Set with each change, until the thread has read them.
    bool changed = false;
    /// The last trial whose pips were all played.
    std::uint64_t sounded = 0;
    std::function<void(bool)> report;
    std::optional<bool> reported;
    /// Wakes the thread's main loop, while it has one.
    std::function<void()> wakeLoop;
};

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
/// The longest the thread sleeps with a stream open, ns: the server's
/// requests for samples wake it far more often.
constexpr std::int64_t LongestSleep = 50'000'000;
/// How long the program's end waits for the thread.
constexpr auto EndWait = std::chrono::milliseconds(250);

using Trial = SecondPips::Shared::Trial;

#ifdef VELMARIS_WITH_PULSE
// PulseAudio's client library, loaded the first time the pips' thread
// needs it: it brings a dozen libraries with it (sound file formats,
// codecs) that would otherwise be loaded at every start, pips or not, and
// lengthen it by about two milliseconds. Without the library there is no
// output. Its asynchronous interface is used, on a main loop of the
// thread's own: no call waits on the server.
#define VELMARIS_PULSE_FUNCTIONS(F)                                                              \
    F(pa_mainloop_new) F(pa_mainloop_free) F(pa_mainloop_get_api) F(pa_mainloop_prepare)        \
    F(pa_mainloop_poll) F(pa_mainloop_dispatch) F(pa_mainloop_wakeup) F(pa_context_new)         \
    F(pa_context_connect) F(pa_context_get_state) F(pa_context_disconnect) F(pa_context_unref)  \
    F(pa_stream_new) F(pa_stream_connect_playback) F(pa_stream_get_state)                      \
    F(pa_stream_writable_size) F(pa_stream_write) F(pa_stream_flush) F(pa_stream_get_latency)  \
    F(pa_stream_update_timing_info) F(pa_stream_disconnect) F(pa_stream_unref)                \
    F(pa_operation_get_state) F(pa_operation_unref)

struct Pulse
{
#define VELMARIS_DECLARE(name) decltype(&::name) name = nullptr;
    VELMARIS_PULSE_FUNCTIONS(VELMARIS_DECLARE)
#undef VELMARIS_DECLARE
};

template <typename Function>
bool resolve(void *library, const char *name, Function &function)
{
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

const Pulse *pulseLibrary()
{
    static const Pulse *const functions = []() -> const Pulse * {
        void *library = dlopen("libpulse.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return nullptr;
        static Pulse found;
        bool all = true;
#define VELMARIS_RESOLVE(name) all = resolve(library, #name, found.name) && all;
        VELMARIS_PULSE_FUNCTIONS(VELMARIS_RESOLVE)
#undef VELMARIS_RESOLVE
        return all ? &found : nullptr;
    }();
    return functions;
}

/// A playback stream and its connection to the server, moved on by the
/// thread's main loop.
class Connection
{
public:
    enum class State { Opening, Ready, Failed };

    Connection(const Pulse &pa, pa_mainloop *loop)
        : pa(pa)
        , m_loop(loop)
    {
    }
    ~Connection() { close(); }

    bool isOpen() const { return m_context != nullptr; }
    /// Starts connecting; false where that fails at once. The library may
    /// start a sound server where none runs only if mayStartServer.
    bool open(bool mayStartServer);
    /// The stream is asked for once the connection is ready.
    State state();
    void close();

    pa_stream *stream() const { return m_stream; }
    /// Drops what the server holds of the stream; nothing is written until
    /// that is done.
    void flush() { start(m_flush, pa.pa_stream_flush); }
    bool flushing() { return running(m_flush); }
    /// Asks the server for the stream's timing; answered() says once it
    /// has answered.
    void ask() { start(m_ask, pa.pa_stream_update_timing_info); }
    bool answered() { return m_ask && !running(m_ask); }

private:
    template <typename Request>
    void start(pa_operation *&operation, Request request)
    {
        if (!operation)
            operation = request(m_stream, nullptr, nullptr);
    }
    /// Whether the operation runs; one that is done is forgotten.
    bool running(pa_operation *&operation);

    const Pulse &pa;
    pa_mainloop *m_loop;
    pa_context *m_context = nullptr;
    pa_stream *m_stream = nullptr;
    pa_operation *m_flush = nullptr;
    pa_operation *m_ask = nullptr;
};

bool Connection::open(bool mayStartServer)
{
    m_context = pa.pa_context_new(pa.pa_mainloop_get_api(m_loop), "Velmaris");
    if (m_context
        && pa.pa_context_connect(m_context, nullptr,
                                 mayStartServer ? PA_CONTEXT_NOFLAGS : PA_CONTEXT_NOAUTOSPAWN,
                                 nullptr)
               >= 0)
        return true;
    close();
    return false;
}

Connection::State Connection::state()
{
    switch (pa.pa_context_get_state(m_context)) {
    case PA_CONTEXT_READY:
        break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        return State::Failed;
    default:
        return State::Opening;
    }
    if (!m_stream) {
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
        m_stream = pa.pa_stream_new(m_context, "Bips des secondes", &sampleFormat, nullptr);
        const auto flags = pa_stream_flags_t(PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_ADJUST_LATENCY
                                             | PA_STREAM_AUTO_TIMING_UPDATE);
        if (!m_stream
            || pa.pa_stream_connect_playback(m_stream, nullptr, &attr, flags, nullptr, nullptr) < 0)
            return State::Failed;
    }
    switch (pa.pa_stream_get_state(m_stream)) {
    case PA_STREAM_READY:
        return State::Ready;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
        return State::Failed;
    default:
        return State::Opening;
    }
}

void Connection::close()
{
    for (pa_operation *operation : {m_flush, m_ask})
        if (operation)
            pa.pa_operation_unref(operation);
    if (m_stream) {
        pa.pa_stream_disconnect(m_stream);
        pa.pa_stream_unref(m_stream);
    }
    if (m_context) {
        pa.pa_context_disconnect(m_context);
        pa.pa_context_unref(m_context);
    }
    m_flush = nullptr;
    m_ask = nullptr;
    m_stream = nullptr;
    m_context = nullptr;
}

bool Connection::running(pa_operation *&operation)
{
    if (!operation)
        return false;
    if (pa.pa_operation_get_state(operation) == PA_OPERATION_RUNNING)
        return true;
    pa.pa_operation_unref(operation);
    operation = nullptr;
    return false;
}

/// The pips' thread on the sound library's main loop, until the program
/// ends; false where the loop cannot be made.
bool playPulse(SecondPips::Shared &shared, const Pulse &pa)
{
    pa_mainloop *loop = pa.pa_mainloop_new();
    if (!loop)
        return false;
    {
        const std::lock_guard<std::mutex> lock(shared.mutex);
        shared.wakeLoop = [&pa, loop] { pa.pa_mainloop_wakeup(loop); };
    }
    auto tell = [&shared](bool output) {
        const std::lock_guard<std::mutex> lock(shared.mutex);
        shared.tell(output);
    };
    Connection connection(pa, loop);
    Conditions::OutputWatch watch;
    auto giveUp = [&](std::int64_t now) {
        connection.close();
        watch.failed(now);
        tell(false);
    };
    std::vector<std::int16_t> samples(Block);
    // The trial being played, how many samples the stream has taken, and
    // where the trial's pips lie in it.
    std::uint64_t playing = 0;
    std::int64_t written = 0;
    Conditions::PipSchedule schedule(Rate, Resync, TargetMs * 1000);
    std::int64_t silentSince = 0;
    // What is left to write of the block rendered last.
    std::int64_t unwritten = 0;
    bool asked = false;
    int sleepUs = -1;
    for (;;) {
        // A change told between the last read and the loop's preparation
        // (which forgets earlier wake-ups) is not slept through.
        pa.pa_mainloop_prepare(loop, sleepUs);
        {
            const std::lock_guard<std::mutex> lock(shared.mutex);
            if (shared.changed)
                pa.pa_mainloop_wakeup(loop);
        }
        pa.pa_mainloop_poll(loop);
        pa.pa_mainloop_dispatch(loop);
        Trial trial;
        bool keepOpen = false;
        bool check = false;
        {
            const std::lock_guard<std::mutex> lock(shared.mutex);
            if (shared.quit)
                break;
            shared.changed = false;
            trial = shared.trial;
            keepOpen = shared.keepOpen;
            check = shared.check;
        }
        std::int64_t now = Clock::steadyNanoseconds();
        if (connection.isOpen() && !watch.playing()) {
            const Connection::State state = connection.state();
            if (state == Connection::State::Failed) {
                giveUp(now);
            } else if (state == Connection::State::Ready) {
                watch.took(now);
                written = 0;
                unwritten = 0;
                silentSince = 0;
                schedule.newTrial();
                tell(true);
            }
        }
        if (!connection.isOpen() && (keepOpen || check)) {
            if (watch.mayAsk(now)) {
                // A server is started, where the library does that, at most once.
                if (connection.open(!asked))
                    watch.asked(now);
                else
                    giveUp(now);
                asked = true;
            } else if (check) {
                // Given up a moment ago.
                tell(false);
            }
        }
        if (check && watch.playing())
            tell(true);
        if (trial.number != playing) {
            // A new trial: the silence queued is dropped, so that its first
            // pip is heard at once.
            playing = trial.number;
            schedule.newTrial();
            watch.trialStarted();
            if (watch.playing() && written > 0) {
                connection.flush();
                unwritten = 0;
            }
        }
        // Blocks are written in the pieces that the server asks for: it may
        // wait for the whole of its buffer before it plays.
        while (watch.playing() && !connection.flushing()) {
            const std::size_t writable = pa.pa_stream_writable_size(connection.stream());
            if (writable == std::size_t(-1)) {
                giveUp(now);
                break;
            }
            const std::int64_t room = std::int64_t(writable / sizeof(std::int16_t));
            if (room == 0)
                break;
            if (unwritten == 0) {
                // Until the server has told the stream's timing, nothing is
                // written; where it cannot, the pips keep the last latency
                // reported (at first, the stream's target).
                pa_usec_t reported = 0;
                const int known = pa.pa_stream_get_latency(connection.stream(), &reported, nullptr);
                if (known == -PA_ERR_NODATA)
                    break;
                std::optional<std::int64_t> latency;
                if (known >= 0)
                    latency = std::int64_t(reported);
                now = Clock::steadyNanoseconds();
                const Conditions::PipTrain train =
                    schedule.place(written, now, trial.start, trial.end, latency);
                const bool over = schedule.over(written, trial.stopped);
                if (over && !trial.stopped) {
                    watch.trialOver();
                    if (watch.sounded()) {
                        const std::lock_guard<std::mutex> lock(shared.mutex);
                        shared.sounded = playing;
                    }
                }
                if (!over) {
                    silentSince = written + Block;
                } else if (!keepOpen && !check && written - silentSince > Linger) {
                    connection.close();
                    watch.closed();
                    break;
                }
                if (over)
                    std::fill(samples.begin(), samples.end(), std::int16_t(0));
                else
                    train.render(written, samples.data(), Block);
                unwritten = Block;
            }
            const std::int64_t count = std::min(room, unwritten);
            if (pa.pa_stream_write(connection.stream(), samples.data() + (Block - unwritten),
                                   std::size_t(count) * sizeof(std::int16_t), nullptr, 0,
                                   PA_SEEK_RELATIVE)
                < 0) {
                giveUp(now);
                break;
            }
            unwritten -= count;
            written += count;
            watch.took(now);
        }
        now = Clock::steadyNanoseconds();
        if (watch.playing() && connection.answered())
            watch.took(now);
        else if (watch.quiet(now))
            connection.ask();
        if (watch.overdue(now))
            giveUp(now);
        // Asleep until the server or the program says something, or the
        // next limit falls due.
        std::int64_t wakeAt = std::numeric_limits<std::int64_t>::max();
        if (watch.open())
            wakeAt = std::min(watch.due(), now + LongestSleep);
        else if (keepOpen)
            wakeAt = watch.due();
        sleepUs = wakeAt == std::numeric_limits<std::int64_t>::max()
                      ? -1
                      : int(std::clamp<std::int64_t>((wakeAt - now + 999) / 1000, 0,
                                                     std::numeric_limits<int>::max()));
    }
    connection.close();
    {
        const std::lock_guard<std::mutex> lock(shared.mutex);
        shared.wakeLoop = nullptr;
    }
    pa.pa_mainloop_free(loop);
    return true;
}
#endif

/// Without the sound library, each question has the same answer.
void answerWithoutOutput(SecondPips::Shared &shared)
{
    std::unique_lock<std::mutex> lock(shared.mutex);
    for (;;) {
        shared.wake.wait(lock, [&] { return shared.quit || shared.check; });
        if (shared.quit)
            return;
        shared.tell(false);
    }
}

void play(SecondPips::Shared &shared)
{
#ifdef VELMARIS_WITH_PULSE
    if (const Pulse *pa = pulseLibrary(); pa && playPulse(shared, *pa))
        return;
#endif
    answerWithoutOutput(shared);
}

} // namespace

SecondPips::SecondPips()
    : m_shared(std::make_shared<Shared>())
{
}

SecondPips &SecondPips::output()
{
    static SecondPips pips;
    return pips;
}

SecondPips::~SecondPips()
{
    std::unique_lock<std::mutex> lock(m_shared->mutex);
    m_shared->quit = true;
    m_shared->report = nullptr;
    m_shared->notify();
    if (!m_thread.joinable())
        return;
    // The thread never waits on the server; one held up all the same (by
    // the library starting a server, say) is left to the process's end.
    // It keeps what it shares.
    const bool done = m_shared->ended.wait_for(lock, EndWait, [this] { return m_shared->done; });
    lock.unlock();
    if (done)
        m_thread.join();
    else
        m_thread.detach();
}

void SecondPips::onOutput(std::function<void(bool)> report)
{
    const std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->report = std::move(report);
}

void SecondPips::checkOutput()
{
    {
        const std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->check = true;
        m_shared->notify();
    }
    startThread();
}

void SecondPips::keepOpen(bool open)
{
    {
        const std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->keepOpen = open;
        m_shared->notify();
    }
    if (open)
        startThread();
}

void SecondPips::start(std::int64_t startReading)
{
    {
        const std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->trial = {m_shared->trial.number + 1, startReading, -1, false};
        m_shared->notify();
    }
    startThread();
}

void SecondPips::startThread()
{
    if (m_thread.joinable())
        return;
    m_thread = std::thread([shared = m_shared] {
        play(*shared);
        const std::lock_guard<std::mutex> lock(shared->mutex);
        shared->done = true;
        shared->ended.notify_all();
    });
}

void SecondPips::end(std::int64_t reading)
{
    const std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->trial.end = reading;
    m_shared->notify();
}

void SecondPips::stop()
{
    const std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->trial.stopped = true;
    m_shared->notify();
}

bool SecondPips::sounded() const
{
    const std::lock_guard<std::mutex> lock(m_shared->mutex);
    return m_shared->trial.number != 0 && m_shared->sounded == m_shared->trial.number;
}
