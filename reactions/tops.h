// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

/// The user's reaction times: the tops (a press of Space or a click on the
/// star field) of each trial, read on the steady clock and set against the
/// readings taken when the star vanished and when it came back.
namespace Reactions {

/// How long after the star's return a top still times it, nanoseconds.
constexpr std::int64_t ReappearanceWindow = 2'000'000'000;

enum class TopKind {
    Early,         ///< before the star vanished: an anticipation
    Disappearance, ///< the first while the star is hidden
    Reappearance,  ///< the first after the star's return, within the window
    Ignored,       ///< any other
};

/// The tops of one trial, classified as they come. Readings are steady
/// clock nanoseconds.
class TrialTops
{
public:
    /// A trial starts (the star is shown): the previous trial's tops are
    /// forgotten and tops count again.
    void start();
    void vanished(std::int64_t at);
    void reappeared(std::int64_t at);
    /// Classifies the top read at the given time and keeps it if it counts.
    TopKind top(std::int64_t at);
    /// The trial's tops are complete: later tops are ignored until the next
    /// start.
    void finish() { m_open = false; }

    /// Between a start and its finish.
    bool isOpen() const { return m_open; }
    bool hasReappeared() const { return m_reappeared.has_value(); }
    bool hasDisappearanceTop() const { return m_disappearanceTop.has_value(); }
    /// Whether any top counted: early, disappearance or reappearance.
    bool anyCounted() const { return m_earlyTops > 0 || m_disappearanceTop || m_reappearanceTop; }

    int earlyTops() const { return m_earlyTops; }
    /// Top minus edge, seconds; none without the top.
    std::optional<double> disappearanceReaction() const;
    std::optional<double> reappearanceReaction() const;
    /// Reappearance top minus disappearance top, seconds: the duration the
    /// user tapped; none without both tops.
    std::optional<double> tappedDuration() const;

private:
    bool m_open = false;
    int m_earlyTops = 0;
    std::optional<std::int64_t> m_vanished;
    std::optional<std::int64_t> m_reappeared;
    std::optional<std::int64_t> m_disappearanceTop;
    std::optional<std::int64_t> m_reappearanceTop;
};

/// A trial's figures as the run keeps them.
struct TrialReactions
{
    std::int32_t trial = 0; ///< the run's trial number, from 1
    std::optional<double> disappearance;
    std::optional<double> reappearance;
    /// Tops that came too soon to be a reaction to each edge.
    int disappearanceAnticipations = 0;
    int reappearanceAnticipations = 0;
};

/// The figures of one edge over the run's trials, seconds.
struct EdgeFigures
{
    std::int32_t count = 0;
    double mean = 0.0;      ///< with count above 0
    double deviation = 0.0; ///< sample deviation, with count above 1
    double minimum = 0.0;
    double maximum = 0.0;
};

enum class Edge { Disappearance, Reappearance };

EdgeFigures edgeFigures(const std::vector<TrialReactions> &trials, Edge edge);

} // namespace Reactions
