// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "detection/results.h"

#include <QDateTime>

#include <algorithm>

namespace Detection {

namespace {

QString magText(double mag)
{
    return QString::number(mag, 'f', 1);
}

} // namespace

bool manyFalseAlarms(int windowsWithAlarm, int windowsWithoutDrop)
{
    // More than one in five, counted exactly.
    return windowsWithoutDrop > 0 && 5 * windowsWithAlarm > windowsWithoutDrop;
}

QStringList resultLines(const BlockFigures &figures)
{
    QStringList lines;
    const Threshold &threshold = figures.threshold;
    lines << (threshold.enough
                  ? QStringLiteral("Seuil de détection : chute de %1 mag ± %2 (vue 7 fois sur 10)")
                        .arg(magText(threshold.meanMag), magText(threshold.sigmaMag))
                  : QStringLiteral("Seuil de détection : Pas assez d'inversions : recommencez"));
    lines << QStringLiteral("Fausses alertes : %1 sur %2 fenêtres sans chute, %3 pendant les autres")
                 .arg(figures.alarmedWindowsWithoutDrop)
                 .arg(figures.windowsWithoutDrop)
                 .arg(figures.falseAlarmsWithDrop);
    lines << (figures.meanReactionS
                  ? QStringLiteral("Réaction aux chutes vues : %1 s en moyenne (%2)")
                        .arg(QString::number(*figures.meanReactionS, 'f', 2))
                        .arg(figures.hits)
                  : QStringLiteral("Réaction aux chutes vues : aucune chute vue"));
    if (threshold.enough)
        lines << QStringLiteral(
                     "Dans ces conditions, une chute de moins de %1 mag vous échappera souvent")
                     .arg(magText(threshold.meanMag));
    if (manyFalseAlarms(figures.alarmedWindowsWithoutDrop, figures.windowsWithoutDrop))
        lines << QStringLiteral("Beaucoup de fausses alertes : à l'oculaire, une baisse isolée "
                                "peut n'être qu'une scintillation");
    return lines;
}

QString earlierBlockLine(const Log::LoggedBlock &block)
{
    const QString date = QDateTime::fromSecsSinceEpoch(block.startUtcSeconds, Qt::UTC)
                             .toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    const QString threshold =
        block.threshold.enough ? QStringLiteral("seuil %1 mag ± %2")
                                     .arg(magText(block.threshold.meanMag),
                                          magText(block.threshold.sigmaMag))
                               : QStringLiteral("seuil non atteint");
    return QStringLiteral("%1 TU  éclat %2, scintillation %3, fondu %4 ms  %5  "
                          "fausses alertes %6 sur %7")
        .arg(date)
        .arg(block.eclat)
        .arg(block.scintillation)
        .arg(block.fadeMs)
        .arg(threshold)
        .arg(block.figures.alarmedWindowsWithoutDrop)
        .arg(block.figures.windowsWithoutDrop);
}

StaircaseChartData chartData(const std::vector<WindowOutcome> &outcomes,
                             const Threshold &threshold)
{
    StaircaseChartData data;
    data.windows = int(outcomes.size());
    for (const WindowOutcome &outcome : outcomes) {
        if (!outcome.hasDrop)
            data.withoutDrop.append(outcome.window);
        else
            (outcome.seen ? data.seen : data.missed).append(QPointF(outcome.window, outcome.dropMag));
        if (outcome.falseAlarms > 0)
            data.falseAlarms.append(outcome.window);
    }
    if (threshold.enough)
        data.thresholdMag = threshold.meanMag;
    return data;
}

QString chartSummary(const BlockFigures &figures, const StaircaseChartData &data)
{
    if (figures.windows == 0)
        return QStringLiteral("Aucune fenêtre.");
    double low = 0, high = 0;
    bool any = false;
    for (const QList<QPointF> *points : {&data.seen, &data.missed}) {
        for (const QPointF &point : *points) {
            low = any ? std::min(low, point.y()) : point.y();
            high = any ? std::max(high, point.y()) : point.y();
            any = true;
        }
    }
    QString summary = QStringLiteral("%1 fenêtres : %2 avec chute (%3 vues, %4 manquées), "
                                     "%5 sans chute ; fausses alertes dans %6 fenêtres.")
                          .arg(figures.windows)
                          .arg(figures.drops)
                          .arg(figures.hits)
                          .arg(figures.drops - figures.hits)
                          .arg(figures.windowsWithoutDrop)
                          .arg(data.falseAlarms.size());
    if (any)
        summary += QStringLiteral(" Chute entre %1 et %2 mag.").arg(magText(low), magText(high));
    if (data.thresholdMag)
        summary += QStringLiteral(" Seuil %1 mag.").arg(magText(*data.thresholdMag));
    return summary;
}

} // namespace Detection
