// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

/// An announced event: the second at which each edge is predicted, as a
/// lunar occultation's time is, counted from the trial's start.
namespace Conditions {

/// The second announced for an edge, whole seconds since the trial's
/// start: the edge's true instant (ms since the start) plus the error drawn
/// (seconds), rounded to the nearest second (a half up), and never before
/// the earliest instant (ms since the start): the start itself for the
/// disappearance, the disappearance for the return.
int announcedSecond(std::int64_t edgeMs, double errorSeconds, std::int64_t earliestMs);

/// What the star field shows of an announcement, and what a screen reader
/// says of it.
struct AnnouncementFigures
{
    QString elapsed;   ///< "4 s": whole seconds since the start
    QString predicted; ///< "D prévue : 7 s", or empty
    QString spoken;    ///< "D prévue à 7 s", or empty
};

/// The figures at so many ms since the start, with the second announced
/// for the coming edge (the disappearance unless returnNext), if any.
AnnouncementFigures announcementFigures(std::int64_t sinceStartMs, bool returnNext,
                                        std::optional<int> announced);

} // namespace Conditions
