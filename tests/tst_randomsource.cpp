// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/clock.h"
#include "app/randomsource.h"

#include <QTest>
#include <QThread>

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

// The expected states and draws were computed separately (in Python) from
// the generator's definition: state := state * 134775813 + 1 modulo 2^32,
// draw := floor(bound * state / 2^32).

using Sequence = std::vector<std::uint32_t>;
Q_DECLARE_METATYPE(Sequence)

namespace {

std::int64_t fakeSteadyNanoseconds()
{
    return 0x0123'4567'89AB'CDEFLL;
}

std::int64_t negativeSteadyNanoseconds()
{
    return -2; // low 32 bits: 0xFFFFFFFE
}

} // namespace

class TestRandomSource : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void sequence_data();
    void sequence();
    void drawEnds_data();
    void drawEnds();
    void normalDraws_data();
    void normalDraws();
    void seedFromClockTakesTheLow32Bits();
    void seedFromClockChangesTheState();
};

void TestRandomSource::cleanup()
{
    Clock::setSources(nullptr, nullptr);
}

void TestRandomSource::sequence_data()
{
    QTest::addColumn<std::uint32_t>("seed");
    QTest::addColumn<std::int32_t>("bound");
    QTest::addColumn<Sequence>("states");
    QTest::addColumn<Sequence>("draws");

    QTest::newRow("seed 0, bound 5000")
        << std::uint32_t(0) << std::int32_t(5000)
        << Sequence{1u, 134775814u, 3698175007u, 870078620u,
                    1172187917u, 2884733762u, 1368768587u, 694906232u}
        << Sequence{0, 156, 4305, 1012, 1364, 3358, 1593, 808};
    QTest::newRow("seed 12345, bound 5000")
        << std::uint32_t(12345) << std::int32_t(5000)
        << Sequence{1655067934u, 1242767767u, 342459380u, 2377737157u,
                    2721613530u, 1467157059u, 1889648464u, 340655249u}
        << Sequence{1926, 1446, 398, 2768, 3168, 1707, 2199, 396};
    QTest::newRow("seed 2^32 - 1, bound 1000 (state wraps)")
        << std::uint32_t(0xFFFFFFFFu) << std::int32_t(1000)
        << Sequence{4160191484u, 866343917u, 2231304098u, 567969323u,
                    3754609368u, 105731641u, 2042630942u, 4086028183u}
        << Sequence{968, 201, 519, 132, 874, 24, 475, 951};
}

void TestRandomSource::sequence()
{
    QFETCH(std::uint32_t, seed);
    QFETCH(std::int32_t, bound);
    QFETCH(Sequence, states);
    QFETCH(Sequence, draws);

    RandomSource::seed(seed);
    QCOMPARE(RandomSource::state(), seed);
    for (std::size_t i = 0; i < draws.size(); ++i) {
        QCOMPARE(RandomSource::draw(bound), std::int32_t(draws[i]));
        QCOMPARE(RandomSource::state(), states[i]);
    }
}

void TestRandomSource::drawEnds_data()
{
    // Each seed is the predecessor of the state named in the row, so that
    // the draw (which advances first) sees exactly that state.
    QTest::addColumn<std::uint32_t>("seed");
    QTest::addColumn<std::uint32_t>("drawnState");
    QTest::addColumn<std::int32_t>("bound");
    QTest::addColumn<std::int32_t>("value");

    QTest::newRow("state 0 gives 0")
        << std::uint32_t(649090867u) << std::uint32_t(0u) << std::int32_t(5000) << 0;
    QTest::newRow("largest state giving 0")
        << std::uint32_t(202406064u) << std::uint32_t(858993u) << std::int32_t(5000) << 0;
    QTest::newRow("smallest state giving 1")
        << std::uint32_t(3848282493u) << std::uint32_t(858994u) << std::int32_t(5000) << 1;
    QTest::newRow("largest state giving 4998")
        << std::uint32_t(1744866537u) << std::uint32_t(4294108302u) << std::int32_t(5000) << 4998;
    QTest::newRow("smallest state giving 4999")
        << std::uint32_t(1095775670u) << std::uint32_t(4294108303u) << std::int32_t(5000) << 4999;
    QTest::newRow("state 2^32 - 1 gives 4999")
        << std::uint32_t(1298181734u) << std::uint32_t(0xFFFFFFFFu) << std::int32_t(5000) << 4999;
    QTest::newRow("bound 1 always gives 0")
        << std::uint32_t(1298181734u) << std::uint32_t(0xFFFFFFFFu) << std::int32_t(1) << 0;
    QTest::newRow("largest bound, largest state")
        << std::uint32_t(1298181734u) << std::uint32_t(0xFFFFFFFFu)
        << std::numeric_limits<std::int32_t>::max() << 2147483646;
}

void TestRandomSource::drawEnds()
{
    QFETCH(std::uint32_t, seed);
    QFETCH(std::uint32_t, drawnState);
    QFETCH(std::int32_t, bound);
    QFETCH(std::int32_t, value);

    RandomSource::seed(seed);
    QCOMPARE(RandomSource::draw(bound), value);
    QCOMPARE(RandomSource::state(), drawnState);
}

void TestRandomSource::seedFromClockTakesTheLow32Bits()
{
    RandomSource::seed(1);
    Clock::setSources(nullptr, fakeSteadyNanoseconds);
    RandomSource::seedFromClock();
    QCOMPARE(RandomSource::state(), std::uint32_t(0x89ABCDEFu));

    Clock::setSources(nullptr, negativeSteadyNanoseconds);
    RandomSource::seedFromClock();
    QCOMPARE(RandomSource::state(), std::uint32_t(0xFFFFFFFEu));
}

void TestRandomSource::seedFromClockChangesTheState()
{
    // With the system's clock: the seed lies between two readings taken
    // around the call, and a later call gives another seed.
    const auto low32 = [](std::int64_t ns) { return std::uint32_t(std::uint64_t(ns)); };

    const std::uint32_t before = low32(Clock::steadyNanoseconds());
    RandomSource::seed(before - 1);
    RandomSource::seedFromClock();
    const std::uint32_t first = RandomSource::state();
    const std::uint32_t after = low32(Clock::steadyNanoseconds());
    QVERIFY2(std::uint32_t(first - before) <= std::uint32_t(after - before),
             qPrintable(QStringLiteral("seed %1 outside the clock readings %2 to %3")
                            .arg(first).arg(before).arg(after)));

    QThread::msleep(2);
    RandomSource::seedFromClock();
    QVERIFY(RandomSource::state() != first);
}

void TestRandomSource::normalDraws_data()
{
    QTest::addColumn<std::uint32_t>("seed");
    QTest::newRow("seed 0") << 0u;
    QTest::newRow("seed 12345") << 12345u;
    QTest::newRow("seed 2^32 - 1") << 0xFFFFFFFFu;
}

void TestRandomSource::normalDraws()
{
    QFETCH(std::uint32_t, seed);
    // 20000 draws: the mean within 0.03 of 0 (four standard errors), the
    // deviation within 0.03 of 1, 68.3 % within one deviation to 1.5 %.
    const int count = 20000;
    RandomSource::seed(seed);
    std::vector<double> draws;
    double sum = 0.0, squares = 0.0, withinOne = 0.0;
    for (int i = 0; i < count; ++i) {
        draws.push_back(RandomSource::normal());
        sum += draws.back();
        squares += draws.back() * draws.back();
        withinOne += std::fabs(draws.back()) < 1.0 ? 1.0 : 0.0;
    }
    // The integer draws' state is left alone.
    QCOMPARE(RandomSource::state(), seed);
    const double mean = sum / count;
    QVERIFY2(std::fabs(mean) < 0.03, qPrintable(QString::number(mean)));
    QVERIFY(std::fabs(std::sqrt((squares - count * mean * mean) / (count - 1)) - 1.0) < 0.03);
    QVERIFY(std::fabs(withinOne / count - 0.6827) < 0.015);
    // The same seed, the same draws, whatever integer draws come between.
    RandomSource::seed(seed);
    for (int i = 0; i < 100; ++i) {
        RandomSource::draw(5000);
        QCOMPARE(RandomSource::normal(), draws[std::size_t(i)]);
    }
}

QTEST_GUILESS_MAIN(TestRandomSource)
#include "tst_randomsource.moc"
