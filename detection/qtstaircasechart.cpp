// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
//
// The detection window's staircase chart, built into the charts' module.
#include "detection/staircasechart.h"

#include "reactions/qtchartframe.h"

#include <QWidget>
#include <QtCharts/QChart>
#include <QtCharts/QLegend>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>

#include <algorithm>

namespace {

const QColor SeenColour(0x1f, 0x5f, 0xbf);
const QColor MissedColour(0xd0, 0x60, 0x10);
const QColor QuietColour(0x60, 0x60, 0x60);

class QtStaircaseChart final : public Detection::StaircaseChart
{
public:
    explicit QtStaircaseChart(QWidget *place);
    void show(const Detection::StaircaseChartData &data) override;

private:
    QScatterSeries *scatter(const QString &name, QScatterSeries::MarkerShape shape,
                            const QColor &fill, const QColor &border, qreal size);

    QChart *m_chart;
    QValueAxis *m_windowAxis;
    QValueAxis *m_dropAxis;
    QLineSeries *m_path;
    QScatterSeries *m_seen;
    QScatterSeries *m_missed;
    QScatterSeries *m_withoutDrop;
    QScatterSeries *m_falseAlarms;
    QLineSeries *m_threshold;
};

QtStaircaseChart::QtStaircaseChart(QWidget *place)
    : m_chart(newChart(place, m_windowAxis, m_dropAxis, QStringLiteral("Fenêtre"),
                       QStringLiteral("chute (mag)"), QStringLiteral("%.1f"), Qt::AlignRight))
{
    m_path = new QLineSeries(m_chart);
    m_path->setName(QStringLiteral("Chute"));
    m_path->setPen(QPen(QuietColour, 1));
    m_seen = scatter(QStringLiteral("Vue"), QScatterSeries::MarkerShapeCircle, SeenColour,
                     SeenColour, 8);
    m_missed = scatter(QStringLiteral("Manquée"), QScatterSeries::MarkerShapeRectangle,
                       Qt::white, MissedColour, 8);
    // Windows without a drop lie along the bottom; false alarms along the top.
    m_withoutDrop = scatter(QStringLiteral("Sans chute"), QScatterSeries::MarkerShapeTriangle,
                            Qt::white, QuietColour, 8);
    m_falseAlarms = scatter(QStringLiteral("Fausse alerte"), QScatterSeries::MarkerShapeStar,
                            MissedColour, MissedColour, 10);
    m_threshold = new QLineSeries(m_chart);
    m_threshold->setName(QStringLiteral("Seuil"));
    m_threshold->setPen(QPen(SeenColour, 1, Qt::DashLine));
    for (QXYSeries *series : {static_cast<QXYSeries *>(m_path), static_cast<QXYSeries *>(m_seen),
                              static_cast<QXYSeries *>(m_missed),
                              static_cast<QXYSeries *>(m_withoutDrop),
                              static_cast<QXYSeries *>(m_falseAlarms),
                              static_cast<QXYSeries *>(m_threshold)}) {
        m_chart->addSeries(series);
        series->attachAxis(m_windowAxis);
        series->attachAxis(m_dropAxis);
    }
}

QScatterSeries *QtStaircaseChart::scatter(const QString &name, QScatterSeries::MarkerShape shape,
                                          const QColor &fill, const QColor &border, qreal size)
{
    auto *series = new QScatterSeries(m_chart);
    series->setName(name);
    series->setMarkerShape(shape);
    series->setColor(fill);
    series->setBorderColor(border);
    series->setMarkerSize(size);
    return series;
}

void QtStaircaseChart::show(const Detection::StaircaseChartData &data)
{
    QList<QPointF> path = data.seen + data.missed;
    std::sort(path.begin(), path.end(),
              [](const QPointF &a, const QPointF &b) { return a.x() < b.x(); });
    double top = 3.0;
    for (const QPointF &point : path)
        top = std::max(top, point.y());
    top += 0.3;
    m_path->replace(path);
    m_seen->replace(data.seen);
    m_missed->replace(data.missed);
    QList<QPointF> quiet, alarms;
    for (const int window : data.withoutDrop)
        quiet.append(QPointF(window, 0.15));
    for (const int window : data.falseAlarms)
        alarms.append(QPointF(window, top - 0.1));
    m_withoutDrop->replace(quiet);
    m_falseAlarms->replace(alarms);
    const int last = std::max(1, data.windows);
    QList<QPointF> threshold;
    if (data.thresholdMag)
        threshold = {QPointF(1, *data.thresholdMag), QPointF(last, *data.thresholdMag)};
    m_threshold->replace(threshold);
    m_windowAxis->setRange(0, last + 1);
    m_windowAxis->setTickInterval(std::max(1, (last + 1 + 9) / 10));
    m_dropAxis->setRange(0.0, top);
    m_dropAxis->setTickCount(5);
}

} // namespace

extern "C" Q_DECL_EXPORT Detection::StaircaseChart *velmarisNewStaircaseChart(QWidget *place)
{
    return new QtStaircaseChart(place);
}
