// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "reactions/tops.h"

#include "app/errors.h"
#include "statistics/summary.h"

#include <algorithm>

namespace Reactions {

namespace {

std::optional<double> secondsBetween(const std::optional<std::int64_t> &from,
                                     const std::optional<std::int64_t> &to)
{
    if (!from || !to)
        return std::nullopt;
    return double(*to - *from) / 1e9;
}

} // namespace

void TrialTops::start()
{
    *this = TrialTops();
    m_open = true;
}

void TrialTops::vanished(std::int64_t at)
{
    m_vanished = at;
}

void TrialTops::reappeared(std::int64_t at)
{
    m_reappeared = at;
}

TopKind TrialTops::top(std::int64_t at)
{
    if (!m_open)
        return TopKind::Ignored;
    if (!m_vanished) {
        ++m_earlyTops;
        return TopKind::Early;
    }
    if (!m_reappeared) {
        if (m_disappearanceTop)
            return TopKind::Ignored;
        m_disappearanceTop = at;
        return TopKind::Disappearance;
    }
    if (m_reappearanceTop || at - *m_reappeared > ReappearanceWindow)
        return TopKind::Ignored;
    m_reappearanceTop = at;
    return TopKind::Reappearance;
}

std::optional<double> TrialTops::disappearanceReaction() const
{
    return secondsBetween(m_vanished, m_disappearanceTop);
}

std::optional<double> TrialTops::reappearanceReaction() const
{
    return secondsBetween(m_reappeared, m_reappearanceTop);
}

std::optional<double> TrialTops::tappedDuration() const
{
    return secondsBetween(m_disappearanceTop, m_reappearanceTop);
}

EdgeFigures edgeFigures(const std::vector<TrialReactions> &trials, Edge edge)
{
    EdgeFigures figures;
    double sum = 0.0;
    double sumOfSquares = 0.0;
    for (const TrialReactions &trial : trials) {
        const std::optional<double> &reaction =
            edge == Edge::Disappearance ? trial.disappearance : trial.reappearance;
        if (!reaction)
            continue;
        const double value = *reaction;
        figures.minimum = figures.count == 0 ? value : std::min(figures.minimum, value);
        figures.maximum = figures.count == 0 ? value : std::max(figures.maximum, value);
        sum = checkedValue(sum + value);
        sumOfSquares = checkedValue(sumOfSquares + value * value);
        ++figures.count;
    }
    if (figures.count > 0)
        figures.mean = sampleMean(sum, figures.count);
    if (figures.count > 1)
        figures.deviation = sampleDeviation(sum, sumOfSquares, figures.count);
    return figures;
}

} // namespace Reactions
