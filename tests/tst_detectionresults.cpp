// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "detection/results.h"

#include <QTest>

#include <vector>

using Detection::WindowOutcome;
using Outcomes = std::vector<WindowOutcome>;

Q_DECLARE_METATYPE(Outcomes)
Q_DECLARE_METATYPE(Detection::BlockFigures)
Q_DECLARE_METATYPE(Detection::Log::LoggedBlock)

namespace {

WindowOutcome quiet(int window, int falseAlarms)
{
    WindowOutcome outcome;
    outcome.window = window;
    outcome.falseAlarms = falseAlarms;
    return outcome;
}

WindowOutcome drop(int window, double mag, std::optional<double> reaction, int falseAlarms = 0)
{
    WindowOutcome outcome;
    outcome.window = window;
    outcome.hasDrop = true;
    outcome.dropMag = mag;
    outcome.seen = bool(reaction);
    outcome.reactionS = reaction;
    outcome.falseAlarms = falseAlarms;
    return outcome;
}

// Five windows: two drops seen (0.40 s and 0.50 s), one missed, two
// without a drop, one of them with a false alarm; two false alarms during
// the second drop's window.
Outcomes fiveWindows()
{
    return {drop(1, 2.0, 0.40), quiet(2, 1), drop(3, 1.6, 0.50, 2), quiet(4, 0),
            drop(5, 1.2, std::nullopt)};
}

Detection::Threshold threshold(bool enough, double mean, double sigma)
{
    Detection::Threshold result;
    result.enough = enough;
    result.reversalsUsed = enough ? 4 : 1;
    result.meanMag = mean;
    result.sigmaMag = sigma;
    return result;
}

} // namespace

class TestDetectionResults : public QObject
{
    Q_OBJECT

private slots:
    void manyFalseAlarms_data();
    void manyFalseAlarms();
    void resultLines_data();
    void resultLines();
    void earlierBlockLine_data();
    void earlierBlockLine();
    void chart_data();
    void chart();
};

void TestDetectionResults::manyFalseAlarms_data()
{
    QTest::addColumn<int>("withAlarm");
    QTest::addColumn<int>("withoutDrop");
    QTest::addColumn<bool>("many");
    QTest::newRow("none") << 0 << 8 << false;
    QTest::newRow("one in five exactly is not more") << 1 << 5 << false;
    QTest::newRow("two in ten is not more") << 2 << 10 << false;
    QTest::newRow("two in nine is more") << 2 << 9 << true;
    QTest::newRow("one in four is more") << 1 << 4 << true;
    QTest::newRow("no window without a drop") << 0 << 0 << false;
}

void TestDetectionResults::manyFalseAlarms()
{
    QFETCH(int, withAlarm);
    QFETCH(int, withoutDrop);
    QFETCH(bool, many);
    QCOMPARE(Detection::manyFalseAlarms(withAlarm, withoutDrop), many);
}

void TestDetectionResults::resultLines_data()
{
    QTest::addColumn<Detection::BlockFigures>("figures");
    QTest::addColumn<QStringList>("lines");

    Detection::BlockFigures calm;
    calm.windows = 40;
    calm.drops = 32;
    calm.hits = 24;
    calm.windowsWithoutDrop = 8;
    calm.alarmedWindowsWithoutDrop = 1;
    calm.falseAlarmsWithoutDrop = 3;
    calm.falseAlarmsWithDrop = 2;
    calm.meanReactionS = 0.45;
    calm.threshold = threshold(true, 0.84, 0.16);
    QTest::newRow("a threshold, false alarms in one quiet window of eight")
        << calm
        << QStringList{
               QStringLiteral("Seuil de détection : chute de 0.8 mag ± 0.2 (vue 7 fois sur 10)"),
               QStringLiteral("Fausses alertes : 1 sur 8 fenêtres sans chute, 2 pendant les autres"),
               QStringLiteral("Réaction aux chutes vues : 0.45 s en moyenne (24)"),
               QStringLiteral("Dans ces conditions, une chute de moins de 0.8 mag vous échappera "
                              "souvent")};

    Detection::BlockFigures jumpy;
    jumpy.windows = 10;
    jumpy.drops = 8;
    jumpy.windowsWithoutDrop = 2;
    jumpy.alarmedWindowsWithoutDrop = 1;
    jumpy.falseAlarmsWithoutDrop = 1;
    jumpy.threshold = threshold(false, 0, 0);
    QTest::newRow("too few reversals, nothing seen, one quiet window in two with an alarm")
        << jumpy
        << QStringList{
               QStringLiteral("Seuil de détection : Pas assez d'inversions : recommencez"),
               QStringLiteral("Fausses alertes : 1 sur 2 fenêtres sans chute, 0 pendant les autres"),
               QStringLiteral("Réaction aux chutes vues : aucune chute vue"),
               QStringLiteral("Beaucoup de fausses alertes : à l'oculaire, une baisse isolée peut "
                              "n'être qu'une scintillation")};
}

void TestDetectionResults::resultLines()
{
    QFETCH(Detection::BlockFigures, figures);
    QFETCH(QStringList, lines);
    QCOMPARE(Detection::resultLines(figures), lines);
}

void TestDetectionResults::earlierBlockLine_data()
{
    QTest::addColumn<Detection::Log::LoggedBlock>("block");
    QTest::addColumn<QString>("line");
    Detection::Log::LoggedBlock block;
    block.startUtcSeconds = 1796838600 + 59; // 2026-12-09 17:50:59 UTC
    block.eclat = 2;
    block.scintillation = 1;
    block.fadeMs = 50;
    block.windows = 40;
    block.windowsWithoutDrop = 8;
    block.falseAlarmsWithoutDrop = 4;
    block.figures.windowsWithoutDrop = 8;
    // Four false alarms, in one window only.
    block.figures.falseAlarmsWithoutDrop = 4;
    block.figures.alarmedWindowsWithoutDrop = 1;
    block.threshold = threshold(true, 0.76, 0.18);
    QTest::newRow("with a threshold, the minute cut")
        << block
        << QStringLiteral("2026-12-09 17:50 TU  éclat 2, scintillation 1, fondu 50 ms  "
                          "seuil 0.8 mag ± 0.2  fausses alertes 1 sur 8");
    block.threshold = threshold(false, 0, 0);
    block.startUtcSeconds = 0;
    QTest::newRow("without one, at the epoch")
        << block
        << QStringLiteral("1970-01-01 00:00 TU  éclat 2, scintillation 1, fondu 50 ms  "
                          "seuil non atteint  fausses alertes 1 sur 8");
}

void TestDetectionResults::earlierBlockLine()
{
    QFETCH(Detection::Log::LoggedBlock, block);
    QFETCH(QString, line);
    QCOMPARE(Detection::earlierBlockLine(block), line);
}

void TestDetectionResults::chart_data()
{
    QTest::addColumn<Outcomes>("outcomes");
    QTest::addColumn<bool>("enough");
    QTest::addColumn<QList<QPointF>>("seen");
    QTest::addColumn<QList<QPointF>>("missed");
    QTest::addColumn<QList<int>>("withoutDrop");
    QTest::addColumn<QList<int>>("falseAlarms");
    QTest::addColumn<QString>("summary");
    QTest::newRow("no window") << Outcomes() << false << QList<QPointF>() << QList<QPointF>()
                               << QList<int>() << QList<int>()
                               << QStringLiteral("Aucune fenêtre.");
    QTest::newRow("five windows, no threshold")
        << fiveWindows() << false << QList<QPointF>{{1, 2.0}, {3, 1.6}}
        << QList<QPointF>{{5, 1.2}} << QList<int>{2, 4} << QList<int>{2, 3}
        << QStringLiteral("5 fenêtres : 3 avec chute (2 vues, 1 manquées), 2 sans chute ; "
                          "fausses alertes dans 2 fenêtres. Chute entre 1.2 et 2.0 mag.");
    QTest::newRow("five windows, the threshold's line")
        << fiveWindows() << true << QList<QPointF>{{1, 2.0}, {3, 1.6}}
        << QList<QPointF>{{5, 1.2}} << QList<int>{2, 4} << QList<int>{2, 3}
        << QStringLiteral("5 fenêtres : 3 avec chute (2 vues, 1 manquées), 2 sans chute ; "
                          "fausses alertes dans 2 fenêtres. Chute entre 1.2 et 2.0 mag. "
                          "Seuil 1.4 mag.");
}

void TestDetectionResults::chart()
{
    QFETCH(Outcomes, outcomes);
    QFETCH(bool, enough);
    QFETCH(QList<QPointF>, seen);
    QFETCH(QList<QPointF>, missed);
    QFETCH(QList<int>, withoutDrop);
    QFETCH(QList<int>, falseAlarms);
    QFETCH(QString, summary);
    const Detection::Threshold level = threshold(enough, 1.4, 0.3);
    const Detection::StaircaseChartData data = Detection::chartData(outcomes, level);
    QCOMPARE(data.windows, int(outcomes.size()));
    QCOMPARE(data.seen, seen);
    QCOMPARE(data.missed, missed);
    QCOMPARE(data.withoutDrop, withoutDrop);
    QCOMPARE(data.falseAlarms, falseAlarms);
    QCOMPARE(data.thresholdMag.has_value(), enough);
    QCOMPARE(Detection::chartSummary(Detection::figuresOf(outcomes), data), summary);
}

QTEST_GUILESS_MAIN(TestDetectionResults)
#include "tst_detectionresults.moc"
