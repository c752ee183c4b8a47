// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/randomsource.h"
#include "detection/detection.h"

#include <QDateTime>
#include <QtTest>

#include <cmath>
#include <vector>

using Detection::WindowOutcome;

namespace {

qint64 utcMs(int year, int month, int day, int hour, int minute, int second, int ms)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second, ms), Qt::UTC)
        .toMSecsSinceEpoch();
}

QString mags(const std::vector<double> &values)
{
    QStringList texts;
    for (double value : values)
        texts << QString::number(value, 'f', 2);
    return texts.join(QLatin1Char(' '));
}

// Windows written short, one a token: "-2" no drop and two false alarms,
// "1.6+0.450/1" a drop of 1.6 seen after 0.450 s with one false alarm,
// "1.6x/0" a drop of 1.6 missed.
std::vector<WindowOutcome> windows(const QString &tokens)
{
    std::vector<WindowOutcome> outcomes;
    for (const QString &token : tokens.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        WindowOutcome outcome;
        outcome.window = int(outcomes.size()) + 1;
        if (token.startsWith(QLatin1Char('-'))) {
            outcome.falseAlarms = token.mid(1).toInt();
        } else {
            const QStringList answer = token.split(QLatin1Char('/'));
            outcome.falseAlarms = answer.value(1).toInt();
            outcome.hasDrop = true;
            const int seen = answer[0].indexOf(QLatin1Char('+'));
            outcome.seen = seen >= 0;
            outcome.dropMag = answer[0].left(seen >= 0 ? seen : answer[0].indexOf(QLatin1Char('x')))
                                  .toDouble();
            if (outcome.seen)
                outcome.reactionS = answer[0].mid(seen + 1).toDouble();
        }
        outcomes.push_back(outcome);
    }
    return outcomes;
}

// A block's figures in one line, as the rows give them.
QString figuresText(const Detection::BlockFigures &f)
{
    return QStringLiteral("%1 windows, %2 drops, %3 hits, %4 without (%5 alarmed, %6 alarms), "
                          "%7 alarms with, reaction %8, %9 used %10 mean %11 sd %12")
        .arg(f.windows)
        .arg(f.drops)
        .arg(f.hits)
        .arg(f.windowsWithoutDrop)
        .arg(f.alarmedWindowsWithoutDrop)
        .arg(f.falseAlarmsWithoutDrop)
        .arg(f.falseAlarmsWithDrop)
        .arg(f.meanReactionS ? QString::number(*f.meanReactionS, 'f', 3) : QStringLiteral("-"))
        .arg(f.threshold.enough ? QStringLiteral("enough") : QStringLiteral("not enough"))
        .arg(f.threshold.reversalsUsed)
        .arg(f.threshold.meanMag, 0, 'f', 3)
        .arg(f.threshold.sigmaMag, 0, 'f', 3);
}

// The answers to the windows with a drop: '+' seen, 'x' missed.
void answer(Detection::Staircase &staircase, const QString &answers, std::vector<double> &shown)
{
    for (QChar a : answers) {
        shown.push_back(staircase.dropMag());
        staircase.record(a == QLatin1Char('+'));
    }
}

} // namespace

class TestDetection : public QObject
{
    Q_OBJECT

private slots:
    void plan_data();
    void plan();
    void planPlaces_data();
    void planPlaces();
    void presses_data();
    void presses();
    void staircase_data();
    void staircase();
    void threshold_data();
    void threshold();
    void block_data();
    void block();
    void figures_data();
    void figures();
    void recordLine_data();
    void recordLine();
    void readBlocks_data();
    void readBlocks();
    void logReplaysTheBlock_data();
    void logReplaysTheBlock();
};

void TestDetection::plan_data()
{
    QTest::addColumn<quint64>("firstSeed");
    QTest::addColumn<int>("seeds");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("withoutDrop");

    QTest::newRow("40 windows: 8 without a drop, seeds from 0") << quint64(0) << 500 << 40 << 8;
    QTest::newRow("40 windows, seeds past 32 bits") << (quint64(1) << 40) << 500 << 40 << 8;
    QTest::newRow("10 windows: 2 without") << quint64(7) << 300 << 10 << 2;
    QTest::newRow("13 windows: 2.6 rounds to 3") << quint64(7) << 300 << 13 << 3;
    QTest::newRow("12 windows: 2.4 rounds to 2") << quint64(7) << 300 << 12 << 2;
    QTest::newRow("7 windows: 1 without") << quint64(7) << 300 << 7 << 1;
    QTest::newRow("2 windows: none without") << quint64(7) << 50 << 2 << 0;
    QTest::newRow("no window") << quint64(7) << 5 << 0 << 0;
}

void TestDetection::plan()
{
    QFETCH(quint64, firstSeed);
    QFETCH(int, seeds);
    QFETCH(int, count);
    QFETCH(int, withoutDrop);

    RandomSource::seed(12345);
    for (quint64 seed = firstSeed; seed < firstSeed + quint64(seeds); ++seed) {
        const std::vector<Detection::WindowPlan> plan = Detection::planWindows(seed, count);
        QCOMPARE(int(plan.size()), count);
        int without = 0, run = 0;
        for (const Detection::WindowPlan &window : plan) {
            run = window.hasDrop ? 0 : run + 1;
            QVERIFY2(run <= 2, qPrintable(QStringLiteral("seed %1: three without a drop").arg(seed)));
            if (window.hasDrop) {
                QVERIFY(window.dropStartMs >= 1000 && window.dropStartMs <= 4000);
            } else {
                ++without;
                QCOMPARE(window.dropStartMs, std::int64_t(0));
            }
        }
        QCOMPARE(without, withoutDrop);
        // The same seed, the same windows.
        const std::vector<Detection::WindowPlan> again = Detection::planWindows(seed, count);
        for (std::size_t i = 0; i < plan.size(); ++i) {
            QCOMPARE(again[i].hasDrop, plan[i].hasDrop);
            QCOMPARE(again[i].dropStartMs, plan[i].dropStartMs);
        }
    }
    // The trials' random source is left where it was.
    QCOMPARE(RandomSource::state(), std::uint32_t(12345));
}

void TestDetection::planPlaces_data()
{
    QTest::addColumn<int>("window");

    // Each window is without a drop one time in five, give or take: the
    // constraint makes the edges a little likelier than the middle.
    QTest::newRow("first window") << 0;
    QTest::newRow("second window") << 1;
    QTest::newRow("twentieth window") << 19;
    QTest::newRow("last window") << 39;
}

void TestDetection::planPlaces()
{
    QFETCH(int, window);

    const int seeds = 4000;
    int without = 0, early = 0, late = 0;
    std::int64_t starts = 0;
    int drops = 0;
    QSet<QString> plans;
    for (int seed = 0; seed < seeds; ++seed) {
        const std::vector<Detection::WindowPlan> plan = Detection::planWindows(std::uint64_t(seed));
        const Detection::WindowPlan &shown = plan[std::size_t(window)];
        if (!shown.hasDrop) {
            ++without;
            continue;
        }
        ++drops;
        starts += shown.dropStartMs;
        early += shown.dropStartMs < 1300;
        late += shown.dropStartMs > 3700;
        QString text;
        for (const Detection::WindowPlan &w : plan)
            text += w.hasDrop ? QLatin1Char('d') : QLatin1Char('-');
        plans.insert(text);
    }
    // Binomial: sd of the share sqrt(0.2 x 0.8 / 4000) = 0.0063.
    QVERIFY2(std::abs(double(without) / seeds - 0.2) < 0.03, qPrintable(QString::number(without)));
    // Starts uniform on 1000..4000: mean 2500 (sd of the mean 866 / sqrt(3200) = 15).
    QVERIFY2(std::abs(double(starts) / drops - 2500.0) < 80.0,
             qPrintable(QString::number(double(starts) / drops)));
    // A tenth of the span at each end: 10 % each (sd 0.5 %).
    QVERIFY(std::abs(double(early) / drops - 0.1) < 0.025);
    QVERIFY(std::abs(double(late) / drops - 0.1) < 0.025);
    // The seeds give different placements.
    QVERIFY(plans.size() > drops * 9 / 10);
}

void TestDetection::presses_data()
{
    QTest::addColumn<QList<qint64>>("presses");
    QTest::addColumn<bool>("hasDrop");
    QTest::addColumn<qint64>("first");
    QTest::addColumn<qint64>("last");
    QTest::addColumn<bool>("seen");
    QTest::addColumn<double>("reaction"); // -1: none
    QTest::addColumn<int>("falseAlarms");

    // A drop shown from 2000 to 2983 ms: hits from 2100 to 3983.
    QTest::newRow("no press: a miss") << QList<qint64>{} << true << qint64(2000) << qint64(2983)
                                      << false << -1.0 << 0;
    QTest::newRow("0.1 s after the first frame: a hit")
        << QList<qint64>{2100} << true << qint64(2000) << qint64(2983) << true << 0.100 << 0;
    QTest::newRow("0.099 s after the first frame: a false alarm")
        << QList<qint64>{2099} << true << qint64(2000) << qint64(2983) << false << -1.0 << 1;
    QTest::newRow("1 s after the last frame: a hit")
        << QList<qint64>{3983} << true << qint64(2000) << qint64(2983) << true << 1.983 << 0;
    QTest::newRow("1.001 s after the last frame: a false alarm")
        << QList<qint64>{3984} << true << qint64(2000) << qint64(2983) << false << -1.0 << 1;
    QTest::newRow("a bounce 99 ms later counts once")
        << QList<qint64>{2400, 2499} << true << qint64(2000) << qint64(2983) << true << 0.400 << 0;
    QTest::newRow("presses 100 ms apart count twice")
        << QList<qint64>{2400, 2500} << true << qint64(2000) << qint64(2983) << true << 0.400 << 1;
    QTest::newRow("a chain 60 ms apart counts once")
        << QList<qint64>{2400, 2460, 2520, 2580} << true << qint64(2000) << qint64(2983) << true
        << 0.400 << 0;
    QTest::newRow("too early, its bounce in the interval: one false alarm")
        << QList<qint64>{2050, 2120} << true << qint64(2000) << qint64(2983) << false << -1.0 << 1;
    QTest::newRow("a second press in the interval is a false alarm")
        << QList<qint64>{2300, 2800} << true << qint64(2000) << qint64(2983) << true << 0.300 << 1;
    QTest::newRow("a press before the drop, then the hit")
        << QList<qint64>{500, 2450} << true << qint64(2000) << qint64(2983) << true << 0.450 << 1;
    QTest::newRow("presses out of order read in order")
        << QList<qint64>{2800, 2300} << true << qint64(2000) << qint64(2983) << true << 0.300 << 1;
    QTest::newRow("late drop: a hit after the window's 6 s")
        << QList<qint64>{6013} << true << qint64(4030) << qint64(5013) << true << 1.983 << 0;
    QTest::newRow("no drop: every press a false alarm, a bounce once")
        << QList<qint64>{2300, 2800, 2850} << false << qint64(0) << qint64(0) << false << -1.0 << 2;
    QTest::newRow("no drop, no press") << QList<qint64>{} << false << qint64(0) << qint64(0)
                                       << false << -1.0 << 0;
}

void TestDetection::presses()
{
    QFETCH(QList<qint64>, presses);
    QFETCH(bool, hasDrop);
    QFETCH(qint64, first);
    QFETCH(qint64, last);
    QFETCH(bool, seen);
    QFETCH(double, reaction);
    QFETCH(int, falseAlarms);

    const Detection::PressReading reading = Detection::readPresses(
        std::vector<std::int64_t>(presses.begin(), presses.end()), hasDrop, first, last);
    QCOMPARE(reading.seen, seen);
    QCOMPARE(reading.reactionS.has_value(), reaction >= 0);
    if (reading.reactionS)
        QCOMPARE(*reading.reactionS, reaction);
    QCOMPARE(reading.falseAlarms, falseAlarms);
}

void TestDetection::staircase_data()
{
    QTest::addColumn<QString>("answers");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<double>("next");
    QTest::addColumn<QString>("reversals");

    QTest::newRow("starts at 2.0") << QString() << QString() << 2.0 << QString();
    QTest::newRow("one hit does not move it") << "+" << "2.00" << 2.0 << QString();
    QTest::newRow("two hits in a row: 0.4 smaller") << "++" << "2.00 2.00" << 1.6 << QString();
    QTest::newRow("one miss: 0.4 larger, the first move no reversal")
        << "x" << "2.00" << 2.4 << QString();
    QTest::newRow("a miss between hits: no two in a row")
        << "+x+" << "2.00 2.00 2.40" << 2.4 << QString();
    // Down twice, a miss at 1.2 (first reversal, up 0.4 to 1.6), two hits
    // at 1.6 (second reversal, and from it on 0.1: down to 1.5), a miss at
    // 1.5 (third reversal, up 0.1).
    QTest::newRow("0.1 from the second reversal on")
        << "++++x++x" << "2.00 2.00 1.60 1.60 1.20 1.60 1.60 1.50" << 1.6 << "1.20 1.60 1.50";
    QTest::newRow("down to 0.1 and no further")
        << "++++++++++++" << "2.00 2.00 1.60 1.60 1.20 1.20 0.80 0.80 0.40 0.40 0.10 0.10" << 0.1
        << QString();
    QTest::newRow("a miss at 0.1: reversal at 0.1")
        << "+++++++++++++x"
        << "2.00 2.00 1.60 1.60 1.20 1.20 0.80 0.80 0.40 0.40 0.10 0.10 0.10 0.10" << 0.5
        << "0.10";
    QTest::newRow("up to 3.0 and no further") << "xxxxx" << "2.00 2.40 2.80 3.00 3.00" << 3.0
                                              << QString();
    QTest::newRow("two hits at 3.0: reversal at 3.0")
        << "xxxx++" << "2.00 2.40 2.80 3.00 3.00 3.00" << 2.6 << "3.00";
    // 2.0 2.0 down 1.6, miss (rev 1.6) up 2.0, miss up 2.4, hits at 2.4
    // (rev 2.4, fine) 2.3, miss (rev 2.3) 2.4, miss 2.5, ++ (rev 2.5) 2.4.
    QTest::newRow("misses in a row: one reversal")
        << "++xx++xx++" << "2.00 2.00 1.60 2.00 2.40 2.40 2.30 2.40 2.50 2.50" << 2.4
        << "1.60 2.40 2.30 2.50";
}

void TestDetection::staircase()
{
    QFETCH(QString, answers);
    QFETCH(QString, shown);
    QFETCH(double, next);
    QFETCH(QString, reversals);

    Detection::Staircase staircase;
    std::vector<double> drops;
    answer(staircase, answers, drops);
    QCOMPARE(mags(drops), shown);
    QCOMPARE(QString::number(staircase.dropMag(), 'f', 2), QString::number(next, 'f', 2));
    QCOMPARE(mags(staircase.reversals()), reversals);
}

void TestDetection::threshold_data()
{
    QTest::addColumn<QList<double>>("reversals");
    QTest::addColumn<bool>("enough");
    QTest::addColumn<int>("used");
    QTest::addColumn<double>("mean");
    QTest::addColumn<double>("sigma");

    QTest::newRow("none") << QList<double>{} << false << 0 << 0.0 << 0.0;
    QTest::newRow("the first two are left out") << QList<double>{1.2, 1.6} << false << 0 << 0.0
                                                << 0.0;
    QTest::newRow("three after them: not enough")
        << QList<double>{1.2, 1.6, 1.5, 1.0, 1.3} << false << 3 << 1.266667 << 0.251661;
    // 1.0 0.8 1.0 0.8: mean 0.9, squares 4 x 0.01 / 3.
    QTest::newRow("four after them: enough")
        << QList<double>{2.0, 0.8, 1.0, 0.8, 1.0, 0.8} << true << 4 << 0.9 << 0.115470;
    // 0.7 0.9 0.8 0.6: mean 0.75, squares 0.05 / 3.
    QTest::newRow("the first two whatever they are")
        << QList<double>{3.0, 0.1, 0.7, 0.9, 0.8, 0.6} << true << 4 << 0.75 << 0.129099;
    QTest::newRow("all alike: no spread") << QList<double>{1.0, 1.0, 1.0, 1.0, 1.0, 1.0} << true
                                          << 4 << 1.0 << 0.0;
}

void TestDetection::threshold()
{
    QFETCH(QList<double>, reversals);
    QFETCH(bool, enough);
    QFETCH(int, used);
    QFETCH(double, mean);
    QFETCH(double, sigma);

    const Detection::Threshold t =
        Detection::thresholdFrom(std::vector<double>(reversals.begin(), reversals.end()));
    QCOMPARE(t.enough, enough);
    QCOMPARE(t.reversalsUsed, used);
    QVERIFY2(std::abs(t.meanMag - mean) < 1e-6, qPrintable(QString::number(t.meanMag)));
    QVERIFY2(std::abs(t.sigmaMag - sigma) < 1e-6, qPrintable(QString::number(t.sigmaMag)));
}

void TestDetection::block_data()
{
    QTest::addColumn<qint64>("firstFrame"); // from the planned start; -1: not told
    QTest::addColumn<qint64>("lastFrame");  // from the first frame; -1: not told
    QTest::addColumn<QList<qint64>>("presses"); // from the planned start
    QTest::addColumn<bool>("seen");
    QTest::addColumn<double>("reaction");
    QTest::addColumn<int>("falseAlarms");
    QTest::addColumn<qint64>("shownFirstFrame"); // from the planned start
    QTest::addColumn<double>("nextDrop");

    QTest::newRow("frames told: the reaction from the first frame shown")
        << qint64(16) << qint64(983) << QList<qint64>{466} << true << 0.450 << 0 << qint64(16)
        << 2.0;
    QTest::newRow("frames told: a second after the last frame shown")
        << qint64(16) << qint64(950) << QList<qint64>{1966} << true << 1.950 << 0 << qint64(16)
        << 2.0;
    QTest::newRow("frames told: just past it, a miss")
        << qint64(16) << qint64(950) << QList<qint64>{1967} << false << -1.0 << 1 << qint64(16)
        << 2.4;
    QTest::newRow("frames not told: the planned drop")
        << qint64(-1) << qint64(-1) << QList<qint64>{2000} << true << 2.000 << 0 << qint64(0)
        << 2.0;
    QTest::newRow("frames not told: past the planned drop's second, a miss")
        << qint64(-1) << qint64(-1) << QList<qint64>{2001} << false << -1.0 << 1 << qint64(0)
        << 2.4;
    QTest::newRow("last frame not told: a second after the first")
        << qint64(30) << qint64(-1) << QList<qint64>{2030, 2500} << true << 2.000 << 1 << qint64(30)
        << 2.0;
}

void TestDetection::block()
{
    QFETCH(qint64, firstFrame);
    QFETCH(qint64, lastFrame);
    QFETCH(QList<qint64>, presses);
    QFETCH(bool, seen);
    QFETCH(double, reaction);
    QFETCH(int, falseAlarms);
    QFETCH(qint64, shownFirstFrame);
    QFETCH(double, nextDrop);

    // A seed whose first window has a drop.
    std::uint64_t seed = 1;
    while (!Detection::planWindows(seed).front().hasDrop)
        ++seed;
    const std::int64_t start = utcMs(2026, 12, 9, 21, 0, 0, 0);
    Detection::Block block(seed, start);
    QCOMPARE(block.windowCount(), 40);
    QCOMPARE(block.current(), 0);
    QVERIFY(block.plan().hasDrop);
    const std::int64_t planned = block.plan().dropStartMs;
    if (firstFrame >= 0)
        block.dropStarted(planned + firstFrame);
    if (lastFrame >= 0)
        block.dropEnded(planned + firstFrame + lastFrame);
    for (qint64 press : presses)
        block.press(planned + press);
    const WindowOutcome outcome = block.finishWindow(start + 250);
    QCOMPARE(outcome.window, 1);
    QCOMPARE(outcome.startUtcMs, start + 250);
    QVERIFY(outcome.hasDrop);
    QCOMPARE(outcome.dropMag, 2.0);
    QCOMPARE(outcome.dropFirstFrameMs, planned + shownFirstFrame);
    QCOMPARE(outcome.seen, seen);
    QCOMPARE(outcome.reactionS.value_or(-1.0), reaction);
    QCOMPARE(outcome.falseAlarms, falseAlarms);
    QCOMPARE(block.current(), 1);
    QCOMPARE(block.dropMag(), nextDrop);
    QCOMPARE(int(block.outcomes().size()), 1);

    // The next window starts afresh: no press, no frame carried over.
    const bool nextHasDrop = block.plan().hasDrop;
    const WindowOutcome second = block.finishWindow(start + 6250);
    QCOMPARE(second.window, 2);
    QCOMPARE(second.falseAlarms, 0);
    QCOMPARE(second.seen, false);
    if (nextHasDrop)
        QCOMPARE(second.dropFirstFrameMs, Detection::planWindows(seed)[1].dropStartMs);

    // To the end, and past it: nothing more.
    while (!block.finished())
        block.finishWindow(start);
    QCOMPARE(block.current(), 40);
    QCOMPARE(block.plan().hasDrop, false);
    QCOMPARE(block.finishWindow(start).window, 0);
    QCOMPARE(int(block.outcomes().size()), 40);
}

void TestDetection::figures_data()
{
    QTest::addColumn<QString>("windows");
    QTest::addColumn<QString>("figures");

    QTest::newRow("no window") << QString()
                               << "0 windows, 0 drops, 0 hits, 0 without (0 alarmed, 0 alarms), "
                                  "0 alarms with, reaction -, not enough used 0 mean 0.000 sd 0.000";
    QTest::newRow("false alarms with and without a drop told apart")
        << "-2 -0 2.0+0.500/1 2.0+0.300/0 1.6x/3"
        << "5 windows, 3 drops, 2 hits, 2 without (1 alarmed, 2 alarms), 4 alarms with, "
           "reaction 0.400, not enough used 0 mean 0.000 sd 0.000";
    // ++x four times (window 4 without a drop): reversals at windows 3, 6,
    // 7, 9, 10, 12 and 13, at their own drops whatever steps led there;
    // used 0.9 1.1 0.8 1.0 0.7: mean 0.9, squares 0.10 / 4.
    QTest::newRow("reversals at the drops as logged")
        << "2.0+0.4/0 2.0+0.4/0 1.2x/0 -0 2.0+0.4/0 1.6+0.4/0 0.9x/0 2.0+0.4/0 1.1+0.4/0 0.8x/0 "
           "2.0+0.4/0 1.0+0.4/0 0.7x/0"
        << "13 windows, 12 drops, 8 hits, 1 without (0 alarmed, 0 alarms), 0 alarms with, "
           "reaction 0.400, enough used 5 mean 0.900 sd 0.158";
}

void TestDetection::figures()
{
    QFETCH(QString, windows);
    QFETCH(QString, figures);

    QCOMPARE(figuresText(Detection::figuresOf(::windows(windows))), figures);
}

void TestDetection::recordLine_data()
{
    QTest::addColumn<qint64>("blockStart");
    QTest::addColumn<qint64>("windowStart");
    QTest::addColumn<QString>("window");
    QTest::addColumn<qint64>("firstFrame");
    QTest::addColumn<QByteArray>("line");

    const qint64 evening = utcMs(2026, 3, 14, 21, 5, 9, 250);
    QTest::newRow("a drop seen")
        << evening << utcMs(2026, 3, 14, 21, 5, 21, 262) << "0.8+0.453/1" << qint64(2417)
        << QByteArray("2026-03-14 21:05:09,3,2026-03-14 21:05:21.262,0.80,2.417,1,0.453,1,3,2,120");
    QTest::newRow("a drop missed: no reaction")
        << evening << utcMs(2026, 3, 14, 21, 5, 21, 262) << "1.2x/0" << qint64(1000)
        << QByteArray("2026-03-14 21:05:09,3,2026-03-14 21:05:21.262,1.20,1.000,0,,0,3,2,120");
    QTest::newRow("no drop: drop, start and answer empty")
        << evening << utcMs(2026, 3, 14, 21, 5, 21, 262) << "-2" << qint64(0)
        << QByteArray("2026-03-14 21:05:09,3,2026-03-14 21:05:21.262,,,,,2,3,2,120");
    QTest::newRow("the block's start to the second, the window's across midnight")
        << utcMs(2026, 12, 31, 23, 59, 59, 999) << utcMs(2027, 1, 1, 0, 0, 5, 7) << "2.4+1.05/0"
        << qint64(3999)
        << QByteArray("2026-12-31 23:59:59,3,2027-01-01 00:00:05.007,2.40,3.999,1,1.050,0,3,2,120");
}

void TestDetection::recordLine()
{
    QFETCH(qint64, blockStart);
    QFETCH(qint64, windowStart);
    QFETCH(QString, window);
    QFETCH(qint64, firstFrame);
    QFETCH(QByteArray, line);

    WindowOutcome outcome = windows(window).front();
    outcome.window = 3;
    outcome.startUtcMs = windowStart;
    outcome.dropFirstFrameMs = firstFrame;
    QCOMPARE(Detection::Log::recordLine(blockStart, outcome, 3, 2, 120), line);
}

void TestDetection::readBlocks_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("blocks");

    // The windows of the figures' row "reversals at the drops as logged".
    const QByteArray a = "2026-03-14 21:05:09,";
    const QByteArray d = ",2026-03-14 21:05:15.000,";
    const QList<QByteArray> twelve = {
        a + "1" + d + "2.00,1.500,1,0.400,0,3,2,120", a + "2" + d + "2.00,1.500,1,0.400,0,3,2,120",
        a + "3" + d + "1.20,1.500,0,,0,3,2,120",      a + "4" + d + ",,,,0,3,2,120",
        a + "5" + d + "2.00,1.500,1,0.400,0,3,2,120", a + "6" + d + "1.60,1.500,1,0.400,0,3,2,120",
        a + "7" + d + "0.90,1.500,0,,0,3,2,120",      a + "8" + d + "2.00,1.500,1,0.400,0,3,2,120",
        a + "9" + d + "1.10,1.500,1,0.400,0,3,2,120", a + "10" + d + "0.80,1.500,0,,0,3,2,120",
        a + "11" + d + "2.00,1.500,1,0.400,0,3,2,120", a + "12" + d + "1.00,1.500,1,0.400,0,3,2,120",
        a + "13" + d + "0.70,1.500,0,,0,3,2,120"};
    const QString twelveFigures =
        QStringLiteral("2026-03-14 21:05:09 3/2/120: 13 windows, 12 drops, 8 hits, 1 without (0 "
                       "alarmed, 0 alarms), 0 alarms with, reaction 0.400, enough used 5 mean "
                       "0.900 sd 0.158");
    const QByteArray header = Detection::Log::HeaderLine;

    QByteArray inOrder = header + "\r\n";
    for (const QByteArray &line : twelve)
        inOrder += line + "\r\n";
    QTest::newRow("a block recomputed from its lines") << inOrder << QStringList{twelveFigures};

    QByteArray shuffled = "\xEF\xBB\xBF" + header + "\n";
    for (int i : {12, 0, 5, 3, 1, 2, 11, 4, 6, 8, 7, 10, 9, 2})
        shuffled += twelve[i] + "\n";
    QTest::newRow("lines out of order, one twice, a byte-order mark")
        << shuffled << QStringList{twelveFigures};

    QByteArray two = header + "\r\n";
    const QByteArray b = "2026-03-15 01:00:00,";
    for (int i = 0; i < 13; ++i) {
        two += twelve[i] + "\r\n";
        if (i == 1)
            two += b + "1,2026-03-15 01:00:00.100,,,,,2,5,0,0\r\n" + header + "\r\n\r\n";
    }
    two += b + "2,2026-03-15 01:00:06.100,3.00,4.020,0,,1,5,0,0\r\n";
    QTest::newRow("two blocks, in the order of their first lines")
        << two
        << QStringList{twelveFigures,
                       QStringLiteral("2026-03-15 01:00:00 5/0/0: 2 windows, 1 drops, 0 hits, 1 "
                                      "without (1 alarmed, 2 alarms), 1 alarms with, reaction -, "
                                      "not enough used 0 mean 0.000 sd 0.000")};

    const QByteArray good = b + "1,2026-03-15 01:00:00.100,,,,,2,5,0,0";
    const QStringList one{QStringLiteral(
        "2026-03-15 01:00:00 5/0/0: 1 windows, 0 drops, 0 hits, 1 without (1 alarmed, 2 alarms), 0 "
        "alarms with, reaction -, not enough used 0 mean 0.000 sd 0.000")};
    const struct
    {
        const char *name;
        QByteArray line;
    } damaged[] = {
        {"answer 2", b + "2,2026-03-15 01:00:06.100,3.00,4.020,2,,1,5,0,0"},
        {"a drop without its start", b + "2,2026-03-15 01:00:06.100,3.00,,0,,1,5,0,0"},
        {"a reaction without a hit", b + "2,2026-03-15 01:00:06.100,3.00,4.020,0,0.5,1,5,0,0"},
        {"a hit without a reaction", b + "2,2026-03-15 01:00:06.100,3.00,4.020,1,,1,5,0,0"},
        {"an answer without a drop", b + "2,2026-03-15 01:00:06.100,,,0,,1,5,0,0"},
        {"a field short", b + "2,2026-03-15 01:00:06.100,3.00,4.020,0,,1,5,0"},
        {"a field more", b + "2,2026-03-15 01:00:06.100,3.00,4.020,0,,1,5,0,0,1"},
        {"window 0", b + "0,2026-03-15 01:00:06.100,3.00,4.020,0,,1,5,0,0"},
        {"a window's date without ms", b + "2,2026-03-15 01:00:06,3.00,4.020,0,,1,5,0,0"},
        {"February 30th", "2026-02-30 01:00:00,2,2026-03-15 01:00:06.100,3.00,4.020,0,,1,5,0,0"},
        {"a decimal comma", b + "2,2026-03-15 01:00:06.100,\"3,00\",4.020,0,,1,5,0,0"},
        {"a negative drop", b + "2,2026-03-15 01:00:06.100,-3.00,4.020,0,,1,5,0,0"},
        {"a drop 3.", b + "2,2026-03-15 01:00:06.100,3.,4.020,0,,1,5,0,0"},
    };
    for (const auto &row : damaged)
        QTest::newRow(qPrintable(QStringLiteral("skipped: %1").arg(QLatin1String(row.name))))
            << (header + "\r\n" + good + "\r\n" + row.line + "\r\n") << one;
    QTest::newRow("no line of the log") << QByteArray("a,b\r\n\r\n" + header) << QStringList{};
}

void TestDetection::readBlocks()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, blocks);

    QStringList read;
    for (const Detection::Log::LoggedBlock &block : Detection::Log::readBlocks(text)) {
        QCOMPARE(block.windows, block.figures.windows);
        QCOMPARE(block.windowsWithoutDrop, block.figures.windowsWithoutDrop);
        QCOMPARE(block.falseAlarmsWithoutDrop, block.figures.falseAlarmsWithoutDrop);
        QCOMPARE(block.threshold.meanMag, block.figures.threshold.meanMag);
        read << QStringLiteral("%1 %2/%3/%4: %5")
                    .arg(QDateTime::fromSecsSinceEpoch(block.startUtcSeconds, Qt::UTC)
                             .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                    .arg(block.eclat)
                    .arg(block.scintillation)
                    .arg(block.fadeMs)
                    .arg(figuresText(block.figures));
    }
    QCOMPARE(read, blocks);
}

void TestDetection::logReplaysTheBlock_data()
{
    QTest::addColumn<quint64>("seed");
    QTest::addColumn<QString>("pattern"); // answers to the drops, repeated
    QTest::addColumn<bool>("enough");

    QTest::newRow("seen twice, missed once") << quint64(3) << "++x" << true;
    QTest::newRow("seen three times, missed once") << quint64(5) << "+++x" << true;
    QTest::newRow("seen, missed in turn") << quint64(8) << "+x+x++x" << true;
    QTest::newRow("seen always: no reversal") << quint64(13) << "+" << false;
}

void TestDetection::logReplaysTheBlock()
{
    QFETCH(quint64, seed);
    QFETCH(QString, pattern);
    QFETCH(bool, enough);

    const std::int64_t start = utcMs(2026, 12, 9, 21, 0, 0, 0);
    Detection::Block block(seed, start);
    int drops = 0;
    QByteArray log = QByteArray(Detection::Log::HeaderLine) + "\r\n";
    while (!block.finished()) {
        const Detection::WindowPlan plan = block.plan();
        const std::int64_t windowStart = start + block.current() * 6000 + 3;
        // A false alarm early in every other window.
        if (block.current() % 2)
            block.press(200);
        if (plan.hasDrop) {
            block.dropStarted(plan.dropStartMs + 9);
            block.dropEnded(plan.dropStartMs + 992);
            if (pattern[drops++ % pattern.size()] == QLatin1Char('+'))
                block.press(plan.dropStartMs + 9 + 420 + block.current());
        }
        log += Detection::Log::recordLine(start, block.finishWindow(windowStart), 4, 1, 250)
               + "\r\n";
    }
    const std::vector<Detection::Log::LoggedBlock> read = Detection::Log::readBlocks(log);
    QCOMPARE(int(read.size()), 1);
    const Detection::Threshold live = block.threshold();
    const Detection::BlockFigures logged = read.front().figures;
    const Detection::BlockFigures figures = Detection::figuresOf(block.outcomes());
    QCOMPARE(live.enough, enough);
    QCOMPARE(logged.threshold.enough, live.enough);
    QCOMPARE(logged.threshold.reversalsUsed, live.reversalsUsed);
    QVERIFY(std::abs(logged.threshold.meanMag - live.meanMag) < 1e-9);
    QVERIFY(std::abs(logged.threshold.sigmaMag - live.sigmaMag) < 1e-9);
    QCOMPARE(figuresText(logged), figuresText(figures));
    QCOMPARE(read.front().startUtcSeconds, start / 1000);
    QCOMPARE(read.front().windows, 40);
    QCOMPARE(read.front().windowsWithoutDrop, 8);
    QCOMPARE(read.front().falseAlarmsWithoutDrop + logged.falseAlarmsWithDrop, 20);
}

QTEST_APPLESS_MAIN(TestDetection)
#include "tst_detection.moc"
