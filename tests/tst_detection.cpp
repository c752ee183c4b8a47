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

std::vector<double> numbers(const QString &text)
{
    std::vector<double> values;
    for (const QString &value : text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        values.push_back(value.toDouble());
    return values;
}

// Windows written short, one a token: "-2" no drop and two false alarms,
// "1.6+0.450/1" a drop of 1.6 seen after 0.450 s with one false alarm,
// "1.6x/0" a drop of 1.6 missed.
std::vector<WindowOutcome> windows(const QString &tokens)
{
    std::vector<WindowOutcome> outcomes;
    for (const QString &token : tokens.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        WindowOutcome w;
        w.window = int(outcomes.size()) + 1;
        const QStringList answer = token.split(QLatin1Char('/'));
        w.falseAlarms = answer.value(1, answer[0].mid(1)).toInt();
        w.hasDrop = !token.startsWith(QLatin1Char('-'));
        const int seen = answer[0].indexOf(QLatin1Char('+'));
        w.seen = w.hasDrop && seen >= 0;
        if (w.hasDrop)
            w.dropMag = answer[0].left(w.seen ? seen : answer[0].indexOf(QLatin1Char('x'))).toDouble();
        if (w.seen)
            w.reactionS = answer[0].mid(seen + 1).toDouble();
        outcomes.push_back(w);
    }
    return outcomes;
}

QString thresholdText(const Detection::Threshold &t)
{
    return QStringLiteral("%1 %2 used, %3 sd %4")
        .arg(t.enough ? QStringLiteral("enough") : QStringLiteral("not enough"))
        .arg(t.reversalsUsed)
        .arg(t.meanMag, 0, 'f', 3)
        .arg(t.sigmaMag, 0, 'f', 3);
}

QString figuresText(const Detection::BlockFigures &f)
{
    return QStringLiteral("%1 windows, %2 drops, %3 hits, %4 without (%5 alarmed, %6 alarms), "
                          "%7 alarms with, reaction %8, %9")
        .arg(f.windows)
        .arg(f.drops)
        .arg(f.hits)
        .arg(f.windowsWithoutDrop)
        .arg(f.alarmedWindowsWithoutDrop)
        .arg(f.falseAlarmsWithoutDrop)
        .arg(f.falseAlarmsWithDrop)
        .arg(f.meanReactionS ? QString::number(*f.meanReactionS, 'f', 3) : QStringLiteral("-"))
        .arg(thresholdText(f.threshold));
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
    void dropFactor_data();
    void dropFactor();
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
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("withoutDrop");

    QTest::newRow("40 windows: 8 without a drop") << quint64(0) << 40 << 8;
    QTest::newRow("40 windows, seeds past 32 bits") << (quint64(1) << 40) << 40 << 8;
    QTest::newRow("13 windows: 2.6 rounds to 3") << quint64(7) << 13 << 3;
    QTest::newRow("12 windows: 2.4 rounds to 2") << quint64(7) << 12 << 2;
    QTest::newRow("2 windows: none without") << quint64(7) << 2 << 0;
    QTest::newRow("5000 windows: 1000 at most, 200 without") << quint64(7) << 5000 << 200;
}

void TestDetection::plan()
{
    QFETCH(quint64, firstSeed);
    QFETCH(int, count);
    QFETCH(int, withoutDrop);

    RandomSource::seed(12345);
    for (quint64 seed = firstSeed; seed < firstSeed + (count > 40 ? 3 : 300); ++seed) {
        const std::vector<Detection::WindowPlan> plan = Detection::planWindows(seed, count);
        const std::vector<Detection::WindowPlan> again = Detection::planWindows(seed, count);
        QCOMPARE(int(plan.size()), std::min(count, 1000));
        int without = 0, run = 0;
        for (std::size_t i = 0; i < plan.size(); ++i) {
            run = plan[i].hasDrop ? 0 : run + 1;
            without += !plan[i].hasDrop;
            QVERIFY2(run <= 2, qPrintable(QStringLiteral("seed %1: three without a drop").arg(seed)));
            QVERIFY(plan[i].hasDrop ? plan[i].dropStartMs >= 1000 && plan[i].dropStartMs <= 4000
                                    : plan[i].dropStartMs == 0);
            // The same seed, the same windows.
            QCOMPARE(again[i].hasDrop, plan[i].hasDrop);
            QCOMPARE(again[i].dropStartMs, plan[i].dropStartMs);
        }
        QCOMPARE(without, withoutDrop);
    }
    // The trials' random source is left where it was.
    QCOMPARE(RandomSource::state(), std::uint32_t(12345));
}

void TestDetection::planPlaces_data()
{
    QTest::addColumn<int>("window");

    QTest::newRow("first window") << 0;
    QTest::newRow("last window") << 39;
}

void TestDetection::planPlaces()
{
    QFETCH(int, window);

    const int seeds = 4000;
    int without = 0, neighbours = 0, drops = 0, early = 0;
    double starts = 0;
    bool before = false;
    for (int seed = 0; seed < seeds; ++seed) {
        const Detection::WindowPlan w = Detection::planWindows(std::uint64_t(seed))[window];
        // This seed's window and the one before both without a drop.
        neighbours += before && !w.hasDrop;
        before = !w.hasDrop;
        without += !w.hasDrop;
        drops += w.hasDrop;
        starts += w.hasDrop ? w.dropStartMs : 0;
        early += w.hasDrop && w.dropStartMs < 1300;
    }
    // One time in five (sd 0.0063 over 4000 seeds); neighbouring seeds (clock
    // readings) unrelated: both without 0.2 x 0.2 of the time (sd 0.003).
    QVERIFY2(std::abs(double(without) / seeds - 0.2) < 0.03, qPrintable(QString::number(without)));
    QVERIFY2(double(neighbours) / seeds < 0.06, qPrintable(QString::number(neighbours)));
    // Starts uniform on 1000..4000: mean 2500 (sd 15), a tenth below 1300.
    QVERIFY(std::abs(starts / drops - 2500.0) < 80.0);
    QVERIFY(std::abs(double(early) / drops - 0.1) < 0.025);
}

void TestDetection::dropFactor_data()
{
    QTest::addColumn<double>("dropMag");
    QTest::addColumn<double>("factor");

    QTest::newRow("no drop") << 0.0 << 1.0;
    QTest::newRow("2.5 mag: a tenth") << 2.5 << 0.1;
    QTest::newRow("0.75 mag: 10^-0.3") << 0.75 << 0.501187;
    QTest::newRow("3.0 mag: 10^-1.2") << 3.0 << 0.063096;
}

void TestDetection::dropFactor()
{
    QFETCH(double, dropMag);
    QFETCH(double, factor);

    QVERIFY2(std::abs(Detection::dropFactor(dropMag) - factor) < 1e-6,
             qPrintable(QString::number(Detection::dropFactor(dropMag))));
}

void TestDetection::presses_data()
{
    QTest::addColumn<QString>("presses"); // ms from the window's start
    QTest::addColumn<qint64>("first");    // the drop's first frame; -1: no drop
    QTest::addColumn<QString>("reading");

    // A drop shown from 2000 to 2983 ms: hits from 2100 to 3983.
    QTest::newRow("no press: a miss") << "" << qint64(2000) << "missed, 0";
    QTest::newRow("0.1 s after the first frame: a hit") << "2100" << qint64(2000) << "0.100, 0";
    QTest::newRow("0.099 s after it: a false alarm") << "2099" << qint64(2000) << "missed, 1";
    QTest::newRow("1 s after the last frame: a hit") << "3983" << qint64(2000) << "1.983, 0";
    QTest::newRow("1.001 s after it: a false alarm") << "3984" << qint64(2000) << "missed, 1";
    QTest::newRow("a bounce 99 ms later counts once") << "2400 2499" << qint64(2000) << "0.400, 0";
    QTest::newRow("presses 100 ms apart count twice") << "2400 2500" << qint64(2000) << "0.400, 1";
    QTest::newRow("a chain 60 ms apart counts once")
        << "2400 2460 2520 2580" << qint64(2000) << "0.400, 0";
    QTest::newRow("too early, its bounce in the interval") << "2050 2120" << qint64(2000)
                                                           << "missed, 1";
    QTest::newRow("before the drop, the hit, a second press, out of order")
        << "2800 500 2450" << qint64(2000) << "0.450, 2";
    QTest::newRow("a late drop: a hit after the window's 6 s") << "6013" << qint64(4030)
                                                               << "1.983, 0";
    QTest::newRow("no drop: every press a false alarm, a bounce once")
        << "2300 2800 2850" << qint64(-1) << "missed, 2";
}

void TestDetection::presses()
{
    QFETCH(QString, presses);
    QFETCH(qint64, first);
    QFETCH(QString, reading);

    std::vector<std::int64_t> times;
    for (double ms : numbers(presses))
        times.push_back(std::int64_t(ms));
    const Detection::PressReading r =
        Detection::readPresses(times, first >= 0, first, first + 983);
    QCOMPARE(r.seen, r.reactionS.has_value());
    QCOMPARE(QStringLiteral("%1, %2")
                 .arg(r.reactionS ? QString::number(*r.reactionS, 'f', 3) : QStringLiteral("missed"))
                 .arg(r.falseAlarms),
             reading);
}

void TestDetection::staircase_data()
{
    QTest::addColumn<QString>("answers"); // to the windows with a drop: '+' seen
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("reversals");
    QTest::addColumn<QString>("steps"); // coarse, fine, from reversal; empty: the program's

    QTest::newRow("one hit does not move it") << "+" << "2.00 2.00" << "" << "";
    QTest::newRow("two hits in a row: 0.4 smaller") << "++" << "2.00 2.00 1.60" << "" << "";
    QTest::newRow("a miss: 0.4 larger, the first move no reversal")
        << "x" << "2.00 2.40" << "" << "";
    QTest::newRow("a miss between hits: no two in a row") << "+x+" << "2.00 2.00 2.40 2.40" << ""
                                                          << "";
    // Down twice, a miss at 1.2 (first reversal, up 0.4 to 1.6), two hits at
    // 1.6 (second reversal, from it on 0.2: down to 1.4), a miss at 1.4.
    QTest::newRow("0.2 from the second reversal on")
        << "++++x++x" << "2.00 2.00 1.60 1.60 1.20 1.60 1.60 1.40 1.60" << "1.20 1.60 1.40" << "";
    QTest::newRow("down to 0.1 and no further, a miss there a reversal")
        << "++++++++++++x"
        << "2.00 2.00 1.60 1.60 1.20 1.20 0.80 0.80 0.40 0.40 0.10 0.10 0.10 0.50" << "0.10" << "";
    QTest::newRow("up to 3.0 and no further, two hits there a reversal")
        << "xxxx++" << "2.00 2.40 2.80 3.00 3.00 3.00 2.60" << "3.00" << "";
    // Down 1.6, miss (rev 1.6) 2.0, miss 2.4, ++ (rev 2.4, fine) 2.2, miss
    // (rev 2.2) 2.4, miss 2.6, ++ (rev 2.6) 2.4.
    QTest::newRow("misses in a row: one reversal")
        << "++xx++xx++" << "2.00 2.00 1.60 2.00 2.40 2.40 2.20 2.40 2.60 2.60 2.40"
        << "1.60 2.40 2.20 2.60" << "";
    // Down 0.3 to 1.7, miss (rev 1.7, fine) 1.8, ++ (rev 1.8) 1.7.
    QTest::newRow("other steps: 0.3, then 0.1 from the first reversal")
        << "++x++" << "2.00 2.00 1.70 1.80 1.80 1.70" << "1.70 1.80" << "0.3 0.1 1";
}

void TestDetection::staircase()
{
    QFETCH(QString, answers);
    QFETCH(QString, shown);
    QFETCH(QString, reversals);
    QFETCH(QString, steps);

    Detection::Rule rule;
    if (!steps.isEmpty()) {
        const std::vector<double> given = numbers(steps);
        rule.coarseStepMag = given[0];
        rule.fineStepMag = given[1];
        rule.coarseReversals = int(given[2]);
    }
    Detection::Staircase staircase(rule);
    std::vector<double> drops{staircase.dropMag()};
    for (QChar a : answers) {
        staircase.record(a == QLatin1Char('+'));
        drops.push_back(staircase.dropMag());
    }
    QCOMPARE(mags(drops), shown);
    QCOMPARE(mags(staircase.reversals()), reversals);
}

void TestDetection::threshold_data()
{
    QTest::addColumn<QString>("reversals");
    QTest::addColumn<int>("leftOut");
    QTest::addColumn<QString>("threshold");

    QTest::newRow("two: both left out") << "1.2 1.6" << 2 << "not enough 0 used, 0.000 sd 0.000";
    QTest::newRow("three after them: not enough")
        << "1.2 1.6 1.5 1.0 1.3" << 2 << "not enough 3 used, 1.267 sd 0.252";
    // 1.0 0.8 1.0 0.8: mean 0.9, squares 4 x 0.01 / 3.
    QTest::newRow("four after them: enough") << "2.0 0.8 1.0 0.8 1.0 0.8" << 2
                                             << "enough 4 used, 0.900 sd 0.115";
    // 0.7 0.9 0.8 0.6: mean 0.75, squares 0.05 / 3.
    QTest::newRow("the first two whatever they are") << "3.0 0.1 0.7 0.9 0.8 0.6" << 2
                                                     << "enough 4 used, 0.750 sd 0.129";
    // 1.6 1.5 1.0 1.3: mean 1.35, squares 0.21 / 3.
    QTest::newRow("one left out, as the bench may ask") << "1.2 1.6 1.5 1.0 1.3" << 1
                                                        << "enough 4 used, 1.350 sd 0.265";
}

void TestDetection::threshold()
{
    QFETCH(QString, reversals);
    QFETCH(int, leftOut);
    QFETCH(QString, threshold);

    QCOMPARE(thresholdText(Detection::thresholdFrom(numbers(reversals), leftOut)), threshold);
}

void TestDetection::block_data()
{
    QTest::addColumn<qint64>("firstFrame"); // from the planned start; -1: not told
    QTest::addColumn<qint64>("lastFrame");  // from the first frame; -1: not told
    QTest::addColumn<QString>("presses");   // from the planned start
    QTest::addColumn<QString>("outcome");   // reaction, false alarms, first frame, next drop

    QTest::newRow("frames told: the reaction from the first frame shown")
        << qint64(16) << qint64(983) << "466" << "0.450 0 16 2.00";
    QTest::newRow("frames told: a second after the last frame shown")
        << qint64(16) << qint64(950) << "1966" << "1.950 0 16 2.00";
    QTest::newRow("frames told: just past it, a miss") << qint64(16) << qint64(950) << "1967"
                                                       << "missed 1 16 2.40";
    QTest::newRow("frames not told: the planned drop") << qint64(-1) << qint64(-1) << "2000"
                                                       << "2.000 0 0 2.00";
    QTest::newRow("frames not told: past the planned drop's second")
        << qint64(-1) << qint64(-1) << "2001" << "missed 1 0 2.40";
    QTest::newRow("last frame not told: a second after the first")
        << qint64(30) << qint64(-1) << "2030 2500" << "2.000 1 30 2.00";
}

void TestDetection::block()
{
    QFETCH(qint64, firstFrame);
    QFETCH(qint64, lastFrame);
    QFETCH(QString, presses);
    QFETCH(QString, outcome);

    std::uint64_t seed = 1; // one whose first window has a drop
    while (!Detection::planWindows(seed).front().hasDrop)
        ++seed;
    const qint64 start = utcMs(2026, 12, 9, 21, 0, 0, 0);
    Detection::Block block(seed, start);
    const std::int64_t planned = block.plan().dropStartMs;
    if (firstFrame >= 0)
        block.dropStarted(planned + firstFrame);
    if (lastFrame >= 0)
        block.dropEnded(planned + firstFrame + lastFrame);
    for (double press : numbers(presses))
        block.press(planned + std::int64_t(press));
    const WindowOutcome w = block.finishWindow(start + 250);
    QCOMPARE(w.window, 1);
    QCOMPARE(w.startUtcMs, start + 250);
    QCOMPARE(w.dropMag, 2.0);
    QCOMPARE(QStringLiteral("%1 %2 %3 %4")
                 .arg(w.reactionS ? QString::number(*w.reactionS, 'f', 3) : QStringLiteral("missed"))
                 .arg(w.falseAlarms)
                 .arg(w.dropFirstFrameMs - planned)
                 .arg(block.dropMag(), 0, 'f', 2),
             outcome);

    // The next window starts afresh; past the last, nothing more.
    const WindowOutcome second = block.finishWindow(start + 6250);
    QCOMPARE(second.window, 2);
    QCOMPARE(second.falseAlarms + int(second.seen), 0);
    while (!block.finished())
        block.finishWindow(start);
    QCOMPARE(block.plan().hasDrop, false);
    QCOMPARE(block.finishWindow(start).window, 0);
    QCOMPARE(int(block.outcomes().size()), 40);
}

void TestDetection::figures_data()
{
    QTest::addColumn<QString>("windows");
    QTest::addColumn<QString>("figures");

    QTest::newRow("false alarms with and without a drop told apart")
        << "-2 -0 2.0+0.500/1 2.0+0.300/0 1.6x/3"
        << "5 windows, 3 drops, 2 hits, 2 without (1 alarmed, 2 alarms), 4 alarms with, "
           "reaction 0.400, not enough 0 used, 0.000 sd 0.000";
    // ++x four times (window 4 without a drop): reversals at windows 3, 6,
    // 7, 9, 10, 12 and 13, at their own drops whatever steps led there;
    // used 0.9 1.1 0.8 1.0 0.7: mean 0.9, squares 0.10 / 4.
    QTest::newRow("reversals at the drops as logged")
        << "2.0+0.4/0 2.0+0.4/0 1.2x/0 -0 2.0+0.4/0 1.6+0.4/0 0.9x/0 2.0+0.4/0 1.1+0.4/0 0.8x/0 "
           "2.0+0.4/0 1.0+0.4/0 0.7x/0"
        << "13 windows, 12 drops, 8 hits, 1 without (0 alarmed, 0 alarms), 0 alarms with, "
           "reaction 0.400, enough 5 used, 0.900 sd 0.158";
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
    QTest::addColumn<QByteArray>("line");

    const qint64 evening = utcMs(2026, 3, 14, 21, 5, 9, 250);
    const qint64 later = utcMs(2026, 3, 14, 21, 5, 21, 262);
    QTest::newRow("a drop seen") << evening << later << "0.8+0.453/1"
        << QByteArray("2026-03-14 21:05:09,3,2026-03-14 21:05:21.262,0.80,2.417,1,0.453,1,3,2,120");
    QTest::newRow("a drop missed: no reaction") << evening << later << "1.2x/0"
        << QByteArray("2026-03-14 21:05:09,3,2026-03-14 21:05:21.262,1.20,2.417,0,,0,3,2,120");
    QTest::newRow("no drop: drop, start and answer empty") << evening << later << "-2"
        << QByteArray("2026-03-14 21:05:09,3,2026-03-14 21:05:21.262,,,,,2,3,2,120");
    QTest::newRow("the block's start to the second, the window's across midnight")
        << utcMs(2026, 12, 31, 23, 59, 59, 999) << utcMs(2027, 1, 1, 0, 0, 5, 7) << "2.4+1.05/0"
        << QByteArray("2026-12-31 23:59:59,3,2027-01-01 00:00:05.007,2.40,2.417,1,1.050,0,3,2,120");
}

void TestDetection::recordLine()
{
    QFETCH(qint64, blockStart);
    QFETCH(qint64, windowStart);
    QFETCH(QString, window);
    QFETCH(QByteArray, line);

    WindowOutcome outcome = windows(window).front();
    outcome.window = 3;
    outcome.startUtcMs = windowStart;
    outcome.dropFirstFrameMs = outcome.hasDrop ? 2417 : 0;
    QCOMPARE(Detection::Log::recordLine(blockStart, outcome, 3, 2, 120), line);
}

void TestDetection::readBlocks_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("blocks");

    // The windows of the figures' row "reversals at the drops as logged".
    const QByteArray header = QByteArray(Detection::Log::HeaderLine) + "\r\n";
    QList<QByteArray> lines;
    const char *const answers[] = {"2.00,1.500,1,0.400", "2.00,1.500,1,0.400", "1.20,1.500,0,",
                                   ",,,",                "2.00,1.500,1,0.400", "1.60,1.500,1,0.400",
                                   "0.90,1.500,0,",      "2.00,1.500,1,0.400", "1.10,1.500,1,0.400",
                                   "0.80,1.500,0,",      "2.00,1.500,1,0.400", "1.00,1.500,1,0.400",
                                   "0.70,1.500,0,"};
    for (int i = 0; i < 13; ++i)
        lines << "2026-03-14 21:05:09," + QByteArray::number(i + 1) + ",2026-03-14 21:05:15.000,"
                     + answers[i] + ",0,3,2,120\r\n";
    const QString first = QStringLiteral(
        "2026-03-14 21:05:09 3/2/120: 13 windows, 12 drops, 8 hits, 1 without (0 alarmed, 0 "
        "alarms), 0 alarms with, reaction 0.400, enough 5 used, 0.900 sd 0.158");
    QTest::newRow("a block recomputed from its lines") << header + lines.join() << QStringList{first};

    QByteArray shuffled = "\xEF\xBB\xBF"; // no header: the mark is on a line of the log
    for (int i : {12, 0, 5, 3, 1, 2, 11, 4, 6, 8, 7, 10, 9, 2})
        shuffled += lines[i];
    QTest::newRow("out of order, one twice, a byte-order mark") << shuffled << QStringList{first};

    const QByteArray b = "2026-03-15 01:00:00,";
    const QByteArray other = b + "1,2026-03-15 01:00:00.100,,,,,2,5,0,0\r\n";
    const QString otherFigures = QStringLiteral(
        "2026-03-15 01:00:00 5/0/0: 1 windows, 0 drops, 0 hits, 1 without (1 alarmed, 2 alarms), "
        "0 alarms with, reaction -, not enough 0 used, 0.000 sd 0.000");
    QTest::newRow("two blocks, in the order of their first lines, a header between")
        << lines[0] + other + "\r\n" + header + lines.mid(1).join()
        << QStringList{first, otherFigures};

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
        {"window 1001", b + "1001,2026-03-15 01:00:06.100,3.00,4.020,0,,1,5,0,0"},
        {"1001 false alarms", b + "2,2026-03-15 01:00:06.100,3.00,4.020,0,,1001,5,0,0"},
        {"a window's date without ms", b + "2,2026-03-15 01:00:06,3.00,4.020,0,,1,5,0,0"},
        {"February 30th", "2026-02-30 01:00:00,2,2026-03-15 01:00:06.100,3.00,4.020,0,,1,5,0,0"},
        {"a decimal comma", b + "2,2026-03-15 01:00:06.100,\"3,00\",4.020,0,,1,5,0,0"},
        {"a negative drop", b + "2,2026-03-15 01:00:06.100,-3.00,4.020,0,,1,5,0,0"},
        {"a drop 3.", b + "2,2026-03-15 01:00:06.100,3.,4.020,0,,1,5,0,0"},
    };
    for (const auto &row : damaged)
        QTest::newRow(qPrintable(QStringLiteral("skipped: %1").arg(QLatin1String(row.name))))
            << header + other + row.line + "\r\n" << QStringList{otherFigures};
    QTest::newRow("no line of the log") << "a,b\r\n\r\n" + header << QStringList{};
}

void TestDetection::readBlocks()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, blocks);

    QStringList read;
    for (const Detection::Log::LoggedBlock &block : Detection::Log::readBlocks(text)) {
        QCOMPARE(QStringLiteral("%1 %2 %3").arg(block.windows).arg(block.windowsWithoutDrop)
                     .arg(block.falseAlarmsWithoutDrop),
                 QStringLiteral("%1 %2 %3").arg(block.figures.windows)
                     .arg(block.figures.windowsWithoutDrop).arg(block.figures.falseAlarmsWithoutDrop));
        QCOMPARE(thresholdText(block.threshold), thresholdText(block.figures.threshold));
        read << QDateTime::fromSecsSinceEpoch(block.startUtcSeconds, Qt::UTC)
                        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss "))
                    + QStringLiteral("%1/%2/%3: ").arg(block.eclat).arg(block.scintillation)
                          .arg(block.fadeMs)
                    + figuresText(block.figures);
    }
    QCOMPARE(read, blocks);
}

void TestDetection::logReplaysTheBlock_data()
{
    QTest::addColumn<quint64>("seed");
    QTest::addColumn<QString>("pattern"); // answers to the drops, repeated
    QTest::addColumn<bool>("enough");

    QTest::newRow("seen twice, missed once") << quint64(3) << "++x" << true;
    QTest::newRow("seen, missed in turn") << quint64(8) << "+x+x++x" << true;
    QTest::newRow("seen always: no reversal") << quint64(13) << "+" << false;
}

void TestDetection::logReplaysTheBlock()
{
    QFETCH(quint64, seed);
    QFETCH(QString, pattern);
    QFETCH(bool, enough);

    const qint64 start = utcMs(2026, 12, 9, 21, 0, 0, 0);
    Detection::Block block(seed, start);
    int drops = 0;
    QByteArray log = QByteArray(Detection::Log::HeaderLine) + "\r\n";
    while (!block.finished()) {
        const Detection::WindowPlan plan = block.plan();
        if (block.current() % 2)
            block.press(200); // a false alarm in every other window
        if (plan.hasDrop) {
            block.dropStarted(plan.dropStartMs + 9);
            block.dropEnded(plan.dropStartMs + 992);
            if (pattern[drops++ % pattern.size()] == QLatin1Char('+'))
                block.press(plan.dropStartMs + 429 + block.current());
        }
        const std::int64_t windowStart = start + block.current() * 6000 + 3;
        log += Detection::Log::recordLine(start, block.finishWindow(windowStart), 4, 1, 250)
               + "\r\n";
    }
    const std::vector<Detection::Log::LoggedBlock> read = Detection::Log::readBlocks(log);
    QCOMPARE(int(read.size()), 1);
    QCOMPARE(block.threshold().enough, enough);
    QCOMPARE(thresholdText(read.front().threshold), thresholdText(block.threshold()));
    QCOMPARE(figuresText(read.front().figures), figuresText(Detection::figuresOf(block.outcomes())));
    QCOMPARE(read.front().startUtcSeconds, start / 1000);
    QCOMPARE(read.front().figures.windowsWithoutDrop, 8);
    QCOMPARE(read.front().falseAlarmsWithoutDrop + read.front().figures.falseAlarmsWithDrop, 20);
}

QTEST_APPLESS_MAIN(TestDetection)
#include "tst_detection.moc"
