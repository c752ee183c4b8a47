// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

/// The detection exercise: blocks of windows in which the star's light may
/// drop by some magnitudes for a moment, a two-down, one-up staircase on
/// the drop, and the threshold it converges on (the drop seen 70.7 % of the
/// time). Times are milliseconds from the window's start unless named
/// otherwise.
namespace Detection {

constexpr int WindowsPerBlock = 40;
constexpr std::int64_t WindowMs = 6000;
constexpr std::int64_t DropMs = 1000;
/// A drop starts between these, from the window's start.
constexpr std::int64_t EarliestDropMs = 1000;
constexpr std::int64_t LatestDropMs = 4000;
/// A press counts as a hit from this after the drop's first frame to
/// HitAfterLastMs after its last.
constexpr std::int64_t HitFromMs = 100;
constexpr std::int64_t HitAfterLastMs = 1000;
/// Presses closer than this count once.
constexpr std::int64_t SamePressMs = 100;

constexpr double StartDropMag = 2.0;
constexpr double CoarseStepMag = 0.4;
/// From the second reversal on. A step of 0.1 is too slow for a block of
/// 40 windows: the staircase is still coming down from 2.0 when the block
/// ends, and the threshold comes out too large (bench/RESULTS.md).
constexpr double FineStepMag = 0.2;
constexpr double SmallestDropMag = 0.1;
constexpr double LargestDropMag = 3.0;

/// A block's length and its staircase's steps. The program runs the
/// defaults; the bench measures others against them.
struct Rule
{
    int windows = WindowsPerBlock;
    double coarseStepMag = CoarseStepMag;
    double fineStepMag = FineStepMag;
    /// The fine step from this reversal on; the threshold leaves out the
    /// reversals before it.
    int coarseReversals = 2;
};

/// What one window holds before it is shown.
struct WindowPlan
{
    bool hasDrop = false;
    std::int64_t dropStartMs = 0; ///< planned start of the drop
};

/// The windows of a block from a seed: one in five without a drop (count / 5
/// rounded to the nearest, so 8 of 40), their places drawn uniformly among
/// those that never put more than two in a row; each drop's start uniform
/// in EarliestDropMs..LatestDropMs, to the millisecond. The same seed gives
/// the same windows; the program's own random source is left alone. At most
/// MostPlannedWindows windows.
constexpr int MostPlannedWindows = 1000;
std::vector<WindowPlan> planWindows(std::uint64_t seed, int count = WindowsPerBlock);

/// The star's light during a drop of dropMag magnitudes, as a factor on
/// its linear light: 10^(-0.4 dropMag).
double dropFactor(double dropMag);

/// How one finished window was answered.
struct WindowOutcome
{
    int window = 0;              ///< from 1
    std::int64_t startUtcMs = 0; ///< the window's start
    bool hasDrop = false;
    double dropMag = 0;               ///< when hasDrop
    std::int64_t dropFirstFrameMs = 0; ///< when hasDrop: as shown
    bool seen = false;                 ///< a hit
    std::optional<double> reactionS;   ///< the hit's reaction, from the first frame
    int falseAlarms = 0;
};

/// How the presses of one window are read: the first press of each group
/// (presses less than SamePressMs after the one before count once); with a
/// drop, the first group from HitFromMs after its first frame to
/// HitAfterLastMs after its last is the hit, every other group a false
/// alarm. Presses are in milliseconds from the window's start, in any order.
struct PressReading
{
    bool seen = false;
    std::optional<double> reactionS; ///< the hit's, from the first frame
    int falseAlarms = 0;
};
PressReading readPresses(std::vector<std::int64_t> presses, bool hasDrop,
                         std::int64_t firstFrameMs, std::int64_t lastFrameMs);

/// The two-down, one-up staircase on the drop.
class Staircase
{
public:
    Staircase() = default;
    explicit Staircase(const Rule &rule);

    double dropMag() const { return m_dropMag; }
    /// Records the answer to a window with a drop at dropMag(): two hits in
    /// a row step down, a miss steps up (CoarseStepMag until the second
    /// reversal, FineStepMag from it on), within SmallestDropMag and
    /// LargestDropMag.
    void record(bool seen);
    /// Records the answer to a window whose drop was dropMag, as a log tells
    /// it: the reversals are then the log's own drops.
    void replay(double dropMag, bool seen);
    /// The drops of the windows that turned the staircase's direction.
    const std::vector<double> &reversals() const { return m_reversals; }

private:
    double m_dropMag = StartDropMag;
    double m_coarseStepMag = CoarseStepMag;
    double m_fineStepMag = FineStepMag;
    std::size_t m_coarseReversals = 2;
    int m_hitsInRow = 0;
    int m_direction = 0; ///< -1 going down, +1 going up, 0 not yet
    std::vector<double> m_reversals;
};

/// The result of a block.
struct Threshold
{
    bool enough = false;    ///< at least four reversals after the first two
    int reversalsUsed = 0;
    double meanMag = 0;     ///< mean drop at the reversals after the first two
    double sigmaMag = 0;    ///< their standard deviation
};
/// The mean and standard deviation of the reversals after the first
/// leftOut ones; enough with four of them at least.
Threshold thresholdFrom(const std::vector<double> &reversals, int leftOut = 2);

/// One block as it runs: the windows' plan, the presses classified, the
/// staircase moved at each window's end.
class Block
{
public:
    Block(std::uint64_t seed, std::int64_t startUtcMs, const Rule &rule = Rule());

    std::int64_t startUtcMs() const { return m_startUtcMs; }
    int windowCount() const { return int(m_plan.size()); }
    /// The window being shown, from 0; windowCount() once all are done.
    int current() const { return int(m_outcomes.size()); }
    bool finished() const { return current() >= windowCount(); }
    /// The current window's plan; a window without a drop once finished.
    const WindowPlan &plan() const;
    /// The drop the current window shows, magnitudes.
    double dropMag() const { return m_staircase.dropMag(); }

    /// The drop's first frame, and then its last, as the screen showed them.
    void dropStarted(std::int64_t firstFrameMs);
    void dropEnded(std::int64_t lastFrameMs);
    /// A press in the current window (a held key's repeats are not presses).
    void press(std::int64_t ms);
    /// Ends the current window, classifying its presses and moving the
    /// staircase; startUtcMs is when the window started. A drop whose
    /// frames were not told is taken as planned (first frame at its planned
    /// start, last DropMs later). Once finished, it changes nothing and
    /// gives an outcome of window 0.
    WindowOutcome finishWindow(std::int64_t startUtcMs);

    const std::vector<WindowOutcome> &outcomes() const { return m_outcomes; }
    const Staircase &staircase() const { return m_staircase; }
    Threshold threshold() const
    {
        return thresholdFrom(m_staircase.reversals(), m_rule.coarseReversals);
    }

private:
    std::int64_t m_startUtcMs;
    Rule m_rule;
    std::vector<WindowPlan> m_plan;
    Staircase m_staircase;
    std::vector<WindowOutcome> m_outcomes;
    std::vector<std::int64_t> m_presses; ///< the current window's
    std::optional<std::int64_t> m_firstFrameMs, m_lastFrameMs;
};

/// A block's figures from its finished windows, in their order.
struct BlockFigures
{
    int windows = 0;
    int drops = 0; ///< windows with a drop
    int hits = 0;
    int windowsWithoutDrop = 0;
    int alarmedWindowsWithoutDrop = 0; ///< of them, those with a false alarm
    int falseAlarmsWithoutDrop = 0;
    int falseAlarmsWithDrop = 0;
    std::optional<double> meanReactionS; ///< over the hits
    Threshold threshold; ///< from the windows' drops and answers replayed
};
BlockFigures figuresOf(const std::vector<WindowOutcome> &outcomes);

/// The blocks' log, detection.csv: one line per finished window.
namespace Log {
inline const char *const FileName = "detection.csv";
inline const char *const HeaderLine =
    "seance,fenetre,date_utc,chute_mag,debut_s,vu,reaction_s,fausses_alertes,eclat,"
    "scintillation,fondu_ms";
/// The line, without CR LF, plain ASCII, as the reactions log writes its
/// dates and numbers; the conditions are éclat, scintillation and fade ms.
QByteArray recordLine(std::int64_t blockStartUtcMs, const WindowOutcome &outcome, int eclat,
                      int scintillation, int fadeMs);

/// A block as the log holds it.
struct LoggedBlock
{
    std::int64_t startUtcSeconds = 0;
    int eclat = 0, scintillation = 0, fadeMs = 0; ///< of its first window
    int windows = 0, windowsWithoutDrop = 0, falseAlarmsWithoutDrop = 0;
    Threshold threshold; ///< recomputed from its windows' lines
    /// All its figures, recomputed from its windows' lines.
    BlockFigures figures;
};
/// The blocks of a log's text, in the order of their first lines; each
/// block's windows are replayed in the order of their numbers (a number
/// found twice counts once, its first line). Lines that are not the log's
/// (headers, empty or damaged lines, another log's, a window numbered past
/// 1000 or with more than 1000 false alarms) are skipped.
std::vector<LoggedBlock> readBlocks(const QByteArray &text);
} // namespace Log

} // namespace Detection
