// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "reactions/reactionslog.h"

#include "statistics/statslog.h"

#include <QDateTime>

#include <cmath>
#include <cstdlib>

namespace ReactionsLog {

namespace {

constexpr std::int64_t MillisecondsPerDay = 86'400'000;

QByteArray localInstantText(double days)
{
    const std::int64_t milliseconds = std::llround(days * double(MillisecondsPerDay));
    std::int64_t day = milliseconds / MillisecondsPerDay;
    std::int64_t ofDay = milliseconds % MillisecondsPerDay;
    if (ofDay < 0) {
        ofDay += MillisecondsPerDay;
        --day;
    }
    const QDate date = QDate(1899, 12, 30).addDays(day);
    const QTime time = QTime::fromMSecsSinceStartOfDay(int(ofDay));
    const int offset = QDateTime(date, time, Qt::LocalTime).offsetFromUtc() / 60;
    return QString::asprintf("%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", date.year(),
                             date.month(), date.day(), time.hour(), time.minute(), time.second(),
                             time.msec(), offset < 0 ? '-' : '+', std::abs(offset) / 60,
                             std::abs(offset) % 60)
        .toLatin1();
}

QByteArray secondsField(std::optional<double> seconds)
{
    return seconds ? QByteArray::number(*seconds, 'f', 3) : QByteArray();
}

} // namespace

QByteArray recordLine(double reappearanceDays, double duration,
                      std::optional<double> disappearanceReaction,
                      std::optional<double> reappearanceReaction, std::int32_t earlyTops)
{
    return localInstantText(reappearanceDays) + ',' + secondsField(duration) + ','
           + secondsField(disappearanceReaction) + ',' + secondsField(reappearanceReaction) + ','
           + QByteArray::number(earlyTops);
}

void append(const QByteArray &line, const QString &path)
{
    StatsLog::appendLine(path, HeaderLine, line);
}

} // namespace ReactionsLog
