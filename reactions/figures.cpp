// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "reactions/figures.h"

#include "app/common.h"

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
