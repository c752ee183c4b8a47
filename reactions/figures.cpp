// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "reactions/figures.h"

#include "app/common.h"
#include "statistics/summary.h"

#include <QDateTime>

#include <algorithm>
#include <iterator>

#include <QStringList>

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

// The sample deviation of the values, about their mean.
double deviationOf(const std::vector<double> &values, double mean)
{
    double squares = 0.0;
    for (const double value : values)
        squares += (value - mean) * (value - mean);
    return std::sqrt(squares / double(values.size() - 1));
}

double meanOf(const std::vector<double> &values)
{
    double sum = 0.0;
    for (const double value : values)
        sum += value;
    return sum / double(values.size());
}

// Seconds with their sign, always: "+0.42 s", "−0.10 s".
QString signedSeconds(double seconds)
{
    const QString magnitude = SecondsText(std::fabs(seconds)).trimmed();
    const bool negative = seconds < 0 && magnitude != QLatin1String("0.00");
    return (negative ? QStringLiteral("\u2212") : QStringLiteral("+")) + magnitude + QStringLiteral(" s");
}

} // namespace

QString announcementSentence(const std::vector<TrialReactions> &trials)
{
    static const char *const names[] = {"disparition", "réapparition"};
    static const char *const places[] = {"à la disparition", "à la réapparition"};
    QStringList parts;
    QStringList following;
    for (const Edge edge : {Edge::Disappearance, Edge::Reappearance}) {
        std::vector<double> fromAnnounced;
        std::vector<double> reactions;
        for (const TrialReactions &trial : trials) {
            const std::optional<double> &reaction = trial.reaction(edge);
            const std::optional<TrialReactions::Announced> &announced = trial.announced(edge);
            if (!reaction || !announced)
                continue;
            reactions.push_back(*reaction);
            // The top's instant minus the announced second.
            fromAnnounced.push_back(*reaction - announced->error);
        }
        if (reactions.empty())
            continue;
        const int index = edge == Edge::Disappearance ? 0 : 1;
        const int count = int(reactions.size());
        const double mean = meanOf(fromAnnounced);
        parts << QStringLiteral("%1 %2 (%3 %4)")
                     .arg(QString::fromUtf8(names[index]), signedSeconds(mean), CountText(count),
                          count > 1 ? QStringLiteral("essais") : QStringLiteral("essai"));
        if (count >= AnnouncementJudgedFrom
            && deviationOf(fromAnnounced, mean) < deviationOf(reactions, meanOf(reactions)))
            following << QString::fromUtf8(places[index]);
    }
    if (parts.isEmpty())
        return QString();
    if (following.isEmpty())
        return QStringLiteral("Vos tops par rapport à la seconde annoncée : %1.")
            .arg(parts.join(QStringLiteral(", ")));
    return QStringLiteral("Vos tops suivent l'annonce : %1 ; %2, ils tombent plus près de la "
                          "seconde annoncée que de l'événement.")
        .arg(parts.join(QStringLiteral(", ")), following.join(QStringLiteral(" et ")));
}

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
