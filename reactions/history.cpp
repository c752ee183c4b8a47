// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "reactions/history.h"

#include "app/errors.h"
#include "reactions/figures.h"
#include "reactions/reactionslog.h"
#include "statistics/statslog.h"
#include "statistics/summary.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <iterator>
#include <optional>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <string>
#include <unordered_map>
#include <vector>

namespace Reactions {

namespace {

// The log's columns, in their order; later ones are left alone.
enum Column {
    Start,
    Trial,
    Returned,
    Duration,
    DisappearanceReaction,
    ReappearanceReaction,
    DisappearanceAnticipations,
    ReappearanceAnticipations,
    ColumnCount
};

// The trial's conditions, after them: read where a line has them. The
// announcement's columns came last.
enum ConditionColumn {
    Eclat,
    Scintillation,
    FadeMs,
    Pips,
    Announcement,
    AnnouncedDisappearance,
    AnnouncedReappearance,
    ConditionColumnCount
};

struct Field
{
    const char *begin = nullptr;
    const char *end = nullptr;
    std::size_t size() const { return std::size_t(end - begin); }
};

// Reads count decimal digits.
bool readDigits(const char *p, int count, int &value)
{
    value = 0;
    for (int i = 0; i < count; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return false;
        value = value * 10 + (p[i] - '0');
    }
    return true;
}

int daysInMonth(int year, int month)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// Days from 1970-01-01 to the date of the proleptic Gregorian calendar.
std::int64_t daysSinceEpoch(int year, int month, int day)
{
    year -= month <= 2;
    const int era = (year >= 0 ? year : year - 399) / 400;
    const int yearOfEra = year - era * 400;
    const int dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const int dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return std::int64_t(era) * 146097 + dayOfEra - 719468;
}

// "YYYY-MM-DD HH:MM:SS", and ".mmm" after it where asked.
bool readUtc(const Field &field, bool withMilliseconds, std::int64_t &seconds)
{
    if (field.size() != (withMilliseconds ? 23u : 19u))
        return false;
    const char *p = field.begin;
    int year, month, day, hour, minute, second, milliseconds;
    if (!readDigits(p, 4, year) || p[4] != '-' || !readDigits(p + 5, 2, month) || p[7] != '-'
        || !readDigits(p + 8, 2, day) || p[10] != ' ' || !readDigits(p + 11, 2, hour)
        || p[13] != ':' || !readDigits(p + 14, 2, minute) || p[16] != ':'
        || !readDigits(p + 17, 2, second))
        return false;
    if (withMilliseconds && (p[19] != '.' || !readDigits(p + 20, 3, milliseconds)))
        return false;
    if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23
        || minute > 59 || second > 59)
        return false;
    seconds = daysSinceEpoch(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
    return true;
}

// Nine digits at most: a count far beyond any run, and no overflow.
constexpr std::size_t MaxDigits = 9;

bool readCount(const Field &field, std::int32_t &count)
{
    const std::size_t size = field.size();
    return size >= 1 && size <= MaxDigits && readDigits(field.begin, int(size), count);
}

// Seconds as the log writes them: digits, and a point with digits after
// them; the empty field gives none where it is allowed.
bool readSeconds(const Field &field, bool mayBeEmpty, std::optional<double> &seconds)
{
    seconds.reset();
    if (field.size() == 0)
        return mayBeEmpty;
    const char *point = static_cast<const char *>(std::memchr(field.begin, '.', field.size()));
    const Field whole{field.begin, point ? point : field.end};
    const Field fraction{point ? point + 1 : field.end, field.end};
    std::int32_t units = 0;
    std::int32_t digits = 0;
    if (!readCount(whole, units) || (point && !readCount(fraction, digits)))
        return false;
    double scale = 1.0;
    for (std::size_t i = 0; i < fraction.size(); ++i)
        scale *= 10.0;
    seconds = units + digits / scale;
    return true;
}

struct RunSums
{
    std::int64_t startUtcSeconds = 0;
    Conditions::ObservingConditions conditions;
    std::int32_t trials = 0;
    std::int32_t counts[2] = {};
    long double sums[2] = {};
};

// Where each needed column is in a line, as the last header named them;
// before any header, or after one that lacks a needed column, in the
// log's own order.
struct ColumnPlaces
{
    int place[ColumnCount] = {Start, Trial, Returned, Duration, DisappearanceReaction,
                              ReappearanceReaction, DisappearanceAnticipations,
                              ReappearanceAnticipations};
    int fields = ColumnCount; ///< a line needs at least this many
    /// Where the conditions are, -1 where the header has no such column.
    int conditionPlace[ConditionColumnCount] = {
        ColumnCount,     ColumnCount + 1, ColumnCount + 2, ColumnCount + 3,
        ColumnCount + 4, ColumnCount + 5, ColumnCount + 6};
    int allFields = ColumnCount + ConditionColumnCount; ///< a line is split up to this many
};

// A count of the conditions' columns, small: none where it is not one.
std::optional<int> conditionValue(const Field &field)
{
    std::int32_t value = 0;
    if (field.begin == nullptr || field.size() > 4 || !readCount(field, value))
        return std::nullopt;
    return value;
}

// The trial's conditions from the line's fields (an absent field's begin is
// null). A value missing or out of shape reads as its default; a fade of
// another length than the window offers as none; the others within their
// ranges.
Conditions::ObservingConditions readConditions(const Field (&fields)[ConditionColumnCount])
{
    Conditions::ObservingConditions conditions;
    conditions.eclat = conditionValue(fields[Eclat]).value_or(0);
    conditions.scintillation = conditionValue(fields[Scintillation]).value_or(0);
    const int fadeMs = conditionValue(fields[FadeMs]).value_or(0);
    const auto &fades = Conditions::FadeDurationsMs;
    const auto fade = std::find(fades.begin(), fades.end(), fadeMs);
    conditions.fondu = fade != fades.end() ? int(fade - fades.begin()) : 0;
    conditions.bips = conditionValue(fields[Pips]).value_or(0) == 1;
    // A line from before the announcement's columns is unannounced.
    if (fields[Announcement].begin) {
        QByteArrayView announcement[3];
        int count = 0;
        for (int column = Announcement; column < ConditionColumnCount && fields[column].begin;
             ++column)
            announcement[count++] = QByteArrayView(fields[column].begin, fields[column].size());
        if (const std::optional<ReactionsLog::LineAnnouncement> read =
                ReactionsLog::readAnnouncement(announcement, count))
            conditions.annonce = read->annonce;
    }
    return Conditions::bounded(conditions);
}

// Splits the line at its commas, up to count fields; returns how many.
int splitFields(const char *begin, const char *end, Field *fields, int count)
{
    const char *p = begin;
    int found = 0;
    while (found < count) {
        const char *comma = static_cast<const char *>(std::memchr(p, ',', std::size_t(end - p)));
        fields[found++] = {p, comma ? comma : end};
        if (!comma)
            break;
        p = comma + 1;
    }
    return found;
}

// The needed columns' figures, when each has its shape.
bool readFigures(Field fields[ColumnCount], std::optional<double> reactions[2])
{
    std::int64_t returned = 0;
    std::int32_t count = 0;
    std::optional<double> duration;
    return readCount(fields[Trial], count) && count > 0 && readUtc(fields[Returned], true, returned)
           && readSeconds(fields[Duration], false, duration)
           && readSeconds(fields[DisappearanceReaction], true, reactions[0])
           && readSeconds(fields[ReappearanceReaction], true, reactions[1])
           && readCount(fields[DisappearanceAnticipations], count)
           && readCount(fields[ReappearanceAnticipations], count);
}

// The line's figures, when every needed column has its shape; the run's
// start is read last, by the caller.
bool readLine(const char *begin, const char *end, const ColumnPlaces &places,
              Field fields[ColumnCount], std::optional<double> reactions[2],
              Conditions::ObservingConditions &conditions)
{
    // A header may put a needed column far on: a heap buffer then.
    Field near[32];
    std::vector<Field> far;
    Field *line = near;
    if (places.allFields > 32) {
        far.resize(std::size_t(places.allFields));
        line = far.data();
    }
    const int found = splitFields(begin, end, line, places.allFields);
    if (found < places.fields)
        return false;
    for (int column = 0; column < ColumnCount; ++column)
        fields[column] = line[places.place[column]];
    Field conditionFields[ConditionColumnCount];
    for (int column = 0; column < ConditionColumnCount; ++column) {
        const int place = places.conditionPlace[column];
        if (place >= 0 && place < found)
            conditionFields[column] = line[place];
    }
    if (!readFigures(fields, reactions))
        return false;
    conditions = readConditions(conditionFields);
    return true;
}

// A header names its columns: every field a lower-case name, which no
// field of a log line is (its first is a date).
bool isHeader(const char *begin, const char *end)
{
    bool fieldStart = true;
    for (const char *p = begin; p < end; ++p) {
        const char c = *p;
        if (c == ',') {
            if (fieldStart)
                return false;
            fieldStart = true;
        } else if ((c >= 'a' && c <= 'z') || c == '_' || (!fieldStart && c >= '0' && c <= '9')) {
            fieldStart = false;
        } else {
            return false;
        }
    }
    return !fieldStart;
}

// The places that a header gives the needed columns, by their names in the
// log's own header; none where it lacks one.
std::optional<ColumnPlaces> placesOf(const char *begin, const char *end)
{
    static const std::vector<std::string> names = [] {
        std::vector<std::string> own;
        const char *p = ReactionsLog::HeaderLine;
        for (int column = 0; column < ColumnCount + ConditionColumnCount; ++column) {
            const std::size_t length = std::strcspn(p, ",");
            own.emplace_back(p, length);
            p += length + 1;
        }
        return own;
    }();
    ColumnPlaces places;
    std::fill(std::begin(places.place), std::end(places.place), -1);
    std::fill(std::begin(places.conditionPlace), std::end(places.conditionPlace), -1);
    places.fields = 0;
    places.allFields = 0;
    // Whether the header is the log's own as an older version wrote it:
    // its first columns, in their order.
    bool ownOlder = true;
    const char *p = begin;
    for (int field = 0; p <= end; ++field) {
        const char *comma = static_cast<const char *>(std::memchr(p, ',', std::size_t(end - p)));
        const std::string name(p, comma ? comma : end);
        ownOlder = ownOlder && std::size_t(field) < names.size() && name == names[std::size_t(field)];
        for (int column = 0; column < ColumnCount; ++column) {
            if (places.place[column] < 0 && name == names[std::size_t(column)]) {
                places.place[column] = field;
                places.fields = std::max(places.fields, field + 1);
            }
        }
        for (int column = 0; column < ConditionColumnCount; ++column) {
            if (places.conditionPlace[column] < 0
                && name == names[std::size_t(ColumnCount + column)]) {
                places.conditionPlace[column] = field;
                places.allFields = std::max(places.allFields, field + 1);
            }
        }
        if (!comma)
            break;
        p = comma + 1;
    }
    for (int column = 0; column < ColumnCount; ++column) {
        if (places.place[column] < 0)
            return std::nullopt;
    }
    // The log's columns only ever grow at the end: under an older version's
    // header, a newer version's lines have the later columns in their own
    // places.
    if (ownOlder) {
        for (int column = 0; column < ConditionColumnCount; ++column) {
            if (places.conditionPlace[column] < 0)
                places.conditionPlace[column] = ColumnCount + column;
        }
        places.allFields = ColumnCount + ConditionColumnCount;
    }
    places.allFields = std::max(places.allFields, places.fields);
    return places;
}

RunFigures figuresOf(const RunSums &sums)
{
    RunFigures run;
    run.startUtcSeconds = sums.startUtcSeconds;
    run.conditions = sums.conditions;
    run.trials = sums.trials;
    run.disappearanceCount = sums.counts[0];
    run.reappearanceCount = sums.counts[1];
    if (sums.counts[0] > 0)
        run.disappearanceMean = sampleMean(sums.sums[0], sums.counts[0]);
    if (sums.counts[1] > 0)
        run.reappearanceMean = sampleMean(sums.sums[1], sums.counts[1]);
    return run;
}

} // namespace

History parseHistory(const char *data, std::size_t size)
{
    History history;
    std::vector<RunSums> runs;
    // Each start's sets of conditions, by their places in runs.
    std::unordered_map<std::int64_t, std::vector<std::size_t>> runIndex;
    // The lines of a run follow one another: its start is read once.
    const char *lastStart = nullptr;
    std::int64_t lastStartUtcSeconds = 0;
    std::size_t lastIndex = 0;
    ColumnPlaces places;

    const char *p = data;
    const char *const end = data + size;
    if (size >= 3 && std::memcmp(p, "\xEF\xBB\xBF", 3) == 0)
        p += 3;
    std::int64_t lineNumber = 0;
    const auto unreadable = [&history, &lineNumber] {
        if (history.unreadableLines++ == 0)
            history.firstUnreadableLine = lineNumber;
    };
    while (p < end) {
        ++lineNumber;
        const char *lineEnd = static_cast<const char *>(std::memchr(p, '\n', std::size_t(end - p)));
        if (!lineEnd)
            lineEnd = end;
        const char *const next = lineEnd < end ? lineEnd + 1 : end;
        if (lineEnd > p && lineEnd[-1] == '\r')
            --lineEnd;
        const char *const line = p;
        p = next;
        if (line == lineEnd)
            continue;
        if (isHeader(line, lineEnd)) {
            // The lines after a header are read by its names. One that
            // lacks a needed column is another program's, or an older
            // version's: its lines are no log lines, and count as
            // unreadable, as it does.
            const std::optional<ColumnPlaces> named = placesOf(line, lineEnd);
            places = named ? *named : ColumnPlaces();
            if (!named)
                unreadable();
            continue;
        }

        Field fields[ColumnCount];
        std::optional<double> reactions[2];
        Conditions::ObservingConditions conditions;
        if (!readLine(line, lineEnd, places, fields, reactions, conditions)) {
            unreadable();
            continue;
        }
        const Field &start = fields[Start];
        const bool sameStart =
            lastStart && start.size() == 19 && std::memcmp(start.begin, lastStart, 19) == 0;
        if (!sameStart || runs[lastIndex].conditions != conditions) {
            std::int64_t startUtcSeconds = lastStartUtcSeconds;
            if (!sameStart && !readUtc(start, false, startUtcSeconds)) {
                unreadable();
                continue;
            }
            std::vector<std::size_t> &sets = runIndex[startUtcSeconds];
            const auto found = std::find_if(sets.begin(), sets.end(), [&](std::size_t index) {
                return runs[index].conditions == conditions;
            });
            if (found != sets.end()) {
                lastIndex = *found;
            } else {
                lastIndex = runs.size();
                sets.push_back(lastIndex);
                runs.emplace_back();
                runs.back().startUtcSeconds = startUtcSeconds;
                runs.back().conditions = conditions;
            }
            lastStart = start.begin;
            lastStartUtcSeconds = startUtcSeconds;
        }
        RunSums &run = runs[lastIndex];
        ++run.trials;
        for (int edge = 0; edge < 2; ++edge) {
            if (reactions[edge]) {
                ++run.counts[edge];
                run.sums[edge] += *reactions[edge];
            }
        }
    }

    history.runs.reserve(runs.size());
    for (const RunSums &run : runs)
        history.runs.push_back(figuresOf(run));
    return history;
}

namespace {

// Reads up to size bytes at offset into text, from its end; returns false
// on an error.
bool readAt(int fd, std::int64_t offset, std::size_t size, std::string &text)
{
    const std::size_t start = text.size();
    text.resize(start + size);
    std::size_t filled = 0;
    while (filled < size) {
        const ssize_t got = ::pread(fd, &text[start + filled], size - filled,
                                    off_t(offset + std::int64_t(filled)));
        if (got > 0)
            filled += std::size_t(got);
        else if (got == 0)
            break;
        else if (errno != EINTR)
            return false;
    }
    text.resize(start + filled);
    return true;
}

} // namespace

History readHistory(const QString &path, std::int64_t maxBytes)
{
    const auto unreadable = [&path](const QString &reason) {
        return InOutError(QStringLiteral("Impossible de lire \"%1\" : %2")
                              .arg(QFileInfo(path).fileName(), reason));
    };
    // Opening a pipe without a writer would wait for one: the file is opened
    // without waiting, and read only when it is a regular file. No log yet
    // is no error.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT)
        return {};
    if (fd < 0)
        throw unreadable(StatsLog::ioErrorMessage(errno));
    struct stat status;
    std::string text;
    int error = ::fstat(fd, &status) != 0 ? errno : S_ISREG(status.st_mode) ? 0 : ENXIO;
    bool olderLeftOut = false;
    if (error == 0) {
        const std::int64_t size = status.st_size;
        bool read = true;
        if (size <= maxBytes) {
            // A log that grows while it is read keeps its new lines for the
            // next start.
            read = readAt(fd, 0, std::size_t(size), text);
        } else {
            // The header, then the last lines whole: those after the first
            // line end within the bound.
            std::string head;
            read = readAt(fd, 0, 4096, head);
            const std::size_t headerEnd = head.find('\n');
            if (read && headerEnd != std::string::npos)
                text.assign(head, 0, headerEnd + 1);
            std::string tail;
            read = read && readAt(fd, size - maxBytes, std::size_t(maxBytes), tail);
            const std::size_t firstLine = tail.find('\n');
            if (read && firstLine != std::string::npos)
                text.append(tail, firstLine + 1, std::string::npos);
            olderLeftOut = true;
        }
        if (!read)
            error = errno;
    }
    ::close(fd);
    if (error != 0)
        throw unreadable(StatsLog::ioErrorMessage(error));
    History history = parseHistory(text.data(), text.size());
    history.olderLeftOut = olderLeftOut;
    // Lines, and not one of them the log's own: no log that can be read.
    if (history.runs.empty() && history.unreadableLines > 0)
        throw unreadable(QStringLiteral("Aucune ligne n'a la forme du journal"));
    return history;
}

std::vector<RunFigures> earlierRuns(const History &history, std::int64_t currentStartUtcSeconds)
{
    // From the last first line back, and kept in that order within a run.
    std::vector<RunFigures> runs;
    runs.reserve(history.runs.size());
    for (auto run = history.runs.rbegin(); run != history.runs.rend(); ++run) {
        if (run->startUtcSeconds != currentStartUtcSeconds)
            runs.push_back(*run);
    }
    std::stable_sort(runs.begin(), runs.end(), [](const RunFigures &a, const RunFigures &b) {
        return a.startUtcSeconds > b.startUtcSeconds;
    });
    return runs;
}

int newerRunCount(const std::vector<RunFigures> &runs, std::int64_t startUtcSeconds)
{
    return int(std::count_if(runs.begin(), runs.end(), [startUtcSeconds](const RunFigures &run) {
        return run.startUtcSeconds > startUtcSeconds;
    }));
}

std::vector<RunFigures> currentRuns(const std::vector<TrialReactions> &trials,
                                    std::int64_t startUtcSeconds)
{
    std::vector<RunFigures> runs;
    for (const ConditionSet &set : conditionSets(trials)) {
        const std::vector<TrialReactions> under = trialsUnder(trials, set.conditions);
        const EdgeFigures disappearance = edgeFigures(under, Edge::Disappearance);
        const EdgeFigures reappearance = edgeFigures(under, Edge::Reappearance);
        RunFigures run;
        run.startUtcSeconds = startUtcSeconds;
        run.conditions = set.conditions;
        run.trials = set.trials;
        run.disappearanceCount = disappearance.count;
        run.reappearanceCount = reappearance.count;
        run.disappearanceMean = disappearance.mean;
        run.reappearanceMean = reappearance.mean;
        runs.push_back(run);
    }
    return runs;
}

std::vector<RunFigures> runsUnder(const std::vector<RunFigures> &runs,
                                  const Conditions::ObservingConditions &conditions)
{
    std::vector<RunFigures> under;
    std::copy_if(runs.begin(), runs.end(), std::back_inserter(under),
                 [&](const RunFigures &run) { return run.conditions == conditions; });
    return under;
}

QList<QPointF> runMeans(const std::vector<RunFigures> &earlier, int newerRuns, Edge edge,
                        std::optional<double> currentMean)
{
    const int count = int(earlier.size());
    const bool disappearance = edge == Edge::Disappearance;
    QList<QPointF> points;
    const auto addCurrent = [&] {
        if (currentMean)
            points.append(QPointF(count - newerRuns + 1, *currentMean));
    };
    for (int i = count - 1; i >= 0; --i) {
        if (i == newerRuns - 1)
            addCurrent();
        const RunFigures &run = earlier[std::size_t(i)];
        if ((disappearance ? run.disappearanceCount : run.reappearanceCount) == 0)
            continue;
        points.append(QPointF(count - i + (i < newerRuns ? 1 : 0),
                              disappearance ? run.disappearanceMean : run.reappearanceMean));
    }
    if (newerRuns == 0)
        addCurrent();
    return points;
}

} // namespace Reactions
