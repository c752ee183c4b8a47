// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "testsupport.h"

#include "app/application.h"
#include "app/clock.h"
#include "app/randomsource.h"
#include "conditions/fade.h"
#include "conditions/pips.h"
#include "conditions/scintillation.h"
#include "conditions/trialconditions.h"
#include "conditions/unit6.h"
#include "main_window/starfield.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTest>

#include <cmath>
#include <cstdlib>
#include <vector>

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
    void keptConditions_data();
    void keptConditions();
};

void TestConditions::eclatPixel_data()
{
    // The brightest pixel of the star: half the light at each step, as the
    // screen emits it, encoded in sRGB; a twinkling star's changes from
    // frame to frame. At the start, and again once the star is back after
    // an edge each way.
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("twinkle");
    QTest::addColumn<int>("fondu");
    QTest::addColumn<int>("level"); // -1: more than one level over the frames
    QTest::newRow("0: the white star") << 0 << 0 << 0 << 255;
    QTest::newRow("1") << 1 << 0 << 0 << 188;
    QTest::newRow("3") << 3 << 0 << 0 << 99;
    QTest::newRow("5: 3.8 magnitudes fainter") << 5 << 0 << 0 << 49;
    QTest::newRow("3, twinkling") << 3 << 3 << 0 << -1;
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

void TestConditions::keptConditions_data()
{
    QTest::addColumn<QByteArray>("kept"); // the configuration file
    QTest::addColumn<QList<int>>("shown"); // Éclat, Scintillation, Fondu
    QTest::newRow("nothing kept: the defaults") << QByteArray() << QList<int>{0, 0, 0};
    QTest::newRow("kept from the last run")
        << QByteArray("[conditions]\neclat=2\nscintillation=5\nfondu=4\n") << QList<int>{2, 5, 4};
    QTest::newRow("out of range or unreadable: within the sliders")
        << QByteArray("[conditions]\neclat=9\nscintillation=-3\nfondu=abc\n")
        << QList<int>{5, 0, 0};
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
    const Conditions::ObservingConditions conditions = observingConditions();
    QCOMPARE((QList<int>{conditions.eclat, conditions.scintillation, conditions.fondu}), shown);
    QVERIFY(!Form6); // built when first wanted
    QCOMPARE(conditionsWindow()->ui.TrackFondu->value(), shown[2]);
    // The sound server is asked once the window is shown.
    QVERIFY(Form6->ui.CheckBips->isEnabled());
    Form6->showForm();
    QVERIFY(!Form6->ui.CheckBips->isEnabled());
    QCOMPARE(Form6->ui.CheckBips->toolTip(), QStringLiteral("Aucune sortie audio"));
    QVERIFY(reportedErrors().isEmpty());

    // A change is kept at once, for the next run.
    Form6->ui.TrackEclat->setValue(1);
    destroyForms();
    createForms();
    QCOMPARE(observingConditions().eclat, 1);
}

QTEST_MAIN(TestConditions)
#include "tst_conditions.moc"
