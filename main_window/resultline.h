// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>

#include <optional>

/// What the result line shows: the figure after "Le temps est de ", the
/// line under it (none where empty), and the sentence that a screen reader
/// gets for the whole.
struct ResultView
{
    QString figure;
    QString entryLine;
    QString sentence;
};

/// The result line through the trials. At the star's return it shows the
/// true duration; where the true time waits for the user's entry, it shows
/// "?" until an entry is accepted, then the duration with the user's time
/// and the gap between the two, or until the next trial starts without an
/// entry, then the duration alone.
class ResultLine
{
public:
    /// The star came back after an occultation of duration seconds; with
    /// afterEntry, its figure waits for the user's entry.
    ResultView returned(double duration, bool afterEntry);
    /// An entry of entered seconds, held against the last duration, was
    /// accepted. Nothing changes unless the last return made the figure
    /// wait for the entry.
    std::optional<ResultView> entryAccepted(double entered);
    /// A trial starts: a figure still waiting for an entry is shown.
    std::optional<ResultView> trialStarted();

private:
    double m_duration = 0.0;
    bool m_afterEntry = false;
    bool m_waiting = false;
};
