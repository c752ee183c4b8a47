// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "reactions/unit5.h"

#include "app/common.h"
#include "app/presentation.h"
#include "main_window/unit1.h"
#include "reactions/figures.h"
#include "reactions/reactionslog.h"

#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>

#include <algorithm>
#include <cmath>

using Reactions::Edge;
using Reactions::EdgeFigures;
using Reactions::edgeName;
using Reactions::RunFigures;

TForm5 *Form5 = nullptr;

namespace {

// Below this difference of the mean reactions, durations are said to be
// neither lengthened nor shortened: it does not show in two decimals.
constexpr double NoticeableShift = 0.005;

const Edge Edges[] = {Edge::Disappearance, Edge::Reappearance};

// A label shown with its text, and out of the way (and of the tab chain)
// without one.
void showText(QLabel *label, const QString &text)
{
    setLabelText(label, text);
    label->setVisible(!text.isEmpty());
}

// A run's start as the user's clock showed it.
QString localText(std::int64_t utcSeconds)
{
    return QDateTime::fromSecsSinceEpoch(utcSeconds, Qt::LocalTime)
        .toString(QStringLiteral("dd/MM/yyyy HH:mm"));
}

QString secondsText(double seconds)
{
    return SecondsText(seconds).trimmed() + QStringLiteral(" s");
}

// This run's trials, its start, the log's other runs as read at start-up,
// newest first, and how many of them are newer than this one.
struct RunRecord
{
    std::vector<Reactions::TrialReactions> trials;
    std::int64_t startUtcSeconds = 0;
    std::vector<RunFigures> earlierRuns;
    int newerRuns = 0;
    int unreadableLines = 0;
};

RunRecord thisRun;

} // namespace

void readEarlierReactions()
{
    // The log is read once: the runs it holds do not change during this
    // one, whose lines the window has from its own trials.
    thisRun = RunRecord();
    thisRun.startUtcSeconds = Form1 ? Form1->runStartUtc() / 1000 : 0;
    const Reactions::History history =
        Reactions::readHistory(QString::fromLatin1(ReactionsLog::FileName));
    thisRun.unreadableLines = history.unreadableLines;
    thisRun.earlierRuns = Reactions::earlierRuns(history, thisRun.startUtcSeconds);
    // This run goes after the runs newer than it: it is the newest unless
    // the clock was set back.
    thisRun.newerRuns =
        int(std::count_if(thisRun.earlierRuns.begin(), thisRun.earlierRuns.end(),
                           [](const RunFigures &earlier) {
                               return earlier.startUtcSeconds > thisRun.startUtcSeconds;
                           }));
    if (Form1 && !thisRun.earlierRuns.empty())
        Form1->ui.ButtonReactions->setVisible(true);
}

void addReactionTrial(const Reactions::TrialReactions &trial)
{
    thisRun.trials.push_back(trial);
    if (Form5)
        Form5->trialAdded();
}

const std::vector<Reactions::TrialReactions> &reactionTrials()
{
    return thisRun.trials;
}

TForm5 *reactionsWindow()
{
    return Form5 ? Form5 : buildWindow(Form5);
}

TForm5::TForm5()
{
    Form5 = this;
    ui.setupUi(contents());
    finishBuild();
    bind(ui.Button1, &QPushButton::clicked, &TForm5::Button1Click);
    bind(ui.ButtonCopy, &QPushButton::clicked, &TForm5::ButtonCopyClick);

    runGuarded([this] { FormCreate(this); });
}

void TForm5::FormCreate(QObject *)
{
    StringGrid *grid = ui.StringGrid1;
    const char *const columns[] = {"Moy.", "Méd.", "Sigma", "Min.", "Max.", "Nb."};
    for (int column = 1; column <= 6; ++column)
        grid->setCell(column, 0, QString::fromUtf8(columns[column - 1]));
    grid->setCell(0, 1, edgeName(0));
    grid->setCell(0, 2, edgeName(1));
    grid->fitColumnToTexts(0);

    StringGrid *runs = ui.StringGrid2;
    const char *const runColumns[] = {"Séance", "Disparition", "Réapparition", "Nb."};
    for (int column = 0; column < 4; ++column)
        runs->setCell(column, 0, QString::fromUtf8(runColumns[column]));
    ui.Chart1->setAccessibleName(QStringLiteral("Temps de réaction par essai"));
    ui.Chart2->setAccessibleName(QStringLiteral("Temps de réaction moyens par séance"));

    const int unreadable = thisRun.unreadableLines;
    showText(ui.LabelUnreadable,
             unreadable == 0   ? QString()
             : unreadable == 1 ? QStringLiteral("1 ligne illisible")
                               : QStringLiteral("%1 lignes illisibles").arg(CountText(unreadable)));
    showFigures();
}

void TForm5::Button1Click(QObject *)
{
    Form5->hideForm();
}

void TForm5::ButtonCopyClick(QObject *)
{
    QGuiApplication::clipboard()->setText(ui.LabelReport->text());
}

void TForm5::trialAdded()
{
    showFigures();
}

void TForm5::showEvent(QShowEvent *event)
{
    Form::showEvent(event);
    if (m_progressStale)
        runGuarded([this] { showProgress(); });
}

void TForm5::showFigures()
{
    StringGrid *grid = ui.StringGrid1;
    EdgeFigures figures[2];
    for (int edge = 0; edge < 2; ++edge) {
        const EdgeFigures &f = figures[edge] =
            Reactions::edgeFigures(thisRun.trials, Edges[edge]);
        const int row = edge + 1;
        grid->setCell(1, row, f.count > 0 ? SecondsText(f.mean) : QString());
        grid->setCell(2, row, f.count > 0 ? SecondsText(f.median) : QString());
        grid->setCell(3, row, f.count > 1 ? SecondsText(f.deviation) : QString());
        grid->setCell(4, row, f.count > 0 ? SecondsText(f.minimum) : QString());
        grid->setCell(5, row, f.count > 0 ? SecondsText(f.maximum) : QString());
        grid->setCell(6, row, CountText(f.count));
    }
    setLabelText(ui.LabelAnticipations, Reactions::anticipationsText(thisRun.trials));

    QString effect;
    if (figures[0].count > 0 && figures[1].count > 0) {
        // A timed duration runs from the disappearance top to the
        // reappearance top: it carries the reappearance reaction and loses
        // the disappearance one.
        const double shift = figures[1].mean - figures[0].mean;
        if (std::fabs(shift) < NoticeableShift)
            effect = QStringLiteral("Vos durées ne sont ni allongées ni raccourcies.");
        else
            effect = QStringLiteral("Vos durées sont %1 de %2 s.")
                         .arg(shift > 0 ? QStringLiteral("allongées") : QStringLiteral("raccourcies"),
                              SecondsText(std::fabs(shift)).trimmed());
    }
    showText(ui.LabelEffect, effect);
    const QString report = Reactions::reportLine(figures[0], figures[1]);
    showText(ui.LabelReport, report);
    ui.ButtonCopy->setVisible(!report.isEmpty());
    std::vector<Conditions::ObservingConditions> conditions;
    for (const Reactions::TrialReactions &trial : thisRun.trials)
        conditions.push_back(trial.conditions);
    showText(ui.LabelConditions, Conditions::describe(conditions));

    // The runs and the charts, redrawn with every trial, would cost the
    // main window time at each trial's end: they follow while the window
    // is shown, and catch up when it is shown again.
    m_progressStale = true;
    if (isVisible())
        showProgress();
}

void TForm5::showEarlierRuns()
{
    StringGrid *grid = ui.StringGrid2;
    const int count = int(thisRun.earlierRuns.size());
    grid->setRowCount(count + 1);
    for (int i = 0; i < count; ++i) {
        const RunFigures &earlier = thisRun.earlierRuns[std::size_t(i)];
        const int row = i + 1;
        grid->setCell(0, row, localText(earlier.startUtcSeconds));
        grid->setCell(1, row, earlier.disappearanceCount > 0
                                  ? SecondsText(earlier.disappearanceMean)
                                  : QString());
        grid->setCell(2, row, earlier.reappearanceCount > 0
                                  ? SecondsText(earlier.reappearanceMean)
                                  : QString());
        grid->setCell(3, row, CountText(earlier.trials));
    }
    for (int column = 0; column < grid->columnCount(); ++column)
        grid->fitColumnToTexts(column);
}

void TForm5::showThisRun(const EdgeFigures (&figures)[2])
{
    StringGrid *grid = ui.StringGrid2;
    const int row = thisRun.newerRuns + 1;
    if (grid->rowCount() == int(thisRun.earlierRuns.size()) + 1) {
        grid->insertRow(row);
        grid->setCell(0, row, localText(thisRun.startUtcSeconds));
        grid->fitColumnToTexts(0);
    }
    grid->setCell(1, row, figures[0].count > 0 ? SecondsText(figures[0].mean) : QString());
    grid->setCell(2, row, figures[1].count > 0 ? SecondsText(figures[1].mean) : QString());
    grid->setCell(3, row, CountText(std::int32_t(thisRun.trials.size())));
}

void TForm5::showProgress()
{
    m_progressStale = false;
    const bool firstShowing = !m_shownOnce;
    if (firstShowing) {
        m_shownOnce = true;
        showEarlierRuns();
        chartEarlierRuns();
    }
    EdgeFigures figures[2];
    for (int edge = 0; edge < 2; ++edge)
        figures[edge] = Reactions::edgeFigures(thisRun.trials, Edges[edge]);
    if (!thisRun.trials.empty())
        showThisRun(figures);
    showTrialsChart(figures);
    chartThisRun(figures);
    if (firstShowing) {
        // Nothing of the charts is seen before the window is: they, and the
        // library that draws them, come when it is first shown, after the
        // figures, which show whether or not the charts can.
        m_charts = Reactions::loadCharts(ui.Chart1, ui.Chart2);
        showTrialsChart(figures);
        chartThisRun(figures);
    }
}

void TForm5::showTrialsChart(const EdgeFigures (&figures)[2])
{
    // Every trial's two reactions, each edge's mean as a line across the
    // run's trials, and the trials with anticipations on that line.
    double low = HUGE_VAL;
    double high = -HUGE_VAL;
    Reactions::EdgeChart edges[2];
    for (int edge = 0; edge < 2; ++edge) {
        for (const Reactions::TrialReactions &trial : thisRun.trials) {
            if (const std::optional<double> &reaction = trial.reaction(Edges[edge]))
                edges[edge].reactions.append(QPointF(trial.trial, *reaction));
            if (trial.anticipations(Edges[edge]) > 0)
                edges[edge].anticipatedTrials.append(trial.trial);
        }
        if (figures[edge].count > 0) {
            edges[edge].meanSeconds = figures[edge].mean;
            low = std::min(low, figures[edge].minimum);
            high = std::max(high, figures[edge].maximum);
        }
    }
    const int first = thisRun.trials.empty() ? 1 : thisRun.trials.front().trial;
    const int last = thisRun.trials.empty() ? 1 : thisRun.trials.back().trial;
    if (m_charts)
        m_charts->showTrials(edges, first, last, low, high);

    QString description = thisRun.trials.empty() ? QStringLiteral("Aucun essai.")
                          : first == last
                              ? QStringLiteral("Essai %1.").arg(first)
                              : QStringLiteral("Essais %1 à %2.").arg(first).arg(last);
    for (int edge = 0; edge < 2; ++edge) {
        description += QLatin1Char(' ') + edgeName(edge) + QStringLiteral(" : ");
        description += figures[edge].count == 0
                           ? QStringLiteral("aucun temps.")
                           : QStringLiteral("%1 temps, moyenne %2.")
                                 .arg(CountText(figures[edge].count),
                                      secondsText(figures[edge].mean));
    }
    ui.Chart1->setAccessibleDescription(description);
}

void TForm5::chartEarlierRuns()
{
    // The chart runs from the oldest run to the newest, this one's place
    // kept free for it.
    const int count = int(thisRun.earlierRuns.size());
    m_runPlace = count - thisRun.newerRuns + 1;
    m_earlierLow = HUGE_VAL;
    m_earlierHigh = -HUGE_VAL;
    for (int edge = 0; edge < 2; ++edge) {
        QList<QPointF> &points = m_earlierMeans[edge];
        m_runMeanIndex[edge] = -1;
        for (int i = count - 1; i >= 0; --i) {
            const RunFigures &earlier = thisRun.earlierRuns[std::size_t(i)];
            if (i < thisRun.newerRuns && m_runMeanIndex[edge] < 0)
                m_runMeanIndex[edge] = int(points.size());
            if ((edge == 0 ? earlier.disappearanceCount : earlier.reappearanceCount) == 0)
                continue;
            const double mean = edge == 0 ? earlier.disappearanceMean : earlier.reappearanceMean;
            points.append(QPointF(count - i + (i < thisRun.newerRuns ? 1 : 0), mean));
            m_earlierLow = std::min(m_earlierLow, mean);
            m_earlierHigh = std::max(m_earlierHigh, mean);
        }
        if (m_runMeanIndex[edge] < 0)
            m_runMeanIndex[edge] = int(points.size());
    }
}

void TForm5::chartThisRun(const EdgeFigures (&figures)[2])
{
    double low = m_earlierLow;
    double high = m_earlierHigh;
    QList<QPointF> means[2] = {m_earlierMeans[0], m_earlierMeans[1]};
    for (int edge = 0; edge < 2; ++edge) {
        if (figures[edge].count == 0)
            continue;
        means[edge].insert(m_runMeanIndex[edge], QPointF(m_runPlace, figures[edge].mean));
        low = std::min(low, figures[edge].mean);
        high = std::max(high, figures[edge].mean);
    }
    if (m_charts)
        m_charts->showRuns(means, int(thisRun.earlierRuns.size()) + 1, low, high);

    const int runs = ui.StringGrid2->rowCount() - 1;
    QString description =
        runs == 0   ? QStringLiteral("Aucune séance.")
        : runs == 1 ? QStringLiteral("1 séance.")
                    : QStringLiteral("%1 séances, de la plus ancienne à la plus récente.")
                          .arg(CountText(runs));
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
    ui.Chart2->setAccessibleDescription(description);
}
