// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "testsupport.h"

#include "app/clock.h"
#include "app/common.h"
#include "app/application.h"
#include "app/randomsource.h"
#include "main_window/unit1.h"
#include "main_window/unit1vars.h"
#include "reactions/tops.h"
#include "reactions/unit5.h"

#include <QClipboard>
#include <QFile>
#include <QtTest>
#include <QtCharts/QChartView>
#include <QtCharts/QValueAxis>
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
    // ms (-1: no top) and anticipations at each edge.
    QTest::addColumn<QList<QList<int>>>("trials");
    QTest::addColumn<QStringList>("disappearance"); // Moy., Méd., Sigma, Min., Max., Nb.
    QTest::addColumn<QStringList>("reappearance");
    QTest::addColumn<QString>("anticipations");
    QTest::addColumn<QString>("effect");
    QTest::addColumn<QString>("report");
    QTest::addColumn<QString>("secondsAxis");
    QTest::addColumn<QString>("chartSummary");
    QTest::addColumn<QStringList>("tabChain");
    // reactions.csv before the start (this run began 2026-12-08 21:24:05
    // UTC), and the "Séances" rows: start in Paris time, means, trials.
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<QStringList>("runs");
    QTest::addColumn<int>("fontPixels"); // 0: the default font

    const QStringList figuresOnly{"StringGrid1", "LabelAnticipations", "StringGrid2", "Button1"};
    const QStringList withReport{"StringGrid1", "LabelAnticipations", "LabelEffect", "LabelReport",
                                 "ButtonCopy", "StringGrid2", "Button1"};
    QTest::newRow("one edge tapped once: no deviation, no effect, names fit a large font")
        << QList<QList<int>>{{1, 250, -1, 2, 0}} << QStringList{" 0.25", " 0.25", "", " 0.25", " 0.25", "1"}
        << QStringList{"", "", "", "", "", "0"} << "Anticipations : 2 à la disparition, 0 à la réapparition"
        << "" << "" << "0.22 to 0.28" << "Essai 1. Disparition : 1 temps, moyenne 0.25 s. Réapparition : aucun temps."
        << figuresOnly << QByteArray() << QStringList{"08/12/2026 22:24| 0.25||1"} << 20;
    QTest::newRow("later returns: durations lengthened, medians between two")
        << QList<QList<int>>{{1, 200, 300, 0, 0}, {3, 300, 400, 1, 2}}
        << QStringList{" 0.25", " 0.25", " 0.07", " 0.20", " 0.30", "2"}
        << QStringList{" 0.35", " 0.35", " 0.07", " 0.30", " 0.40", "2"}
        << "Anticipations : 1 à la disparition, 2 à la réapparition" << "Vos durées sont allongées de 0.10 s."
        << "Pour vos rapports : disparition 0.25 s ± 0.07 s (2 essais), réapparition 0.35 s ± 0.07 s (2 essais)."
        << "0.10 to 0.50" << "Essais 1 à 3. Disparition : 2 temps, moyenne 0.25 s. Réapparition : 2 temps, moyenne 0.35 s."
        << withReport << QByteArray() << QStringList{"08/12/2026 22:24| 0.25| 0.35|2"} << 0;
    QTest::newRow("earlier returns: durations shortened, one value each without its deviation")
        << QList<QList<int>>{{2, 400, 350, 0, 0}} << QStringList{" 0.40", " 0.40", "", " 0.40", " 0.40", "1"}
        << QStringList{" 0.35", " 0.35", "", " 0.35", " 0.35", "1"}
        << "Anticipations : 0 à la disparition, 0 à la réapparition" << "Vos durées sont raccourcies de 0.05 s."
        << "Pour vos rapports : disparition 0.40 s (1 essai), réapparition 0.35 s (1 essai)."
        << "0.34 to 0.42" << "Essai 2. Disparition : 1 temps, moyenne 0.40 s. Réapparition : 1 temps, moyenne 0.35 s."
        << withReport << QByteArray() << QStringList{"08/12/2026 22:24| 0.40| 0.35|1"} << 0;
    QTest::newRow("reactions from 0.40 to 0.56 s: the axis fitted to them; earlier runs in the log")
        << QList<QList<int>>{{1, 400, 450, 0, 0}, {2, 560, 500, 0, 0}, {3, 480, 420, 0, 0}}
        << QStringList{" 0.48", " 0.48", " 0.08", " 0.40", " 0.56", "3"}
        << QStringList{" 0.46", " 0.45", " 0.04", " 0.42", " 0.50", "3"}
        << "Anticipations : 0 à la disparition, 0 à la réapparition" << "Vos durées sont raccourcies de 0.02 s."
        << "Pour vos rapports : disparition 0.48 s ± 0.08 s (3 essais), réapparition 0.46 s ± 0.04 s (3 essais)."
        << "0.35 to 0.60" << "Essais 1 à 3. Disparition : 3 temps, moyenne 0.48 s. Réapparition : 3 temps, moyenne 0.46 s."
        << QStringList{"StringGrid1", "LabelAnticipations", "LabelEffect", "LabelReport", "ButtonCopy",
                       "StringGrid2", "LabelUnreadable", "Button1"}
        << QByteArray("date,duree_s,reaction_disparition_s,reaction_reapparition_s,tops_anticipes\r\n"
                      "2026-12-01 20:00:00,1,2026-12-01 20:00:10.000,2.000,0.300,0.250,0,0\r\n"
                      "2026-12-05 19:30:00,1,2026-12-05 19:30:10.000,2.000,,0.400,0,0\r\n"
                      "2026-12-01 20:00:00,2,2026-12-01 20:00:20.000,2.000,0.200,,1,0\r\n"
                      "2026-12-08 21:24:05,1,2026-12-08 21:24:10.000,2.000,0.900,0.900,0,0\r\n")
        << QStringList{"08/12/2026 22:24| 0.48| 0.46|3", "05/12/2026 20:30|| 0.40|1",
                       "01/12/2026 21:00| 0.25| 0.25|2"}
        << 0;
}

void TestReactions::windowFigures()
{
    QFETCH(QList<QList<int>>, trials);
    QFETCH(QStringList, disappearance);
    QFETCH(QStringList, reappearance);
    QFETCH(QString, anticipations);
    QFETCH(QString, effect);
    QFETCH(QString, report);
    QFETCH(QString, secondsAxis);
    QFETCH(QString, chartSummary);
    QFETCH(QStringList, tabChain);
    QFETCH(QByteArray, log);
    QFETCH(QStringList, runs);
    QFETCH(int, fontPixels);

    const QFont before = QApplication::font();
    const auto restore = qScopeGuard([&] {
        QApplication::setFont(before);
        qunsetenv("TZ");
        Clock::setUtcSource(nullptr);
    });
    if (fontPixels > 0) {
        QFont font = before;
        font.setPixelSize(fontPixels);
        QApplication::setFont(font);
    }
    qputenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3");
    Clock::setUtcSource([]() -> std::int64_t { return Q_INT64_C(1796765045999); });
    ProgramFixture program(true, false);
    QFile file(program.path(QStringLiteral("reactions.csv")));
    QVERIFY(log.isEmpty() || (file.open(QIODevice::WriteOnly) && file.write(log) == log.size()));
    file.close();
    createForms();
    QCOMPARE(Form1->ui.ButtonReactions->isHidden(), log.isEmpty());

    auto reaction = [](int ms) { return ms < 0 ? std::optional<double>() : ms / 1000.0; };
    int points = 0;
    for (const QList<int> &t : trials) {
        Form5->addTrial({t[0], reaction(t[1]), reaction(t[2]), t[3], t[4]});
        points += (t[1] >= 0) + (t[2] >= 0) + (t[3] > 0) + (t[4] > 0);
    }
    // The runs and the charts are drawn once the window is shown.
    Form5->showForm();
    const StringGrid *grid = Form5->ui.StringGrid1;
    for (int column = 1; column <= 6; ++column) {
        QCOMPARE(grid->cell(column, 1), disappearance[column - 1]);
        QCOMPARE(grid->cell(column, 2), reappearance[column - 1]);
    }
    QVERIFY(grid->columnWidth(0) - 2 * StringGrid::TextMargin
            > grid->fontMetrics().horizontalAdvance(QStringLiteral("Réapparition")));
    QVERIFY(grid->selectedItems().isEmpty());
    QCOMPARE(Form5->ui.LabelAnticipations->text(), anticipations);
    QCOMPARE(Form5->ui.LabelEffect->text(), effect);
    QCOMPARE(Form5->ui.LabelReport->text(), report);
    if (!report.isEmpty()) {
        QTest::mouseClick(Form5->ui.ButtonCopy, Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), report);
    }
    // The figures are read in this order; the charts are passed over.
    QStringList chain;
    for (QWidget *w = Form5->ui.StringGrid1; chain.size() < 20; w = w->nextInFocusChain()) {
        if (w->parentWidget() == Form5->contents() && w->isVisibleTo(Form5)
            && (w->focusPolicy() & Qt::TabFocus) && !chain.contains(w->objectName()))
            chain.append(w->objectName());
        if (w->nextInFocusChain() == Form5->ui.StringGrid1)
            break;
    }
    QCOMPARE(chain, tabChain);
    QStringList shownRuns;
    for (int row = 1; row < Form5->ui.StringGrid2->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < 4; ++column)
            cells.append(Form5->ui.StringGrid2->cell(column, row));
        shownRuns.append(cells.join(QLatin1Char('|')));
    }
    QCOMPARE(shownRuns, runs);
    QCOMPARE(Form5->ui.LabelUnreadable->text(), log.isEmpty() ? "" : "1 ligne illisible");

    // The chart holds each reaction as a point, each trial's anticipations
    // at an edge as a point, and each edge's mean as a line once the edge
    // has one.
    QChart *chart = Form5->ui.Chart1->findChild<QChartView *>()->chart();
    int plotted = 0;
    int meanLines = 0;
    for (QAbstractSeries *series : chart->series()) {
        const auto *xy = static_cast<QXYSeries *>(series);
        if (series->type() == QAbstractSeries::SeriesTypeScatter)
            plotted += int(xy->count());
        else
            meanLines += xy->count() == 2 && xy->at(0).y() == xy->at(1).y();
    }
    QCOMPARE(plotted, points);
    QCOMPARE(meanLines, int(!disappearance[0].isEmpty()) + int(!reappearance[0].isEmpty()));
    const auto *axis = static_cast<QValueAxis *>(chart->axes(Qt::Vertical).constFirst());
    QCOMPARE(QStringLiteral("%1 to %2").arg(axis->min(), 0, 'f', 2).arg(axis->max(), 0, 'f', 2), secondsAxis);
    QCOMPARE(Form5->ui.Chart1->accessibleDescription(), chartSummary);
}

QTEST_MAIN(TestReactions)
#include "tst_reactions.moc"
