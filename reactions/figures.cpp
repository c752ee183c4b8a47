// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "reactions/figures.h"

#include "app/common.h"
#include "statistics/summary.h"

#include <QDateTime>

#include <algorithm>
#include <iterator>

#include <cmath>

namespace Reactions {

namespace {

// Below this difference of the mean reactions, durations are said to be
// neither lengthened nor shortened: it does not show in two decimals.
constexpr double NoticeableShift = 0.005;

QString edgeForReport(const char *name, const EdgeFigures &figures)
{
    QString text = QString::fromUtf8(name) + QLatin1Char(' ') + SecondsText(figures.mean).trimmed()
                   + QStringLiteral(" s");
    if (figures.count > 1)
        text += QStringLiteral(" ± %1 s").arg(SecondsText(figures.deviation).trimmed());
    if (const std::optional<double> error = standardError(figures))
        text += QStringLiteral(" (%1 essais, moyenne à ± %2 s)")
                    .arg(CountText(figures.count), SecondsText(*error).trimmed());
    else
        text += QStringLiteral(" (%1 essai)").arg(CountText(figures.count));
    return text;
}

} // namespace

QString anticipationsText(const std::vector<TrialReactions> &trials)
{
    std::int32_t disappearance = 0;
    std::int32_t reappearance = 0;
    for (const TrialReactions &trial : trials) {
        disappearance += trial.disappearanceAnticipations;
        reappearance += trial.reappearanceAnticipations;
    }
    return QStringLiteral("Anticipations : %1 à la disparition, %2 à la réapparition")
        .arg(CountText(disappearance), CountText(reappearance));
}

QString reportLine(const EdgeFigures &disappearance, const EdgeFigures &reappearance,
                   const Conditions::ObservingConditions &conditions,
                   std::int64_t runStartUtcSeconds)
{
    if (disappearance.count == 0 || reappearance.count == 0)
        return QString();
    const QString date = QDateTime::fromSecsSinceEpoch(runStartUtcSeconds, Qt::UTC)
                             .toString(QStringLiteral("yyyy-MM-dd"));
    return QStringLiteral("Pour vos rapports : %1, %2 ; %3 ; %4 TU.")
        .arg(edgeForReport("disparition", disappearance),
             edgeForReport("réapparition", reappearance), Conditions::reportText(conditions),
             date);
}

std::optional<double> standardError(const EdgeFigures &figures)
{
    if (figures.count < 2)
        return std::nullopt;
    return figures.deviation / std::sqrt(double(figures.count));
}

std::int32_t trialsStillNeeded(const EdgeFigures &disappearance, const EdgeFigures &reappearance)
{
    std::int32_t needed = 0;
    for (const EdgeFigures *edge : {&disappearance, &reappearance}) {
        // Without a deviation yet, the least count of trials is all that
        // can be said.
        std::int64_t wanted = LeastTrials;
        if (edge->count > 1) {
            // The fewest n with sigma / sqrt(n) <= SettledError: n at least
            // (sigma / SettledError)^2, a rounding below a whole n aside.
            const double ratio = edge->deviation / SettledError;
            const double least = std::ceil(ratio * ratio * (1.0 - 1e-12));
            wanted = std::max<std::int64_t>(
                wanted, least < 1e9 ? std::int64_t(least) : std::int64_t(1e9));
        }
        needed = std::int32_t(std::max<std::int64_t>(needed, wanted - edge->count));
    }
    return needed;
}

QString settlingText(const EdgeFigures &disappearance, const EdgeFigures &reappearance)
{
    if (disappearance.count == 0 && reappearance.count == 0)
        return QString();
    const QString within = SecondsText(SettledError).trimmed();
    const std::int32_t needed = trialsStillNeeded(disappearance, reappearance);
    if (needed == 0)
        return QStringLiteral("Moyennes établies à ± %1 s près").arg(within);
    return QStringLiteral("Encore %1 %2 pour des moyennes à ± %3 s près")
        .arg(CountText(needed), needed > 1 ? QStringLiteral("essais") : QStringLiteral("essai"),
             within);
}

QList<QPointF> runningMeans(const std::vector<TrialReactions> &trials, Edge edge)
{
    QList<QPointF> means;
    long double sum = 0.0L;
    std::int32_t count = 0;
    for (const TrialReactions &trial : trials) {
        if (const std::optional<double> &reaction = trial.reaction(edge)) {
            sum += *reaction;
            ++count;
            means.append(QPointF(trial.trial, sampleMean(sum, count)));
        }
    }
    return means;
}

std::vector<ConditionSet> conditionSets(const std::vector<TrialReactions> &trials)
{
    // From the last trial back: each set takes its place at its latest
    // trial.
    std::vector<ConditionSet> sets;
    for (auto trial = trials.rbegin(); trial != trials.rend(); ++trial) {
        const auto found = std::find_if(sets.begin(), sets.end(), [&](const ConditionSet &set) {
            return set.conditions == trial->conditions;
        });
        if (found != sets.end())
            ++found->trials;
        else
            sets.push_back({trial->conditions, 1});
    }
    return sets;
}

std::size_t chosenSet(const std::vector<ConditionSet> &sets,
                      const std::optional<Conditions::ObservingConditions> &picked)
{
    if (picked) {
        for (std::size_t i = 0; i < sets.size(); ++i) {
            if (sets[i].conditions == *picked)
                return i;
        }
    }
    return 0;
}

QString choiceText(const ConditionSet &set)
{
    return QStringLiteral("%1 (%2 %3)")
        .arg(Conditions::reportText(set.conditions), CountText(set.trials),
             set.trials > 1 ? QStringLiteral("essais") : QStringLiteral("essai"));
}

std::vector<TrialReactions> trialsUnder(const std::vector<TrialReactions> &trials,
                                        const Conditions::ObservingConditions &conditions)
{
    std::vector<TrialReactions> under;
    std::copy_if(trials.begin(), trials.end(), std::back_inserter(under),
                 [&](const TrialReactions &trial) { return trial.conditions == conditions; });
    return under;
}

QString durationEffect(const EdgeFigures &disappearance, const EdgeFigures &reappearance)
{
    if (disappearance.count == 0 || reappearance.count == 0)
        return QString();
    const double shift = reappearance.mean - disappearance.mean;
    if (std::fabs(shift) < NoticeableShift)
        return QStringLiteral("Vos durées ne sont ni allongées ni raccourcies.");
    return QStringLiteral("Vos durées sont %1 de %2 s.")
        .arg(shift > 0 ? QStringLiteral("allongées") : QStringLiteral("raccourcies"),
             SecondsText(std::fabs(shift)).trimmed());
}

} // namespace Reactions
