// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "conditions/conditions.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

/// The user's reaction times: the tops (a press of Space or a click on the
/// star field) of each trial, read on the steady clock and set against the
/// readings taken when the star vanished and when it came back.
namespace Reactions {

/// No one reacts to an edge sooner than this after it, nanoseconds: an
/// earlier top anticipates the edge.
constexpr std::int64_t ShortestReaction = 100'000'000;
/// How long after the vanish a top still times it, nanoseconds.
constexpr std::int64_t DisappearanceWindow = 1'500'000'000;
/// How long after the star's return a top still times it, nanoseconds.
constexpr std::int64_t ReappearanceWindow = 2'000'000'000;

enum class TopKind {
    DisappearanceAnticipation, ///< before the vanish, or too soon after it
    Disappearance,             ///< the reaction to the vanish
    ReappearanceAnticipation,  ///< after that, while hidden or too soon after the return
    Reappearance,              ///< the reaction to the return: the tops are complete
    Ignored,                   ///< any other
};

enum class Edge { Disappearance, Reappearance };

/// A trial's figures as the run keeps them.
struct TrialReactions
{
    std::int32_t trial = 0; ///< the run's trial number, from 1
    std::optional<double> disappearance;
    std::optional<double> reappearance;
    /// Tops that came too soon to be a reaction to each edge.
    int disappearanceAnticipations = 0;
    int reappearanceAnticipations = 0;
    /// The conditions the trial was made under.
    Conditions::ObservingConditions conditions = {};
    /// An edge's announcement: the second announced, counted from the
    /// trial's start, and how far it was from the edge's true instant.
    struct Announced
    {
        int second = 0;
        double error = 0.0; ///< announced second minus the edge's instant, seconds
    };
    /// None where the trial was unannounced.
    std::optional<Announced> announcedDisappearance;
    std::optional<Announced> announcedReappearance;

    const std::optional<Announced> &announced(Edge edge) const
    {
        return edge == Edge::Disappearance ? announcedDisappearance : announcedReappearance;
    }

    const std::optional<double> &reaction(Edge edge) const
    {
        return edge == Edge::Disappearance ? disappearance : reappearance;
    }
    int anticipations(Edge edge) const
    {
        return edge == Edge::Disappearance ? disappearanceAnticipations
                                           : reappearanceAnticipations;
    }
};

/// Where the keyboard focus is in the main window.
enum class Focus { StarField, Entry, Elsewhere };

/// What the main window does with the entry field "Votre temps" when a
/// trial's tops are complete, in this order: the focus first, so that a
/// screen reader announces the field with the trial's result before the
/// text changes.
struct EntryAction
{
    bool focusEntry = false;
    std::optional<QString> fill; ///< the tapped duration, as the entry shows it
    bool selectAll = false;
};

/// The tops of one trial and what the end of the trial does with them.
/// Readings are steady clock nanoseconds, given in the order they come.
class TrialTops
{
public:
    /// A trial starts (the star is shown) under the given conditions: tops
    /// count again, for the run's next trial number. The previous trial's
    /// tops must be complete.
    void start(const Conditions::ObservingConditions &conditions = {});
    /// The edge was announced at this second since the trial's start,
    /// which was read at startedAt.
    void announce(Edge edge, int second, std::int64_t startedAt);
    void vanished(std::int64_t at);
    /// The star is back. Returns whether the entry field takes the focus
    /// now: unless the disappearance was tapped, the user types at once.
    bool reappeared(std::int64_t at);
    /// Classifies the top read at the given time and keeps it if it counts.
    /// A reappearance top completes the tops: call complete() next.
    TopKind top(std::int64_t at);
    /// Whether a key that can start a typed time, pressed now, goes into the
    /// entry field, wherever the focus is: once the star is back after a
    /// tapped disappearance, while the return's top is awaited. The wait
    /// goes on: a Space within it is still the return's top.
    bool typingGoesToEntry() const;
    /// Completes the tops (the return's top came, its wait is over, a new
    /// trial starts or the window closes). Says what to do with the entry,
    /// given where the focus is and whether the entry holds any text: a
    /// tapped duration goes into an empty entry, never over typed text.
    EntryAction complete(Focus focus, bool entryEmpty);
    /// Whether a Space typed into the entry field would change the tapped
    /// duration filled in: it must not (a time has no blanks).
    bool guardsFill(const QString &entryText) const { return m_filled && entryText == *m_filled; }

    /// Whether the trial's pips all sounded, as the audio output says once
    /// the trial is over: a trial whose pips did not is counted without.
    void pipsSounded(bool sounded) { m_conditions.bips = m_conditions.bips && sounded; }

    /// Between a start and the completion of its tops.
    bool isOpen() const { return m_open; }
    std::int32_t trialNumber() const { return m_trial; }
    /// The trial's figures once complete, when a top counted; none when
    /// nothing counted or the trial was cut short before the return.
    std::optional<TrialReactions> counted() const;

    /// Top minus edge, seconds; none without the top.
    std::optional<double> disappearanceReaction() const;
    std::optional<double> reappearanceReaction() const;
    /// Reappearance top minus disappearance top, seconds: the duration the
    /// user tapped; none without both tops.
    std::optional<double> tappedDuration() const;
    int disappearanceAnticipations() const { return m_disappearanceAnticipations; }
    int reappearanceAnticipations() const { return m_reappearanceAnticipations; }

private:
    bool hiddenAt(std::int64_t at) const { return !m_reappeared || at < *m_reappeared; }

    bool m_open = false;
    std::int32_t m_trial = 0;
    Conditions::ObservingConditions m_conditions;
    int m_disappearanceAnticipations = 0;
    int m_reappearanceAnticipations = 0;
    std::optional<std::int64_t> m_vanished;
    std::optional<std::int64_t> m_reappeared;
    std::optional<std::int64_t> m_disappearanceTop;
    std::optional<std::int64_t> m_reappearanceTop;
    std::optional<QString> m_filled;
    std::optional<std::int64_t> m_startedAt;
    std::optional<int> m_announced[2];
};

/// Tells a press of a key from its auto-repeat. Qt flags the repeats, but
/// on X11 a busy program gets them as new presses: a press that comes
/// without a release since the last one, or whose X timestamp equals that
/// of the release just before it, is a repeat as well.
class KeyRepeat
{
public:
    /// Returns whether the press is a new one. Timestamps are the window
    /// system's, milliseconds.
    bool press(unsigned long timestamp, bool flaggedRepeat);
    void release(unsigned long timestamp);

private:
    bool m_down = false;
    std::optional<unsigned long> m_releasedAt;
};

/// Whether a typed character can start a time: a digit, a decimal point or
/// comma, or a sign.
bool startsTime(QChar character);

/// What a key pressed or released in the main window does, wherever the
/// focus is; the window does it in this order.
struct KeyOutcome
{
    /// The key's text goes into the entry field, which takes the focus.
    bool insertIntoEntry = false;
    /// A top, read as the key was pressed.
    bool top = false;
    /// The key goes no further.
    bool taken = false;
};

/// Routes the main window's keys before any control sees them. While a
/// trial's tops are open Space is a top, wherever the focus is, and never a
/// blank in a typed time; a held Space is one top, and its repeats go
/// nowhere. A time typed while the return's top is awaited goes into the
/// entry field.
class KeyRouting
{
public:
    /// A press or release of Space. Timestamps are the window system's,
    /// milliseconds; entryText is what the entry field holds.
    KeyOutcome space(bool press, unsigned long timestamp, bool flaggedRepeat,
                     const TrialTops &tops, Focus focus, const QString &entryText);
    /// A press of any other key, with the text it types.
    KeyOutcome typed(const QString &text, const TrialTops &tops, Focus focus) const;
    /// The window lost the keyboard: a key released meanwhile never reaches
    /// it.
    void windowLeft() { *this = KeyRouting(); }

private:
    KeyRepeat m_space;
    /// Whether the last new press of Space was a top.
    bool m_spaceTaken = false;
};

/// The figures of one edge over the run's trials, seconds.
struct EdgeFigures
{
    std::int32_t count = 0;
    double mean = 0.0;      ///< with count above 0
    double deviation = 0.0; ///< sample deviation, with count above 1
    double median = 0.0;    ///< with count above 0; of the two middle ones, their mean
    double minimum = 0.0;
    double maximum = 0.0;
};

EdgeFigures edgeFigures(const std::vector<TrialReactions> &trials, Edge edge);

} // namespace Reactions
