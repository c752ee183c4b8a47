// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "reactions/tops.h"

#include "app/common.h"
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

void TrialTops::start(const Conditions::ObservingConditions &conditions)
{
    const std::int32_t trial = m_trial + 1;
    *this = TrialTops();
    m_trial = trial;
    m_conditions = conditions;
    m_open = true;
}

void TrialTops::announce(Edge edge, int second, std::int64_t startedAt)
{
    m_startedAt = startedAt;
    m_announced[edge == Edge::Disappearance ? 0 : 1] = second;
}

void TrialTops::vanished(std::int64_t at)
{
    m_vanished = at;
}

bool TrialTops::reappeared(std::int64_t at)
{
    m_reappeared = at;
    return !m_disappearanceTop;
}

TopKind TrialTops::top(std::int64_t at)
{
    if (!m_open || m_reappearanceTop)
        return TopKind::Ignored;
    if (!m_vanished || (!m_disappearanceTop && at - *m_vanished < ShortestReaction)) {
        ++m_disappearanceAnticipations;
        return TopKind::DisappearanceAnticipation;
    }
    // A short occultation may be over before the user reacts to the vanish:
    // the first top that can be a reaction to it is that reaction, the star
    // hidden or back.
    if (!m_disappearanceTop && at - *m_vanished <= DisappearanceWindow) {
        m_disappearanceTop = at;
        return TopKind::Disappearance;
    }
    if (m_disappearanceTop && (hiddenAt(at) || at - *m_reappeared < ShortestReaction)) {
        ++m_reappearanceAnticipations;
        return TopKind::ReappearanceAnticipation;
    }
    if (hiddenAt(at) || at - *m_reappeared < ShortestReaction
        || at - *m_reappeared > ReappearanceWindow)
        return TopKind::Ignored;
    m_reappearanceTop = at;
    return TopKind::Reappearance;
}

bool TrialTops::typingGoesToEntry() const
{
    return m_open && m_reappeared && m_disappearanceTop;
}

EntryAction TrialTops::complete(Focus focus, bool entryEmpty)
{
    EntryAction action;
    if (!m_open)
        return action;
    m_open = false;
    // A trial cut short by an error has no return to time; without a
    // tapped disappearance the entry took the focus at the return.
    if (!m_reappeared || !m_disappearanceTop || focus == Focus::Elsewhere)
        return action;
    action.focusEntry = focus == Focus::StarField;
    if (entryEmpty) {
        if (const std::optional<double> tapped = tappedDuration())
            action.fill = m_filled = SecondsText(*tapped).trimmed();
        action.selectAll = true;
    }
    return action;
}

std::optional<TrialReactions> TrialTops::counted() const
{
    if (!m_reappeared
        || (m_disappearanceAnticipations == 0 && m_reappearanceAnticipations == 0
            && !m_disappearanceTop && !m_reappearanceTop))
        return std::nullopt;
    TrialReactions trial;
    trial.trial = m_trial;
    trial.disappearance = disappearanceReaction();
    trial.reappearance = reappearanceReaction();
    trial.disappearanceAnticipations = m_disappearanceAnticipations;
    trial.reappearanceAnticipations = m_reappearanceAnticipations;
    trial.conditions = m_conditions;
    const auto announced = [this](int edge, const std::optional<std::int64_t> &at) {
        std::optional<TrialReactions::Announced> announcement;
        if (m_announced[edge] && m_startedAt && at)
            announcement = TrialReactions::Announced{
                *m_announced[edge], *m_announced[edge] - double(*at - *m_startedAt) / 1e9};
        return announcement;
    };
    trial.announcedDisappearance = announced(0, m_vanished);
    trial.announcedReappearance = announced(1, m_reappeared);
    return trial;
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

bool KeyRepeat::press(unsigned long timestamp, bool flaggedRepeat)
{
    // A key passed on by a screen reader's bridge comes without its
    // timestamp: 0 tells nothing.
    const bool repeat = flaggedRepeat || m_down
                        || (timestamp != 0 && m_releasedAt && *m_releasedAt == timestamp);
    m_down = true;
    return !repeat;
}

void KeyRepeat::release(unsigned long timestamp)
{
    m_down = false;
    m_releasedAt = timestamp;
}

bool startsTime(QChar character)
{
    return character.isDigit() || QStringView(u".,+-").contains(character);
}

KeyOutcome KeyRouting::space(bool press, unsigned long timestamp, bool flaggedRepeat,
                             const TrialTops &tops, Focus focus, const QString &entryText)
{
    KeyOutcome outcome;
    if (!press) {
        m_space.release(timestamp);
        outcome.taken = m_spaceTaken;
        return outcome;
    }
    const bool fresh = m_space.press(timestamp, flaggedRepeat);
    if (fresh)
        m_spaceTaken = tops.isOpen();
    if (m_spaceTaken) {
        outcome.top = fresh;
        outcome.taken = true;
        return outcome;
    }
    // Never a blank in the tapped duration filled in.
    outcome.taken = focus == Focus::Entry && tops.guardsFill(entryText);
    return outcome;
}

KeyOutcome KeyRouting::typed(const QString &text, const TrialTops &tops, Focus focus) const
{
    KeyOutcome outcome;
    if (!tops.typingGoesToEntry() || text.isEmpty() || !startsTime(text.front()))
        return outcome;
    outcome.insertIntoEntry = focus != Focus::Entry;
    outcome.taken = outcome.insertIntoEntry;
    return outcome;
}

EdgeFigures edgeFigures(const std::vector<TrialReactions> &trials, Edge edge)
{
    EdgeFigures figures;
    double sum = 0.0;
    double sumOfSquares = 0.0;
    std::vector<double> values;
    for (const TrialReactions &trial : trials) {
        const std::optional<double> &reaction = trial.reaction(edge);
        if (!reaction)
            continue;
        const double value = *reaction;
        values.push_back(value);
        sum = checkedValue(sum + value);
        sumOfSquares = checkedValue(sumOfSquares + value * value);
    }
    figures.count = std::int32_t(values.size());
    if (values.empty())
        return figures;
    const auto [minimum, maximum] = std::minmax_element(values.begin(), values.end());
    figures.minimum = *minimum;
    figures.maximum = *maximum;
    figures.mean = sampleMean(sum, figures.count);
    const std::size_t half = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + half, values.end());
    const double upper = values[half];
    const double lower =
        values.size() % 2 != 0 ? upper : *std::max_element(values.begin(), values.begin() + half);
    figures.median = lower + (upper - lower) / 2;
    if (figures.count > 1)
        figures.deviation = sampleDeviation(sum, sumOfSquares, figures.count);
    return figures;
}

} // namespace Reactions
