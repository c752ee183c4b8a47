// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "reactions/run.h"

#include "reactions/reactionslog.h"

namespace Reactions {

Run::Run(std::int64_t startUtcMs, QObject *parent)
    : QObject(parent)
    , m_startUtcMs(startUtcMs)
{
}

Run::~Run()
{
    if (m_reader.joinable())
        m_reader.join();
}

void Run::readEarlierRunsAside(const QString &path)
{
    m_reader = std::thread([this, path] {
        Reading reading;
        try {
            reading.history = readHistory(path);
        } catch (...) {
            reading.error = std::current_exception();
        }
        {
            const std::lock_guard<std::mutex> lock(m_readMutex);
            m_readAside = std::move(reading);
        }
        QMetaObject::invokeMethod(this, &Run::takeReadingAside, Qt::QueuedConnection);
    });
}

void Run::waitForEarlierRuns()
{
    if (m_reader.joinable())
        m_reader.join();
    takeReadingAside();
}

void Run::takeReadingAside()
{
    std::optional<Reading> reading;
    {
        const std::lock_guard<std::mutex> lock(m_readMutex);
        reading.swap(m_readAside);
    }
    if (!reading)
        return;
    if (m_reader.joinable())
        m_reader.join();
    takeEarlierRuns(std::move(*reading));
}

void Run::takeEarlierRuns(Reading reading)
{
    m_readError = reading.error;
    m_unreadableLines = reading.history.unreadableLines;
    m_firstUnreadableLine = reading.history.firstUnreadableLine;
    m_olderLeftOut = reading.history.olderLeftOut;
    m_earlierRuns = Reactions::earlierRuns(reading.history, startUtcSeconds());
    m_newerRuns = newerRunCount(m_earlierRuns, startUtcSeconds());
    emit earlierRunsRead();
}

std::exception_ptr Run::takeReadError()
{
    std::exception_ptr error;
    std::swap(error, m_readError);
    return error;
}

void Run::addTrial(const TrialReactions &trial, std::int64_t returnUtcMs, double duration)
{
    m_trials.push_back(trial);
    if (m_logged)
        m_unwritten.append(ReactionsLog::recordLine(m_startUtcMs, returnUtcMs, duration, trial));
    emit trialAdded();
}

void Run::setLogged(bool logged)
{
    m_logged = logged;
    if (!logged)
        m_unwritten.clear();
}

void Run::writeLog(const QString &path)
{
    while (!m_unwritten.isEmpty()) {
        ReactionsLog::append(m_unwritten.front(), path);
        m_unwritten.removeFirst();
    }
}

} // namespace Reactions
