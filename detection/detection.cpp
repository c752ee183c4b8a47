// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "detection/detection.h"

#include "statistics/statslog.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <utility>

namespace Detection {

namespace {

// The program's generator, state := state x 134775813 + 1 (mod 2^32), as a
// value of its own: a block's plan never moves the trials' random source.
// The seed is stirred first (splitmix64's finaliser): seeds next to each
// other, such as clock readings, would otherwise start on draws that
// differ by a steady amount.
class Generator
{
public:
    explicit Generator(std::uint64_t seed)
    {
        seed += 0x9E3779B97F4A7C15u;
        seed = (seed ^ (seed >> 30)) * 0xBF58476D1CE4E5B9u;
        seed = (seed ^ (seed >> 27)) * 0x94D049BB133111EBu;
        seed ^= seed >> 31;
        m_state = std::uint32_t(seed >> 32);
    }
    // An integer from 0 to bound - 1: the high 32 bits of bound x state.
    std::uint32_t draw(std::uint32_t bound)
    {
        m_state = m_state * 134775813u + 1u;
        return std::uint32_t((std::uint64_t(bound) * m_state) >> 32);
    }

private:
    std::uint32_t m_state;
};

bool threeInARow(const std::vector<char> &withoutDrop)
{
    int run = 0;
    for (char without : withoutDrop) {
        run = without ? run + 1 : 0;
        if (run > 2)
            return true;
    }
    return false;
}

// Levels are tenths (or hundredths): no drift from repeated steps.
double roundedMag(double mag)
{
    return std::round(mag * 100.0) / 100.0;
}

} // namespace

std::vector<WindowPlan> planWindows(std::uint64_t seed, int count)
{
    std::vector<WindowPlan> plan;
    count = std::min(count, MostPlannedWindows);
    if (count <= 0)
        return plan;
    Generator generator(seed);
    const int withoutDrop = (count + 2) / 5;
    // Shuffles until no three windows without a drop follow each other:
    // every allowed placement stays as likely as any other. Of 40 windows,
    // five shuffles in six pass; of 1000, one in 1500 (a few ms).
    std::vector<char> without(std::size_t(count), 0);
    do {
        std::fill(without.begin(), without.end(), 0);
        std::fill(without.begin(), without.begin() + withoutDrop, 1);
        for (int i = count - 1; i > 0; --i)
            std::swap(without[std::size_t(i)], without[generator.draw(std::uint32_t(i + 1))]);
    } while (threeInARow(without));
    plan.resize(std::size_t(count));
    for (std::size_t i = 0; i < plan.size(); ++i) {
        plan[i].hasDrop = !without[i];
        if (plan[i].hasDrop)
            plan[i].dropStartMs =
                EarliestDropMs
                + generator.draw(std::uint32_t(LatestDropMs - EarliestDropMs + 1));
    }
    return plan;
}

double dropFactor(double dropMag)
{
    return std::pow(10.0, -0.4 * dropMag);
}

PressReading readPresses(std::vector<std::int64_t> presses, bool hasDrop,
                         std::int64_t firstFrameMs, std::int64_t lastFrameMs)
{
    std::sort(presses.begin(), presses.end());
    PressReading reading;
    std::optional<std::int64_t> previous;
    for (std::int64_t press : presses) {
        const bool sameAsBefore = previous && press - *previous < SamePressMs;
        previous = press;
        if (sameAsBefore)
            continue;
        if (hasDrop && !reading.seen && press >= firstFrameMs + HitFromMs
            && press <= lastFrameMs + HitAfterLastMs) {
            reading.seen = true;
            reading.reactionS = double(press - firstFrameMs) / 1000.0;
        } else {
            ++reading.falseAlarms;
        }
    }
    return reading;
}

Staircase::Staircase(const Rule &rule)
    : m_coarseStepMag(rule.coarseStepMag)
    , m_fineStepMag(rule.fineStepMag)
    , m_coarseReversals(std::size_t(std::max(0, rule.coarseReversals)))
{
}

void Staircase::record(bool seen)
{
    int move = 0;
    if (seen) {
        if (++m_hitsInRow == 2) {
            m_hitsInRow = 0;
            move = -1;
        }
    } else {
        m_hitsInRow = 0;
        move = +1;
    }
    if (move == 0)
        return;
    if (m_direction != 0 && move != m_direction)
        m_reversals.push_back(m_dropMag);
    m_direction = move;
    const double step = m_reversals.size() < m_coarseReversals ? m_coarseStepMag : m_fineStepMag;
    m_dropMag = std::clamp(roundedMag(m_dropMag + move * step), SmallestDropMag, LargestDropMag);
}

void Staircase::replay(double dropMag, bool seen)
{
    m_dropMag = dropMag;
    record(seen);
}

Threshold thresholdFrom(const std::vector<double> &reversals, int leftOut)
{
    Threshold threshold;
    const std::size_t skipped = std::size_t(std::max(0, leftOut));
    if (reversals.size() <= skipped)
        return threshold;
    const std::vector<double> used(reversals.begin() + std::ptrdiff_t(skipped), reversals.end());
    threshold.reversalsUsed = int(used.size());
    threshold.enough = used.size() >= 4;
    double sum = 0;
    for (double mag : used)
        sum += mag;
    threshold.meanMag = sum / used.size();
    if (used.size() >= 2) {
        double squares = 0;
        for (double mag : used)
            squares += (mag - threshold.meanMag) * (mag - threshold.meanMag);
        threshold.sigmaMag = std::sqrt(squares / (used.size() - 1));
    }
    return threshold;
}

Block::Block(std::uint64_t seed, std::int64_t startUtcMs, const Rule &rule)
    : m_startUtcMs(startUtcMs)
    , m_rule(rule)
    , m_plan(planWindows(seed, rule.windows))
    , m_staircase(rule)
{
}

const WindowPlan &Block::plan() const
{
    static const WindowPlan none;
    return finished() ? none : m_plan[std::size_t(current())];
}

void Block::dropStarted(std::int64_t firstFrameMs)
{
    m_firstFrameMs = firstFrameMs;
}

void Block::dropEnded(std::int64_t lastFrameMs)
{
    m_lastFrameMs = lastFrameMs;
}

void Block::press(std::int64_t ms)
{
    m_presses.push_back(ms);
}

WindowOutcome Block::finishWindow(std::int64_t startUtcMs)
{
    WindowOutcome outcome;
    if (finished())
        return outcome;
    const WindowPlan &shown = plan();
    outcome.window = current() + 1;
    outcome.startUtcMs = startUtcMs;
    outcome.hasDrop = shown.hasDrop;
    const std::int64_t first = m_firstFrameMs.value_or(shown.dropStartMs);
    const std::int64_t last = std::max(first, m_lastFrameMs.value_or(first + DropMs));
    const PressReading reading = readPresses(m_presses, shown.hasDrop, first, last);
    outcome.seen = reading.seen;
    outcome.reactionS = reading.reactionS;
    outcome.falseAlarms = reading.falseAlarms;
    if (shown.hasDrop) {
        outcome.dropMag = m_staircase.dropMag();
        outcome.dropFirstFrameMs = first;
        m_staircase.record(reading.seen);
    }
    m_outcomes.push_back(outcome);
    m_presses.clear();
    m_firstFrameMs.reset();
    m_lastFrameMs.reset();
    return outcome;
}

BlockFigures figuresOf(const std::vector<WindowOutcome> &outcomes)
{
    BlockFigures figures;
    Staircase replayed;
    double reactions = 0;
    for (const WindowOutcome &outcome : outcomes) {
        ++figures.windows;
        if (outcome.hasDrop) {
            ++figures.drops;
            figures.falseAlarmsWithDrop += outcome.falseAlarms;
            replayed.replay(outcome.dropMag, outcome.seen);
            if (outcome.seen) {
                ++figures.hits;
                reactions += outcome.reactionS.value_or(0.0);
            }
        } else {
            ++figures.windowsWithoutDrop;
            figures.falseAlarmsWithoutDrop += outcome.falseAlarms;
            if (outcome.falseAlarms > 0)
                ++figures.alarmedWindowsWithoutDrop;
        }
    }
    if (figures.hits > 0)
        figures.meanReactionS = reactions / figures.hits;
    figures.threshold = thresholdFrom(replayed.reversals());
    return figures;
}

namespace Log {

namespace {

constexpr int FieldCount = 11;
// Far beyond any block (40 windows, some 60 groups of presses in a window
// at most): a block's sums stay far within an int whatever a damaged log
// holds.
constexpr int MostWindows = 1000;
constexpr int MostFalseAlarms = 1000;
enum Column { Seance, Fenetre, DateUtc, Chute, Debut, Vu, Reaction, Fausses, Eclat, Scint, Fondu };

// A stretch of the log's text, read in place.
struct Field
{
    const char *begin = nullptr;
    const char *end = nullptr;
    int size() const { return int(end - begin); }
    bool is(const char *text) const
    {
        return size() == int(std::strlen(text)) && std::memcmp(begin, text, std::size_t(size())) == 0;
    }
};

// One to nine digits: a count far beyond any in the log, and no overflow.
bool readCount(const Field &field, int &value)
{
    if (field.size() < 1 || field.size() > 9)
        return false;
    value = 0;
    for (const char *p = field.begin; p < field.end; ++p) {
        if (*p < '0' || *p > '9')
            return false;
        value = value * 10 + (*p - '0');
    }
    return true;
}

// Digits, and a point with digits after them, as the log writes them.
bool readDecimal(const Field &field, double &value)
{
    const char *point = static_cast<const char *>(std::memchr(field.begin, '.', std::size_t(field.size())));
    int units = 0, fraction = 0;
    if (!readCount({field.begin, point ? point : field.end}, units)
        || (point && !readCount({point + 1, field.end}, fraction)))
        return false;
    double scale = 1;
    for (int i = point ? int(field.end - point - 1) : 0; i > 0; --i)
        scale *= 10;
    value = (units * scale + fraction) / scale;
    return true;
}

int digitsAt(const char *text, int count)
{
    int value = 0;
    for (int i = 0; i < count; ++i)
        value = value * 10 + (text[i] - '0');
    return value;
}

// "YYYY-MM-DD HH:MM:SS", and ".mmm" after it where asked: UTC ms since 1970.
bool readUtc(const Field &field, bool withMilliseconds, std::int64_t &ms)
{
    if (field.size() != (withMilliseconds ? 23 : 19))
        return false;
    const char *t = field.begin;
    for (int i = 0; i < field.size(); ++i) {
        const char expected = i == 4 || i == 7 ? '-' : i == 10 ? ' ' : i == 13 || i == 16 ? ':'
                                                                    : i == 19 ? '.' : '0';
        if (expected == '0' ? t[i] < '0' || t[i] > '9' : t[i] != expected)
            return false;
    }
    const int year = digitsAt(t, 4), month = digitsAt(t + 5, 2), day = digitsAt(t + 8, 2);
    const int hour = digitsAt(t + 11, 2), minute = digitsAt(t + 14, 2), second = digitsAt(t + 17, 2);
    if (!QDate::isValid(year, month, day) || hour > 23 || minute > 59 || second > 59)
        return false;
    constexpr std::int64_t Epoch = 2440588; // the Julian day of 1970-01-01
    const std::int64_t days = QDate(year, month, day).toJulianDay() - Epoch;
    ms = ((days * 24 + hour) * 60 + minute) * 60000 + second * 1000
         + (withMilliseconds ? digitsAt(t + 20, 3) : 0);
    return true;
}

struct LoggedWindow
{
    WindowOutcome outcome;
    int eclat = 0, scintillation = 0, fadeMs = 0;
};

bool readLine(const Field &line, Field &seance, LoggedWindow &window)
{
    Field fields[FieldCount];
    const char *p = line.begin;
    for (int i = 0; i < FieldCount; ++i) {
        const char *comma = static_cast<const char *>(std::memchr(p, ',', std::size_t(line.end - p)));
        if ((comma == nullptr) != (i == FieldCount - 1))
            return false; // a field short, or one more
        fields[i] = {p, comma ? comma : line.end};
        if (comma)
            p = comma + 1;
    }
    std::int64_t blockStart = 0;
    WindowOutcome &outcome = window.outcome;
    if (!readUtc(fields[Seance], false, blockStart) || !readCount(fields[Fenetre], outcome.window)
        || outcome.window < 1 || outcome.window > MostWindows
        || !readUtc(fields[DateUtc], true, outcome.startUtcMs)
        || !readCount(fields[Fausses], outcome.falseAlarms) || outcome.falseAlarms > MostFalseAlarms
        || !readCount(fields[Eclat], window.eclat)
        || !readCount(fields[Scint], window.scintillation)
        || !readCount(fields[Fondu], window.fadeMs))
        return false;
    seance = fields[Seance];
    outcome.hasDrop = fields[Chute].size() > 0;
    if (!outcome.hasDrop) {
        // Nothing to see: neither a start, an answer nor a reaction.
        return fields[Debut].size() == 0 && fields[Vu].size() == 0 && fields[Reaction].size() == 0;
    }
    double firstS = 0;
    if (!readDecimal(fields[Chute], outcome.dropMag) || !readDecimal(fields[Debut], firstS)
        || !(fields[Vu].is("0") || fields[Vu].is("1")))
        return false;
    outcome.dropFirstFrameMs = std::llround(firstS * 1000.0);
    outcome.seen = fields[Vu].is("1");
    if (outcome.seen) {
        double reaction = 0;
        if (!readDecimal(fields[Reaction], reaction))
            return false;
        outcome.reactionS = reaction;
        return true;
    }
    return fields[Reaction].size() == 0;
}

} // namespace

QByteArray recordLine(std::int64_t blockStartUtcMs, const WindowOutcome &outcome, int eclat,
                      int scintillation, int fadeMs)
{
    QByteArray line = StatsLog::utcText(blockStartUtcMs, false) + ',' + QByteArray::number(outcome.window)
                      + ',' + StatsLog::utcText(outcome.startUtcMs, true) + ',';
    if (outcome.hasDrop) {
        line += QByteArray::number(outcome.dropMag, 'f', 2) + ','
                + QByteArray::number(double(outcome.dropFirstFrameMs) / 1000.0, 'f', 3) + ','
                + (outcome.seen ? '1' : '0') + ',';
        if (outcome.seen && outcome.reactionS)
            line += QByteArray::number(*outcome.reactionS, 'f', 3);
    } else {
        line += ",,,"; // no drop, start, answer nor reaction
    }
    return line + ',' + QByteArray::number(outcome.falseAlarms) + ',' + QByteArray::number(eclat)
           + ',' + QByteArray::number(scintillation) + ',' + QByteArray::number(fadeMs);
}

std::vector<LoggedBlock> readBlocks(const QByteArray &text)
{
    // Each block's windows by number, in the order of the blocks' first
    // lines; a block's lines follow each other, so the last is tried first.
    std::vector<std::pair<QByteArray, std::map<int, LoggedWindow>>> found;
    std::map<QByteArray, std::size_t> places;
    const char *p = text.constData();
    const char *const end = p + text.size();
    while (p < end) {
        const char *newline = static_cast<const char *>(std::memchr(p, '\n', std::size_t(end - p)));
        Field line{p, newline ? newline : end};
        p = newline ? newline + 1 : end;
        if (line.size() > 0 && line.end[-1] == '\r')
            --line.end;
        if (line.size() >= 3 && std::memcmp(line.begin, "\xEF\xBB\xBF", 3) == 0)
            line.begin += 3;
        Field seance;
        LoggedWindow window;
        if (!readLine(line, seance, window))
            continue;
        const QByteArray key(seance.begin, seance.size());
        std::size_t place = found.size();
        if (!found.empty() && found.back().first == key) {
            place = found.size() - 1;
        } else {
            const auto known = places.emplace(key, found.size());
            place = known.first->second;
            if (known.second)
                found.emplace_back(key, std::map<int, LoggedWindow>());
        }
        found[place].second.emplace(window.outcome.window, window);
    }
    std::vector<LoggedBlock> blocks;
    for (const auto &[seance, lines] : found) {
        LoggedBlock block;
        std::int64_t startMs = 0;
        readUtc({seance.constData(), seance.constData() + seance.size()}, false, startMs);
        block.startUtcSeconds = startMs / 1000;
        const LoggedWindow &first = lines.begin()->second;
        block.eclat = first.eclat;
        block.scintillation = first.scintillation;
        block.fadeMs = first.fadeMs;
        std::vector<WindowOutcome> outcomes;
        for (const auto &[number, window] : lines)
            outcomes.push_back(window.outcome);
        block.figures = figuresOf(outcomes);
        block.windows = block.figures.windows;
        block.windowsWithoutDrop = block.figures.windowsWithoutDrop;
        block.falseAlarmsWithoutDrop = block.figures.falseAlarmsWithoutDrop;
        block.threshold = block.figures.threshold;
        blocks.push_back(block);
    }
    return blocks;
}

} // namespace Log

} // namespace Detection
