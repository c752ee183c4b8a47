// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/form.h"
#include "reactions/charts.h"
#include "reactions/history.h"
#include "reactions/tops.h"
#include "ui_unit5.h"

#include <memory>
#include <vector>

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

    /// Writes the grids' header cells, names the charts' places and reads the
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

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showFigures();
    void showEarlierRuns();
    void showThisRun(const Reactions::EdgeFigures (&figures)[2]);
    void showProgress();
    void showTrialsChart(const Reactions::EdgeFigures (&figures)[2]);
    void chartEarlierRuns();
    void chartThisRun(const Reactions::EdgeFigures (&figures)[2]);

    std::vector<Reactions::TrialReactions> m_trials;
    /// This run's start, the log's other runs as read at start-up, newest
    /// first, and how many of them are newer than this one.
    std::int64_t m_runStartUtcSeconds = 0;
    std::vector<Reactions::RunFigures> m_earlierRuns;
    int m_newerRuns = 0;
    /// The earlier runs' means in the "Séances" chart, by edge; this run's
    /// place across, and where its mean goes among each edge's points.
    QList<QPointF> m_earlierMeans[2];
    int m_runPlace = 0;
    int m_runMeanIndex[2] = {};
    double m_earlierLow = 0.0;
    double m_earlierHigh = 0.0;
    /// Trials came since the runs and the charts were last shown.
    bool m_progressStale = true;

    /// Built when the window is first shown; none if they could not be.
    std::unique_ptr<Reactions::Charts> m_charts;
    bool m_shownOnce = false;
};

extern TForm5 *Form5;
