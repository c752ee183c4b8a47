// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "testsupport.h"

#include "program/application.h"
#include "app/clock.h"
#include "app/randomsource.h"
#include "conditions/announcement.h"
#include "conditions/fade.h"
#include "conditions/pips.h"
#include "conditions/scintillation.h"
#include "main_window/trialconditions.h"
#include "conditions/conditionswindow.h"
#include "conditions/keptconditions.h"
#include "main_window/starfield.h"
#include "reactions/tops.h"

#include <QAccessible>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSet>
#include <QTest>

#include <cmath>
#include <functional>
#include <map>
#include <cstdlib>
#include <fcntl.h>
#include <future>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The conditions kept from a last run: the defaults, the pips on or off.
void keepPips(bool on)
{
    Conditions::ObservingConditions kept;
    kept.bips = on;
    Conditions::save(kept);
}

} // namespace

class TestConditions : public QObject
{
    Q_OBJECT

private slots:
    void eclatPixel_data();
    void eclatPixel();
    void scintillation_data();
    void scintillation();
    void fadeFrames_data();
    void fadeFrames();
    void pips_data();
    void pips();
    void pipSchedule_data();
    void pipSchedule();
    void keptConditions_data();
    void keptConditions();
    void announcedSecond_data();
    void announcedSecond();
    void announcementFigures_data();
    void announcementFigures();
    void keptFile_data();
    void keptFile();
    void trueTimeKept_data();
    void trueTimeKept();
    void audioOutput_data();
    void audioOutput();
    void outputWatch_data();
    void outputWatch();
    void audioNews_data();
    void audioNews();
};

void TestConditions::eclatPixel_data()
{
    // The brightest pixel of the star: half the light at each step, as the
    // screen emits it, encoded in sRGB; a twinkling star's changes from
    // frame to frame, and none while the field's window is hidden or
    // minimised. At the start, and again once the star is back after an
    // edge each way.
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("twinkle");
    QTest::addColumn<int>("fondu");
    QTest::addColumn<int>("level"); // -1: more than one level over the frames
    QTest::newRow("0: the white star") << 0 << 0 << 0 << 255;
    QTest::newRow("1") << 1 << 0 << 0 << 188;
    QTest::newRow("3") << 3 << 0 << 0 << 99;
    QTest::newRow("5: 3.8 magnitudes fainter") << 5 << 0 << 0 << 49;
    QTest::newRow("3, twinkling; no frame while the window is hidden or minimised")
        << 3 << 3 << 0 << -1;
    QTest::newRow("3, the edges fading: out at the fade's end") << 3 << 0 << 3 << 99;
}

void TestConditions::eclatPixel()
{
    QFETCH(int, step);
    QFETCH(int, twinkle);
    QFETCH(int, fondu);
    QFETCH(int, level);
    StarImage field;
    field.resize(105, 105);
    field.fixPictureSize();
    field.computeGeometry();
    field.eraseField();
    field.show();
    QVERIFY(QTest::qWaitForWindowExposed(&field));
    TrialConditions trial(&field);
    trial.start({step, twinkle, fondu, false});
    auto brightest = [&field] {
        const QImage picture = field.picture();
        int found = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                found = std::max(found, qGray(picture.pixel(x, y)));
        return found;
    };
    for (const bool returned : {false, true}) {
        if (returned) {
            trial.showDisappearance(Clock::steadyNanoseconds());
            QVERIFY(!field.starShown());
            QTRY_COMPARE(brightest(), 0);
            trial.showReturn(Clock::steadyNanoseconds());
        }
        QVERIFY(field.starShown());
        if (level >= 0) {
            QTRY_COMPARE(brightest(), level);
            continue;
        }
        QSet<int> levels{brightest()};
        for (int frame = 0; frame < 8; ++frame) {
            QTest::qWait(trial.frameInterval());
            levels.insert(brightest());
        }
        QVERIFY(levels.size() > 1);
    }
    // Twinkling, the star draws no frame while its window is hidden or
    // minimised, and frames again once the window is back.
    for (const auto &[away, back] : {std::pair(&QWidget::hide, &QWidget::show),
                                     std::pair(&QWidget::showMinimized, &QWidget::showNormal)}) {
        if (level >= 0)
            break;
        (field.*away)();
        const QImage still = field.picture();
        QTest::qWait(8 * trial.frameInterval());
        QCOMPARE(field.picture(), still);
        (field.*back)();
        QTRY_VERIFY(field.picture() != still);
    }
    QVERIFY(field.starShown());
    trial.stop();
}

void TestConditions::scintillation_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<double>("sigma"); // of the logarithm of the light
    QTest::newRow("0: steady") << 0 << 0.0;
    QTest::newRow("1: slight") << 1 << 0.15;
    QTest::newRow("5: deep dips") << 5 << 0.75;
}

void TestConditions::scintillation()
{
    QFETCH(int, position);
    QFETCH(double, sigma);
    RandomSource::seed(12345);
    Conditions::Scintillation twinkle(position, 2026);
    constexpr int Frames = 200'000;
    double sum = 0.0, sumLog = 0.0, sumLogSq = 0.0, sumLagged = 0.0, previous = 0.0;
    for (int frame = 0; frame < Frames; ++frame) {
        const double factor = twinkle.nextFactor();
        const double log = std::log(factor);
        sum += factor;
        sumLog += log;
        sumLogSq += log * log;
        sumLagged += log * previous;
        previous = log;
    }
    // The mean light is the steady star's.
    QVERIFY2(std::fabs(sum / Frames - 1.0) < 0.01, qPrintable(QString::number(sum / Frames)));
    const double mean = sumLog / Frames;
    const double variance = sumLogSq / Frames - mean * mean;
    QVERIFY2(std::fabs(std::sqrt(variance) - sigma) <= 0.02 * sigma,
             qPrintable(QString::number(std::sqrt(variance))));
    if (sigma > 0) {
        const double correlation = (sumLagged / Frames - mean * mean) / variance;
        QVERIFY2(std::fabs(correlation - 0.5) < 0.02, qPrintable(QString::number(correlation)));
    }
    // The trial's random source is left alone, draw for draw.
    QCOMPARE(RandomSource::state(), 12345u);
}

void TestConditions::fadeFrames_data()
{
    // Events, ms on the steady clock: p the coming edge's half light
    // planned, f a frame of the fade's own, e the edge's own frame, n the
    // next change of the light from then on. The lights shown, in percent
    // of the star's, one per frame: "-" for a frame that would show the
    // edge before its own frame; and the next changes, "@" and their time
    // or "none".
    QTest::addColumn<int>("fadeMs");
    QTest::addColumn<QString>("events");
    QTest::addColumn<QString>("lights");
    QTest::newRow("100 ms: the edges past the half light, the fades linear")
        << 100 << "p1000 f940 f960 f990 f1000 e1002 p3002 f1030 f1060 f2960 e3010 f3060"
        << "100 90 60 - 48 20 0 8 58 100";
    QTest::newRow("hidden less than the fade: the fades meet, the star never out")
        << 500 << "p1000 e1000 p1100 f1050 f1099 f1100 e1101 f1200 f1350"
        << "50 40 50 - 50 70 100";
    QTest::newRow("instant: a step at each edge's own frame")
        << 0 << "p1000 f999 f1001 e1003 p2003 f1500 f2004 e2010 f2011" << "100 - 0 0 - 100 100";
    QTest::newRow("100 ms: the next change at the fade's start, within it, none at its end")
        << 100 << "p1000 n900 n1000 n1049 n1050 e1000 p2000 n1010 n1050 n2049 n2050"
        << "@950 @1000 @1049 none 50 @1010 @1950 @2049 none";
    QTest::newRow("instant: no change for the frames to wait for")
        << 0 << "p1000 n900 e1000 p2000 n1500" << "none 0 none";
    QTest::newRow("an edge shown early: the hidden star below half its light")
        << 100 << "p1000 e990 p2000 f995 f2000 e1996" << "50 45 - 50";
}

void TestConditions::fadeFrames()
{
    QFETCH(int, fadeMs);
    QFETCH(QString, events);
    QFETCH(QString, lights);
    Conditions::FadeLight fade(fadeMs);
    QStringList shown;
    for (const QString &event : events.split(QLatin1Char(' '))) {
        const std::int64_t at = event.mid(1).toLongLong() * 1'000'000;
        auto percent = [](double light) { return QString::number(std::lround(light * 100)); };
        if (event.front() == QLatin1Char('p')) {
            fade.plan(at);
        } else if (event.front() == QLatin1Char('e')) {
            shown << percent(fade.edge(at));
        } else if (event.front() == QLatin1Char('n')) {
            const std::optional<std::int64_t> next = fade.nextChange(at);
            shown << (next ? QStringLiteral("@%1").arg(*next / 1'000'000) : QStringLiteral("none"));
        } else {
            const std::optional<double> light = fade.frame(at);
            shown << (light ? percent(*light) : QStringLiteral("-"));
        }
    }
    QCOMPARE(shown.join(QLatin1Char(' ')), lights);
}

void TestConditions::pips_data()
{
    // Sample positions: the tone's spans, of a 1 kHz tone, as first and end
    // sample.
    QTest::addColumn<int>("rate");
    QTest::addColumn<qint64>("start");
    QTest::addColumn<qint64>("end"); // -1: the trial goes on
    QTest::addColumn<qint64>("from");
    QTest::addColumn<int>("count");
    QTest::addColumn<QList<qint64>>("spans");
    QTest::newRow("48 kHz: 400 ms at the start, 50 ms on each second")
        << 48000 << qint64(1000) << qint64(-1) << qint64(0) << 150'000
        << QList<qint64>{1000, 20200, 49000, 51400, 97000, 99400, 145000, 147400};
    QTest::newRow("started before the first sample: the long pip's end alone")
        << 8000 << qint64(-1600) << qint64(-1) << qint64(0) << 20'000
        << QList<qint64>{0, 1600, 6400, 6800, 14400, 14800};
    QTest::newRow("44.1 kHz, the trial over at the third second: no pip at it")
        << 44100 << qint64(0) << qint64(88200) << qint64(0) << 100'000
        << QList<qint64>{0, 17640, 44100, 46305};
    QTest::newRow("the trial over a sample after a pip's start: that pip whole")
        << 44100 << qint64(0) << qint64(88201) << qint64(0) << 100'000
        << QList<qint64>{0, 17640, 44100, 46305, 88200, 90405};
    QTest::newRow("rendered from inside a pip")
        << 48000 << qint64(0) << qint64(-1) << qint64(50'000) << 60'000
        << QList<qint64>{50'000, 50'400, 96'000, 98'400};
}

void TestConditions::pips()
{
    QFETCH(int, rate);
    QFETCH(qint64, start);
    QFETCH(qint64, end);
    QFETCH(qint64, from);
    QFETCH(int, count);
    QFETCH(QList<qint64>, spans);
    Conditions::PipTrain train(rate, start);
    if (end >= 0)
        train.end(end);
    // Rendered in uneven blocks, as an output asks for them.
    std::vector<std::int16_t> samples(count);
    for (int done = 0, block = 1; done < count; done += block, block = block * 3 + 7)
        train.render(from + done, samples.data() + done, std::min(block, count - done));

    auto inSpan = [&](qint64 sample) {
        for (int i = 0; i < spans.size(); i += 2)
            if (sample >= spans[i] && sample < spans[i + 1])
                return i / 2;
        return -1;
    };
    std::vector<int> loudest(spans.size() / 2, 0);
    std::vector<qint64> onset(spans.size() / 2, -1);
    // The tone's rising zero crossings within each span, past its first and
    // before its last millisecond, each placed between its two samples.
    std::vector<int> rises(spans.size() / 2, 0);
    std::vector<double> firstRise(spans.size() / 2), lastRise(spans.size() / 2);
    for (int i = 0; i < count; ++i) {
        const qint64 sample = from + i;
        const int span = inSpan(sample);
        if (span < 0) {
            QVERIFY2(samples[i] == 0, qPrintable(QString::number(sample)));
            continue;
        }
        loudest[span] = std::max(loudest[span], std::abs(int(samples[i])));
        if (onset[span] < 0 && std::abs(int(samples[i])) > Conditions::PipTrain::Amplitude / 10)
            onset[span] = sample;
        const qint64 margin = rate / 1000;
        if (sample - 1 >= spans[2 * span] + margin && sample < spans[2 * span + 1] - margin
            && samples[i - 1] < 0 && samples[i] >= 0) {
            const double rise = sample - 1 + -samples[i - 1] / double(samples[i] - samples[i - 1]);
            firstRise[span] = rises[span]++ == 0 ? rise : firstRise[span];
            lastRise[span] = rise;
        }
    }
    for (std::size_t span = 0; span < loudest.size(); ++span) {
        QVERIFY(loudest[span] > Conditions::PipTrain::Amplitude * 9 / 10);
        // Heard within a millisecond of the span's start.
        QVERIFY2(onset[span] - spans[2 * span] < rate / 1000, qPrintable(QString::number(span)));
        QVERIFY(rises[span] > 2);
        const double pitch = (rises[span] - 1) * rate / (lastRise[span] - firstRise[span]);
        QVERIFY2(std::fabs(pitch - 1000.0) < 0.5, qPrintable(QString::number(pitch)));
    }
}

void TestConditions::pipSchedule_data()
{
    // 48 kHz; the trial starts at the reading 1000 ms (and ends at "end",
    // ms, or -1). Each block: the samples written so far, the reading as it
    // is written (ms), the latency reported (µs, -1 where the server could
    // not say). Then where the pips' train starts, in samples, and "over"
    // once the last pip is done.
    QTest::addColumn<qint64>("endMs");
    QTest::addColumn<bool>("stopped");
    QTest::addColumn<QList<qint64>>("blocks");
    QTest::addColumn<QString>("placed");
    QTest::newRow("placed where the latency puts the start: 20 ms back")
        << qint64(-1) << false << QList<qint64>{0, 1000, 20000} << "-960";
    QTest::newRow("within the first second, placed afresh at each block")
        << qint64(-1) << false << QList<qint64>{0, 1000, 20000, 240, 1005, 25000}
        << "-960 -1200";
    QTest::newRow("near the first second, kept while the latency wavers by 1 ms")
        << qint64(-1) << false << QList<qint64>{0, 1000, 20000, 43200, 1900, 21000}
        << "-960 -960";
    QTest::newRow("moved once the output drifts by more than 6 ms")
        << qint64(-1) << false << QList<qint64>{0, 1000, 20000, 43200, 1900, 30000}
        << "-960 -1440";
    QTest::newRow("no latency reported: the last one stands")
        << qint64(-1) << false << QList<qint64>{0, 1000, 20000, 240, 1005, -1} << "-960 -960";
    QTest::newRow("no latency ever reported: the stream's target, 10 ms")
        << qint64(-1) << false << QList<qint64>{0, 1000, -1} << "-480";
    QTest::newRow("the return at 3.5 s: over a short pip's length after it")
        << qint64(3500) << false
        << QList<qint64>{0, 1000, 20000, 121200, 3525, 20000, 121440, 3530, 20000}
        << "-960 -960 -960 over";
    QTest::newRow("cut short: over at once") << qint64(-1) << true
                                             << QList<qint64>{0, 1000, 20000} << "-960 over";
}

void TestConditions::pipSchedule()
{
    QFETCH(qint64, endMs);
    QFETCH(bool, stopped);
    QFETCH(QList<qint64>, blocks);
    QFETCH(QString, placed);
    const qint64 ms = 1'000'000;
    Conditions::PipSchedule schedule(48000, 288, 10000);
    schedule.newTrial();
    QStringList seen;
    bool over = false;
    for (int i = 0; i < blocks.size(); i += 3) {
        const std::optional<std::int64_t> latency =
            blocks[i + 2] < 0 ? std::nullopt : std::optional<std::int64_t>(blocks[i + 2]);
        const Conditions::PipTrain train =
            schedule.place(blocks[i], blocks[i + 1] * ms, 1000 * ms, endMs < 0 ? -1 : endMs * ms,
                           latency);
        seen << QString::number(train.pipStart(0));
        over = schedule.over(blocks[i], stopped);
    }
    if (over)
        seen << QStringLiteral("over");
    QCOMPARE(seen.join(QLatin1Char(' ')), placed);
}

void TestConditions::audioOutput_data()
{
    // The pips kept on or off, whether the sound server takes a stream, and
    // the box as the user then leaves it; then whether the server was asked
    // at start, and the pips of the next trial and kept for the next run.
    QTest::addColumn<bool>("keptOn");
    QTest::addColumn<bool>("output");
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<QString>("outcome"); // asked at start, heard, kept
    QTest::newRow("kept on, an output: asked at start and heard")
        << true << true << true << "asked heard kept";
    QTest::newRow("kept on, no output: unheard, and still kept for a run with sound")
        << true << false << false << "asked - kept";
    QTest::newRow("kept off: the server asked only when the conditions are shown")
        << false << true << true << "- heard kept";
    QTest::newRow("kept off, no output: the box cannot turn them on")
        << false << false << true << "- - -";
}

void TestConditions::audioOutput()
{
    QFETCH(bool, keptOn);
    QFETCH(bool, output);
    QFETCH(bool, ticked);
    QFETCH(QString, outcome);
    ProgramFixture program(true, false);
    keepPips(keptOn);
    int asked = 0;
    KeptConditions conditions([&] { ++asked; });
    conditions.load();
    const bool askedAtStart = asked == 1;
    conditions.checkAudioOutput();
    conditions.checkAudioOutput();
    QCOMPARE(asked, 1);
    conditions.audioOutputFound(output);
    Conditions::ObservingConditions shown;
    shown.bips = ticked;
    conditions.edit(shown);
    Conditions::ObservingConditions next = Conditions::load();
    QCOMPARE(QStringList({askedAtStart ? "asked" : "-", conditions.forTrial().bips ? "heard" : "-",
                          next.bips ? "kept" : "-"})
                 .join(QLatin1Char(' ')),
             outcome);
    // Asked again at each showing of the window: a server started since
    // the last look is seen.
    ConditionsWindow window(conditions);
    window.showForm();
    window.hideForm();
    window.showForm();
    QCOMPARE(asked, 3);
}

void TestConditions::outputWatch_data()
{
    // What the pips' thread sees, readings in ms: aN a stream asked for, tN
    // the server answers, fN the stream fails or is given up, c it is closed
    // as no longer wanted, s a trial starts, e its last pip is written. ?N:
    // with a stream open, whether the server is given up, is to be asked for
    // the timing ("quiet") or not; without, whether a stream may be asked
    // for; ! whether the trial's pips were all played.
    QTest::addColumn<QString>("events");
    QTest::addColumn<QString>("seen");
    QTest::newRow("a server that does not answer is given up after 5 s")
        << "a0 ?4999 ?5000" << "waits overdue";
    QTest::newRow("a playing stream: the server asked after 250 ms, given up after 1 s")
        << "a0 t20 t1000 ?1249 ?1250 ?1999 ?2000" << "waits quiet quiet overdue";
    QTest::newRow("given up: asked again 3 s later, not before")
        << "a0 f5000 ?7999 ?8000" << "later asks";
    QTest::newRow("closed as no longer wanted: asked again at once") << "a0 t10 c ?10" << "asks";
    QTest::newRow("a trial played through: its pips sounded") << "a0 t10 s t20 e !" << "yes";
    QTest::newRow("a trial started before the stream plays: not all sounded")
        << "a0 s t10 e !" << "no";
    QTest::newRow("the server lost during a trial, back before its end: not all sounded")
        << "a0 t10 s f1010 a4010 t4020 e !" << "no";
}

void TestConditions::outputWatch()
{
    QFETCH(QString, events);
    QFETCH(QString, seen);
    Conditions::OutputWatch watch;
    QStringList told;
    const std::map<char, std::function<void(std::int64_t)>> step{
        {'a', [&](std::int64_t at) { watch.asked(at); }},
        {'t', [&](std::int64_t at) { watch.took(at); }},
        {'f', [&](std::int64_t at) { watch.failed(at); }},
        {'c', [&](std::int64_t) { watch.closed(); }},
        {'s', [&](std::int64_t) { watch.trialStarted(); }},
        {'e', [&](std::int64_t) { watch.trialOver(); }},
        {'!', [&](std::int64_t) { told << (watch.sounded() ? "yes" : "no"); }},
        {'?', [&](std::int64_t at) {
             if (watch.open())
                 told << (watch.overdue(at) ? "overdue" : watch.quiet(at) ? "quiet" : "waits");
             else
                 told << (watch.mayAsk(at) ? "asks" : "later");
         }}};
    for (const QString &event : events.split(QLatin1Char(' ')))
        step.at(event[0].toLatin1())(event.mid(1).toLongLong() * 1'000'000);
    QCOMPARE(told.join(QLatin1Char(' ')), seen);
}

void TestConditions::audioNews_data()
{
    // The pips kept on; the sound server's answers (y an output, n none)
    // with the conditions window built, and whether a trial's pips all
    // sounded. Then the pips' box, the line that says the output was lost,
    // the next trial's pips, and those the trial is counted with.
    QTest::addColumn<QString>("answers");
    QTest::addColumn<bool>("sounded");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("no answer yet: an output taken to be there")
        << "" << true << "box - pips counted";
    QTest::newRow("an output") << "y" << true << "box - pips counted";
    QTest::newRow("an output, but the trial's pips not all played: counted without")
        << "y" << false << "box - pips -";
    QTest::newRow("never an output: no line") << "n" << true << "- - - -";
    QTest::newRow("lost: said, and trials without pips") << "yn" << true << "- lost - -";
    QTest::newRow("lost, then back: the pips again") << "yny" << true << "box - pips counted";
}

void TestConditions::audioNews()
{
    QFETCH(QString, answers);
    QFETCH(bool, sounded);
    QFETCH(QString, outcome);
    ProgramFixture program(true, false);
    keepPips(true);
    KeptConditions conditions([] {});
    conditions.load();
    ConditionsWindow window(conditions);
    for (const QChar answer : answers)
        conditions.audioOutputFound(answer == QLatin1Char('y'));
    const QCheckBox *box = window.ui.bipsCheck;
    QCOMPARE(box->toolTip(), box->isEnabled() ? QString() : QStringLiteral("Aucune sortie audio"));
    Reactions::TrialTops tops;
    tops.start(conditions.forTrial());
    tops.vanished(1'000'000'000);
    tops.reappeared(3'000'000'000);
    tops.top(3'300'000'000);
    tops.pipsSounded(sounded);
    QCOMPARE(QStringList({box->isEnabled() ? "box" : "-",
                          window.ui.audioLine->isHidden() ? "-" : "lost",
                          conditions.forTrial().bips ? "pips" : "-",
                          tops.counted()->conditions.bips ? "counted" : "-"})
                 .join(QLatin1Char(' ')),
             outcome);
}

void TestConditions::keptConditions_data()
{
    QTest::addColumn<QByteArray>("kept"); // the configuration file
    QTest::addColumn<QList<int>>("shown"); // Éclat, Scintillation, Fondu, Bips, announcement
    QTest::newRow("nothing kept: the defaults") << QByteArray() << QList<int>{0, 0, 0, 0, 0};
    QTest::newRow("kept from the last run")
        << QByteArray("[conditions]\neclat=2\nscintillation=5\nfondu=4\nannonce=2\n")
        << QList<int>{2, 5, 4, 0, 2};
    QTest::newRow("out of range or unreadable: within the sliders and the choices")
        << QByteArray("[conditions]\neclat=9\nscintillation=-3\nfondu=abc\nannonce=7\n")
        << QList<int>{5, 0, 0, 0, 3};
    for (const char *value : {"non", "nan", "peut-etre"})
        QTest::addRow("bips=%s: off", value)
            << QByteArray("[conditions]\nbips=") + value << QList<int>{0, 0, 0, 0, 0};
    QTest::newRow("numbers not as the program writes them: the defaults")
        << QByteArray("[conditions]\neclat=+3\nscintillation=04\nfondu=\"2\"\nannonce=01\n")
        << QList<int>{0, 0, 0, 0, 0};
}

void TestConditions::keptConditions()
{
    QFETCH(QByteArray, kept);
    QFETCH(QList<int>, shown);
    // No sound server: the pips' box is disabled, with its reason.
    qputenv("PULSE_SERVER", "unix:/nonexistent/velmaris-test");
    ProgramFixture program(true, false);
    QDir(program.dir()).mkpath(QStringLiteral("velmaris"));
    QFile file(program.path(QStringLiteral("velmaris/velmaris.conf")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(kept);
    file.close();
    createForms();
    const Conditions::ObservingConditions conditions = ::keptConditions().kept();
    QCOMPARE((QList<int>{conditions.eclat, conditions.scintillation, conditions.fondu,
                         conditions.bips, conditions.annonce}),
             shown);
    QVERIFY(!conditionsWindowBuilt()); // built when first wanted
    QCOMPARE(conditionsWindow()->ui.fadeSlider->value(), shown[2]);
    QCOMPARE(conditionsWindow()->ui.announcementCombo->currentIndex(), shown[4]);
    // A screen reader reads the fade in milliseconds, as shown.
    QAccessibleInterface *fade =
        QAccessible::queryAccessibleInterface(conditionsWindow()->ui.fadeSlider);
    const QString fadeText = conditionsWindow()->ui.fadeValue->text();
    QCOMPARE(fade->text(QAccessible::Value), fadeText);
    QCOMPARE(QString::number(fade->valueInterface()->currentValue().toDouble())
                 + QStringLiteral(" ms"),
             fadeText);
    // The sound server is asked once the window is shown.
    QVERIFY(conditionsWindow()->ui.bipsCheck->isEnabled());
    conditionsWindow()->showForm();
    QTRY_VERIFY(!conditionsWindow()->ui.bipsCheck->isEnabled());
    QCOMPARE(conditionsWindow()->ui.bipsCheck->toolTip(), QStringLiteral("Aucune sortie audio"));
    QVERIFY(reportedErrors().isEmpty());

    // A change is kept at once, for the next run.
    conditionsWindow()->ui.eclatSlider->setValue(1);
    conditionsWindow()->ui.announcementCombo->setCurrentIndex(1);
    destroyForms();
    createForms();
    QCOMPARE(::keptConditions().forTrial().eclat, 1);
    QCOMPARE(::keptConditions().forTrial().announcementSigma(), 0.5);
}

void TestConditions::announcedSecond_data()
{
    // The edge's true instant and the earliest allowed, ms since the
    // trial's start; the error drawn, s; the second announced.
    QTest::addColumn<qint64>("edge");
    QTest::addColumn<double>("error");
    QTest::addColumn<qint64>("earliest");
    QTest::addColumn<int>("second");

    QTest::newRow("no error: 7.2 s announced as 7") << qint64(7200) << 0.0 << qint64(0) << 7;
    QTest::newRow("a half second rounds up: 6.5 s as 7") << qint64(6500) << 0.0 << qint64(0) << 7;
    QTest::newRow("1.3 s late: 4.4 + 1.3 = 5.7 s as 6") << qint64(4400) << 1.3 << qint64(0) << 6;
    QTest::newRow("0.8 s early: 4.4 - 0.8 = 3.6 s as 4") << qint64(4400) << -0.8 << qint64(0) << 4;
    QTest::newRow("before the start: 0.8 - 2.1 = -1.3 s, announced at 0")
        << qint64(800) << -2.1 << qint64(0) << 0;
    QTest::newRow("a return before the vanish at 3.4 s: 5.2 - 1.9 = 3.3 s, announced at 4")
        << qint64(5200) << -1.9 << qint64(3400) << 4;
    QTest::newRow("a vanish on a whole second, 3 s: 3.6 - 1.5 = 2.1 s, announced at 3")
        << qint64(3600) << -1.5 << qint64(3000) << 3;
    QTest::newRow("a return well after the vanish: 9 - 2 = 7 s, as drawn")
        << qint64(9000) << -2.0 << qint64(3000) << 7;
}

void TestConditions::announcedSecond()
{
    QFETCH(qint64, edge);
    QFETCH(double, error);
    QFETCH(qint64, earliest);
    QFETCH(int, second);
    QCOMPARE(Conditions::announcedSecond(edge, error, earliest), second);
}

void TestConditions::announcementFigures_data()
{
    // ms since the trial's start, whether the return comes next, the
    // second announced for it (-1 for none); the figures shown and said.
    QTest::addColumn<qint64>("since");
    QTest::addColumn<bool>("returnNext");
    QTest::addColumn<int>("announced");
    QTest::addColumn<QString>("figures"); // elapsed | predicted | spoken

    QTest::newRow("at the start, the vanish announced")
        << qint64(120) << false << 7 << "0 s|D prévue : 7 s|D prévue à 7 s";
    QTest::newRow("4.999 s is still 4 s") << qint64(4999) << false << 7
                                          << "4 s|D prévue : 7 s|D prévue à 7 s";
    QTest::newRow("after the vanish, the return announced")
        << qint64(5000) << true << 10 << "5 s|R prévue : 10 s|R prévue à 10 s";
    QTest::newRow("nothing announced yet: the seconds alone") << qint64(2000) << true << -1
                                                              << "2 s||";
}

void TestConditions::announcementFigures()
{
    QFETCH(qint64, since);
    QFETCH(bool, returnNext);
    QFETCH(int, announced);
    QFETCH(QString, figures);
    const Conditions::AnnouncementFigures shown = Conditions::announcementFigures(
        since, returnNext, announced >= 0 ? std::optional<int>(announced) : std::nullopt);
    QCOMPARE(QStringList({shown.elapsed, shown.predicted, shown.spoken}).join(QLatin1Char('|')),
             figures);
}

void TestConditions::keptFile_data()
{
    // What stands where the conditions are kept, the step read at start,
    // and why a change cannot be kept (%1: the configuration folder's name).
    QTest::addColumn<QString>("standing");
    QTest::addColumn<int>("read");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a FIFO: not waited for, left as it is")
        << "fifo" << 0 << "velmaris.conf n'est pas un fichier ordinaire";
    QTest::newRow("a folder") << "folder" << 0 << "velmaris.conf est un dossier";
    QTest::newRow("a link leading nowhere: nothing made where it leads")
        << "dangling link" << 0 << "le lien velmaris.conf ne mène à aucun fichier";
    QTest::newRow("a link to a FIFO: the FIFO neither waited for nor replaced")
        << "link to fifo" << 0 << "le lien velmaris.conf ne mène pas à un fichier ordinaire";
    QTest::newRow("a file far larger than the program's: neither read nor rewritten")
        << "huge file" << 0
        << "velmaris.conf est trop grand pour être celui du programme (plus de 64 Kio)";
    QTest::newRow("its folder a file")
        << "file for folder" << 0 << "velmaris n'est pas un dossier";
    QTest::newRow("a read-only file: read, not replaced")
        << "read-only file" << 2 << "accès refusé à velmaris.conf";
    QTest::newRow("an unreadable file")
        << "unreadable file" << 0 << "accès refusé à velmaris.conf";
    QTest::newRow("a read-only folder")
        << "read-only folder" << 2 << "accès refusé au dossier velmaris";
    QTest::newRow("a read-only configuration folder")
        << "read-only home" << 0 << "accès refusé au dossier %1";
}

void TestConditions::keptFile()
{
    QFETCH(QString, standing);
    QFETCH(int, read);
    QFETCH(QString, reason);
    if (standing.contains(QLatin1String("read")) && ::geteuid() == 0)
        QSKIP("Permissions do not hold for root");
    ProgramFixture program(true, false);
    const QString folder = program.path(QStringLiteral("velmaris"));
    const QString keptName = folder + QStringLiteral("/velmaris.conf");
    const QByteArray kept = QFile::encodeName(keptName);
    const QByteArray fifo = QFile::encodeName(program.path(QStringLiteral("fifo")));
    const auto unlock = [&] {
        ::chmod(QFile::encodeName(program.dir()), 0700);
        ::chmod(QFile::encodeName(folder), 0700);
    };
    auto restore = qScopeGuard(unlock);
    const auto writeFile = [](const QString &path) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write("[conditions]\neclat=2\n") > 0;
    };
    QVERIFY(QDir(program.dir()).mkdir(QStringLiteral("velmaris")));
    if (standing == "fifo") {
        QCOMPARE(::mkfifo(kept, 0600), 0);
    } else if (standing == "folder") {
        QCOMPARE(::mkdir(kept, 0700), 0);
    } else if (standing == "dangling link") {
        QCOMPARE(::symlink(fifo, kept), 0);
    } else if (standing == "link to fifo") {
        QCOMPARE(::mkfifo(fifo, 0600), 0);
        QCOMPARE(::symlink(fifo, kept), 0);
    } else if (standing == "huge file") {
        QFile file(keptName);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[conditions]\neclat=2\n" + QByteArray(100 * 1024, '#'));
    } else if (standing == "file for folder") {
        QVERIFY(QDir(folder).removeRecursively() && writeFile(folder));
    } else if (standing == "read-only home") {
        QVERIFY(QDir(folder).removeRecursively());
        QCOMPARE(::chmod(QFile::encodeName(program.dir()), 0500), 0);
    } else {
        QVERIFY(writeFile(keptName));
        const bool inFolder = standing == "read-only folder";
        const int mode = standing == "unreadable file" ? 0200 : inFolder ? 0500 : 0400;
        QCOMPARE(::chmod(inFolder ? QFile::encodeName(folder) : kept, mode), 0);
    }
    // What stands there, and where it leads.
    const auto described = [&] {
        struct stat status;
        const QString linked = QFile::symLinkTarget(keptName);
        const mode_t own = ::lstat(kept, &status) == 0 ? status.st_mode : 0;
        const mode_t led = ::stat(kept, &status) == 0 ? status.st_mode : 0;
        return QStringLiteral("%1 %2 %3").arg(own, 0, 8).arg(linked).arg(led, 0, 8);
    };
    const QString before = described();

    // Start-up does not wait; a reader left waiting on a FIFO is let go.
    auto loading = std::async(std::launch::async, &Conditions::load);
    if (loading.wait_for(std::chrono::seconds(2)) != std::future_status::ready) {
        for (const QByteArray &path : {kept, fifo})
            ::close(::open(path, O_WRONLY | O_NONBLOCK));
        QFAIL("the start waits on what stands there");
    }
    QCOMPARE(loading.get().eclat, read);

    // A change holds for this run, and the window says once why it is not
    // kept, while the cause holds.
    createForms();
    ConditionsWindow *window = conditionsWindow();
    window->showForm();
    EventCounter shown(QEvent::Show);
    window->ui.saveErrorLabel->installEventFilter(&shown);
    QVERIFY(!window->ui.saveErrorLabel->isVisible());
    window->ui.eclatSlider->setValue(3);
    window->ui.eclatSlider->setValue(4);
    const QString said = QStringLiteral("Conditions non enregistrées : ")
                         + reason.arg(QFileInfo(program.dir()).fileName());
    QCOMPARE(window->ui.saveErrorLabel->text(), said);
    QVERIFY(window->ui.saveErrorLabel->isVisible());
    QCOMPARE(shown.count, 1);
    QCOMPARE(::keptConditions().forTrial().eclat, 4);
    QCOMPARE(described(), before);
    QVERIFY(reportedErrors().isEmpty());

    // The cause gone, the next change is kept and the message goes; a new
    // cause is said again.
    unlock();
    QDir(folder).removeRecursively();
    QFile::remove(folder);
    window->ui.eclatSlider->setValue(5);
    QVERIFY(!window->ui.saveErrorLabel->isVisible());
    QCOMPARE(Conditions::load().eclat, 5);
    QVERIFY(QFile::remove(keptName) && QDir().mkdir(keptName));
    window->ui.eclatSlider->setValue(1);
    QCOMPARE(window->ui.saveErrorLabel->text(),
             QStringLiteral("Conditions non enregistrées : velmaris.conf est un dossier"));
    QCOMPARE(shown.count, 2);
}

void TestConditions::trueTimeKept_data()
{
    // The file, and whether "Temps vrai après ma saisie" is ticked at start.
    QTest::addColumn<QByteArray>("kept");
    QTest::addColumn<bool>("ticked");
    QTest::newRow("nothing kept: unticked") << QByteArray() << false;
    QTest::newRow("kept ticked, among the conditions")
        << QByteArray("[conditions]\neclat=2\ntemps_vrai_apres_saisie=true\nfondu=4\n") << true;
    QTest::newRow("a value the program does not write, then another group's: unticked")
        << QByteArray("[conditions]\neclat=2\ntemps_vrai_apres_saisie=oui\n"
                      "[autre]\ntemps_vrai_apres_saisie=true\n")
        << false;
}

void TestConditions::trueTimeKept()
{
    QFETCH(QByteArray, kept);
    QFETCH(bool, ticked);
    ProgramFixture program(true, false);
    QDir(program.dir()).mkpath(QStringLiteral("velmaris"));
    QFile file(program.path(QStringLiteral("velmaris/velmaris.conf")));
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(kept) == kept.size());
    file.close();
    createForms();
    QCOMPARE(conditionsWindow()->ui.trueTimeCheck->isChecked(), ticked);
    // Kept at once, apart from the conditions; keeping one since leaves it.
    QTest::mouseClick(conditionsWindow()->ui.trueTimeCheck, Qt::LeftButton);
    conditionsWindow()->ui.scintillationSlider->setValue(1);
    destroyForms();
    createForms();
    QCOMPARE(::keptConditions().trueTimeAfterEntry(), !ticked);
    QCOMPARE(::keptConditions().kept().eclat, kept.isEmpty() ? 0 : 2);
    QCOMPARE(::keptConditions().kept().scintillation, 1);
}

QTEST_MAIN(TestConditions)
#include "tst_conditions.moc"
