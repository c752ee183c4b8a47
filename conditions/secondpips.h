// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
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
///
/// Nothing waits on the sound server: the thread talks to it without
/// blocking, gives it up when it does not answer in time, and tells of it
/// through onOutput(); the program's end waits a fraction of a second at
/// most for the thread.
class SecondPips
{
public:
    SecondPips();
    ~SecondPips();
    SecondPips(const SecondPips &) = delete;
    SecondPips &operator=(const SecondPips &) = delete;

    /// The program's audio output for the pips.
    static SecondPips &output();

    /// Told, from the pips' thread, whether the sound server takes a
    /// playback stream: once asked (checkOutput()), and each time a stream
    /// plays, is refused, or is given up. The report is called with a lock
    /// held, and must return at once; once it is replaced, the one before
    /// is no longer called.
    void onOutput(std::function<void(bool)> report);
    /// Asks whether the sound server takes a playback stream; the answer
    /// goes to the report.
    void checkOutput();

    /// Whether the next trials will have pips: the stream is opened now, and
    /// kept open, or asked for again while the server does not answer;
    /// otherwise it is closed once no trial plays.
    void keepOpen(bool open);
    /// Starts the pips of a trial that started at the steady reading, in
    /// nanoseconds: the long pip then, one on each whole second after it.
    void start(std::int64_t startReading);
    /// The trial ended at the reading: no pip starts from then on.
    void end(std::int64_t reading);
    /// The trial is cut short: silence from now on.
    void stop();
    /// Whether the last trial started had all its pips played: the stream
    /// played from its start, and took its last pip.
    bool sounded() const;

    /// What the pips' thread shares with the program.
    struct Shared;

private:
    void startThread();

    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
};
