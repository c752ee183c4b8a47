// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "conditions/conditions.h"
#include "conditions/fade.h"
#include "conditions/scintillation.h"
#include "conditions/secondpips.h"

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <optional>

class StarImage;

/// The observing conditions of the trial in progress, played out on the
/// star field and on the audio output: the star's light, its twinkle frame
/// by frame, its fading edges and the second pips. The trial's handlers
/// read the clock at each edge and put the edge's own frame on the screen
/// through it; with every condition at its default the star is drawn as it
/// always was, and nothing else runs. While the star field cannot be seen
/// (its window hidden, minimised or not exposed), the twinkle draws no
/// frame; it picks up again once the field is seen.
class TrialConditions : public QObject
{
    Q_OBJECT

public:
    explicit TrialConditions(StarImage *image, QObject *parent = nullptr);

    const Conditions::ObservingConditions &conditions() const { return m_conditions; }

    /// A trial starts under these conditions: the star shown at its light
    /// on the erased field, the pips from now on.
    void start(const Conditions::ObservingConditions &conditions);
    /// The coming edge's delay has just started on the trial's timer, ms.
    void planEdge(int delayMs);
    /// The disappearance's own frame, at the reading just taken.
    void showDisappearance(std::int64_t reading);
    /// The reappearance's own frame, at the reading just taken; the pips end.
    void showReturn(std::int64_t reading);
    /// The trial is cut short: the frames and the pips stop.
    void stop();
    /// Whether the trial's pips, if it has any, all sounded: asked once
    /// the trial is over.
    bool pipsSounded() const;

    /// The interval between two frames, ms: the screen's refresh period.
    int frameInterval() const;

    /// Under an announcement: the second announced for each edge since the
    /// trial's start, once the edge's delay is planned; none otherwise.
    std::optional<int> announcedDisappearance() const { return m_announced[0]; }
    std::optional<int> announcedReappearance() const { return m_announced[1]; }
    /// The steady clock's reading at the trial's start, under an
    /// announcement.
    std::int64_t startReading() const { return m_startReading; }
    /// The coming edge's announcement as a screen reader says it: "D prévue
    /// à 7 s"; empty when none is shown.
    const QString &spokenAnnouncement() const { return m_spoken; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    /// Whether the star field can be seen: shown, in a window that is
    /// neither minimised nor without any part on the screen.
    bool inSight() const;
    void watchWindow();
    void frame();
    /// Draws a frame at the fade's light, twinkling, unless the star is
    /// out and was out already; returns whether it drew.
    bool drawFrame(double fadeLight, bool shown);
    void schedule(std::int64_t now);
    /// Shows the announcement's figures as they stand now, and waits for
    /// the next whole second.
    void showAnnouncement();
    void endAnnouncement();

    StarImage *m_image;
    Conditions::ObservingConditions m_conditions;
    Conditions::FadeLight m_fade;
    Conditions::Scintillation m_twinkle;
    /// Where the twinkle's engine is seeded from, trial after trial.
    std::uint64_t m_twinkleSeed;
    double m_fadeLight = 0.0;
    /// A trial's conditions are being played, from its start to its stop.
    bool m_playing = false;
    /// Whether the field could be seen when last looked at.
    bool m_seen = false;
    QTimer m_frames;
    /// The announcement: the trial's start, the vanish, the seconds
    /// announced, and the timer of the whole seconds shown.
    std::int64_t m_startReading = 0;
    std::int64_t m_vanishReading = 0;
    bool m_vanished = false;
    std::optional<int> m_announced[2];
    QString m_spoken;
    QTimer m_seconds;
};
