// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/form.h"
#include "reactions/history.h"
#include "reactions/tops.h"
#include "ui_unit5.h"

#include <vector>

class QLineSeries;
class QScatterSeries;
class QValueAxis;

/// The personal-equation window: the run's reaction times at the
/// disappearance and at the reappearance, as figures in a small grid, the
/// anticipated tops, what the difference does to a timed duration, a line
/// to copy into a report, and a chart of every trial's two reaction times;
/// beside them, the runs that the reactions log holds, with this one, as a
/// table and a chart of their means.
class TForm5 : public Form
{
    Q_OBJECT

public:
    TForm5();

    Ui::TForm5 ui;

    /// Writes the grids' header cells, sets up the charts and reads the
    /// earlier runs from the reactions log; where it holds any, the main
    /// window's "Réactions..." button is shown.
    void FormCreate(QObject *Sender);
    void Button1Click(QObject *Sender);
    /// Puts the report line on the clipboard.
    void ButtonCopyClick(QObject *Sender);

    /// Adds a trial whose tops are complete to the run's figures, and shows
    /// them.
    void addTrial(const Reactions::TrialReactions &trial);
    const std::vector<Reactions::TrialReactions> &trials() const { return m_trials; }

private:
    void showFigures();
    void showTrialsChart(const Reactions::EdgeFigures (&figures)[2]);
    void showRuns(const Reactions::RunFigures &current);

    std::vector<Reactions::TrialReactions> m_trials;
    /// The runs read from the log at start-up, and this run's start.
    Reactions::History m_history;
    std::int64_t m_runStartUtcSeconds = 0;

    QScatterSeries *m_points[2] = {};
    QLineSeries *m_means[2] = {};
    QScatterSeries *m_anticipations[2] = {};
    QValueAxis *m_trialAxis = nullptr;
    QValueAxis *m_secondsAxis = nullptr;
    QLineSeries *m_runMeans[2] = {};
    QValueAxis *m_runAxis = nullptr;
    QValueAxis *m_runSecondsAxis = nullptr;
};

extern TForm5 *Form5;
