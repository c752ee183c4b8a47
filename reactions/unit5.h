// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/form.h"
#include "reactions/tops.h"
#include "ui_unit5.h"

#include <vector>

class QLineSeries;
class QScatterSeries;
class QValueAxis;

/// The personal-equation window: the run's reaction times at the
/// disappearance and at the reappearance, as figures in a small grid, the
/// early tops, what the difference does to a timed duration, and a chart of
/// every trial's two reaction times.
class TForm5 : public Form
{
    Q_OBJECT

public:
    TForm5();

    Ui::TForm5 ui;

    /// Writes the grid's header cells and sets up the chart.
    void FormCreate(QObject *Sender);
    void Button1Click(QObject *Sender);

    /// Adds a trial whose tops are complete to the run's figures, and shows
    /// them.
    void addTrial(const Reactions::TrialReactions &trial);
    const std::vector<Reactions::TrialReactions> &trials() const { return m_trials; }

private:
    void showFigures();

    std::vector<Reactions::TrialReactions> m_trials;
    std::int32_t m_earlyTops = 0;
    QScatterSeries *m_points[2] = {};
    QLineSeries *m_means[2] = {};
    QValueAxis *m_trialAxis = nullptr;
    QValueAxis *m_secondsAxis = nullptr;
};

extern TForm5 *Form5;
