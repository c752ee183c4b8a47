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

void Run::readEarlierRuns(const QString &path)
{
    const History history = readHistory(path);
    m_unreadableLines = history.unreadableLines;
    m_earlierRuns = Reactions::earlierRuns(history, startUtcSeconds());
    m_newerRuns = newerRunCount(m_earlierRuns, startUtcSeconds());
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
