// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
//
// The charts' module: the personal-equation window's two charts drawn with
// Qt Charts, built into a library of their own that the program loads when
// the window is first shown.
#include "reactions/charts.h"
#include "reactions/qtchartframe.h"

#include <QVBoxLayout>
#include <QWidget>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>

namespace {

using Reactions::EdgeChart;
using Reactions::edgeName;

// The least span of the seconds axis, so that one value, or values all
// alike, still get ticks a hundredth apart or more.
constexpr double MinimumSpan = 0.05;

const QColor EdgeColours[] = {QColor(0x1f, 0x5f, 0xbf), QColor(0xd0, 0x60, 0x10)};

void addSeries(QChart *chart, QXYSeries *series, QValueAxis *across, QValueAxis *seconds)
{
    chart->addSeries(series);
    series->attachAxis(across);
    series->attachAxis(seconds);
}

// Numbers from first to last, a tick every tenth of them or so.
void fitAcrossAxis(QValueAxis *axis, int first, int last)
{
    axis->setRange(first - 1, last + 1);
    axis->setTickInterval(std::max(1, (last - first + 2 + 9) / 10));
}

// The seconds axis fitted to the values from low to high, with round
// ticks, about as many as asked; none (low above high) gives 0 to 1 s.
void fitSecondsAxis(QValueAxis *axis, double low, double high, int ticks)
{
    if (low > high) {
        low = 0.0;
        high = 1.0;
    }
    const double margin = std::max((high - low) / 10, (MinimumSpan - (high - low)) / 2);
    axis->setTickCount(ticks);
    axis->setRange(std::max(0.0, low - margin), high + margin);
    axis->applyNiceNumbers();
}

void showMarker(QChart *chart, QAbstractSeries *series, bool shown)
{
    QLegend *legend = chart->legend();
    bool changed = false;
    for (QLegendMarker *marker : legend->markers(series)) {
        changed = changed || marker->isVisible() != shown;
        marker->setVisible(shown);
    }
    // A marker shown in a legend already laid out is drawn at the legend's
    // first place, over another, until the legend is laid out anew: hidden
    // and shown, it is.
    if (changed && legend->isVisible()) {
        legend->hide();
        legend->show();
    }
}

class QtCharts final : public Reactions::Charts
{
public:
    QtCharts(QWidget *trialsPlace, QWidget *runsPlace);
    void showTrials(const EdgeChart (&edges)[2], const QList<QPointF> &others, int first,
                    int last, double low, double high) override;
    void showRuns(const QList<QPointF> (&means)[2], int places, double low,
                  double high) override;

private:
    QChart *m_trialChart = nullptr;
    QChart *m_runChart = nullptr;
    QScatterSeries *m_points[2] = {};
    QLineSeries *m_means[2] = {};
    QScatterSeries *m_anticipations[2] = {};
    QScatterSeries *m_others = nullptr;
    QValueAxis *m_trialAxis = nullptr;
    QValueAxis *m_secondsAxis = nullptr;
    QLineSeries *m_runMeans[2] = {};
    QValueAxis *m_runAxis = nullptr;
    QValueAxis *m_runSecondsAxis = nullptr;
};

QtCharts::QtCharts(QWidget *trialsPlace, QWidget *runsPlace)
{
    // Six series: a legend below the chart would cut their names short.
    m_trialChart = newChart(trialsPlace, m_trialAxis, m_secondsAxis, QStringLiteral("Essai"),
                            QStringLiteral("s"), QStringLiteral("%.2f"),
                            Qt::AlignRight);
    m_runChart = newChart(runsPlace, m_runAxis, m_runSecondsAxis, QStringLiteral("Séance"),
                          QStringLiteral("s"), QStringLiteral("%.2f"),
                          Qt::AlignBottom);
    for (int edge = 0; edge < 2; ++edge) {
        const QColor colour = EdgeColours[edge];
        const QString shortName = QString::fromUtf8(Reactions::ShortEdgeNames[edge]);
        m_points[edge] = new QScatterSeries(m_trialChart);
        m_points[edge]->setName(edgeName(edge));
        m_points[edge]->setColor(colour);
        m_points[edge]->setBorderColor(colour);
        m_points[edge]->setMarkerSize(7);
        m_means[edge] = new QLineSeries(m_trialChart);
        m_means[edge]->setName(QStringLiteral("Moy. %1").arg(shortName));
        m_means[edge]->setPen(QPen(colour, 1, Qt::DashLine));
        // An anticipation has no reaction time: it stands on its edge's
        // mean line, as a hollow triangle.
        m_anticipations[edge] = new QScatterSeries(m_trialChart);
        m_anticipations[edge]->setName(QStringLiteral("Anticip. %1").arg(shortName));
        m_anticipations[edge]->setMarkerShape(QScatterSeries::MarkerShapeTriangle);
        m_anticipations[edge]->setColor(Qt::white);
        m_anticipations[edge]->setBorderColor(colour);
        m_anticipations[edge]->setMarkerSize(10);
        for (QXYSeries *series : {static_cast<QXYSeries *>(m_points[edge]),
                                  static_cast<QXYSeries *>(m_means[edge]),
                                  static_cast<QXYSeries *>(m_anticipations[edge])})
            addSeries(m_trialChart, series, m_trialAxis, m_secondsAxis);

        m_runMeans[edge] = new QLineSeries(m_runChart);
        m_runMeans[edge]->setName(edgeName(edge));
        m_runMeans[edge]->setPen(QPen(colour, 2));
        m_runMeans[edge]->setPointsVisible(true);
        addSeries(m_runChart, m_runMeans[edge], m_runAxis, m_runSecondsAxis);
    }
    // The trials under other conditions, in grey, after the edges in the
    // legend.
    m_others = new QScatterSeries(m_trialChart);
    m_others->setName(QStringLiteral("Autres cond."));
    m_others->setColor(QColor(0xb0, 0xb0, 0xb0));
    m_others->setBorderColor(QColor(0xb0, 0xb0, 0xb0));
    m_others->setMarkerSize(6);
    addSeries(m_trialChart, m_others, m_trialAxis, m_secondsAxis);
}

void QtCharts::showTrials(const EdgeChart (&edges)[2], const QList<QPointF> &others,
                          int first, int last, double low, double high)
{
    fitAcrossAxis(m_trialAxis, first, last);
    fitSecondsAxis(m_secondsAxis, low, high, 5);
    m_others->replace(others);
    showMarker(m_trialChart, m_others, !others.isEmpty());
    for (int edge = 0; edge < 2; ++edge) {
        const EdgeChart &shown = edges[edge];
        m_points[edge]->replace(shown.reactions);
        m_means[edge]->replace(shown.means);
        // Without a mean the edge's line is not drawn: the bottom of the
        // chart stands for it.
        QList<QPointF> anticipated = shown.anticipated;
        for (QPointF &point : anticipated) {
            if (qIsNaN(point.y()))
                point.setY(m_secondsAxis->min());
        }
        m_anticipations[edge]->replace(anticipated);
        showMarker(m_trialChart, m_anticipations[edge], !anticipated.isEmpty());
    }
}

void QtCharts::showRuns(const QList<QPointF> (&means)[2], int places, double low, double high)
{
    for (int edge = 0; edge < 2; ++edge) {
        // Most often this run's mean alone has moved: that point alone is
        // replaced, and the others are not laid out again.
        QLineSeries *series = m_runMeans[edge];
        const QList<QPointF> &points = means[edge];
        if (series->count() != points.size()) {
            series->replace(points);
            continue;
        }
        for (int i = 0; i < points.size(); ++i) {
            if (series->at(i) != points[i])
                series->replace(i, points[i]);
        }
    }
    fitAcrossAxis(m_runAxis, 1, places);
    // The runs' chart is low: more labels than three would overlap, and Qt
    // Charts would show them as "...".
    fitSecondsAxis(m_runSecondsAxis, low, high, 3);
}

} // namespace

extern "C" Q_DECL_EXPORT Reactions::Charts *velmarisNewCharts(QWidget *trialsPlace,
                                                             QWidget *runsPlace)
{
    return new QtCharts(trialsPlace, runsPlace);
}
