// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "reactions/reactionswindow.h"

#include "app/common.h"
#include "app/presentation.h"
#include "reactions/figures.h"

#include <QClipboard>
#include <QComboBox>
#include <QSignalBlocker>
#include <QDateTime>
#include <QGuiApplication>

#include <algorithm>
#include <cmath>

using Reactions::Edge;
using Reactions::EdgeFigures;
using Reactions::edgeName;
using Reactions::RunFigures;

namespace {

const Edge Edges[] = {Edge::Disappearance, Edge::Reappearance};

// The newest earlier runs that the table and the chart show: a log of
// years would otherwise take seconds to show, for rows no one scrolls to.
constexpr int MaxRunsShown = 500;

// The newest earlier runs shown, newest first.
std::vector<RunFigures> shownRuns(const std::vector<RunFigures> &runs)
{
    return {runs.begin(), runs.begin() + std::min<std::ptrdiff_t>(runs.size(), MaxRunsShown)};
}

// A label shown with its text, and out of the way (and of the tab chain)
// without one.
void showText(QLabel *label, const QString &text)
{
    setLabelText(label, text);
    label->setVisible(!text.isEmpty());
}

// A run's start in UTC, as the log and the report line give it.
QString utcText(std::int64_t utcSeconds)
{
    return QDateTime::fromSecsSinceEpoch(utcSeconds, Qt::UTC)
        .toString(QStringLiteral("dd/MM/yyyy HH:mm"));
}

QString secondsText(double seconds)
{
    return SecondsText(seconds).trimmed() + QStringLiteral(" s");
}

} // namespace

ReactionsWindow::ReactionsWindow(const Reactions::Run &run)
    : m_run(run)
{
    ui.setupUi(contents());
    finishBuild();
    bind(ui.okButton, &QPushButton::clicked, &ReactionsWindow::okClicked);
    bind(ui.copyButton, &QPushButton::clicked, &ReactionsWindow::copyClicked);
    bind(ui.conditionsChoice, &QComboBox::activated, &ReactionsWindow::conditionsPicked);
    connect(&run, &Reactions::Run::trialAdded, this,
            [this] { runGuarded([this] { showFigures(); }); });
    // Read aside at start-up, the earlier runs may come after the window.
    connect(&run, &Reactions::Run::earlierRunsRead, this, [this] {
        runGuarded([this] {
            m_earlierShown = false;
            showLogState();
            showFigures();
        });
    });

    // The room the choice takes above the table, as the layout is scaled.
    m_choiceRoom = ui.figuresTable->y() - ui.conditionsChoice->y();
    runGuarded([this] {
        writeHeaders();
        showLogState();
        showFigures();
    });
}

void ReactionsWindow::writeHeaders()
{
    StringGrid *grid = ui.figuresTable;
    const char *const columns[] = {"Moy.", "Méd.", "Sigma", "Err. moy.", "Min.", "Max.", "Nb."};
    for (int column = 1; column <= 7; ++column)
        grid->setCell(column, 0, QString::fromUtf8(columns[column - 1]));
    grid->setCell(0, 1, edgeName(0));
    grid->setCell(0, 2, edgeName(1));
    for (int column = 0; column <= 7; ++column)
        grid->fitColumnToTexts(column);

    StringGrid *runs = ui.runsTable;
    const char *const runColumns[] = {"Séance (TU)", "Disparition", "Réapparition", "Nb."};
    for (int column = 0; column < 4; ++column)
        runs->setCell(column, 0, QString::fromUtf8(runColumns[column]));
    runs->setCell(4, 0, Conditions::columnHeader());
    ui.trialsChart->setAccessibleName(QStringLiteral("Temps de réaction par essai"));
    ui.runsChart->setAccessibleName(QStringLiteral("Temps de réaction moyens par séance"));

}

void ReactionsWindow::showLogState()
{
    const int unreadable = m_run.unreadableLines();
    QStringList state;
    // Which file and where: the line number counts in the whole log only
    // where all of it was read.
    const QString where = m_run.olderLeftOut()
                              ? QString()
                              : QString::number(m_run.firstUnreadableLine());
    if (unreadable == 1)
        state << (where.isEmpty() ? QStringLiteral("reactions.csv : 1 ligne illisible, mise de côté")
                                  : QStringLiteral("reactions.csv : ligne %1 illisible, mise de côté")
                                        .arg(where));
    else if (unreadable > 1)
        state << QStringLiteral("reactions.csv : %1 lignes illisibles%2, mises de côté")
                     .arg(CountText(unreadable),
                          where.isEmpty() ? QString()
                                          : QStringLiteral(" (la première ligne %1)").arg(where));
    if (m_run.olderLeftOut())
        state << QStringLiteral("Les séances les plus anciennes ne sont pas lues");
    const int runs = int(m_run.earlierRuns().size());
    if (runs > MaxRunsShown)
        state << QStringLiteral("%1 séances plus anciennes non montrées")
                     .arg(CountText(runs - MaxRunsShown));
    showText(ui.unreadableLabel, state.join(QStringLiteral(" ; ")));
}

void ReactionsWindow::okClicked(QObject *)
{
    hideForm();
}

void ReactionsWindow::copyClicked(QObject *)
{
    QGuiApplication::clipboard()->setText(ui.reportLabel->text());
}

void ReactionsWindow::conditionsPicked(QObject *)
{
    const int index = ui.conditionsChoice->currentIndex();
    if (index < 0 || std::size_t(index) >= m_sets.size())
        return;
    m_picked = m_sets[std::size_t(index)].conditions;
    showFigures();
}

void ReactionsWindow::showChoice(bool shown)
{
    if (shown == m_choiceShown)
        return;
    m_choiceShown = shown;
    ui.choiceLabel->setVisible(shown);
    ui.conditionsChoice->setVisible(shown);
    // The controls below the choice move up into its room, and the chart
    // grows by as much.
    const int move = shown ? m_choiceRoom : -m_choiceRoom;
    const QList<QWidget *> controls =
        ui.thisRunPage->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget *control : controls) {
        if (control == ui.choiceLabel || control == ui.conditionsChoice)
            continue;
        if (control == ui.trialsChart)
            control->setGeometry(control->x(), control->y() + move, control->width(),
                                 control->height() - move);
        else
            control->move(control->x(), control->y() + move);
    }
}

void ReactionsWindow::chooseSet()
{
    m_sets = Reactions::conditionSets(m_run.trials());
    m_chosen = Reactions::chosenSet(m_sets, m_picked);
    m_chosenTrials = m_sets.empty()
                         ? std::vector<Reactions::TrialReactions>()
                         : Reactions::trialsUnder(m_run.trials(), m_sets[m_chosen].conditions);
    QComboBox *choice = ui.conditionsChoice;
    const QSignalBlocker blocked(choice);
    choice->clear();
    if (m_sets.size() > 1) {
        for (const Reactions::ConditionSet &set : m_sets)
            choice->addItem(Reactions::choiceText(set));
        choice->setCurrentIndex(int(m_chosen));
    }
    showChoice(m_sets.size() > 1);
}

std::optional<Conditions::ObservingConditions> ReactionsWindow::chartedConditions() const
{
    if (!m_sets.empty())
        return m_sets[m_chosen].conditions;
    if (!m_run.earlierRuns().empty())
        return m_run.earlierRuns().front().conditions;
    return std::nullopt;
}

void ReactionsWindow::showEvent(QShowEvent *event)
{
    Form::showEvent(event);
    if (m_progressStale)
        runGuarded([this] { showProgress(); });
}

void ReactionsWindow::showFigures()
{
    chooseSet();
    StringGrid *grid = ui.figuresTable;
    EdgeFigures figures[2];
    for (int edge = 0; edge < 2; ++edge) {
        const EdgeFigures &f = figures[edge] = Reactions::edgeFigures(m_chosenTrials, Edges[edge]);
        const std::optional<double> error = Reactions::standardError(f);
        const int row = edge + 1;
        grid->setCell(1, row, f.count > 0 ? SecondsText(f.mean) : QString());
        grid->setCell(2, row, f.count > 0 ? SecondsText(f.median) : QString());
        grid->setCell(3, row, f.count > 1 ? SecondsText(f.deviation) : QString());
        grid->setCell(4, row, error ? SecondsText(*error) : QString());
        grid->setCell(5, row, f.count > 0 ? SecondsText(f.minimum) : QString());
        grid->setCell(6, row, f.count > 0 ? SecondsText(f.maximum) : QString());
        grid->setCell(7, row, CountText(f.count));
    }
    setLabelText(ui.anticipationsLabel, Reactions::anticipationsText(m_chosenTrials));
    showText(ui.settlingLabel, Reactions::settlingText(figures[0], figures[1]));

    showText(ui.effectLabel, Reactions::durationEffect(figures[0], figures[1]));
    showText(ui.announcementLabel, Reactions::announcementSentence(m_chosenTrials));
    const QString report = m_sets.empty()
                               ? QString()
                               : Reactions::reportLine(figures[0], figures[1],
                                                       m_sets[m_chosen].conditions,
                                                       m_run.startUtcSeconds());
    showText(ui.reportLabel, report);
    ui.copyButton->setVisible(!report.isEmpty());
    // The conditions of the figures and of the runs' chart, under both
    // tabs.
    const std::optional<Conditions::ObservingConditions> charted = chartedConditions();
    showText(ui.conditionsLabel, charted ? QStringLiteral("Conditions : ")
                                               + Conditions::reportText(*charted)
                                         : QString());

    // The runs and the charts, redrawn with every trial, would cost the
    // main window time at each trial's end: they follow while the window
    // is shown, and catch up when it is shown again.
    m_progressStale = true;
    if (isVisible())
        showProgress();
}

void ReactionsWindow::showEarlierRuns()
{
    StringGrid *grid = ui.runsTable;
    const std::vector<RunFigures> runs = shownRuns(m_run.earlierRuns());
    const int count = int(runs.size());
    grid->setRowCount(count + 1);
    m_thisRunRows = 0;
    for (int i = 0; i < count; ++i) {
        const RunFigures &earlier = runs[std::size_t(i)];
        const int row = i + 1;
        grid->setCell(0, row, utcText(earlier.startUtcSeconds));
        grid->setCell(1, row, earlier.disappearanceCount > 0
                                  ? SecondsText(earlier.disappearanceMean)
                                  : QString());
        grid->setCell(2, row, earlier.reappearanceCount > 0
                                  ? SecondsText(earlier.reappearanceMean)
                                  : QString());
        grid->setCell(3, row, CountText(earlier.trials));
        grid->setCell(4, row, Conditions::columnText(earlier.conditions));
    }
    for (int column = 0; column < grid->columnCount(); ++column)
        grid->fitColumnToTexts(column);
}

void ReactionsWindow::showThisRun()
{
    // This run's rows, one per set of conditions, in its place among the
    // earlier runs: those shown before make room for those of now.
    StringGrid *grid = ui.runsTable;
    const int shown = std::min(int(m_run.earlierRuns().size()), MaxRunsShown);
    const int first = std::min(m_run.newerRuns(), shown) + 1;
    const std::vector<RunFigures> rows =
        Reactions::currentRuns(m_run.trials(), m_run.startUtcSeconds());
    for (; m_thisRunRows > int(rows.size()); --m_thisRunRows)
        grid->removeRow(first);
    for (; m_thisRunRows < int(rows.size()); ++m_thisRunRows)
        grid->insertRow(first);
    for (int i = 0; i < int(rows.size()); ++i) {
        const RunFigures &run = rows[std::size_t(i)];
        const int row = first + i;
        grid->setCell(0, row, utcText(run.startUtcSeconds));
        grid->setCell(1, row, run.disappearanceCount > 0 ? SecondsText(run.disappearanceMean)
                                                         : QString());
        grid->setCell(2, row, run.reappearanceCount > 0 ? SecondsText(run.reappearanceMean)
                                                        : QString());
        grid->setCell(3, row, CountText(run.trials));
        grid->setCell(4, row, Conditions::columnText(run.conditions));
    }
    grid->fitColumnToTexts(0);
    grid->fitColumnToTexts(4);
}

void ReactionsWindow::showProgress()
{
    m_progressStale = false;
    const bool firstShowing = !m_shownOnce;
    m_shownOnce = true;
    if (!m_earlierShown) {
        m_earlierShown = true;
        showEarlierRuns();
    }
    EdgeFigures figures[2];
    for (int edge = 0; edge < 2; ++edge)
        figures[edge] = Reactions::edgeFigures(m_chosenTrials, Edges[edge]);
    showThisRun();
    showTrialsChart(figures);
    showRunsChart(figures);
    if (firstShowing) {
        // Nothing of the charts is seen before the window is: they, and the
        // library that draws them, come when it is first shown, after the
        // figures, which show whether or not the charts can.
        m_charts = Reactions::loadCharts(ui.trialsChart, ui.runsChart);
        showTrialsChart(figures);
        showRunsChart(figures);
    }
}

void ReactionsWindow::showTrialsChart(const EdgeFigures (&figures)[2])
{
    // The chosen set's reactions, each edge's running mean as a line
    // across them, and its trials with anticipations on that line; the
    // trials under other conditions in grey.
    double low = HUGE_VAL;
    double high = -HUGE_VAL;
    Reactions::EdgeChart edges[2];
    QList<QPointF> others;
    for (int edge = 0; edge < 2; ++edge) {
        edges[edge].means = Reactions::runningMeans(m_chosenTrials, Edges[edge]);
        const QList<QPointF> &means = edges[edge].means;
        for (const Reactions::TrialReactions &trial : m_run.trials()) {
            const std::optional<double> &reaction = trial.reaction(Edges[edge]);
            const bool chosen = !m_sets.empty() && trial.conditions == m_sets[m_chosen].conditions;
            if (reaction) {
                (chosen ? edges[edge].reactions : others).append(QPointF(trial.trial, *reaction));
                low = std::min(low, *reaction);
                high = std::max(high, *reaction);
            }
            if (!chosen || trial.anticipations(Edges[edge]) == 0)
                continue;
            // On the mean as it stood at the trial (its first value before
            // any): none without a mean, and the chart's bottom stands for it.
            std::optional<double> level;
            for (const QPointF &mean : means) {
                if (level && mean.x() > trial.trial)
                    break;
                level = mean.y();
            }
            edges[edge].anticipated.append(QPointF(trial.trial, level.value_or(qQNaN())));
        }
    }
    const int first = m_run.trials().empty() ? 1 : m_run.trials().front().trial;
    const int last = m_run.trials().empty() ? 1 : m_run.trials().back().trial;
    if (m_charts)
        m_charts->showTrials(edges, others, first, last, low, high);

    QString description = m_chosenTrials.empty() ? QStringLiteral("Aucun essai.")
                          : m_chosenTrials.size() == 1
                              ? QStringLiteral("Essai %1.").arg(m_chosenTrials.front().trial)
                              : QStringLiteral("Essais %1 à %2.")
                                    .arg(m_chosenTrials.front().trial)
                                    .arg(m_chosenTrials.back().trial);
    for (int edge = 0; edge < 2; ++edge) {
        description += QLatin1Char(' ') + edgeName(edge) + QStringLiteral(" : ");
        description += figures[edge].count == 0
                           ? QStringLiteral("aucun temps.")
                           : QStringLiteral("%1 temps, moyenne %2.")
                                 .arg(CountText(figures[edge].count),
                                      secondsText(figures[edge].mean));
    }
    const std::size_t otherTrials = m_run.trials().size() - m_chosenTrials.size();
    if (otherTrials > 0)
        description += QStringLiteral(" %1 %2 en gris.")
                           .arg(CountText(std::int32_t(otherTrials)),
                                otherTrials > 1 ? QStringLiteral("autres essais")
                                           : QStringLiteral("autre essai"));
    ui.trialsChart->setAccessibleDescription(description);
}

void ReactionsWindow::showRunsChart(const EdgeFigures (&figures)[2])
{
    // The chart runs from the oldest run to the newest, this one in its
    // place; only the runs under the conditions charted, so that no line
    // joins runs made under others.
    const std::optional<Conditions::ObservingConditions> conditions = chartedConditions();
    const std::vector<RunFigures> runs =
        conditions ? Reactions::runsUnder(shownRuns(m_run.earlierRuns()), *conditions)
                   : std::vector<RunFigures>();
    const int newer = Reactions::newerRunCount(runs, m_run.startUtcSeconds());
    double low = HUGE_VAL;
    double high = -HUGE_VAL;
    QList<QPointF> means[2];
    for (int edge = 0; edge < 2; ++edge) {
        means[edge] = Reactions::runMeans(
            runs, newer, Edges[edge],
            figures[edge].count > 0 ? std::optional<double>(figures[edge].mean) : std::nullopt);
        for (const QPointF &point : means[edge]) {
            low = std::min(low, point.y());
            high = std::max(high, point.y());
        }
    }
    // Drawn again only where a mean changed: with hundreds of runs, a
    // drawing holds up the window for tens of milliseconds.
    if (m_charts && (means[0] != m_chartedMeans[0] || means[1] != m_chartedMeans[1])) {
        m_charts->showRuns(means, int(runs.size()) + 1, low, high);
        m_chartedMeans[0] = means[0];
        m_chartedMeans[1] = means[1];
    }

    const int rows = int(runs.size()) + (m_chosenTrials.empty() ? 0 : 1);
    QString description =
        rows == 0   ? QStringLiteral("Aucune séance.")
        : rows == 1 ? QStringLiteral("1 séance.")
                    : QStringLiteral("%1 séances, de la plus ancienne à la plus récente.")
                          .arg(CountText(rows));
    for (int edge = 0; edge < 2; ++edge) {
        const QList<QPointF> &points = means[edge];
        description += QLatin1Char(' ') + edgeName(edge) + QStringLiteral(" : ");
        if (points.isEmpty())
            description += QStringLiteral("aucune moyenne.");
        else if (points.size() == 1)
            description += secondsText(points.front().y()) + QLatin1Char('.');
        else
            description += QStringLiteral("de %1 à %2.")
                               .arg(secondsText(points.front().y()),
                                    secondsText(points.back().y()));
    }
    if (conditions)
        description += QStringLiteral(" Conditions : %1.").arg(Conditions::reportText(*conditions));
    ui.runsChart->setAccessibleDescription(description);
}
