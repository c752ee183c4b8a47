// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "detection/dropstar.h"

#include "app/clock.h"
#include "main_window/starfield.h"

#include <QScreen>

#include <algorithm>
#include <random>

DropStar::DropStar(StarImage *image, QObject *parent)
    : QObject(parent)
    , m_image(image)
    , m_twinkleSeed(std::random_device()())
{
    m_frames.setSingleShot(true);
    m_frames.setTimerType(Qt::PreciseTimer);
    connect(&m_frames, &QTimer::timeout, this, &DropStar::frame);
}

int DropStar::frameInterval() const
{
    const QScreen *screen = m_image->screen();
    const double rate = screen && screen->refreshRate() >= 10.0 ? screen->refreshRate() : 60.0;
    return std::max(1, int(1000.0 / rate));
}

void DropStar::start(const Conditions::ObservingConditions &conditions)
{
    m_conditions = conditions;
    m_fade = Conditions::FadeLight(conditions.fadeMs());
    m_twinkle = Conditions::Scintillation(conditions.scintillation, m_twinkleSeed++);
    m_factor = 1.0;
    m_playing = true;
    m_image->computeGeometry();
    m_image->eraseField();
    draw(1.0);
    m_image->repaint();
    schedule(Clock::steadyNanoseconds());
}

void DropStar::planDrop(std::int64_t halfAt, double factor)
{
    // Each drop fades in and out as one trial's two edges do.
    m_fade = Conditions::FadeLight(m_conditions.fadeMs());
    m_factor = factor;
    m_fade.plan(halfAt);
    schedule(Clock::steadyNanoseconds());
}

void DropStar::planReturn(std::int64_t halfAt)
{
    m_fade.plan(halfAt);
    schedule(Clock::steadyNanoseconds());
}

void DropStar::showEdge(std::int64_t reading)
{
    draw(m_fade.edge(reading));
    m_image->repaint(m_image->starRect());
    schedule(reading);
}

void DropStar::stop()
{
    m_playing = false;
    m_frames.stop();
    // Left at its whole light, were a drop cut short.
    if (m_lastLight < 1.0) {
        m_factor = 1.0;
        draw(1.0);
        m_image->repaint(m_image->starRect());
    }
}

void DropStar::frame()
{
    const std::int64_t now = Clock::steadyNanoseconds();
    // Between the edges' own frames the fade's light, and the twinkle.
    const std::optional<double> light = m_fade.frame(now);
    if (light) {
        draw(*light);
        m_image->repaint(m_image->starRect());
    }
    schedule(now);
}

void DropStar::draw(double fadeLight)
{
    // The fade runs from the whole light (1) to the drop's (0), in linear
    // light: the drop's factor where an edge would put the star out.
    m_lastLight = m_factor + (1.0 - m_factor) * fadeLight;
    const double twinkle = m_twinkle.nextFactor();
    m_image->drawStarFrame(
        Conditions::srgbLevel(Conditions::eclatLight(m_conditions.eclat) * m_lastLight * twinkle),
        true);
}

void DropStar::schedule(std::int64_t now)
{
    if (!m_playing) {
        m_frames.stop();
        return;
    }
    std::optional<std::int64_t> next = m_fade.nextChange(now);
    if (m_twinkle.sigma() > 0.0)
        next = now;
    if (!next) {
        m_frames.stop();
        return;
    }
    const std::int64_t wait = (*next - now + 999'999) / 1'000'000;
    m_frames.start(wait <= 0 ? frameInterval()
                             : int(std::min<std::int64_t>(wait, frameInterval())));
}
