// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
//
// How well a block of the detection exercise finds an observer's threshold:
// velmaris_detection [BLOCKS [WINDOWS [COARSE [FINE [COARSE_REVERSALS]]]]]
// (default 1000 blocks per observer, and the program's rule); or
// velmaris_detection log BLOCKS: the log reader's time on that many
// blocks. Simulated
// observers answer whole blocks through Detection::Block, the class the
// window uses, with the screen's frames and the presses timed as the
// window tells them. Each observer sees a drop of m magnitudes with the
// logistic 1 / (1 + exp(-(m - mu) / s)), misses it anyway 2 % of the time
// (lapses), and presses at random (false alarms) at a steady rate that
// puts a press in a given fraction of the windows without a drop; such a
// press can fall in a drop's answer interval and count as a hit. Its true
// 70.7 % point is the drop that gives a hit 70.7 % of the time, lapses and
// chance hits included: mu is set from it. The scale s is a share of the
// point (a drop of nothing is not seen); fixed scales follow as a stress
// case. For each observer the bench
// prints the bias (mean threshold minus the true point) and the spread
// (standard deviation) of the thresholds of the blocks with enough
// reversals, the largest error, and the share of blocks without enough.
#include "detection/detection.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double Lapse = 0.02;
constexpr double Target = 0.7071; // the point two hits in a row reach half the time
constexpr std::int64_t FrameMs = 17; // the screen's frame, about 60 Hz

struct Observer
{
    double truePoint; // magnitudes
    double slope;     // the logistic's scale s, magnitudes
    double falseAlarmShare; // of the windows without a drop
};

struct Figures
{
    double bias = 0, spread = 0, worst = 0;
    double notEnough = 0; // share of the blocks
    double meanReversals = 0;
};

double logistic(double x)
{
    return 1.0 / (1.0 + std::exp(-x));
}

// An observer's presses in one window: false alarms at random over the
// window, and a press at its reaction after the drop's first frame when the
// drop of m magnitudes is seen.
class Simulated
{
public:
    explicit Simulated(const Observer &observer) : m_slope(observer.slope)
    {
        // False alarms: a Poisson process over the window's 6 s.
        const double alarmsPerMs =
            -std::log(1.0 - observer.falseAlarmShare) / double(Detection::WindowMs);
        m_nextAlarm = std::exponential_distribution<double>(alarmsPerMs);
        // A hit's chance from a false alarm alone, in the answer interval.
        const double answerMs = double(Detection::DropMs - FrameMs + Detection::HitAfterLastMs
                                       - Detection::HitFromMs);
        const double chance = 1.0 - std::exp(-alarmsPerMs * answerMs);
        // (1 - chance) x (1 - lapse) x L + chance gives the target at the true point.
        const double seenShare = (Target - chance) / ((1.0 - chance) * (1.0 - Lapse));
        m_mu = observer.truePoint - observer.slope * std::log(seenShare / (1.0 - seenShare));
    }

    std::vector<std::int64_t> presses(bool hasDrop, std::int64_t firstFrameMs, double m,
                                      std::mt19937_64 &random)
    {
        std::vector<std::int64_t> times;
        for (double t = m_nextAlarm(random); t < double(Detection::WindowMs); t += m_nextAlarm(random))
            times.push_back(std::int64_t(t));
        if (hasDrop && m_unit(random) >= Lapse && m_unit(random) < logistic((m - m_mu) / m_slope))
            times.push_back(firstFrameMs + std::int64_t(m_reaction(random) * 1000.0));
        return times;
    }

private:
    double m_slope, m_mu = 0;
    std::exponential_distribution<double> m_nextAlarm;
    std::uniform_real_distribution<double> m_unit{0.0, 1.0};
    std::lognormal_distribution<double> m_reaction{std::log(0.40), 0.25};
};

// The share of hits with every drop at the observer's true point: the
// model's own check, 0.707 whatever the observer.
double hitShareAtPoint(const Observer &observer, int windows, std::mt19937_64 &random)
{
    Simulated simulated(observer);
    int hits = 0;
    for (int w = 0; w < windows; ++w) {
        const std::int64_t first = 2000;
        hits += Detection::readPresses(simulated.presses(true, first, observer.truePoint, random),
                                       true, first, first + Detection::DropMs - FrameMs)
                    .seen;
    }
    return double(hits) / windows;
}

Figures run(const Observer &observer, const Detection::Rule &rule, int blocks,
            std::mt19937_64 &random)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    Simulated simulated(observer);
    std::vector<double> thresholds;
    int notEnough = 0;
    long reversals = 0;
    for (int b = 0; b < blocks; ++b) {
        Detection::Block block(random(), 0, rule);
        while (!block.finished()) {
            const Detection::WindowPlan plan = block.plan();
            const std::int64_t first = plan.dropStartMs + std::int64_t(unit(random) * FrameMs);
            if (plan.hasDrop) {
                block.dropStarted(first);
                block.dropEnded(first + Detection::DropMs - FrameMs);
            }
            for (std::int64_t press : simulated.presses(plan.hasDrop, first, block.dropMag(), random))
                block.press(press);
            block.finishWindow(0);
        }
        const Detection::Threshold threshold = block.threshold();
        reversals += long(block.staircase().reversals().size());
        if (threshold.enough)
            thresholds.push_back(threshold.meanMag);
        else
            ++notEnough;
    }
    Figures figures;
    figures.notEnough = double(notEnough) / blocks;
    figures.meanReversals = double(reversals) / blocks;
    if (thresholds.empty())
        return figures;
    double sum = 0, squares = 0;
    for (double t : thresholds) {
        sum += t;
        figures.worst = std::max(figures.worst, std::fabs(t - observer.truePoint));
    }
    const double mean = sum / thresholds.size();
    for (double t : thresholds)
        squares += (t - mean) * (t - mean);
    figures.bias = mean - observer.truePoint;
    figures.spread = thresholds.size() > 1 ? std::sqrt(squares / (thresholds.size() - 1)) : 0.0;
    return figures;
}

void table(const char *title, const Detection::Rule &rule, int blocks, std::mt19937_64 &random,
           std::initializer_list<double> slopes, bool shareOfPoint)
{
    std::printf("\n%s\n%6s %6s %6s | %7s %7s %7s | %9s %9s\n", title, "point", "s", "fa",
                "bias", "spread", "worst", "notenough", "reversals");
    double worstBias = 0, worstSpread = 0, worstNotEnough = 0;
    for (double point : {0.3, 0.5, 0.7, 1.0, 1.5, 2.0})
        for (double given : slopes)
            for (double fa : {0.02, 0.10, 0.25}) {
                const double slope = shareOfPoint ? given * point : given;
                const Figures f = run({point, slope, fa}, rule, blocks, random);
                std::printf("%6.2f %6.3f %6.2f | %+7.3f %7.3f %7.3f | %8.1f%% %9.2f\n", point,
                            slope, fa, f.bias, f.spread, f.worst, 100.0 * f.notEnough,
                            f.meanReversals);
                worstBias = std::max(worstBias, std::fabs(f.bias));
                worstSpread = std::max(worstSpread, f.spread);
                worstNotEnough = std::max(worstNotEnough, f.notEnough);
            }
    std::printf("largest |bias| %.3f mag, largest spread %.3f mag, most blocks without enough "
                "reversals %.1f%%\n",
                worstBias, worstSpread, 100.0 * worstNotEnough);
}

// How long the log's reader takes on a log of the given number of blocks,
// written as the program writes it.
int timeReading(int blocks)
{
    std::mt19937_64 random(7);
    QByteArray log = QByteArray(Detection::Log::HeaderLine) + "\r\n";
    const std::int64_t first = 1767261600000; // 2026-01-01 10:00 UTC
    for (int b = 0; b < blocks; ++b) {
        const std::int64_t start = first + std::int64_t(b) * 3'600'000;
        Detection::Block block(random(), start);
        while (!block.finished()) {
            const Detection::WindowPlan plan = block.plan();
            if (plan.hasDrop && random() % 3 != 0)
                block.press(plan.dropStartMs + 450);
            const std::int64_t windowStart = start + block.current() * Detection::WindowMs;
            log += Detection::Log::recordLine(start, block.finishWindow(windowStart), 3, 2, 120)
                   + "\r\n";
        }
    }
    std::vector<double> times;
    std::size_t read = 0;
    for (int round = 0; round < 5; ++round) {
        const auto begin = std::chrono::steady_clock::now();
        read = Detection::Log::readBlocks(log).size();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin)
                .count());
    }
    std::sort(times.begin(), times.end());
    std::printf("%d blocks, %lld lines, %.1f MB: %zu read, median %.1f ms (%.1f to %.1f)\n",
                blocks, (long long)blocks * Detection::WindowsPerBlock, log.size() / 1e6, read,
                times[2], times.front(), times.back());
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 2 && std::string(argv[1]) == "log")
        return timeReading(std::atoi(argv[2]));
    const int blocks = argc > 1 ? std::atoi(argv[1]) : 1000;
    Detection::Rule rule;
    if (argc > 2)
        rule.windows = std::atoi(argv[2]);
    if (argc > 3)
        rule.coarseStepMag = std::atof(argv[3]);
    if (argc > 4)
        rule.fineStepMag = std::atof(argv[4]);
    if (argc > 5)
        rule.coarseReversals = std::atoi(argv[5]);
    if (blocks < 2 || rule.windows < 1 || rule.coarseStepMag <= 0 || rule.fineStepMag <= 0
        || rule.coarseReversals < 0) {
        std::fprintf(stderr, "usage: velmaris_detection [BLOCKS [WINDOWS [COARSE [FINE "
                             "[COARSE_REVERSALS]]]]]\n");
        return 2;
    }
    std::printf("%d blocks of %d windows per observer; start %.1f mag, steps %.2f until "
                "reversal %d, then %.2f\n",
                blocks, rule.windows, Detection::StartDropMag, rule.coarseStepMag,
                rule.coarseReversals, rule.fineStepMag);
    std::mt19937_64 random(20261209);
    // The observers the goal is for: a drop of nothing is not seen, so the
    // logistic's scale s is a share of the point (s = point / 4 sees no
    // drop 3 % of the time); a fixed s, the stress case after them, gives
    // the observers with a low point a sight of drops that are hardly any.
    double lowest = 1, highest = 0;
    for (double point : {0.3, 2.0})
        for (double fa : {0.02, 0.25}) {
            const double share = hitShareAtPoint({point, point / 4, fa}, 200000, random);
            lowest = std::min(lowest, share);
            highest = std::max(highest, share);
        }
    std::printf("the model's check: hits at the true point %.4f to %.4f of 200,000 windows\n",
                lowest, highest);
    table("s a share of the point", rule, blocks, random, {0.10, 0.175, 0.25}, true);
    table("s fixed (stress case)", rule, blocks, random, {0.1, 0.2, 0.3}, false);
    return 0;
}
