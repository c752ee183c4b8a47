// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "reactions/unit5.h"

#include "app/common.h"
#include "app/presentation.h"

#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>

using Reactions::Edge;
using Reactions::EdgeFigures;

TForm5 *Form5 = nullptr;

namespace {

// Below this difference of the mean reactions, durations are said to be
// neither lengthened nor shortened: it does not show in two decimals.
constexpr double NoticeableShift = 0.005;

// The row names need more room than the figures.
constexpr int NameColumnWidth = 80;

const Edge Edges[] = {Edge::Disappearance, Edge::Reappearance};

} // namespace

TForm5::TForm5()
{
    Form5 = this;
    ui.setupUi(contents());
    finishBuild();
    bind(ui.Button1, &QPushButton::clicked, &TForm5::Button1Click);

    runGuarded([this] { FormCreate(this); });
}

void TForm5::FormCreate(QObject *)
{
    StringGrid *grid = ui.StringGrid1;
    grid->setColumnWidth(0, NameColumnWidth);
    const char *const columns[] = {"Moy.", "Sigma", "Min.", "Max.", "Nb."};
    for (int column = 1; column <= 5; ++column)
        grid->setCell(column, 0, QString::fromUtf8(columns[column - 1]));
    grid->setCell(0, 1, QStringLiteral("Disparition"));
    grid->setCell(0, 2, QStringLiteral("Réapparition"));

    auto *chart = new QChart;
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->legend()->setAlignment(Qt::AlignBottom);
    m_trialAxis = new QValueAxis(chart);
    m_trialAxis->setTitleText(QStringLiteral("Essai"));
    m_trialAxis->setLabelFormat(QStringLiteral("%d"));
    m_trialAxis->setTickType(QValueAxis::TicksDynamic);
    m_trialAxis->setTickAnchor(0);
    m_secondsAxis = new QValueAxis(chart);
    m_secondsAxis->setTitleText(QStringLiteral("s"));
    m_secondsAxis->setLabelFormat(QStringLiteral("%.2f"));
    chart->addAxis(m_trialAxis, Qt::AlignBottom);
    chart->addAxis(m_secondsAxis, Qt::AlignLeft);

    const QString names[] = {QStringLiteral("Disparition"), QStringLiteral("Réapparition")};
    const QColor colours[] = {QColor(0x1f, 0x5f, 0xbf), QColor(0xd0, 0x60, 0x10)};
    for (int edge = 0; edge < 2; ++edge) {
        m_points[edge] = new QScatterSeries(chart);
        m_points[edge]->setName(names[edge]);
        m_points[edge]->setColor(colours[edge]);
        m_points[edge]->setBorderColor(colours[edge]);
        m_points[edge]->setMarkerSize(7);
        m_means[edge] = new QLineSeries(chart);
        m_means[edge]->setName(QStringLiteral("Moy. %1").arg(names[edge].toLower()));
        m_means[edge]->setPen(QPen(colours[edge], 1, Qt::DashLine));
        for (QXYSeries *series : {static_cast<QXYSeries *>(m_points[edge]),
                                  static_cast<QXYSeries *>(m_means[edge])}) {
            chart->addSeries(series);
            series->attachAxis(m_trialAxis);
            series->attachAxis(m_secondsAxis);
        }
    }
    // The view gives up the chart it was built with: it is ours to delete.
    QChart *const builtWith = ui.Chart1->chart();
    ui.Chart1->setChart(chart);
    delete builtWith;
    ui.Chart1->setRenderHint(QPainter::Antialiasing);
    showFigures();
}

void TForm5::Button1Click(QObject *)
{
    Form5->hideForm();
}

void TForm5::addTrial(const Reactions::TrialReactions &trial)
{
    m_trials.push_back(trial);
    m_earlyTops += trial.disappearanceAnticipations + trial.reappearanceAnticipations;
    showFigures();
}

void TForm5::showFigures()
{
    StringGrid *grid = ui.StringGrid1;
    EdgeFigures figures[2];
    for (int edge = 0; edge < 2; ++edge) {
        const EdgeFigures &f = figures[edge] = Reactions::edgeFigures(m_trials, Edges[edge]);
        const int row = edge + 1;
        grid->setCell(1, row, f.count > 0 ? SecondsText(f.mean) : QString());
        grid->setCell(2, row, f.count > 1 ? SecondsText(f.deviation) : QString());
        grid->setCell(3, row, f.count > 0 ? SecondsText(f.minimum) : QString());
        grid->setCell(4, row, f.count > 0 ? SecondsText(f.maximum) : QString());
        grid->setCell(5, row, CountText(f.count));
    }
    setLabelText(ui.LabelEarly, QStringLiteral("Tops anticipés : %1").arg(CountText(m_earlyTops)));

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
    setLabelText(ui.LabelEffect, effect);
    std::vector<Conditions::ObservingConditions> conditions;
    for (const Reactions::TrialReactions &trial : m_trials)
        conditions.push_back(trial.conditions);
    setLabelText(ui.LabelConditions, Conditions::describe(conditions));

    // The chart: every trial's two reactions, and each edge's mean as a
    // line across the run's trials.
    double low = 0.0;
    double high = 0.0;
    for (int edge = 0; edge < 2; ++edge) {
        QList<QPointF> points;
        for (const Reactions::TrialReactions &trial : m_trials) {
            const std::optional<double> &reaction =
                Edges[edge] == Edge::Disappearance ? trial.disappearance : trial.reappearance;
            if (reaction)
                points.append(QPointF(trial.trial, *reaction));
        }
        m_points[edge]->replace(points);
        QList<QPointF> mean;
        if (figures[edge].count > 0) {
            mean = {QPointF(m_trials.front().trial, figures[edge].mean),
                    QPointF(m_trials.back().trial, figures[edge].mean)};
            low = std::min(low, figures[edge].minimum);
            high = std::max(high, figures[edge].maximum);
        }
        m_means[edge]->replace(mean);
    }
    const int first = m_trials.empty() ? 1 : m_trials.front().trial;
    const int last = m_trials.empty() ? 1 : m_trials.back().trial;
    m_trialAxis->setRange(first - 1, last + 1);
    m_trialAxis->setTickInterval(std::max(1, (last - first + 2 + 9) / 10));
    m_secondsAxis->setRange(low, high > low ? high * 1.1 : low + 1.0);
    m_secondsAxis->applyNiceNumbers();
}
