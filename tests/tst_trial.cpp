// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "testsupport.h"

#include "program/application.h"
#include "app/clock.h"
#include "app/common.h"
#include "app/errors.h"
#include "app/randomsource.h"
#include "conditions/keptconditions.h"
#include "main_window/unit1.h"
#include "main_window/unit1vars.h"
#include "settings/unit2.h"
#include "viewer/unit3.h"

#include <QApplication>
#include <QFile>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

// Clock sources that replay set readings, one per read; past the end they
// repeat the last one. A read may be made to fail.
std::vector<double> wallReadings;
std::vector<std::int64_t> steadyReadings;
std::size_t wallReads = 0;
std::size_t steadyReads = 0;
int failingWallRead = -1;
int failingSteadyRead = -1;

double replayedWall()
{
    const std::size_t read = wallReads++;
    if (int(read) == failingWallRead)
        throw Error(QStringLiteral("Horloge indisponible"));
    return wallReadings.empty() ? 45000.5 : wallReadings[std::min(read, wallReadings.size() - 1)];
}

std::int64_t replayedSteady()
{
    const std::size_t read = steadyReads++;
    if (int(read) == failingSteadyRead)
        throw Error(QStringLiteral("Horloge indisponible"));
    return steadyReadings.empty() ? 0 : steadyReadings[std::min(read, steadyReadings.size() - 1)];
}

void replayClocks(std::vector<double> wall, std::vector<std::int64_t> steady)
{
    wallReadings = std::move(wall);
    steadyReadings = std::move(steady);
    wallReads = 0;
    steadyReads = 0;
    failingWallRead = -1;
    failingSteadyRead = -1;
}


QString handlerName(TForm1::TimerHandler handler)
{
    if (handler == &TForm1::Timer1Timer)
        return QStringLiteral("Timer1Timer");
    if (handler == &TForm1::Timer1Timer2)
        return QStringLiteral("Timer1Timer2");
    return handler ? QStringLiteral("another handler") : QStringLiteral("no handler");
}

QString starState()
{
    const QImage &picture = Form1->ui.Image1->picture();
    bool allBlack = true;
    for (int y = 0; y < picture.height() && allBlack; ++y)
        for (int x = 0; x < picture.width() && allBlack; ++x)
            allBlack = picture.pixel(x, y) == qRgb(0, 0, 0);
    if (allBlack)
        return QStringLiteral("absent");
    if (picture.pixel(StarX + 2, StarY + 2) == qRgb(255, 255, 255))
        return QStringLiteral("drawn");
    return QStringLiteral("damaged");
}

/// The trial's state as the lifecycle table names it.
QString cycleState()
{
    return QStringLiteral("Button2 %1, star %2, timer %3, handler %4")
        .arg(Form1->ui.Button2->isEnabled() ? "enabled" : "disabled", starState(),
             Form1->Timer1->isRunning() ? "running" : "stopped",
             handlerName(Form1->onTimer()));
}

const QString IdleBefore =
    QStringLiteral("Button2 enabled, star absent, timer stopped, handler Timer1Timer");
const QString StarVisible =
    QStringLiteral("Button2 disabled, star drawn, timer running, handler Timer1Timer");
const QString Occulted =
    QStringLiteral("Button2 disabled, star absent, timer running, handler Timer1Timer2");
const QString IdleAfter =
    QStringLiteral("Button2 enabled, star drawn, timer stopped, handler Timer1Timer");

QString entryRowState()
{
    auto describe = [](QWidget *control) {
        return QStringLiteral("%1 %2")
            .arg(control->isHidden() ? "hidden" : "visible",
                 control->isEnabled() ? "enabled" : "disabled");
    };
    const Ui::TForm1 &ui = Form1->ui;
    return QStringLiteral("Label1 %1, EditTemps %2 '%3', ButtonOK %4, ButtonStat %5")
        .arg(describe(ui.Label1), describe(ui.EditTemps), ui.EditTemps->text(),
             describe(ui.ButtonOK), describe(ui.ButtonStat));
}

/// The state the generator must have before a draw for that draw to
/// advance it to the given state.
std::uint32_t seedBefore(std::uint32_t advanced)
{
    // The multiplier is odd, so it has an inverse modulo 2^32 (Newton).
    std::uint32_t inverse = 134775813u;
    for (int i = 0; i < 5; ++i)
        inverse *= 2u - 134775813u * inverse;
    return (advanced - 1u) * inverse;
}

void clickStart()
{
    QTest::mouseClick(Form1->ui.Button2, Qt::LeftButton);
}

} // namespace

class TestTrial : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startState();
    void creationResetsState();
    void zeroDelayTrials();
    void delayIsTheDraw_data();
    void delayIsTheDraw();
    void delayBoundReadAtEachDraw_data();
    void delayBoundReadAtEachDraw();
    void failingStepReturnsToIdle_data();
    void failingStepReturnsToIdle();
    void durationFromSteadyClock_data();
    void durationFromSteadyClock();
    void noSecondTrialWhileRunning();
    void otherWindowsUsableDuringTrial();
    void tickCallsHandlerInForce();
    void sameIntervalLeavesCountdown();

private:
    std::unique_ptr<ProgramFixture> m_program;
};

void TestTrial::init()
{
    m_program = std::make_unique<ProgramFixture>();
    replayClocks({}, {});
    Clock::setSources(replayedWall, replayedSteady);
    Form1->showForm();
    QVERIFY(QTest::qWaitForWindowActive(Form1));
}

void TestTrial::cleanup()
{
    m_program.reset();
    Clock::setSources(nullptr, nullptr);
}

void TestTrial::startState()
{
    QCOMPARE(cycleState(), IdleBefore);
    QCOMPARE(Form1->Timer1->interval(), 1000);
    QCOMPARE(Form1->ui.LabelResult->text(), QStringLiteral("X"));
    QCOMPARE(entryRowState(), QStringLiteral("Label1 hidden enabled, EditTemps hidden enabled '', "
                                             "ButtonOK hidden enabled, ButtonStat hidden enabled"));
    QVERIFY(Form1->ui.Label3->isHidden());
    QTRY_VERIFY(Form1->ui.Button2->hasFocus());
    QCOMPARE(Form1->ui.Image1->accessibleDescription(), QStringLiteral("L'étoile est cachée"));
    QVERIFY(!Form1->ui.Image1->accessibleName().isEmpty());
    QVERIFY(reportedErrors().isEmpty());
}

void TestTrial::creationResetsState()
{
    destroyForms();
    MaxDelay = 7;
    SumOccult = 1.0;
    SumSqOccult = 2.0;
    SumError = 3.0;
    SumSqError = 4.0;
    OccultCount = 5;
    MeasureCount = 6;
    RandomSource::seed(0);
    Clock::setSources(nullptr, nullptr); // the system's clocks, for the seed
    createForms();
    Clock::setSources(replayedWall, replayedSteady);

    // Seeded: an unseeded source plays the same delays in every run, the
    // first one always 0 ms.
    QVERIFY(RandomSource::state() != 0);
    QCOMPARE(MaxDelay, 5000);
    QCOMPARE(SumOccult, 0.0);
    QCOMPARE(SumSqOccult, 0.0);
    QCOMPARE(SumError, 0.0);
    QCOMPARE(SumSqError, 0.0);
    QCOMPARE(OccultCount, 0);
    QCOMPARE(MeasureCount, 0);
    QCOMPARE(Form1->ui.Image1->picture().size(), Form1->ui.Image1->size());
    QCOMPARE(starState(), QStringLiteral("absent"));
}

void TestTrial::zeroDelayTrials()
{
    // With a bound of 1 ms every delay is 0: each phase ends at the next
    // pass of the event loop.
    MaxDelay = 1;
    replayClocks({45000.5, 45000.5 + 2.5 / 86400, 45000.6, 45000.6, 45000.7, 45000.7},
                 {1'000'000'000, 3'500'000'000, 4'000'000'000, 4'000'000'000,
                  5'000'000'000, 6'250'000'000});
    const double durations[] = {2.5, 0.0, 1.25};
    const char *const sentences[] = {"Le temps est de 2.50 s", "Le temps est de 0.00 s",
                                     "Le temps est de 1.25 s"};
    double sum = 0.0;
    double sumSq = 0.0;
    QImage previousPicture;

    for (int trial = 0; trial < 3; ++trial) {
        const QString label = Form1->ui.LabelResult->text();
        const QString row = entryRowState();
        clickStart();
        // Nothing has ticked yet: the star is up, the first delay armed.
        QCOMPARE(cycleState(), StarVisible);
        QCOMPARE(Form1->Timer1->interval(), 0);
        QCOMPARE(Form1->ui.Image1->accessibleDescription(), QStringLiteral("L'étoile est visible"));
        if (!previousPicture.isNull())
            QCOMPARE(Form1->ui.Image1->picture(), previousPicture);
        // Starting leaves the result line and the entry row alone.
        QCOMPARE(Form1->ui.LabelResult->text(), label);
        QCOMPARE(entryRowState(), row);

        QTRY_COMPARE(cycleState(), IdleAfter);
        sum += durations[trial];
        sumSq += durations[trial] * durations[trial];
        QCOMPARE(OccultCount, trial + 1);
        QCOMPARE(LastDuration, durations[trial]);
        QCOMPARE(SumOccult, sum);
        QCOMPARE(SumSqOccult, sumSq);
        QCOMPARE(Form1->ui.LabelResult->text(), SecondsText(durations[trial]));
        QCOMPARE(Form1->ui.LabelResult->accessibleName(), QString::fromUtf8(sentences[trial]));
        QCOMPARE(Form1->ui.EditTemps->accessibleDescription(), QString::fromUtf8(sentences[trial]));
        QCOMPARE(entryRowState(), QStringLiteral("Label1 visible enabled, EditTemps visible enabled "
                                                 "'', ButtonOK visible enabled, ButtonStat hidden "
                                                 "enabled"));
        QVERIFY(Form1->ui.Label3->isHidden());
        QTRY_VERIFY(Form1->ui.EditTemps->hasFocus());
        QCOMPARE(Form1->ui.Image1->accessibleDescription(), QStringLiteral("L'étoile est visible"));
        previousPicture = Form1->ui.Image1->picture().copy();

        // Something typed but not sent is left for the next start to keep
        // and for the next reappearance to clear.
        QTest::keyClicks(Form1->ui.EditTemps, QStringLiteral("7"));
    }
    QCOMPARE(wallReads, std::size_t(6));
    QCOMPARE(OccultStart, 45000.7);
    QCOMPARE(OccultEnd, 45000.7);
    QVERIFY(reportedErrors().isEmpty());
}

void TestTrial::delayIsTheDraw_data()
{
    QTest::addColumn<int>("bound");
    QTest::addColumn<std::uint32_t>("advancedState");
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("announcement"); // its place among the choices

    QTest::newRow("shortest delay: 0 ms") << 5000 << 0u << 0 << 0;
    QTest::newRow("longest delay: bound - 1 ms") << 5000 << 0xFFFFFFFFu << 4999 << 0;
    QTest::newRow("middle of a 60 s bound") << 60000 << 0x80000000u << 30000 << 0;
    // The announcement's error is drawn aside: the same delay, the same
    // state after it.
    QTest::newRow("announced ± 2 s: the same draw") << 60000 << 0x80000000u << 30000 << 3;
    QTest::newRow("announced ± 0.5 s, longest delay: the same draw")
        << 5000 << 0xFFFFFFFFu << 4999 << 1;
}

void TestTrial::delayIsTheDraw()
{
    QFETCH(int, bound);
    QFETCH(std::uint32_t, advancedState);
    QFETCH(int, delay);
    QFETCH(int, announcement);

    Conditions::ObservingConditions conditions;
    conditions.annonce = announcement;
    keptConditions().edit(conditions);
    MaxDelay = bound;
    RandomSource::seed(seedBefore(advancedState));
    clickStart();
    QCOMPARE(cycleState(), StarVisible);
    QCOMPARE(Form1->Timer1->interval(), delay);
    QCOMPARE(RandomSource::state(), advancedState);
    // The vanish's announced second is said with the star's state: the
    // steady clock stands still here, so it is the delay's second, give or
    // take the error.
    const QString description = Form1->ui.Image1->accessibleDescription();
    if (announcement == 0) {
        QCOMPARE(description, QStringLiteral("L'étoile est visible"));
        QVERIFY(Form1->ui.Image1->figures().isNull());
    } else {
        QVERIFY2(description.startsWith(QStringLiteral("L'étoile est visible, D prévue à ")),
                 qPrintable(description));
        QVERIFY(!Form1->ui.Image1->figures().isNull());
        // The figures keep clear of the star's square, and the star shows
        // as its picture has it.
        const QRect star = Form1->ui.Image1->starRect();
        QVERIFY(!Form1->ui.Image1->figuresRect().intersects(star.adjusted(-2, -2, 2, 2)));
        const QImage shown = Form1->ui.Image1->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shown.copy(star), Form1->ui.Image1->picture().copy(star));
        QVERIFY(shown.copy(Form1->ui.Image1->figuresRect()) != Form1->ui.Image1->picture().copy(
                                                                   Form1->ui.Image1->figuresRect()));
    }
}

void TestTrial::delayBoundReadAtEachDraw_data()
{
    QTest::addColumn<int>("firstBound");
    QTest::addColumn<int>("secondBound");

    QTest::newRow("raised during the visible phase") << 1 << 60000;
    QTest::newRow("lowered during the visible phase") << 600000 << 60000;
    QTest::newRow("left alone") << 60000 << 60000;
}

void TestTrial::delayBoundReadAtEachDraw()
{
    QFETCH(int, firstBound);
    QFETCH(int, secondBound);

    const std::uint32_t seed = 0x2545F491u;
    RandomSource::seed(seed);
    const int firstDelay = RandomSource::draw(firstBound);
    const int secondDelay = RandomSource::draw(secondBound);
    RandomSource::seed(seed);
    RandomSource::draw(firstBound);
    const int staleDelay = RandomSource::draw(firstBound);
    QVERIFY(secondDelay > 0);
    if (firstBound != secondBound)
        QVERIFY(staleDelay != secondDelay);

    RandomSource::seed(seed);
    MaxDelay = firstBound;
    clickStart();
    QCOMPARE(cycleState(), StarVisible);
    QCOMPARE(Form1->Timer1->interval(), firstDelay);

    // The settings window changes the bound while the star is up.
    MaxDelay = secondBound;
    Form1->Timer1->setInterval(0); // a new interval restarts the countdown
    QTRY_COMPARE(handlerName(Form1->onTimer()), QStringLiteral("Timer1Timer2"));
    QCOMPARE(cycleState(), Occulted);
    QCOMPARE(Form1->Timer1->interval(), secondDelay);
    QCOMPARE(Form1->ui.Image1->accessibleDescription(), QStringLiteral("L'étoile est cachée"));
    QCOMPARE(OccultCount, 0);

    Form1->Timer1->setInterval(0);
    QTRY_COMPARE(cycleState(), IdleAfter);
    QCOMPARE(OccultCount, 1);
}

void TestTrial::failingStepReturnsToIdle_data()
{
    QTest::addColumn<int>("failingWall");
    QTest::addColumn<int>("failingSteady");
    QTest::addColumn<QString>("star");

    QTest::newRow("wall clock fails as the star vanishes") << 0 << -1 << "drawn";
    QTest::newRow("steady clock fails as the star vanishes") << -1 << 0 << "drawn";
    QTest::newRow("wall clock fails as the star reappears") << 1 << -1 << "absent";
    QTest::newRow("steady clock fails as the star reappears") << -1 << 1 << "absent";
}

void TestTrial::failingStepReturnsToIdle()
{
    QFETCH(int, failingWall);
    QFETCH(int, failingSteady);
    QFETCH(QString, star);

    MaxDelay = 1;
    replayClocks({45000.5}, {1'000'000'000, 2'000'000'000, 3'000'000'000, 4'000'000'000});
    failingWallRead = failingWall;
    failingSteadyRead = failingSteady;
    clickStart();
    QTRY_VERIFY(!reportedErrors().isEmpty());

    QCOMPARE(reportedErrors(), QStringList{QStringLiteral("Horloge indisponible.")});
    QCOMPARE(cycleState(),
             QStringLiteral("Button2 enabled, star %1, timer stopped, handler Timer1Timer").arg(star));
    QCOMPARE(OccultCount, 0);
    QCOMPARE(SumOccult, 0.0);
    QVERIFY(Form1->ui.EditTemps->isHidden());
    // Nothing is left armed.
    QTest::qWait(20);
    QCOMPARE(reportedErrors().size(), 1);
    QVERIFY(!Form1->Timer1->isRunning());

    // The next trial runs as usual.
    failingWallRead = -1;
    failingSteadyRead = -1;
    clickStart();
    QTRY_COMPARE(cycleState(), IdleAfter);
    QCOMPARE(OccultCount, 1);
    QCOMPARE(reportedErrors().size(), 1);
}

void TestTrial::durationFromSteadyClock_data()
{
    QTest::addColumn<double>("wallStart");
    QTest::addColumn<double>("wallEnd");
    QTest::addColumn<qint64>("steadyStart");
    QTest::addColumn<qint64>("steadyEnd");
    QTest::addColumn<double>("duration");

    const double hour = 1.0 / 24;
    QTest::newRow("wall clock set back an hour")
        << 45000.5 << 45000.5 - hour + 2.25 / 86400 << qint64(10'000'000'000)
        << qint64(12'250'000'000) << 2.25;
    QTest::newRow("wall clock set forward a day")
        << 45000.5 << 45001.5 << qint64(10'000'000'000) << qint64(11'000'000'000) << 1.0;
    QTest::newRow("across local midnight")
        << 45000.0 - 1.0 / 86400 << 45000.0 + 2.0 / 86400 << qint64(5'000'000'000)
        << qint64(8'000'000'000) << 3.0;
    QTest::newRow("no time passes") << 45000.5 << 45000.5 << qint64(7'000'000'000)
                                    << qint64(7'000'000'000) << 0.0;
    QTest::newRow("steady clock far from zero")
        << 45000.5 << 45000.5 << qint64(9'000'000'000'000'000'001)
        << qint64(9'000'000'001'500'000'001) << 1.5;
}

void TestTrial::durationFromSteadyClock()
{
    QFETCH(double, wallStart);
    QFETCH(double, wallEnd);
    QFETCH(qint64, steadyStart);
    QFETCH(qint64, steadyEnd);
    QFETCH(double, duration);

    MaxDelay = 1;
    replayClocks({wallStart, wallEnd}, {steadyStart, steadyEnd});
    clickStart();
    QTRY_COMPARE(cycleState(), IdleAfter);

    // The instants stay wall-clock readings; the duration is the steady
    // difference alone.
    QCOMPARE(OccultStart, wallStart);
    QCOMPARE(OccultEnd, wallEnd);
    QCOMPARE(LastDuration, duration);
    QVERIFY(LastDuration >= 0.0);
    QCOMPARE(SumOccult, duration);
    QCOMPARE(SumSqOccult, duration * duration);
    QCOMPARE(Form1->ui.LabelResult->text(), SecondsText(duration));
}

void TestTrial::noSecondTrialWhileRunning()
{
    MaxDelay = 60000;
    RandomSource::seed(0x2545F491u);
    clickStart();
    const int interval = Form1->Timer1->interval();
    const std::uint32_t generator = RandomSource::state();
    QVERIFY(interval > 0);

    clickStart();
    QTest::keyClick(Form1->ui.Button2, Qt::Key_Space);
    Form1->ui.Button2->click();
    QCOMPARE(cycleState(), StarVisible);
    QCOMPARE(Form1->Timer1->interval(), interval);
    QCOMPARE(RandomSource::state(), generator);

    MaxDelay = 1;
    Form1->Timer1->setInterval(0);
    QTRY_COMPARE(cycleState(), IdleAfter);
    QCOMPARE(OccultCount, 1);
}

void TestTrial::otherWindowsUsableDuringTrial()
{
    MaxDelay = 60000;
    RandomSource::seed(0x2545F491u);
    clickStart();
    const int interval = Form1->Timer1->interval();

    QTest::mouseClick(Form1->ui.Button3, Qt::LeftButton);
    QVERIFY(Form2->isVisible());
    QTest::mouseClick(Form1->ui.Button4, Qt::LeftButton);
    QVERIFY(Form3->isVisible());
    QVERIFY(reportedErrors().isEmpty());
    QCOMPARE(cycleState(), StarVisible);
    QCOMPARE(Form1->Timer1->interval(), interval);

    // The trial runs on beside them.
    MaxDelay = 1;
    Form1->Timer1->setInterval(0);
    QTRY_COMPARE(cycleState(), IdleAfter);
    QCOMPARE(OccultCount, 1);
    QVERIFY(Form2->isVisible());
    QVERIFY(Form3->isVisible());
}

void TestTrial::tickCallsHandlerInForce()
{
    TrialTimer *timer = Form1->Timer1;
    // A stopped timer only keeps a new interval.
    timer->setInterval(0);
    QVERIFY(!timer->isRunning());

    // A handler swapped in while it runs is the one that the next tick calls.
    timer->setInterval(60000);
    timer->start();
    Form1->setOnTimer(&TForm1::Timer1Timer2);
    timer->setInterval(0);
    QTRY_VERIFY(wallReads > 0);
    QCOMPARE(OccultCount, 1);
    QVERIFY(!timer->isRunning());
    QCOMPARE(handlerName(Form1->onTimer()), QStringLiteral("Timer1Timer"));
}

void TestTrial::sameIntervalLeavesCountdown()
{
    // 800 ms into a countdown of 1000 ms, the same interval is set again:
    // the tick still comes 1000 ms after the start, not 1000 ms after that.
    TrialTimer timer;
    QElapsedTimer sinceSet;
    qint64 tickAfter = -1;
    connect(&timer, &TrialTimer::ticked, [&] { tickAfter = sinceSet.elapsed(); });
    timer.setInterval(1000);
    timer.start();
    QTest::qSleep(800);
    sinceSet.start();
    timer.setInterval(1000);
    QTRY_VERIFY_WITH_TIMEOUT(tickAfter >= 0, 3000);
    QVERIFY2(tickAfter < 1000, QByteArray::number(tickAfter));
}

QTEST_MAIN(TestTrial)
#include "tst_trial.moc"
