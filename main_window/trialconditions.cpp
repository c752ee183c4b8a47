// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "main_window/trialconditions.h"

#include "app/clock.h"
#include "app/randomsource.h"
#include "conditions/announcement.h"
#include "main_window/starfield.h"

#include <QEvent>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <random>

TrialConditions::TrialConditions(StarImage *image, QObject *parent)
    : QObject(parent)
    , m_image(image)
    , m_twinkleSeed(std::random_device()())
{
    m_frames.setSingleShot(true);
    m_frames.setTimerType(Qt::PreciseTimer);
    connect(&m_frames, &QTimer::timeout, this, &TrialConditions::frame);
    m_seconds.setSingleShot(true);
    m_seconds.setTimerType(Qt::PreciseTimer);
    connect(&m_seconds, &QTimer::timeout, this, &TrialConditions::showAnnouncement);
    // The field's showing and hiding, its window's minimising included,
    // and its window's exposure.
    m_image->installEventFilter(this);
    watchWindow();
    m_seen = inSight();
}

void TrialConditions::watchWindow()
{
    // Once shown, the field's window has its native window, whose exposure
    // says whether any of it is on the screen.
    if (QWindow *native = m_image->window()->windowHandle())
        native->installEventFilter(this);
}

bool TrialConditions::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::Show || type == QEvent::Hide || type == QEvent::Expose
        || type == QEvent::WindowStateChange) {
        if (type == QEvent::Show)
            watchWindow();
        const bool seen = inSight();
        if (seen != m_seen) {
            m_seen = seen;
            if (m_playing)
                schedule(Clock::steadyNanoseconds());
        }
    }
    return QObject::eventFilter(watched, event);
}

bool TrialConditions::inSight() const
{
    const QWidget *window = m_image->window();
    const QWindow *native = window->windowHandle();
    return m_image->isVisible() && !window->isMinimized() && native && native->isExposed();
}

int TrialConditions::frameInterval() const
{
    const QScreen *screen = m_image->screen();
    const double rate = screen && screen->refreshRate() >= 10.0 ? screen->refreshRate() : 60.0;
    return std::max(1, int(1000.0 / rate));
}

void TrialConditions::start(const Conditions::ObservingConditions &conditions)
{
    stop();
    m_conditions = conditions;
    m_fade = Conditions::FadeLight(conditions.fadeMs());
    m_twinkle = Conditions::Scintillation(conditions.scintillation, m_twinkleSeed++);
    m_fadeLight = 1.0;
    // At the defaults, the star as it always was, and not even a clock
    // reading more.
    if (conditions.isDefault()) {
        m_image->drawStar();
        return;
    }
    m_playing = true;
    const std::int64_t reading = Clock::steadyNanoseconds();
    if (conditions.eclat == 0 && conditions.scintillation == 0)
        m_image->drawStar();
    else
        drawFrame(1.0, true);
    if (conditions.bips)
        SecondPips::output().start(reading);
    if (conditions.announced()) {
        m_startReading = reading;
        showAnnouncement();
    }
    schedule(reading);
}

void TrialConditions::planEdge(int delayMs)
{
    if (m_conditions.isDefault())
        return;
    const std::int64_t now = Clock::steadyNanoseconds();
    m_fade.plan(now + std::int64_t(delayMs) * 1'000'000);
    if (m_conditions.announced()) {
        // The edge's true instant is the end of the delay just started; the
        // error is drawn aside from the delays, which stay as they were.
        const std::int64_t edgeMs = (now - m_startReading) / 1'000'000 + delayMs;
        const std::int64_t earliestMs = m_vanished ? (m_vanishReading - m_startReading) / 1'000'000 : 0;
        m_announced[m_vanished ? 1 : 0] = Conditions::announcedSecond(
            edgeMs, m_conditions.announcementSigma() * RandomSource::normal(), earliestMs);
        showAnnouncement();
    }
    schedule(now);
}

void TrialConditions::showDisappearance(std::int64_t reading)
{
    m_vanished = true;
    m_vanishReading = reading;
    const double light = m_fade.edge(reading);
    if (m_fade.duration() == 0) {
        m_image->eraseField();
        m_fadeLight = 0.0;
    } else {
        drawFrame(light, false);
    }
    schedule(reading);
}

void TrialConditions::showReturn(std::int64_t reading)
{
    if (m_conditions.bips)
        SecondPips::output().end(reading);
    // After the return, nothing is announced.
    endAnnouncement();
    const double light = m_fade.edge(reading);
    if (m_fade.duration() == 0) {
        m_image->eraseField();
        m_fadeLight = 0.0;
    }
    if (m_fade.duration() == 0 && m_conditions.eclat == 0 && m_conditions.scintillation == 0) {
        m_image->drawStar();
        m_fadeLight = 1.0;
    } else {
        drawFrame(light, true);
    }
    schedule(reading);
}

void TrialConditions::stop()
{
    m_playing = false;
    m_frames.stop();
    endAnnouncement();
    m_announced[0].reset();
    m_announced[1].reset();
    m_vanished = false;
    if (m_conditions.bips)
        SecondPips::output().stop();
}

bool TrialConditions::pipsSounded() const
{
    return !m_conditions.bips || SecondPips::output().sounded();
}

void TrialConditions::frame()
{
    const std::int64_t now = Clock::steadyNanoseconds();
    const std::optional<double> light = m_fade.frame(now);
    // Put on the screen now, the star's square alone.
    if (light && drawFrame(*light, m_fade.shown()))
        m_image->repaint(m_image->starRect());
    schedule(now);
}

bool TrialConditions::drawFrame(double fadeLight, bool shown)
{
    // While the star is out nothing is drawn, and the twinkle draws nothing.
    if (fadeLight <= 0.0 && m_fadeLight <= 0.0)
        return false;
    m_fadeLight = fadeLight;
    const double factor = fadeLight > 0.0 ? m_twinkle.nextFactor() : 1.0;
    m_image->drawStarFrame(
        Conditions::srgbLevel(Conditions::eclatLight(m_conditions.eclat) * fadeLight * factor),
        shown);
    return true;
}

void TrialConditions::schedule(std::int64_t now)
{
    // Frames run while the star twinkles in sight and through each fade;
    // otherwise the next fade's start wakes them, or nothing does. Where
    // the field cannot be seen the twinkle waits until it can.
    std::optional<std::int64_t> next = m_fade.nextChange(now);
    if (m_twinkle.sigma() > 0.0 && m_fadeLight > 0.0 && inSight())
        next = now;
    if (!next) {
        m_frames.stop();
        return;
    }
    const std::int64_t wait = (*next - now + 999'999) / 1'000'000;
    m_frames.start(wait <= 0 ? frameInterval() : int(std::min<std::int64_t>(wait, frameInterval())));
}

void TrialConditions::showAnnouncement()
{
    const std::int64_t sinceStartMs = (Clock::steadyNanoseconds() - m_startReading) / 1'000'000;
    const int next = m_vanished ? 1 : 0;
    const Conditions::AnnouncementFigures figures =
        Conditions::announcementFigures(sinceStartMs, m_vanished, m_announced[next]);
    m_image->showFigures(figures.elapsed, figures.predicted);
    m_spoken = figures.spoken;
    // Woken at the next whole second since the start.
    m_seconds.start(int(1000 - sinceStartMs % 1000));
}

void TrialConditions::endAnnouncement()
{
    m_seconds.stop();
    m_spoken.clear();
    m_image->showFigures(QString(), QString());
}
