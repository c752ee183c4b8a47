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

/// Reads the runs that the reactions log holds, at start-up, once the main
/// window is built; where it holds any, its "Réactions..." button is shown.
void readEarlierReactions();

/// Adds a trial whose tops are complete to the run's figures; the window
/// shows them where it is built.
void addReactionTrial(const Reactions::TrialReactions &trial);

/// This run's trials whose tops are complete.
const std::vector<Reactions::TrialReactions> &reactionTrials();

/// The personal-equation window: the run's reaction times at the
/// disappearance and at the reappearance, as figures in a small grid, the
/// anticipated tops, what the difference does to a timed duration, a line
/// to copy into a report, and a chart of every trial's two reaction times;
/// beside them, the runs that the reactions log holds, with this one, as a
/// table and a chart of their means. It is built when it is first wanted.
class TForm5 : public Form
{
    Q_OBJECT

public:
    TForm5();

    Ui::TForm5 ui;

    /// Writes the grids' header cells, names the charts' places and shows
    /// the figures of the trials so far.
    void FormCreate(QObject *Sender);
    void Button1Click(QObject *Sender);
    /// Puts the report line on the clipboard.
    void ButtonCopyClick(QObject *Sender);

    /// Shows the figures with a trial that has just been added.
    void trialAdded();

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

/// Null until reactionsWindow() first builds the window.
extern TForm5 *Form5;
TForm5 *reactionsWindow();
