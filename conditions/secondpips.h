// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

/// The second pips of a trial on the desktop's audio output, through
/// PulseAudio's client library (which PipeWire's PulseAudio service serves
/// as well), played by a thread of their own so that the trial's handlers
/// never wait for the sound. Each pip is placed in the stream where the
/// output's latency, as the sound server reports it, puts it on its second
/// of the steady clock. While the pips are wanted the stream stays open,
/// silent between trials: a stream just opened takes a while before the
/// latency that the server reports settles, and the first pip of a trial
/// must be heard at once.
class SecondPips
{
public:
    SecondPips() = default;
    ~SecondPips();
    SecondPips(const SecondPips &) = delete;
    SecondPips &operator=(const SecondPips &) = delete;

    /// The program's audio output for the pips.
    static SecondPips &output();

    /// Whether the sound server takes a playback stream: asked once, and
    /// the answer kept.
    static bool outputAvailable();

    /// Whether the next trials will have pips: the stream is opened now, and
    /// kept open; otherwise it is closed once no trial plays.
    void keepOpen(bool open);
    /// Starts the pips of a trial that started at the steady reading, in
    /// nanoseconds: the long pip then, one on each whole second after it.
    void start(std::int64_t startReading);
    /// The trial ended at the reading: no pip starts from then on.
    void end(std::int64_t reading);
    /// The trial is cut short: silence from now on.
    void stop();

    /// The output's latency as last reported, microseconds; -1 before any.
    std::int64_t latencyUs() const { return m_latencyUs; }

private:
    struct Trial
    {
        std::uint64_t number = 0;
        std::int64_t start = 0;
        std::int64_t end = -1; ///< -1 while the trial runs
        bool stopped = true;
    };

    void play();
    void startThread();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    Trial m_trial;
    bool m_keepOpen = false;
    bool m_quit = false;
    std::thread m_thread;
    std::atomic<std::int64_t> m_latencyUs{-1};
};
