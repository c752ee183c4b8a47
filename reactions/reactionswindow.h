// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/form.h"
#include "reactions/charts.h"
#include "reactions/figures.h"
#include "reactions/run.h"
#include "ui_reactionswindow.h"

#include <cstddef>
#include <memory>
#include <optional>
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

    /// The user picks a set of conditions: the figures become its own.
    void conditionsPicked(QObject *sender);

    /// The run's sets of conditions, and the chosen one's trials.
    void chooseSet();
    /// Shows the choice of conditions above the table where the run has
    /// more than one set; without it, the page's controls take its room.
    void showChoice(bool shown);
    void showFigures();
    void showEarlierRuns();
    void showThisRun();
    void showProgress();
    void showTrialsChart(const Reactions::EdgeFigures (&figures)[2]);
    void showRunsChart(const Reactions::EdgeFigures (&figures)[2]);
    /// The conditions the runs' chart is of: the chosen set's, or without
    /// trials the newest earlier run's; none without either.
    std::optional<Conditions::ObservingConditions> chartedConditions() const;

    const Reactions::Run &m_run;
    /// The run's sets of conditions, the latest first, and which one the
    /// figures are of.
    std::vector<Reactions::ConditionSet> m_sets;
    std::size_t m_chosen = 0;
    /// The set the user picked, kept while the run has it.
    std::optional<Conditions::ObservingConditions> m_picked;
    /// The chosen set's trials.
    std::vector<Reactions::TrialReactions> m_chosenTrials;
    /// Whether the choice takes its room above the table, and how far the
    /// controls below it move when it does not.
    bool m_choiceShown = true;
    int m_choiceRoom = 0;
    /// This run's rows in the runs table.
    int m_thisRunRows = 0;
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
