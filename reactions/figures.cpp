// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "reactions/figures.h"

#include "app/common.h"

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
    text += QStringLiteral(" (%1 %2)").arg(CountText(figures.count),
                                          figures.count > 1 ? QStringLiteral("essais")
                                                            : QStringLiteral("essai"));
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

QString reportLine(const EdgeFigures &disappearance, const EdgeFigures &reappearance)
{
    if (disappearance.count == 0 || reappearance.count == 0)
        return QString();
    return QStringLiteral("Pour vos rapports : %1, %2.")
        .arg(edgeForReport("disparition", disappearance),
             edgeForReport("réapparition", reappearance));
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
