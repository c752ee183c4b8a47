// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "reactions/reactionslog.h"

#include "app/errors.h"
#include "statistics/statslog.h"

#include <QFileInfo>

namespace ReactionsLog {

namespace {

QByteArray secondsField(std::optional<double> seconds)
{
    return seconds ? QByteArray::number(*seconds, 'f', 3) : QByteArray();
}

QByteArray announcedField(const std::optional<Reactions::TrialReactions::Announced> &announced)
{
    return announced ? QByteArray::number(announced->second) : QByteArray();
}

// Whole seconds as the log writes them: digits without a leading zero, nine
// at most; the empty field gives none.
bool readWholeSeconds(QByteArrayView field, std::optional<int> &seconds)
{
    seconds.reset();
    if (field.isEmpty())
        return true;
    if (field.size() > 9 || (field.size() > 1 && field[0] == '0'))
        return false;
    int value = 0;
    for (const char c : field) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + (c - '0');
    }
    seconds = value;
    return true;
}

} // namespace

QByteArray recordLine(std::int64_t runStartUtcMs, std::int64_t returnUtcMs, double duration,
                      const Reactions::TrialReactions &trial)
{
    return StatsLog::utcText(runStartUtcMs, false) + ',' + QByteArray::number(trial.trial) + ','
           + StatsLog::utcText(returnUtcMs, true) + ',' + secondsField(duration) + ','
           + secondsField(trial.disappearance) + ',' + secondsField(trial.reappearance) + ','
           + QByteArray::number(trial.disappearanceAnticipations) + ','
           + QByteArray::number(trial.reappearanceAnticipations) + ','
           + QByteArray::number(trial.conditions.eclat) + ','
           + QByteArray::number(trial.conditions.scintillation) + ','
           + QByteArray::number(trial.conditions.fadeMs()) + ',' + (trial.conditions.bips ? '1' : '0')
           + ',' + Conditions::announcementField(trial.conditions) + ','
           + announcedField(trial.announcedDisappearance) + ','
           + announcedField(trial.announcedReappearance);
}

std::optional<LineAnnouncement> readAnnouncement(const QByteArrayView *fields, int count)
{
    LineAnnouncement announcement;
    if (count <= 0)
        return announcement;
    const std::optional<int> annonce = Conditions::announcementOf(fields[0]);
    if (!annonce)
        return std::nullopt;
    announcement.annonce = *annonce;
    const QByteArrayView none;
    if (!readWholeSeconds(count > 1 ? fields[1] : none, announcement.disappearance)
        || !readWholeSeconds(count > 2 ? fields[2] : none, announcement.reappearance))
        return std::nullopt;
    if (announcement.annonce == 0 && (announcement.disappearance || announcement.reappearance))
        return std::nullopt;
    return announcement;
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
