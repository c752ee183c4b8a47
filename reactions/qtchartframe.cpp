// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "reactions/qtchartframe.h"

#include <QVBoxLayout>
#include <QWidget>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QValueAxis>

QChart *newChart(QWidget *place, QValueAxis *&across, QValueAxis *&values,
                 const QString &acrossTitle, const QString &valuesTitle,
                 const QString &valuesFormat, Qt::Alignment legendPlace)
{
    auto *chart = new QChart;
    chart->setMargins(QMargins(2, 2, 2, 2));
    chart->legend()->setAlignment(legendPlace);
    // Each series' own marker: points, lines and anticipations apart.
    chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
    across = new QValueAxis(chart);
    across->setTitleText(acrossTitle);
    across->setLabelFormat(QStringLiteral("%d"));
    across->setTickType(QValueAxis::TicksDynamic);
    across->setTickAnchor(0);
    values = new QValueAxis(chart);
    values->setTitleText(valuesTitle);
    values->setLabelFormat(valuesFormat);
    chart->addAxis(across, Qt::AlignBottom);
    chart->addAxis(values, Qt::AlignLeft);
    auto *view = new QChartView(chart, place);
    view->setFocusPolicy(Qt::NoFocus);
    view->setAccessibleName(place->accessibleName());
    view->setRenderHint(QPainter::Antialiasing);
    auto *layout = new QVBoxLayout(place);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view);
    return chart;
}
