// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "testsupport.h"

#include "app/clock.h"
#include "app/common.h"
#include "app/randomsource.h"
#include "main_window/unit1.h"
#include "main_window/unit1vars.h"
#include "reactions/tops.h"
#include "reactions/unit5.h"

#include <QFile>
#include <QtTest>
#include <QtCharts/QXYSeries>

#include <memory>
#include <vector>

using Reactions::TopKind;

namespace {

// The steady clock replays set readings, one per read.
std::vector<std::int64_t> steadyReadings;
std::size_t steadyReads = 0;

std::int64_t replayedSteady()
{
    const std::size_t read = steadyReads++;
    return steadyReadings.empty() ? 0 : steadyReadings[std::min(read, steadyReadings.size() - 1)];
}

QString kindName(TopKind kind)
{
    const char *const names[] = {"early", "disappearance", "reappearance", "ignored"};
    return QString::fromLatin1(names[int(kind)]);
}

QString seconds(std::optional<double> value)
{
    return value ? QString::number(*value, 'f', 3) : QStringLiteral("-");
}

QString focusName()
{
    QWidget *focus = Form1->focusWidget();
    return focus ? focus->objectName() : QString();
}

QString readLog()
{
    QFile log(QStringLiteral("reactions.csv"));
    return log.open(QIODevice::ReadOnly) ? QString::fromLatin1(log.readAll()) : QString();
}

void spaceOnMainWindow()
{
    QTest::keyClick(Form1->windowHandle(), Qt::Key_Space);
}

} // namespace

class TestReactions : public QObject
{
    Q_OBJECT

private slots:
    void classification_data();
    void classification();
    void trialEnd_data();
    void trialEnd();
    void windowFigures_data();
    void windowFigures();
};

void TestReactions::classification_data()
{
    // The star vanishes at 1000 ms and comes back at 3000 ms; each top and
    // the end of the wait come in the order of their times (ms).
    QTest::addColumn<QList<int>>("tops");
    QTest::addColumn<int>("completeAt");
    QTest::addColumn<QString>("kinds");
    QTest::addColumn<QString>("reactions"); // disappearance, reappearance, tapped

    QTest::newRow("before the star vanishes: early")
        << QList<int>{200, 999} << -1 << "early early" << "- - -";
    QTest::newRow("first while hidden, from the vanishing reading on: disappearance")
        << QList<int>{1000, 1400} << -1 << "disappearance ignored" << "0.000 - -";
    QTest::newRow("each edge tapped once after an anticipation, then a second return top")
        << QList<int>{900, 1250, 3180, 3200} << -1
        << "early disappearance reappearance ignored" << "0.250 0.180 1.930";
    QTest::newRow("return tapped without a disappearance top")
        << QList<int>{3400} << -1 << "reappearance" << "- 0.400 -";
    QTest::newRow("2 s after the return: still the reappearance top")
        << QList<int>{1500, 5000} << -1 << "disappearance reappearance" << "0.500 2.000 3.500";
    QTest::newRow("later than 2 s after the return: ignored")
        << QList<int>{1500, 5001} << -1 << "disappearance ignored" << "0.500 - -";
    QTest::newRow("after the tops are complete: ignored")
        << QList<int>{1500, 3300} << 3200 << "disappearance ignored" << "0.500 - -";
}

void TestReactions::classification()
{
    QFETCH(QList<int>, tops);
    QFETCH(int, completeAt);
    QFETCH(QString, kinds);
    QFETCH(QString, reactions);

    const std::int64_t ms = 1'000'000;
    Reactions::TrialTops trial;
    trial.start();
    QStringList seen;
    bool vanished = false;
    bool reappeared = false;
    for (int top : tops) {
        if (!vanished && top >= 1000) {
            trial.vanished(1000 * ms);
            vanished = true;
        }
        if (!reappeared && top >= 3000) {
            trial.reappeared(3000 * ms);
            reappeared = true;
        }
        if (completeAt >= 0 && top >= completeAt)
            trial.finish();
        seen << kindName(trial.top(top * ms));
    }
    QCOMPARE(seen.join(QLatin1Char(' ')), kinds);
    QCOMPARE(QStringList({seconds(trial.disappearanceReaction()),
                          seconds(trial.reappearanceReaction()), seconds(trial.tappedDuration())})
                 .join(QLatin1Char(' ')),
             reactions);
    QCOMPARE(trial.earlyTops(), int(kinds.count(QStringLiteral("early"))));
}

void TestReactions::trialEnd_data()
{
    // What the user does: D Space while the star is hidden, R Space after
    // its return, C a click on the star field after its return, S a new
    // trial at once; W waits for the end of the wait.
    QTest::addColumn<QString>("actions");
    QTest::addColumn<QString>("focusAtReturn");
    QTest::addColumn<QString>("entry");     // text in "Votre temps" at the end, all selected
    QTest::addColumn<QString>("logFields"); // the log's line after its date

    QTest::newRow("no top: the entry as before, no line")
        << "W" << "EditTemps" << "" << "";
    QTest::newRow("Space at each edge: the tapped duration, selected")
        << "DR" << "Image1" << "1.95" << "2.000,0.250,0.200,0,0";
    QTest::newRow("Space while hidden only: the empty entry 2 s after the return")
        << "DW" << "Image1" << "" << "2.000,0.250,,0,0";
    QTest::newRow("a click on the star field after the return, the entry focused")
        << "C" << "EditTemps" << "" << "2.000,,0.200,0,0";
    QTest::newRow("Space while hidden, then a new trial: the line first")
        << "DS" << "Image1" << "" << "2.000,0.250,,0,0";
}

void TestReactions::trialEnd()
{
    QFETCH(QString, actions);
    QFETCH(QString, focusAtReturn);
    QFETCH(QString, entry);
    QFETCH(QString, logFields);

    ProgramFixture program;
    const bool tapsHidden = actions.contains(QLatin1Char('D'));
    steadyReadings = {1'000'000'000};
    if (tapsHidden)
        steadyReadings.push_back(1'250'000'000);
    steadyReadings.insert(steadyReadings.end(), {3'000'000'000, 3'200'000'000});
    steadyReads = 0;
    Clock::setSources([] { return 45000.5; }, replayedSteady);
    Form1->showForm();
    QVERIFY(QTest::qWaitForWindowActive(Form1));

    MaxDelay = 60000;
    RandomSource::seed(0x2545F491u);
    QTest::mouseClick(Form1->ui.Button2, Qt::LeftButton);
    Form1->Timer1->setInterval(0);
    QTRY_COMPARE(Form1->onTimer(), &TForm1::Timer1Timer2);
    if (tapsHidden)
        spaceOnMainWindow();
    Form1->Timer1->setInterval(0);
    QTRY_VERIFY(Form1->ui.Button2->isEnabled());
    QVERIFY(Form1->ui.EditTemps->isVisible());
    QCOMPARE(focusName(), focusAtReturn);

    if (actions.contains(QLatin1Char('R')))
        spaceOnMainWindow();
    if (actions.contains(QLatin1Char('C')))
        QTest::mouseClick(Form1->ui.Image1, Qt::LeftButton);
    if (actions.contains(QLatin1Char('W'))) {
        QTest::qWait(1500);
        QCOMPARE(focusName(), focusAtReturn);
        QTRY_COMPARE_WITH_TIMEOUT(focusName(), QStringLiteral("EditTemps"), 2000);
    }
    if (actions.contains(QLatin1Char('S'))) {
        QTest::mouseClick(Form1->ui.Button2, Qt::LeftButton);
        QCOMPARE(focusName(), QStringLiteral("Image1"));
    } else {
        QCOMPARE(focusName(), QStringLiteral("EditTemps"));
        QCOMPARE(Form1->ui.EditTemps->text(), entry);
        QCOMPARE(Form1->ui.EditTemps->selectedText(), entry);
    }

    const QString log = readLog();
    if (logFields.isEmpty()) {
        QCOMPARE(log, QString());
        QVERIFY(Form1->ui.ButtonReactions->isHidden());
    } else {
        const QStringList lines = log.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[1].section(QLatin1Char(','), 3), logFields);
        QVERIFY(Form1->ui.ButtonReactions->isVisible());
        QCOMPARE(Form5->trials().size(), std::size_t(1));
    }
    QCOMPARE(reportedErrors(), QStringList());
    Clock::setSources(nullptr, nullptr);
}

void TestReactions::windowFigures_data()
{
    // Trials as trial number, disappearance and reappearance reactions in
    // ms (-1: no top) and early tops.
    QTest::addColumn<QList<QList<int>>>("trials");
    QTest::addColumn<QStringList>("disappearance"); // Moy., Sigma, Min., Max., Nb.
    QTest::addColumn<QStringList>("reappearance");
    QTest::addColumn<QString>("early");
    QTest::addColumn<QString>("effect");

    QTest::newRow("one edge tapped once: no deviation, no effect")
        << QList<QList<int>>{{1, 250, -1, 2}} << QStringList{" 0.25", "", " 0.25", " 0.25", "1"}
        << QStringList{"", "", "", "", "0"} << "Tops anticipés : 2" << "";
    QTest::newRow("later returns: durations lengthened")
        << QList<QList<int>>{{1, 200, 300, 0}, {3, 300, 400, 1}}
        << QStringList{" 0.25", " 0.07", " 0.20", " 0.30", "2"}
        << QStringList{" 0.35", " 0.07", " 0.30", " 0.40", "2"} << "Tops anticipés : 1"
        << "Vos durées sont allongées de 0.10 s.";
    QTest::newRow("earlier returns: durations shortened")
        << QList<QList<int>>{{2, 400, 350, 0}} << QStringList{" 0.40", "", " 0.40", " 0.40", "1"}
        << QStringList{" 0.35", "", " 0.35", " 0.35", "1"} << "Tops anticipés : 0"
        << "Vos durées sont raccourcies de 0.05 s.";
    QTest::newRow("less than 5 ms apart: neither")
        << QList<QList<int>>{{1, 300, 304, 0}} << QStringList{" 0.30", "", " 0.30", " 0.30", "1"}
        << QStringList{" 0.30", "", " 0.30", " 0.30", "1"} << "Tops anticipés : 0"
        << "Vos durées ne sont ni allongées ni raccourcies.";
    QTest::newRow("5 ms apart: shows in two decimals")
        << QList<QList<int>>{{1, 305, 300, 0}} << QStringList{" 0.30", "", " 0.30", " 0.30", "1"}
        << QStringList{" 0.30", "", " 0.30", " 0.30", "1"} << "Tops anticipés : 0"
        << "Vos durées sont raccourcies de 0.01 s.";
}

void TestReactions::windowFigures()
{
    QFETCH(QList<QList<int>>, trials);
    QFETCH(QStringList, disappearance);
    QFETCH(QStringList, reappearance);
    QFETCH(QString, early);
    QFETCH(QString, effect);

    ProgramFixture program;
    auto reaction = [](int ms) { return ms < 0 ? std::optional<double>() : ms / 1000.0; };
    int points = 0;
    for (const QList<int> &t : trials) {
        Form5->addTrial({t[0], reaction(t[1]), reaction(t[2]), t[3]});
        points += (t[1] >= 0) + (t[2] >= 0);
    }
    const StringGrid *grid = Form5->ui.StringGrid1;
    for (int column = 1; column <= 5; ++column) {
        QCOMPARE(grid->cell(column, 1), disappearance[column - 1]);
        QCOMPARE(grid->cell(column, 2), reappearance[column - 1]);
    }
    QCOMPARE(Form5->ui.LabelEarly->text(), early);
    QCOMPARE(Form5->ui.LabelEffect->text(), effect);

    // The chart holds each reaction as a point, and each edge's mean as a
    // line once the edge has one.
    int plotted = 0;
    int meanLines = 0;
    for (QAbstractSeries *series : Form5->ui.Chart1->chart()->series()) {
        const auto *xy = static_cast<QXYSeries *>(series);
        if (series->type() == QAbstractSeries::SeriesTypeScatter)
            plotted += int(xy->count());
        else
            meanLines += xy->count() == 2 && xy->at(0).y() == xy->at(1).y();
    }
    QCOMPARE(plotted, points);
    QCOMPARE(meanLines, int(!disappearance[0].isEmpty()) + int(!reappearance[0].isEmpty()));
}

QTEST_MAIN(TestReactions)
#include "tst_reactions.moc"
