// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/form.h"
#include "reactions/charts.h"
#include "reactions/run.h"
#include "ui_reactionswindow.h"

#include <memory>
#include <vector>

/// The personal-equation window, in two tabs. "Cette séance": the run's
/// reaction times at the disappearance and at the reappearance, as figures
/// in a small grid, the anticipated tops, what the difference does to a
/// timed duration, a line to copy into a report, and a chart of every
/// trial's two reaction times. "Séances": the runs that the reactions log
/// holds, with this one, as a table and a chart of their means. It is built
/// when it is first wanted, and follows the run's trials from then on.
class ReactionsWindow : public Form
{
    Q_OBJECT

public:
    explicit ReactionsWindow(const Reactions::Run &run);

    Ui::ReactionsWindow ui;

protected:
    void showEvent(QShowEvent *event) override;

private:
    /// Writes the grids' header cells and names the charts.
    void writeHeaders();
    /// Says how many lines of the log could not be read, and whether older
    /// runs were left out.
    void showLogState();
    void okClicked(QObject *sender);
    /// Puts the report line on the clipboard.
    void copyClicked(QObject *sender);

    void showFigures();
    void showEarlierRuns();
    void showThisRun(const Reactions::EdgeFigures (&figures)[2]);
    void showProgress();
    void showTrialsChart(const Reactions::EdgeFigures (&figures)[2]);
    void showRunsChart(const Reactions::EdgeFigures (&figures)[2]);

    const Reactions::Run &m_run;
    /// Trials came since the runs and the charts were last shown.
    bool m_progressStale = true;
    /// The earlier runs are in the runs table.
    bool m_earlierShown = false;
    /// The runs' means as the chart last drew them.
    QList<QPointF> m_chartedMeans[2];

    /// Built when the window is first shown; none if they could not be.
    std::unique_ptr<Reactions::Charts> m_charts;
    bool m_shownOnce = false;
};
