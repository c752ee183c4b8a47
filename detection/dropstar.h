// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "conditions/conditions.h"
#include "conditions/fade.h"
#include "conditions/scintillation.h"

#include <QObject>
#include <QTimer>

#include <cstdint>

class StarImage;

/// The detection exercise's star on its field, under the kept conditions:
/// its light, its twinkle frame by frame, and its drops, which fade in and
/// out as the trial's edges do, down to a fraction of the light instead of
/// nothing. Instants are steady clock readings, nanoseconds; each drop's
/// own first and last frames are put on the screen by the block's
/// handlers, the clock read as they are.
class DropStar : public QObject
{
    Q_OBJECT

public:
    explicit DropStar(StarImage *image, QObject *parent = nullptr);

    /// The star shown at its light, twinkling as set, from now on.
    void start(const Conditions::ObservingConditions &conditions);
    /// The coming drop's start reaches half way at halfAt; during the drop
    /// the light is multiplied by factor.
    void planDrop(std::int64_t halfAt, double factor);
    /// Its end reaches half way back at halfAt.
    void planReturn(std::int64_t halfAt);
    /// The edge's own frame, put on the screen now, at the reading just
    /// taken.
    void showEdge(std::int64_t reading);
    /// The star stays at its whole light; no frame follows.
    void stop();

    /// The light drawn last, as a fraction of the star's steady light
    /// before the twinkle: 1 outside the drops.
    double lastLight() const { return m_lastLight; }

private:
    void frame();
    void draw(double fadeLight);
    void schedule(std::int64_t now);
    int frameInterval() const;

    StarImage *m_image;
    Conditions::ObservingConditions m_conditions;
    Conditions::FadeLight m_fade;
    Conditions::Scintillation m_twinkle;
    std::uint64_t m_twinkleSeed;
    double m_factor = 1.0;
    double m_lastLight = 1.0;
    bool m_playing = false;
    QTimer m_frames;
};
