// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "testsupport.h"

#include "app/clock.h"
#include "app/common.h"
#include "app/errors.h"
#include "program/application.h"
#include "app/randomsource.h"
#include "main_window/unit1.h"
#include "main_window/unit1vars.h"
#include "main_window/pressreadings.h"
#include "reactions/figures.h"
#include "reactions/history.h"
#include "reactions/reactionslog.h"
#include "reactions/run.h"
#include "reactions/tops.h"
#include "reactions/reactionswindow.h"
#include "settings/unit2.h"

#include <QClipboard>
#include <QFile>
#include <QTabBar>
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
    const char *const names[] = {"antD", "disappearance", "antR", "reappearance", "ignored"};
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

} // namespace

class TestReactions : public QObject
{
    Q_OBJECT

private slots:
    void classification_data();
    void classification();
    void keyRouting_data();
    void keyRouting();
    void pressReadings_data();
    void pressReadings();
    void trialEnd_data();
    void trialEnd();
    void runPlace_data();
    void runPlace();
    void durationEffect_data();
    void durationEffect();
    void announcementSentence_data();
    void announcementSentence();
    void runLog_data();
    void runLog();
    void windowFigures_data();
    void windowFigures();
    void legendAsInALaterWindow();
    void settling_data();
    void settling();
    void reportLine_data();
    void reportLine();
    void conditionSets_data();
    void conditionSets();
    void runningMeans_data();
    void runningMeans();
    void figuresPerConditions();
};

void TestReactions::classification_data()
{
    // Readings in ms: the star vanishes at 1000 and comes back at "back";
    // each top comes in the order of its time, the edges before a top read
    // at the same time. The tops are then complete (by the reappearance top
    // or, as "end" says, by the end of the wait or typing), the focus on the
    // entry where it took it at the return, on the star field otherwise, or
    // elsewhere; the entry empty but for typed text.
    QTest::addColumn<int>("back");
    QTest::addColumn<QList<int>>("tops");
    QTest::addColumn<QString>("end"); // star, elsewhere, typed text, typing
    QTest::addColumn<QString>("kinds");
    QTest::addColumn<QString>("reactions"); // disappearance, reappearance, tapped
    QTest::addColumn<QString>("anticipations");
    QTest::addColumn<QString>("entry"); // focus at the return | focus, fill and selection at the end

    QTest::newRow("before the vanish and less than 0.1 s after it: anticipations")
        << 3000 << QList<int>{200, 999, 1000, 1099, 1100} << "star"
        << "antD antD antD antD disappearance" << "0.100 - -" << "4 0" << "|focus select";
    QTest::newRow("each edge tapped, an anticipated return between: the tapped duration")
        << 3000 << QList<int>{1250, 2500, 3180, 3200} << ""
        << "disappearance antR reappearance ignored" << "0.250 0.180 1.930" << "0 1"
        << "|focus 1.93 select";
    QTest::newRow("less than 0.1 s after the return: anticipated, the next top times it")
        << 3000 << QList<int>{1300, 3099, 3100} << ""
        << "disappearance antR reappearance" << "0.300 0.100 1.800" << "0 1"
        << "|focus 1.80 select";
    QTest::newRow("short occultation: both tops after the return, the entry focused")
        << 1200 << QList<int>{1350, 1550} << "" << "disappearance reappearance"
        << "0.350 0.350 0.200" << "0 0" << "focus|0.20 select";
    QTest::newRow("short occultation: time typed before the tops is kept")
        << 1200 << QList<int>{1350, 1550} << "typed text" << "disappearance reappearance"
        << "0.350 0.350 0.200" << "0 0" << "focus|";
    QTest::newRow("1.5 s after the vanish: still its reaction")
        << 3000 << QList<int>{2500, 3300} << "" << "disappearance reappearance"
        << "1.500 0.300 0.800" << "0 0" << "|focus 0.80 select";
    QTest::newRow("more than 1.5 s after the vanish: no reaction to it")
        << 3000 << QList<int>{2501, 3300} << "" << "ignored reappearance" << "- 0.300 -"
        << "0 0" << "focus|";
    QTest::newRow("the return tapped alone, 2 s after it")
        << 3000 << QList<int>{5000} << "" << "reappearance" << "- 2.000 -" << "0 0"
        << "focus|";
    QTest::newRow("more than 2 s after the return: the wait is over")
        << 3000 << QList<int>{1500, 5001} << "star" << "disappearance ignored" << "0.500 - -"
        << "0 0" << "|focus select";
    QTest::newRow("the focus moved elsewhere: the entry is left alone")
        << 3000 << QList<int>{1500, 3300} << "elsewhere" << "disappearance reappearance"
        << "0.500 0.300 1.800" << "0 0" << "|";
    QTest::newRow("a time typed during the wait: nothing filled over it")
        << 3000 << QList<int>{1500} << "typing" << "disappearance" << "0.500 - -" << "0 0"
        << "|";
    QTest::newRow("no top: the entry focused at the return, no line")
        << 3000 << QList<int>{} << "star" << "" << "- - -" << "none" << "focus|";
}

void TestReactions::classification()
{
    QFETCH(int, back);
    QFETCH(QList<int>, tops);
    QFETCH(QString, end);
    QFETCH(QString, kinds);
    QFETCH(QString, reactions);
    QFETCH(QString, anticipations);
    QFETCH(QString, entry);

    const std::int64_t ms = 1'000'000;
    Reactions::TrialTops trial;
    trial.start();
    QStringList seen;
    bool vanished = false;
    QString atReturn = QStringLiteral("-");
    auto edgesUntil = [&](int at) {
        if (!vanished && at >= 1000) {
            trial.vanished(1000 * ms);
            vanished = true;
        }
        if (atReturn == QLatin1String("-") && at >= back)
            atReturn = trial.reappeared(back * ms) ? QStringLiteral("focus") : QString();
    };
    auto focus = [&] {
        if (end == QLatin1String("elsewhere"))
            return Reactions::Focus::Elsewhere;
        if (end == QLatin1String("typing"))
            return Reactions::Focus::Entry;
        return atReturn == QLatin1String("focus") ? Reactions::Focus::Entry
                                                  : Reactions::Focus::StarField;
    };
    const bool entryEmpty = end != QLatin1String("typed text") && end != QLatin1String("typing");
    Reactions::EntryAction action;
    for (int top : tops) {
        edgesUntil(top);
        const TopKind kind = trial.top(top * ms);
        seen << kindName(kind);
        if (kind == TopKind::Reappearance)
            action = trial.complete(focus(), entryEmpty);
    }
    edgesUntil(back);
    if (end == QLatin1String("typing"))
        QVERIFY(trial.typingGoesToEntry());
    if (trial.isOpen()) {
        action = trial.complete(focus(), entryEmpty);
    }
    QVERIFY(!trial.isOpen());
    QCOMPARE(trial.top(6000 * ms), TopKind::Ignored);

    QCOMPARE(seen.join(QLatin1Char(' ')), kinds);
    QCOMPARE(QStringList({seconds(trial.disappearanceReaction()),
                          seconds(trial.reappearanceReaction()), seconds(trial.tappedDuration())})
                 .join(QLatin1Char(' ')),
             reactions);
    const std::optional<Reactions::TrialReactions> counted = trial.counted();
    QCOMPARE(counted ? QStringLiteral("%1 %2").arg(counted->disappearanceAnticipations)
                           .arg(counted->reappearanceAnticipations)
                     : QStringLiteral("none"),
             anticipations);
    QStringList done;
    if (action.focusEntry)
        done << QStringLiteral("focus");
    if (action.fill)
        done << *action.fill;
    if (action.selectAll)
        done << QStringLiteral("select");
    QCOMPARE(atReturn + QLatin1Char('|') + done.join(QLatin1Char(' ')), entry);
}

void TestReactions::keyRouting_data()
{
    // The trial's tops: "hidden" (the star out, no top yet), "waiting" (the
    // disappearance tapped, the star back), "filled" (complete, the tapped
    // duration filled in), "closed" (none open). The keys, in order: S a
    // press of Space, A one flagged as a repeat, P one with the timestamp of
    // the release before it (an X repeat), R a release, L the window left;
    // any other character a press typing it. For each key: t a top, i its
    // text put in the entry, k taken, - none of these.
    QTest::addColumn<QString>("tops");
    QTest::addColumn<QString>("focus"); // star, entry, elsewhere
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("Space while the tops are open: a top, its release taken too")
        << "hidden" << "elsewhere" << "SR" << "tk k";
    QTest::newRow("a held Space is one top: flagged repeats taken")
        << "hidden" << "star" << "SAAR" << "tk k k k";
    QTest::newRow("X's repeats: a press without a release, or at the release's time")
        << "hidden" << "star" << "SSRPR" << "tk k k k k";
    QTest::newRow("the window left: the next press is new")
        << "hidden" << "star" << "SLS" << "tk tk";
    QTest::newRow("no tops open: Space goes on to the control")
        << "closed" << "elsewhere" << "SR" << "- -";
    QTest::newRow("no blank in the tapped duration filled in")
        << "filled" << "entry" << "S" << "k";
    QTest::newRow("a digit during the return's wait goes into the entry")
        << "waiting" << "star" << "2" << "ik";
    QTest::newRow("a digit in the focused entry stays there") << "waiting" << "entry" << "2" << "-";
    QTest::newRow("a digit, then Space within the return's wait: still its top")
        << "waiting" << "entry" << "2S" << "- tk";
    QTest::newRow("a sign starts a time too") << "waiting" << "star" << "+" << "ik";
    QTest::newRow("a decimal comma starts a time too") << "waiting" << "star" << "," << "ik";
    QTest::newRow("a letter does not") << "waiting" << "star" << "x" << "-";
    QTest::newRow("a digit while the star is out is no answer yet")
        << "hidden" << "star" << "2" << "-";
}

void TestReactions::keyRouting()
{
    QFETCH(QString, tops);
    QFETCH(QString, focus);
    QFETCH(QString, keys);
    QFETCH(QString, outcome);
    const std::int64_t ms = 1'000'000;
    Reactions::TrialTops trial;
    QString entryText;
    if (tops != QLatin1String("closed")) {
        trial.start();
        trial.vanished(1000 * ms);
    }
    if (tops == QLatin1String("waiting") || tops == QLatin1String("filled")) {
        trial.top(1300 * ms);
        trial.reappeared(3000 * ms);
    }
    if (tops == QLatin1String("filled")) {
        trial.top(3300 * ms);
        entryText = *trial.complete(Reactions::Focus::Entry, true).fill;
    }
    const Reactions::Focus where = focus == QLatin1String("star")    ? Reactions::Focus::StarField
                                   : focus == QLatin1String("entry") ? Reactions::Focus::Entry
                                                                     : Reactions::Focus::Elsewhere;
    Reactions::KeyRouting routing;
    QStringList seen;
    unsigned long timestamp = 100;
    for (const QChar key : keys) {
        Reactions::KeyOutcome result;
        switch (key.toLatin1()) {
        case 'S':
        case 'A':
            result = routing.space(true, ++timestamp, key == QLatin1Char('A'), trial, where,
                                   entryText);
            break;
        case 'P':
            result = routing.space(true, timestamp, false, trial, where, entryText);
            break;
        case 'R':
            result = routing.space(false, ++timestamp, false, trial, where, entryText);
            break;
        case 'L':
            routing.windowLeft();
            continue;
        default:
            result = routing.typed(QString(key), trial, where);
        }
        QString done = QString(result.top ? "t" : "") + (result.insertIntoEntry ? "i" : "")
                       + (result.taken ? "k" : "");
        seen << (done.isEmpty() ? QStringLiteral("-") : done);
    }
    QCOMPARE(seen.join(QLatin1Char(' ')), outcome);
}

void TestReactions::pressReadings_data()
{
    // Presses as they arrive from the window system: timestamp, reading
    // (ms). Then as the program handles them: timestamp (0: passed on
    // without it), the reading then (ms). The readings matched, ms.
    QTest::addColumn<QList<int>>("arrived");
    QTest::addColumn<QList<int>>("handled");
    QTest::addColumn<QList<int>>("readings");
    QTest::newRow("matched by timestamp, in any order")
        << QList<int>{10, 100, 20, 200} << QList<int>{20, 250, 10, 260} << QList<int>{200, 100};
    QTest::newRow("without timestamps: the oldest not handled, then the reading now")
        << QList<int>{10, 100, 20, 200} << QList<int>{0, 250, 0, 260, 0, 270}
        << QList<int>{100, 200, 270};
    QTest::newRow("each matched once") << QList<int>{10, 100} << QList<int>{10, 150, 10, 160}
                                       << QList<int>{100, 160};
    QTest::newRow("half a second later, still matched")
        << QList<int>{10, 100} << QList<int>{10, 600} << QList<int>{100};
    QTest::newRow("more than half a second later: the reading now")
        << QList<int>{10, 100} << QList<int>{10, 601} << QList<int>{601};
    QTest::newRow("a timestamp never seen: the reading now")
        << QList<int>{10, 100} << QList<int>{11, 150} << QList<int>{150};
    QList<int> seventeen;
    for (int press = 1; press <= 17; ++press)
        seventeen << press << 100 + press;
    QTest::newRow("the seventeenth press takes the first one's place")
        << seventeen << QList<int>{1, 200, 2, 200, 17, 200} << QList<int>{200, 102, 117};
}

void TestReactions::pressReadings()
{
    QFETCH(QList<int>, arrived);
    QFETCH(QList<int>, handled);
    QFETCH(QList<int>, readings);
    const std::int64_t ms = 1'000'000;
    PressReadings presses;
    for (int i = 0; i < arrived.size(); i += 2)
        presses.arrived(unsigned(arrived[i]), arrived[i + 1] * ms);
    QList<int> matched;
    for (int i = 0; i < handled.size(); i += 2)
        matched << int(presses.take(unsigned(handled[i]), handled[i + 1] * ms) / ms);
    QCOMPARE(matched, readings);
}

void TestReactions::trialEnd_data()
{
    // What happens, in order: h the star hides, b it comes back, s Space
    // on the main window, H a held Space as a busy X server reports it
    // (two presses, then a release and a press at the same instant), Z a
    // Space whose press and release carry no timestamp, c a
    // click on the star field, 5 a digit typed, + a sign typed, t Tab, w the end of the
    // wait for the return's top, n a new trial, u the log box unticked, q
    // the main window closed. Each key press, click and edge reads the
    // steady clock once: "readings" gives them in ms.
    QTest::addColumn<QString>("actions");
    QTest::addColumn<QList<int>>("readings");
    QTest::addColumn<QString>("focus");    // at the end; empty where not checked
    QTest::addColumn<QString>("entry");    // text in "Votre temps" | its selection
    QTest::addColumn<QString>("logFields"); // the log's line from its duration on
    QTest::addColumn<int>("trials");       // in the personal-equation window

    const QList<int> eachEdge{1000, 1250, 3000, 3200};
    QTest::newRow("no top: the entry as before, no line")
        << "hb" << QList<int>{1000, 3000} << "EditTemps" << "|" << "" << 0;
    QTest::newRow("Space at each edge: the tapped duration, selected")
        << "hsbs" << eachEdge << "EditTemps" << "1.95|1.95" << "2.000,0.250,0.200,0,0" << 1;
    QTest::newRow("Space while hidden only: the empty entry 2 s after the return")
        << "hsbw" << QList<int>{1000, 1250, 3000} << "EditTemps" << "|"
        << "2.000,0.250,,0,0" << 1;
    QTest::newRow("a click on the star field after the return, the entry focused")
        << "hbc" << QList<int>{1000, 3000, 3200} << "EditTemps" << "|" << "2.000,,0.200,0,0" << 1;
    QTest::newRow("Space while hidden, then a new trial: the line first")
        << "hsbn" << QList<int>{1000, 1250, 3000} << "Image1" << "|" << "2.000,0.250,,0,0" << 1;
    QTest::newRow("short occultation: Space in the focused entry is timed, typed text kept")
        << "hb5ss" << QList<int>{1000, 1200, 1300, 1350, 1550} << "EditTemps" << "5|"
        << "0.200,0.350,0.350,0,0" << 1;
    QTest::newRow("Space on the prefilled entry leaves it whole")
        << "hsbss" << QList<int>{1000, 1250, 3000, 3200, 3500} << "EditTemps" << "1.95|1.95"
        << "2.000,0.250,0.200,0,0" << 1;
    QTest::newRow("a digit during the wait goes into the entry, the wait then ends")
        << "hsb5w" << QList<int>{1000, 1250, 3000, 3300} << "EditTemps" << "5|"
        << "2.000,0.250,,0,0" << 1;
    QTest::newRow("a sign during the wait goes into the entry, the wait then ends")
        << "hsb+w" << QList<int>{1000, 1250, 3000, 3300} << "EditTemps" << "+|"
        << "2.000,0.250,,0,0" << 1;
    QTest::newRow("a digit, then Space within the return's wait: the Space is its top")
        << "hsb5s" << QList<int>{1000, 1250, 3000, 3060, 3300} << "EditTemps" << "5|"
        << "2.000,0.250,0.300,0,0" << 1;
    QTest::newRow("a held Space is one top")
        << "hHbn" << QList<int>{1000, 1250, 1300, 1350, 3000} << "Image1" << "|"
        << "2.000,0.250,,0,0" << 1;
    QTest::newRow("Spaces without timestamps, as a screen reader passes them on: two tops")
        << "hZbZ" << eachEdge << "EditTemps" << "1.95|1.95" << "2.000,0.250,0.200,0,0" << 1;
    QTest::newRow("the focus moved on: Space times the return, the entry left alone")
        << "hsbts" << eachEdge << "" << "|" << "2.000,0.250,0.200,0,0" << 1;
    QTest::newRow("the log box unticked: the reactions counted, no line")
        << "uhsbs" << eachEdge << "EditTemps" << "1.95|1.95" << "" << 1;
    QTest::newRow("the close completes the tops")
        << "hsbq" << QList<int>{1000, 1250, 3000} << "" << "|" << "2.000,0.250,,0,0" << 1;
}

void TestReactions::trialEnd()
{
    QFETCH(QString, actions);
    QFETCH(QList<int>, readings);
    QFETCH(QString, focus);
    QFETCH(QString, entry);
    QFETCH(QString, logFields);
    QFETCH(int, trials);

    ProgramFixture program;
    steadyReadings.clear();
    for (int reading : readings)
        steadyReadings.push_back(std::int64_t(reading) * 1'000'000);
    steadyReads = 0;
    Clock::setSources([] { return 45000.5; }, replayedSteady);
    Form1->showForm();
    QVERIFY(QTest::qWaitForWindowActive(Form1));

    MaxDelay = 60000;
    RandomSource::seed(0x2545F491u);
    QTest::mouseClick(Form1->ui.Button2, Qt::LeftButton);
    QWindow *window = Form1->windowHandle();
    auto sendSpace = [window](QEvent::Type type, quint64 timestamp) {
        QKeyEvent key(type, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
        key.setTimestamp(timestamp);
        QCoreApplication::sendEvent(window, &key);
    };
    for (const QChar action : actions) {
        // Apart in time, so that no press shares its timestamp with the
        // release before it.
        QTest::qWait(5);
        switch (action.toLatin1()) {
        case 'h':
            Form1->Timer1->setInterval(0);
            QTRY_COMPARE(Form1->onTimer(), &TForm1::Timer1Timer2);
            break;
        case 'b':
            Form1->Timer1->setInterval(0);
            QTRY_VERIFY(Form1->ui.Button2->isEnabled());
            break;
        case 's':
            QTest::keyClick(window, Qt::Key_Space);
            break;
        case 'H':
            sendSpace(QEvent::KeyPress, 100);
            sendSpace(QEvent::KeyPress, 130);
            sendSpace(QEvent::KeyRelease, 160);
            sendSpace(QEvent::KeyPress, 160);
            break;
        case 'Z':
            sendSpace(QEvent::KeyPress, 0);
            sendSpace(QEvent::KeyRelease, 0);
            break;
        case 'c':
            QTest::mouseClick(Form1->ui.Image1, Qt::LeftButton);
            break;
        case '5':
        case '+':
            QTest::keyClick(window, action.toLatin1());
            break;
        case 't':
            QTest::keyClick(window, Qt::Key_Tab);
            break;
        case 'w': {
            // The focus stays where it is while the return's top is awaited.
            const QString waiting = focusName();
            QTest::qWait(1500);
            QCOMPARE(focusName(), waiting);
            // Past the end of the wait, 2 s after the return.
            QTest::qWait(700);
            QTRY_COMPARE_WITH_TIMEOUT(focusName(), QStringLiteral("EditTemps"), 2000);
            break;
        }
        case 'n':
            QTest::mouseClick(Form1->ui.Button2, Qt::LeftButton);
            break;
        case 'u':
            Form2->ui.CheckBox1->setChecked(false);
            break;
        case 'q':
            QVERIFY(Form1->close());
            break;
        }
    }
    if (!focus.isEmpty())
        QCOMPARE(focusName(), focus);
    QCOMPARE(Form1->ui.EditTemps->text() + QLatin1Char('|') + Form1->ui.EditTemps->selectedText(),
             entry);

    const QString log = readLog();
    if (logFields.isEmpty()) {
        QCOMPARE(log, QString());
    } else {
        const QStringList lines = log.split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 3);
        // Then the conditions, all at their defaults, unannounced.
        QCOMPARE(lines[1].section(QLatin1Char(','), 3),
                 logFields + QStringLiteral(",0,0,0,0,0,,"));
    }
    QCOMPARE(int(currentRun().trials().size()), trials);
    QCOMPARE(!Form1->ui.ButtonReactions->isHidden(), trials > 0);
    QCOMPARE(reportedErrors(), QStringList());
    Clock::setSources(nullptr, nullptr);
}

void TestReactions::windowFigures_data()
{
    // Trials as trial number, disappearance and reappearance reactions in
    // ms (-1: no top) and anticipations at each edge.
    QTest::addColumn<QList<QList<int>>>("trials");
    QTest::addColumn<QStringList>("disappearance"); // Moy., Méd., Sigma, Err. moy., Min., Max., Nb.
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

    const QStringList figuresOnly{"figuresTable", "anticipationsLabel", "settlingLabel", "runsTable",
                                  "okButton", "pages"};
    const QStringList withReport{"figuresTable", "anticipationsLabel", "settlingLabel", "effectLabel",
                                 "reportLabel", "copyButton", "runsTable", "okButton", "pages"};
    QTest::newRow("one edge tapped once: no deviation, no effect, names fit a large font")
        << QList<QList<int>>{{1, 250, -1, 2, 0}} << QStringList{" 0.25", " 0.25", "", "", " 0.25", " 0.25", "1"}
        << QStringList{"", "", "", "", "", "", "0"} << "Anticipations : 2 à la disparition, 0 à la réapparition"
        << "" << "" << "0.22 to 0.28" << "Essai 1. Disparition : 1 temps, moyenne 0.25 s. Réapparition : aucun temps."
        << figuresOnly << QByteArray() << QStringList{"08/12/2026 21:24| 0.25||1"} << 20;
    QTest::newRow("later returns: durations lengthened, medians between two")
        << QList<QList<int>>{{1, 200, 300, 0, 0}, {3, 300, 400, 1, 2}}
        << QStringList{" 0.25", " 0.25", " 0.07", " 0.05", " 0.20", " 0.30", "2"}
        << QStringList{" 0.35", " 0.35", " 0.07", " 0.05", " 0.30", " 0.40", "2"}
        << "Anticipations : 1 à la disparition, 2 à la réapparition" << "Vos durées sont allongées de 0.10 s."
        << "Pour vos rapports : disparition 0.25 s ± 0.07 s (2 essais, moyenne à ± 0.05 s), réapparition "
           "0.35 s ± 0.07 s (2 essais, moyenne à ± 0.05 s) ; éclat 0, scintillation 0, fondu 0 ms, sans bips ; "
           "2026-12-08 TU."
        << "0.10 to 0.50" << "Essais 1 à 3. Disparition : 2 temps, moyenne 0.25 s. Réapparition : 2 temps, moyenne 0.35 s."
        << withReport << QByteArray() << QStringList{"08/12/2026 21:24| 0.25| 0.35|2"} << 0;
    QTest::newRow("reactions from 0.40 to 0.56 s: the axis fitted to them; earlier runs in the log")
        << QList<QList<int>>{{1, 400, 450, 0, 0}, {2, 560, 500, 0, 0}, {3, 480, 420, 0, 0}}
        << QStringList{" 0.48", " 0.48", " 0.08", " 0.05", " 0.40", " 0.56", "3"}
        << QStringList{" 0.46", " 0.45", " 0.04", " 0.02", " 0.42", " 0.50", "3"}
        << "Anticipations : 0 à la disparition, 0 à la réapparition" << "Vos durées sont raccourcies de 0.02 s."
        << "Pour vos rapports : disparition 0.48 s ± 0.08 s (3 essais, moyenne à ± 0.05 s), réapparition "
           "0.46 s ± 0.04 s (3 essais, moyenne à ± 0.02 s) ; éclat 0, scintillation 0, fondu 0 ms, sans bips ; "
           "2026-12-08 TU."
        << "0.35 to 0.60" << "Essais 1 à 3. Disparition : 3 temps, moyenne 0.48 s. Réapparition : 3 temps, moyenne 0.46 s."
        << QStringList{"figuresTable", "anticipationsLabel", "settlingLabel", "effectLabel", "reportLabel",
                       "copyButton", "runsTable", "unreadableLabel", "okButton", "pages"}
        << QByteArray("date,duree_s,reaction_disparition_s,reaction_reapparition_s,tops_anticipes\r\n"
                      "2026-12-01 20:00:00,1,2026-12-01 20:00:10.000,2.000,0.300,0.250,0,0\r\n"
                      "2026-12-05 19:30:00,1,2026-12-05 19:30:10.000,2.000,,0.400,0,0\r\n"
                      "2026-12-01 20:00:00,2,2026-12-01 20:00:20.000,2.000,0.200,,1,0\r\n"
                      "2026-12-08 21:24:05,1,2026-12-08 21:24:10.000,2.000,0.900,0.900,0,0\r\n")
        << QStringList{"08/12/2026 21:24| 0.48| 0.46|3", "05/12/2026 19:30|| 0.40|1",
                       "01/12/2026 20:00| 0.25| 0.25|2"}
        << 0;
    QTest::newRow("less than 5 ms apart: neither")
        << QList<QList<int>>{{1, 300, 304, 0, 0}} << QStringList{" 0.30", " 0.30", "", "", " 0.30", " 0.30", "1"}
        << QStringList{" 0.30", " 0.30", "", "", " 0.30", " 0.30", "1"}
        << "Anticipations : 0 à la disparition, 0 à la réapparition"
        << "Vos durées ne sont ni allongées ni raccourcies."
        << "Pour vos rapports : disparition 0.30 s (1 essai), réapparition 0.30 s (1 essai) ; éclat 0, "
           "scintillation 0, fondu 0 ms, sans bips ; 2026-12-08 TU."
        << "0.26 to 0.34" << "Essai 1. Disparition : 1 temps, moyenne 0.30 s. Réapparition : 1 temps, moyenne 0.30 s."
        << withReport << QByteArray() << QStringList{"08/12/2026 21:24| 0.30| 0.30|1"} << 0;
    QTest::newRow("5 ms apart: shows in two decimals; one value each, without its deviation")
        << QList<QList<int>>{{1, 305, 300, 0, 0}} << QStringList{" 0.30", " 0.30", "", "", " 0.30", " 0.30", "1"}
        << QStringList{" 0.30", " 0.30", "", "", " 0.30", " 0.30", "1"}
        << "Anticipations : 0 à la disparition, 0 à la réapparition"
        << "Vos durées sont raccourcies de 0.01 s."
        << "Pour vos rapports : disparition 0.30 s (1 essai), réapparition 0.30 s (1 essai) ; éclat 0, "
           "scintillation 0, fondu 0 ms, sans bips ; 2026-12-08 TU."
        << "0.26 to 0.34" << "Essai 1. Disparition : 1 temps, moyenne 0.30 s. Réapparition : 1 temps, moyenne 0.30 s."
        << withReport << QByteArray() << QStringList{"08/12/2026 21:24| 0.30| 0.30|1"} << 0;
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
    currentRun().waitForEarlierRuns();
    QCOMPARE(Form1->ui.ButtonReactions->isHidden(), log.isEmpty());
    QVERIFY(!reactionsWindowBuilt()); // built when first wanted

    auto reaction = [](int ms) { return ms < 0 ? std::optional<double>() : ms / 1000.0; };
    int points = 0;
    for (const QList<int> &t : trials) {
        currentRun().addTrial({t[0], reaction(t[1]), reaction(t[2]), t[3], t[4]}, 0, 0.0);
        points += (t[1] >= 0) + (t[2] >= 0) + (t[3] > 0) + (t[4] > 0);
    }
    // The runs and the charts are drawn once the window is shown.
    reactionsWindow()->showForm();
    const StringGrid *grid = reactionsWindow()->ui.figuresTable;
    for (int column = 1; column <= 7; ++column) {
        QCOMPARE(grid->cell(column, 1), disappearance[column - 1]);
        QCOMPARE(grid->cell(column, 2), reappearance[column - 1]);
    }
    QVERIFY(grid->columnWidth(0) - 2 * StringGrid::TextMargin
            > grid->fontMetrics().horizontalAdvance(QStringLiteral("Réapparition")));
    QVERIFY(grid->selectedItems().isEmpty());
    QCOMPARE(reactionsWindow()->ui.anticipationsLabel->text(), anticipations);
    QCOMPARE(reactionsWindow()->ui.effectLabel->text(), effect);
    QCOMPARE(reactionsWindow()->ui.reportLabel->text(), report);
    if (!report.isEmpty()) {
        QTest::mouseClick(reactionsWindow()->ui.copyButton, Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), report);
    }
    // The figures are read in this order, both tabs' own, then the tabs;
    // the charts are passed over. The tab bar goes by its tab widget's name.
    const Ui::ReactionsWindow &ui = reactionsWindow()->ui;
    const QList<QWidget *> places{reactionsWindow()->contents(), ui.pages, ui.thisRunPage, ui.runsPage};
    QStringList chain;
    for (QWidget *w = reactionsWindow()->ui.figuresTable; chain.size() < 20; w = w->nextInFocusChain()) {
        const QString name = qobject_cast<QTabBar *>(w) ? w->parentWidget()->objectName() : w->objectName();
        if (places.contains(w->parentWidget()) && !w->isHidden() && (w->focusPolicy() & Qt::TabFocus)
            && !chain.contains(name))
            chain.append(name);
        if (w->nextInFocusChain() == reactionsWindow()->ui.figuresTable)
            break;
    }
    QCOMPARE(chain, tabChain);
    QStringList shownRuns;
    for (int row = 1; row < reactionsWindow()->ui.runsTable->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < 4; ++column)
            cells.append(reactionsWindow()->ui.runsTable->cell(column, row));
        shownRuns.append(cells.join(QLatin1Char('|')));
    }
    QCOMPARE(shownRuns, runs);
    QCOMPARE(reactionsWindow()->ui.unreadableLabel->text(), log.isEmpty() ? "" : "reactions.csv : ligne 1 illisible, mise de côté");

    // With one set of conditions the choice is not shown, and the table
    // takes its room.
    QVERIFY(ui.conditionsChoice->isHidden());
    QCOMPARE(ui.figuresTable->y(), ui.conditionsChoice->y());
    QCOMPARE(ui.conditionsLabel->text(), "Conditions : éclat 0, scintillation 0, fondu 0 ms, sans bips");

    // The chart holds each reaction as a point, each trial's anticipations
    // at an edge as a point, and each edge's running mean as a line, a
    // point of it at each reaction.
    QChart *chart = reactionsWindow()->ui.trialsChart->findChild<QChartView *>()->chart();
    int plotted = 0;
    int meanPoints = 0;
    for (QAbstractSeries *series : chart->series()) {
        const auto *xy = static_cast<QXYSeries *>(series);
        if (series->type() == QAbstractSeries::SeriesTypeScatter)
            plotted += int(xy->count());
        else
            meanPoints += int(xy->count());
    }
    QCOMPARE(plotted, points);
    QCOMPARE(meanPoints, disappearance[6].toInt() + reappearance[6].toInt());
    const auto *axis = static_cast<QValueAxis *>(chart->axes(Qt::Vertical).constFirst());
    QCOMPARE(QStringLiteral("%1 to %2").arg(axis->min(), 0, 'f', 2).arg(axis->max(), 0, 'f', 2), secondsAxis);
    QCOMPARE(reactionsWindow()->ui.trialsChart->accessibleDescription(), chartSummary);
}

void TestReactions::runPlace_data()
{
    // The earlier runs, newest first: start (s) and mean disappearance
    // reaction (ms, 0 for none). This run's start and mean (ms, -1 none).
    // How many runs are newer, and the chart's points, oldest first, as
    // place:mean.
    QTest::addColumn<QList<int>>("earlier");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("mean");
    QTest::addColumn<int>("newer");
    QTest::addColumn<QString>("points");
    QTest::newRow("the first run") << QList<int>{} << 100 << 300 << 0 << "1:300";
    QTest::newRow("after two runs: the newest, last")
        << QList<int>{200, 250, 100, 200} << 300 << 310 << 0 << "1:200 2:250 3:310";
    QTest::newRow("the clock set back: among the earlier runs")
        << QList<int>{300, 250, 100, 200} << 200 << 310 << 1 << "1:200 2:310 3:250";
    QTest::newRow("before every earlier run") << QList<int>{300, 250, 200, 200} << 100 << 310
                                              << 2 << "1:310 2:200 3:250";
    QTest::newRow("a run of the same second is not newer")
        << QList<int>{200, 250} << 200 << 310 << 0 << "1:250 2:310";
    QTest::newRow("a run without the edge's reaction keeps its place")
        << QList<int>{300, 0, 100, 200} << 400 << 310 << 0 << "1:200 3:310";
    QTest::newRow("no mean yet for this run: its place left free")
        << QList<int>{300, 250, 100, 200} << 200 << -1 << 1 << "1:200 3:250";
}

void TestReactions::runPlace()
{
    QFETCH(QList<int>, earlier);
    QFETCH(int, start);
    QFETCH(int, mean);
    QFETCH(int, newer);
    QFETCH(QString, points);
    std::vector<Reactions::RunFigures> runs;
    for (int i = 0; i < earlier.size(); i += 2) {
        Reactions::RunFigures run;
        run.startUtcSeconds = earlier[i];
        run.trials = 1;
        run.disappearanceCount = earlier[i + 1] > 0 ? 1 : 0;
        run.disappearanceMean = earlier[i + 1] / 1000.0;
        runs.push_back(run);
    }
    QCOMPARE(Reactions::newerRunCount(runs, start), newer);
    QStringList seen;
    for (const QPointF &point :
         Reactions::runMeans(runs, newer, Reactions::Edge::Disappearance,
                             mean < 0 ? std::nullopt : std::optional<double>(mean / 1000.0)))
        seen << QStringLiteral("%1:%2").arg(point.x()).arg(qRound(point.y() * 1000));
    QCOMPARE(seen.join(QLatin1Char(' ')), points);
}

void TestReactions::durationEffect_data()
{
    // Mean reactions (ms, -1 for no figure): disappearance, reappearance.
    QTest::addColumn<int>("disappearance");
    QTest::addColumn<int>("reappearance");
    QTest::addColumn<QString>("sentence");
    QTest::newRow("a slower return lengthens the durations")
        << 250 << 300 << "Vos durées sont allongées de 0.05 s.";
    QTest::newRow("a slower vanish shortens them")
        << 320 << 250 << "Vos durées sont raccourcies de 0.07 s.";
    QTest::newRow("less than 5 ms apart: neither")
        << 300 << 304 << "Vos durées ne sont ni allongées ni raccourcies.";
    QTest::newRow("6 ms apart: shown to the hundredth")
        << 300 << 306 << "Vos durées sont allongées de 0.01 s.";
    QTest::newRow("no reappearance yet: nothing said") << 300 << -1 << "";
}

void TestReactions::durationEffect()
{
    QFETCH(int, disappearance);
    QFETCH(int, reappearance);
    QFETCH(QString, sentence);
    auto figures = [](int mean) {
        Reactions::EdgeFigures edge;
        edge.count = mean < 0 ? 0 : 3;
        edge.mean = mean / 1000.0;
        return edge;
    };
    QCOMPARE(Reactions::durationEffect(figures(disappearance), figures(reappearance)), sentence);
}

void TestReactions::announcementSentence_data()
{
    // Each trial starts at 0 ms: the vanish, the second announced for it
    // and its top; the return, the second announced for it and its top;
    // ms, an announced second of -1 for none, a top of -1 for none.
    QTest::addColumn<QList<QList<int>>>("trials");
    QTest::addColumn<QString>("sentence");

    QTest::newRow("unannounced trials: nothing said")
        << QList<QList<int>>{{3000, -1, 3300, 5000, -1, 5300}} << "";
    QTest::newRow("one announced trial, an unannounced one left out: 4.60 - 4 s, one essai")
        << QList<QList<int>>{{3000, -1, 3900, 5000, -1, 5300}, {4300, 4, 4600, 8000, 9, -1}}
        << "Vos tops par rapport à la seconde annoncée : disparition +0.60 s (1 essai).";
    QTest::newRow("tops on the events, spread about the announced seconds: not followed")
        << QList<QList<int>>{{4300, 5, 4600, 8000, 8, 8280},
                             {2600, 2, 2920, 6000, 7, 6300},
                             {6900, 7, 7180, 9500, 9, 9820}}
        << "Vos tops par rapport à la seconde annoncée : disparition +0.23 s (3 essais), "
           "réapparition +0.13 s (3 essais).";
    QTest::newRow("tops 0.03 to 0.07 s after the announced vanish: followed there only")
        << QList<QList<int>>{{4300, 5, 5050, 8000, 8, 8300},
                             {2600, 3, 3030, 6000, 7, 6250},
                             {6900, 7, 7070, 9500, 10, 9800}}
        << "Vos tops suivent l'annonce : disparition +0.05 s (3 essais), réapparition \u22120.22 s "
           "(3 essais) ; à la disparition, ils tombent plus près de la seconde annoncée que de "
           "l'événement.";
    QTest::newRow("tops on the announced seconds at both edges, the returns' 0.1 s before")
        << QList<QList<int>>{{4300, 5, 5050, 8000, 9, 8900},
                             {2600, 3, 3030, 6000, 7, 6880},
                             {6900, 7, 7070, 9500, 10, 9920}}
        << "Vos tops suivent l'annonce : disparition +0.05 s (3 essais), réapparition \u22120.10 s "
           "(3 essais) ; à la disparition et à la réapparition, ils tombent plus près de la "
           "seconde annoncée que de l'événement.";
    QTest::newRow("two trials on the announced second: too few to judge")
        << QList<QList<int>>{{4300, 5, 5050, 8000, 8, -1}, {2600, 3, 3030, 6000, 7, -1}}
        << "Vos tops par rapport à la seconde annoncée : disparition +0.04 s (2 essais).";
}

void TestReactions::announcementSentence()
{
    QFETCH(QList<QList<int>>, trials);
    QFETCH(QString, sentence);

    const std::int64_t ms = 1'000'000;
    // The trials' starts read 500 ms into the steady clock.
    const auto at = [ms](int since) { return (500 + std::int64_t(since)) * ms; };
    Reactions::TrialTops tops;
    std::vector<Reactions::TrialReactions> counted;
    for (const QList<int> &trial : trials) {
        Conditions::ObservingConditions conditions;
        conditions.annonce = trial[1] >= 0 ? 2 : 0;
        tops.start(conditions);
        if (trial[1] >= 0)
            tops.announce(Reactions::Edge::Disappearance, trial[1], at(0));
        tops.vanished(at(trial[0]));
        if (trial[4] >= 0)
            tops.announce(Reactions::Edge::Reappearance, trial[4], at(0));
        QCOMPARE(tops.top(at(trial[2])), TopKind::Disappearance);
        tops.reappeared(at(trial[3]));
        if (trial[5] >= 0)
            QCOMPARE(tops.top(at(trial[5])), TopKind::Reappearance);
        tops.complete(Reactions::Focus::StarField, true);
        counted.push_back(*tops.counted());
    }
    QCOMPARE(Reactions::announcementSentence(counted), sentence);
}

void TestReactions::runLog_data()
{
    // Trials added to the run, with the log box ticked or not, the log
    // written (o: it can be, x: it cannot); u the box unticked, t ticked.
    // Then the lines still to write and those in the log.
    QTest::addColumn<QString>("steps"); // a trial added, o/x a write, u/t the box
    QTest::addColumn<int>("unwritten");
    QTest::addColumn<int>("written");
    QTest::newRow("logged: written in order") << "aaxo" << 0 << 2;
    QTest::newRow("a failed write keeps the lines for the next try") << "aax" << 2 << 0;
    QTest::newRow("unticked: the lines waiting are dropped, the next not kept")
        << "axuao" << 0 << 0;
    QTest::newRow("ticked again: the next trials logged") << "uatao" << 0 << 1;
}

void TestReactions::runLog()
{
    QFETCH(QString, steps);
    QFETCH(int, unwritten);
    QFETCH(int, written);
    QTemporaryDir dir;
    // A folder in the log's place cannot be written to, until it goes.
    const QString path = dir.filePath(QStringLiteral("reactions.csv"));
    Reactions::Run run(Q_INT64_C(1796765045000));
    int trial = 0;
    for (const QChar step : steps) {
        switch (step.toLatin1()) {
        case 'a':
            run.addTrial({++trial, 0.25, 0.3}, Q_INT64_C(1796765050000), 2.0);
            break;
        case 'u':
        case 't':
            run.setLogged(step == QLatin1Char('t'));
            break;
        case 'x':
            QDir(dir.path()).mkdir(QStringLiteral("reactions.csv"));
            QVERIFY_THROWS_EXCEPTION(InOutError, run.writeLog(path));
            QDir(dir.path()).rmdir(QStringLiteral("reactions.csv"));
            break;
        case 'o':
            run.writeLog(path);
            break;
        }
    }
    QCOMPARE(run.unwrittenLines(), unwritten);
    QFile log(path);
    const int lines = log.open(QIODevice::ReadOnly) ? int(log.readAll().count('\n')) - 1 : 0;
    QCOMPARE(std::max(lines, 0), written);
    QCOMPARE(int(run.trials().size()), trial);
}

void TestReactions::legendAsInALaterWindow()
{
    // An anticipation that comes while the window is shown gets its place
    // in the legend, as in a window opened after it.
    ProgramFixture program;
    currentRun().addTrial({1, 0.3, 0.35, 0, 0}, 0, 2.0);
    ReactionsWindow *window = reactionsWindow();
    window->showForm();
    QVERIFY(QTest::qWaitForWindowExposed(window));
    currentRun().addTrial({2, 0.28, 0.33, 1, 0}, 0, 2.0);
    ReactionsWindow later(currentRun());
    later.showForm();
    QVERIFY(QTest::qWaitForWindowExposed(&later));
    QCoreApplication::processEvents();
    const auto chart = [](ReactionsWindow *shown) {
        return shown->ui.trialsChart->findChild<QChartView *>()->grab().toImage();
    };
    QCOMPARE(chart(window), chart(&later));
}

namespace {

// An edge's figures from a count and a deviation in ms, and a mean.
Reactions::EdgeFigures edge(int count, int deviationMs, int meanMs = 300)
{
    Reactions::EdgeFigures figures;
    figures.count = count;
    figures.mean = meanMs / 1000.0;
    figures.deviation = deviationMs / 1000.0;
    return figures;
}

// Conditions written "eclat/scintillation/fondu position/pips (0 or 1)".
Conditions::ObservingConditions conditionsOf(const QString &text)
{
    // Éclat, Scintillation, Fondu position, pips, and the announcement's
    // place where a fifth part gives it.
    const QStringList values = text.split(QLatin1Char('/'));
    return {values[0].toInt(), values[1].toInt(), values[2].toInt(), values[3] == QLatin1String("1"),
            values.size() > 4 ? values[4].toInt() : 0};
}

} // namespace

void TestReactions::settling_data()
{
    // Each edge's count and deviation (ms); then each edge's standard
    // error as the table shows it, and the line under the table.
    QTest::addColumn<QList<int>>("edges"); // count, sigma, count, sigma
    QTest::addColumn<QStringList>("errors");
    QTest::addColumn<QString>("line");
    QTest::newRow("sigma 0.06 s over 39 trials: the mean to 0.01 s, settled")
        << QList<int>{39, 60, 39, 50} << QStringList{" 0.01", " 0.01"}
        << "Moyennes établies à ± 0.02 s près";
    QTest::newRow("sigma 0.07 s over 6: 13 wanted, 7 more")
        << QList<int>{6, 70, 6, 40} << QStringList{" 0.03", " 0.02"}
        << "Encore 7 essais pour des moyennes à ± 0.02 s près";
    QTest::newRow("the larger sigma decides: 0.10 s wants 25, 5 more")
        << QList<int>{20, 30, 20, 100} << QStringList{" 0.01", " 0.02"}
        << "Encore 5 essais pour des moyennes à ± 0.02 s près";
    QTest::newRow("a small sigma still wants ten trials in all")
        << QList<int>{4, 10, 4, 10} << QStringList{" 0.01", " 0.01"}
        << "Encore 6 essais pour des moyennes à ± 0.02 s près";
    QTest::newRow("0.08 s over 16: exactly 0.02 s, settled")
        << QList<int>{16, 80, 16, 80} << QStringList{" 0.02", " 0.02"}
        << "Moyennes établies à ± 0.02 s près";
    QTest::newRow("0.08 s over 15: one trial more")
        << QList<int>{15, 80, 15, 20} << QStringList{" 0.02", " 0.01"}
        << "Encore 1 essai pour des moyennes à ± 0.02 s près";
    QTest::newRow("two reactions: sigma over the square root of 2; 0.10 s wants 25")
        << QList<int>{2, 70, 2, 100} << QStringList{" 0.05", " 0.07"}
        << "Encore 23 essais pour des moyennes à ± 0.02 s près";
    QTest::newRow("one reaction each: no error, nine more")
        << QList<int>{1, 0, 1, 0} << QStringList{"", ""}
        << "Encore 9 essais pour des moyennes à ± 0.02 s près";
    QTest::newRow("the return never tapped: ten more for it")
        << QList<int>{12, 20, 0, 0} << QStringList{" 0.01", ""}
        << "Encore 10 essais pour des moyennes à ± 0.02 s près";
    QTest::newRow("no reaction: nothing said") << QList<int>{0, 0, 0, 0} << QStringList{"", ""}
                                               << "";
}

void TestReactions::settling()
{
    QFETCH(QList<int>, edges);
    QFETCH(QStringList, errors);
    QFETCH(QString, line);
    const Reactions::EdgeFigures figures[] = {edge(edges[0], edges[1]), edge(edges[2], edges[3])};
    QStringList shown;
    for (const Reactions::EdgeFigures &f : figures) {
        const std::optional<double> error = Reactions::standardError(f);
        shown << (error ? SecondsText(*error) : QString());
    }
    QCOMPARE(shown, errors);
    QCOMPARE(Reactions::settlingText(figures[0], figures[1]), line);
}

void TestReactions::reportLine_data()
{
    // Each edge's count, mean and deviation (ms), the conditions and the
    // run's start (UTC); then the line.
    QTest::addColumn<QList<int>>("edges"); // count, mean, sigma, count, mean, sigma
    QTest::addColumn<QString>("conditions");
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("line");
    QTest::newRow("28 trials under a faint, fading star with pips")
        << QList<int>{28, 280, 70, 28, 300, 70} << "3/3/4/1" << "2026-12-08 21:24:05"
        << "Pour vos rapports : disparition 0.28 s ± 0.07 s (28 essais, moyenne à ± 0.01 s), "
           "réapparition 0.30 s ± 0.07 s (28 essais, moyenne à ± 0.01 s) ; éclat 3, "
           "scintillation 3, fondu 200 ms, bips ; 2026-12-08 TU.";
    QTest::newRow("one return: its short form; no pips; the UTC date, not the local one")
        << QList<int>{2, 250, 70, 1, 300, 0} << "0/0/0/0" << "2026-12-31 23:30:00"
        << "Pour vos rapports : disparition 0.25 s ± 0.07 s (2 essais, moyenne à ± 0.05 s), "
           "réapparition 0.30 s (1 essai) ; éclat 0, scintillation 0, fondu 0 ms, sans bips ; "
           "2026-12-31 TU.";
    QTest::newRow("an announced event: named after the pips")
        << QList<int>{3, 50, 40, 3, -20, 30} << "0/0/0/1/2" << "2026-12-08 21:24:05"
        << "Pour vos rapports : disparition 0.05 s ± 0.04 s (3 essais, moyenne à ± 0.02 s), "
           "réapparition -0.02 s ± 0.03 s (3 essais, moyenne à ± 0.02 s) ; éclat 0, "
           "scintillation 0, fondu 0 ms, bips, annoncé ± 1 s ; 2026-12-08 TU.";
    QTest::newRow("no return yet: no line")
        << QList<int>{2, 250, 70, 0, 0, 0} << "0/0/0/0" << "2026-12-08 21:24:05" << "";
}

void TestReactions::reportLine()
{
    QFETCH(QList<int>, edges);
    QFETCH(QString, conditions);
    QFETCH(QString, start);
    QFETCH(QString, line);
    // East of Greenwich, the run's last half hour of 2026 is already 2027.
    qputenv("TZ", "CET-1");
    const auto restore = qScopeGuard([] { qunsetenv("TZ"); });
    QDateTime at = QDateTime::fromString(start, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    at.setTimeSpec(Qt::UTC);
    QCOMPARE(Reactions::reportLine(edge(edges[0], edges[2], edges[1]), edge(edges[3], edges[5], edges[4]),
                                   conditionsOf(conditions), at.toSecsSinceEpoch()),
             line);
}

void TestReactions::conditionSets_data()
{
    // The trials' conditions in their order; the set picked by the user
    // (empty: none). Then the sets as the choice lists them, the chosen
    // one, and each set as the runs' column names it.
    QTest::addColumn<QStringList>("trials");
    QTest::addColumn<QString>("picked");
    QTest::addColumn<QStringList>("choice");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<QStringList>("column");
    QTest::newRow("one set: its count")
        << QStringList{"3/3/4/1", "3/3/4/1"} << ""
        << QStringList{"éclat 3, scintillation 3, fondu 200 ms, bips (2 essais)"} << 0
        << QStringList{"3 / 3 / 200 ms / bips"};
    QTest::newRow("the latest used first, whatever came before")
        << QStringList{"0/0/0/0", "0/0/0/0", "3/3/4/1", "3/3/4/1", "0/0/0/0", "3/3/4/1"} << ""
        << QStringList{"éclat 3, scintillation 3, fondu 200 ms, bips (3 essais)",
                       "éclat 0, scintillation 0, fondu 0 ms, sans bips (3 essais)"}
        << 0 << QStringList{"3 / 3 / 200 ms / bips", "0 / 0 / 0 ms / sans bips"};
    QTest::newRow("the pips alone make another set; the picked one kept")
        << QStringList{"2/1/5/1", "2/1/5/0", "2/1/5/0"} << "2/1/5/1"
        << QStringList{"éclat 2, scintillation 1, fondu 500 ms, sans bips (2 essais)",
                       "éclat 2, scintillation 1, fondu 500 ms, bips (1 essai)"}
        << 1 << QStringList{"2 / 1 / 500 ms / sans bips", "2 / 1 / 500 ms / bips"};
    QTest::newRow("a picked set the run does not have: the latest")
        << QStringList{"1/0/1/0", "0/2/0/0"} << "5/5/5/1"
        << QStringList{"éclat 0, scintillation 2, fondu 0 ms, sans bips (1 essai)",
                       "éclat 1, scintillation 0, fondu 20 ms, sans bips (1 essai)"}
        << 0 << QStringList{"0 / 2 / 0 ms / sans bips", "1 / 0 / 20 ms / sans bips"};
    QTest::newRow("the announcement alone makes another set, named after the pips")
        << QStringList{"0/0/0/0/2", "0/0/0/0/0", "0/0/0/0/1"} << ""
        << QStringList{"éclat 0, scintillation 0, fondu 0 ms, sans bips, annoncé ± 0.5 s (1 essai)",
                       "éclat 0, scintillation 0, fondu 0 ms, sans bips (1 essai)",
                       "éclat 0, scintillation 0, fondu 0 ms, sans bips, annoncé ± 1 s (1 essai)"}
        << 0
        << QStringList{"0 / 0 / 0 ms / sans bips / annoncé ± 0.5 s", "0 / 0 / 0 ms / sans bips",
                       "0 / 0 / 0 ms / sans bips / annoncé ± 1 s"};
}

void TestReactions::conditionSets()
{
    QFETCH(QStringList, trials);
    QFETCH(QString, picked);
    QFETCH(QStringList, choice);
    QFETCH(int, chosen);
    QFETCH(QStringList, column);
    std::vector<Reactions::TrialReactions> run;
    for (const QString &conditions : trials) {
        Reactions::TrialReactions trial;
        trial.trial = int(run.size()) + 1;
        trial.disappearance = 0.3;
        trial.conditions = conditionsOf(conditions);
        run.push_back(trial);
    }
    const std::vector<Reactions::ConditionSet> sets = Reactions::conditionSets(run);
    QStringList listed;
    QStringList named;
    int under = 0;
    for (const Reactions::ConditionSet &set : sets) {
        listed << Reactions::choiceText(set);
        named << Conditions::columnText(set.conditions);
        under += int(Reactions::trialsUnder(run, set.conditions).size());
    }
    QCOMPARE(listed, choice);
    QCOMPARE(named, column);
    QCOMPARE(under, int(run.size()));
    const std::optional<Conditions::ObservingConditions> pick =
        picked.isEmpty() ? std::nullopt : std::optional(conditionsOf(picked));
    QCOMPARE(int(Reactions::chosenSet(sets, pick)), chosen);
}

void TestReactions::runningMeans_data()
{
    // The trials' reactions at the disappearance, ms (-1: no top); then
    // the running mean as trial:mean.
    QTest::addColumn<QList<int>>("reactions");
    QTest::addColumn<QString>("means");
    QTest::newRow("each mean over the reactions so far; a trial without a top passed over")
        << QList<int>{300, -1, 200, 400} << "1:300 3:250 4:300";
    QTest::newRow("no reaction: no line") << QList<int>{-1, -1} << "";
}

void TestReactions::runningMeans()
{
    QFETCH(QList<int>, reactions);
    QFETCH(QString, means);
    std::vector<Reactions::TrialReactions> trials;
    for (const int ms : reactions) {
        Reactions::TrialReactions trial;
        trial.trial = int(trials.size()) + 1;
        if (ms >= 0)
            trial.disappearance = ms / 1000.0;
        trials.push_back(trial);
    }
    QStringList seen;
    for (const QPointF &point : Reactions::runningMeans(trials, Reactions::Edge::Disappearance))
        seen << QStringLiteral("%1:%2").arg(point.x()).arg(qRound(point.y() * 1000));
    QCOMPARE(seen.join(QLatin1Char(' ')), means);
}

void TestReactions::figuresPerConditions()
{
    // Two sets in the run, and an earlier run under each: the choice above
    // the table lists them, the figures, the report line and the runs'
    // chart are the chosen set's, and the runs have a row per set.
    Clock::setUtcSource([]() -> std::int64_t { return Q_INT64_C(1796765045999); });
    const auto restore = qScopeGuard([] { Clock::setUtcSource(nullptr); });
    ProgramFixture program(true, false);
    QFile file(program.path(QStringLiteral("reactions.csv")));
    const QByteArray log = ReactionsLog::HeaderLine + QByteArray("\r\n")
                           + "2026-12-01 20:00:00,1,2026-12-01 20:00:10.000,2.000,0.500,0.500,0,0,3,3,200,1\r\n"
                             "2026-12-02 20:00:00,1,2026-12-02 20:00:10.000,2.000,0.100,0.100,0,0,0,0,0,0\r\n";
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(log) == log.size());
    file.close();
    createForms();
    currentRun().waitForEarlierRuns();
    const Conditions::ObservingConditions faint{3, 3, 4, true};
    currentRun().addTrial({1, 0.2, 0.3, 0, 0, {}}, 0, 2.0);
    currentRun().addTrial({2, 0.4, 0.5, 0, 0, faint}, 0, 2.0);
    currentRun().addTrial({3, 0.6, 0.7, 0, 0, faint}, 0, 2.0);
    ReactionsWindow *window = reactionsWindow();
    window->showForm();
    const Ui::ReactionsWindow &ui = window->ui;
    QVERIFY(!ui.conditionsChoice->isHidden());
    QCOMPARE(ui.conditionsChoice->count(), 2);
    QCOMPARE(ui.conditionsChoice->currentText(),
             "éclat 3, scintillation 3, fondu 200 ms, bips (2 essais)");
    QCOMPARE(ui.figuresTable->cell(1, 1), " 0.50");
    QCOMPARE(ui.figuresTable->cell(7, 1), "2");
    QVERIFY(ui.reportLabel->text().endsWith(" ; éclat 3, scintillation 3, fondu 200 ms, bips ; 2026-12-08 TU."));
    QStringList rows;
    for (int row = 1; row < ui.runsTable->rowCount(); ++row)
        rows << ui.runsTable->cell(0, row) + QLatin1Char('|') + ui.runsTable->cell(1, row) + QLatin1Char('|')
                    + ui.runsTable->cell(3, row) + QLatin1Char('|') + ui.runsTable->cell(4, row);
    QCOMPARE(rows, (QStringList{"08/12/2026 21:24| 0.50|2|3 / 3 / 200 ms / bips",
                                "08/12/2026 21:24| 0.20|1|0 / 0 / 0 ms / sans bips",
                                "02/12/2026 20:00| 0.10|1|0 / 0 / 0 ms / sans bips",
                                "01/12/2026 20:00| 0.50|1|3 / 3 / 200 ms / bips"}));
    QVERIFY(ui.runsChart->accessibleDescription().startsWith("2 séances, de la plus ancienne à la plus récente. Disparition : de 0.50 s à 0.50 s."));
    // The trials chart marks the chosen set's trials: the other one's two
    // reactions in grey, and said.
    QCOMPARE(ui.trialsChart->accessibleDescription(),
             "Essais 2 à 3. Disparition : 2 temps, moyenne 0.50 s. Réapparition : 2 temps, moyenne 0.60 s."
             " 1 autre essai en gris.");
    int grey = -1;
    for (QAbstractSeries *series : ui.trialsChart->findChild<QChartView *>()->chart()->series()) {
        if (series->name() == QLatin1String("Autres cond."))
            grey = int(static_cast<QXYSeries *>(series)->count());
    }
    QCOMPARE(grey, 2);

    // The other set picked: its figures, and its runs charted.
    const int tableTop = ui.figuresTable->y();
    ui.conditionsChoice->setCurrentIndex(1);
    emit ui.conditionsChoice->activated(1);
    QCOMPARE(ui.figuresTable->cell(1, 1), " 0.20");
    QVERIFY(ui.reportLabel->text().endsWith(" ; éclat 0, scintillation 0, fondu 0 ms, sans bips ; 2026-12-08 TU."));
    QVERIFY(ui.runsChart->accessibleDescription().startsWith("2 séances, de la plus ancienne à la plus récente. Disparition : de 0.10 s à 0.20 s."));
    // A trial under the other set keeps the picked one chosen.
    currentRun().addTrial({4, 0.8, 0.3, 0, 0, faint}, 0, 2.0);
    QCOMPARE(ui.figuresTable->cell(1, 1), " 0.20");
    QCOMPARE(ui.conditionsChoice->currentText(),
             "éclat 0, scintillation 0, fondu 0 ms, sans bips (1 essai)");
    QCOMPARE(ui.figuresTable->y(), tableTop);
}

QTEST_MAIN(TestReactions)
#include "tst_reactions.moc"
