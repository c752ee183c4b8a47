// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "reactions/reactionslog.h"

#include "app/errors.h"
#include "statistics/statslog.h"

#include <QDateTime>
#include <QFileInfo>

namespace ReactionsLog {

namespace {

QByteArray utcText(std::int64_t msSinceEpoch, bool withMilliseconds)
{
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(msSinceEpoch, Qt::UTC);
    const QDate date = at.date();
    const QTime time = at.time();
    QString text = QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", date.year(), date.month(),
                                     date.day(), time.hour(), time.minute(), time.second());
    if (withMilliseconds)
        text += QString::asprintf(".%03d", time.msec());
    return text.toLatin1();
}

QByteArray secondsField(std::optional<double> seconds)
{
    return seconds ? QByteArray::number(*seconds, 'f', 3) : QByteArray();
}

} // namespace

QByteArray recordLine(std::int64_t runStartUtcMs, std::int64_t returnUtcMs, double duration,
                      const Reactions::TrialReactions &trial)
{
    return utcText(runStartUtcMs, false) + ',' + QByteArray::number(trial.trial) + ','
           + utcText(returnUtcMs, true) + ',' + secondsField(duration) + ','
           + secondsField(trial.disappearance) + ',' + secondsField(trial.reappearance) + ','
           + QByteArray::number(trial.disappearanceAnticipations) + ','
           + QByteArray::number(trial.reappearanceAnticipations) + ','
           + QByteArray::number(trial.conditions.eclat) + ','
           + QByteArray::number(trial.conditions.scintillation) + ','
           + QByteArray::number(trial.conditions.fadeMs()) + ',' + (trial.conditions.bips ? '1' : '0');
}

void append(const QByteArray &line, const QString &path)
{
    try {
        StatsLog::appendLine(path, HeaderLine, line);
    } catch (const InOutError &error) {
        throw InOutError(QStringLiteral("\"%1\" : %2").arg(QFileInfo(path).fileName(), error.message()));
    }
}

} // namespace ReactionsLog
