// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "reactions/history.h"
#include "reactions/tops.h"

#include <QByteArrayList>
#include <QObject>
#include <QString>

#include <cstdint>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace Reactions {

/// This run of the program, as the reactions see it: when it started, its
/// trials whose tops are complete, the earlier runs that the reactions log
/// holds, and the log's lines not written yet. No window owns it: the main
/// window adds the trials, the personal-equation window shows them.
class Run : public QObject
{
    Q_OBJECT

public:
    /// The run started at this time, UTC milliseconds since 1970.
    explicit Run(std::int64_t startUtcMs, QObject *parent = nullptr);

    std::int64_t startUtcMs() const { return m_startUtcMs; }
    std::int64_t startUtcSeconds() const { return m_startUtcMs / 1000; }

    ~Run() override;

    /// Reads the runs of the reactions log at path, once (they do not change
    /// during this run, whose lines come from its own trials), on a thread
    /// of its own so that the windows need not wait for it:
    /// earlierRunsRead() tells when the runs are there.
    void readEarlierRunsAside(const QString &path);
    /// Waits for a reading started aside, and takes its runs now.
    void waitForEarlierRuns();
    /// What stopped the reading, if anything: thrown again by the caller,
    /// once.
    std::exception_ptr takeReadError();
    /// Whether the log is longer than what was read of it.
    bool olderLeftOut() const { return m_olderLeftOut; }
    /// The log's other runs, a row per set of conditions, newest first.
    const std::vector<RunFigures> &earlierRuns() const { return m_earlierRuns; }
    /// How many of the earlier runs started after this one: none unless
    /// the clock was set back. This run's row goes after them.
    int newerRuns() const { return m_newerRuns; }
    int unreadableLines() const { return m_unreadableLines; }
    /// The first of them, from 1 in what was read of the log.
    std::int64_t firstUnreadableLine() const { return m_firstUnreadableLine; }
    /// Whether there is anything to show: earlier runs or trials.
    bool hasReactions() const { return !m_earlierRuns.empty() || !m_trials.empty(); }

    /// A trial whose tops are complete joins the run; where the run is
    /// logged, its line waits to be written. returnUtcMs is when the star
    /// came back, duration the true one in seconds.
    void addTrial(const TrialReactions &trial, std::int64_t returnUtcMs, double duration);
    const std::vector<TrialReactions> &trials() const { return m_trials; }

    /// Whether the run is logged (the settings' log box); unticked, the
    /// lines not written yet are dropped.
    bool isLogged() const { return m_logged; }
    void setLogged(bool logged);

    /// Writes the lines not written yet to the log at path, in order. A line
    /// that fails stays, with those after it, for the next try; the error
    /// is thrown.
    void writeLog(const QString &path);
    int unwrittenLines() const { return int(m_unwritten.size()); }

signals:
    void trialAdded();
    void earlierRunsRead();

private:
    struct Reading
    {
        History history;
        std::exception_ptr error;
    };
    void takeEarlierRuns(Reading reading);
    void takeReadingAside();

    std::int64_t m_startUtcMs;
    std::vector<TrialReactions> m_trials;
    std::vector<RunFigures> m_earlierRuns;
    int m_newerRuns = 0;
    int m_unreadableLines = 0;
    std::int64_t m_firstUnreadableLine = 0;
    bool m_olderLeftOut = false;
    std::exception_ptr m_readError;
    std::thread m_reader;
    std::mutex m_readMutex;
    std::optional<Reading> m_readAside;
    bool m_logged = true;
    QByteArrayList m_unwritten;
};

} // namespace Reactions
