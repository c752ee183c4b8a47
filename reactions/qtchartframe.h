// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>
#include <Qt>

class QWidget;
QT_BEGIN_NAMESPACE
class QChart;
class QValueAxis;
QT_END_NAMESPACE

/// A chart of the charts' module with its two axes (whole numbers across,
/// values up the side in valuesFormat), and the view that draws it filling
/// the place the layout keeps for it, named as the place is.
QChart *newChart(QWidget *place, QValueAxis *&across, QValueAxis *&values,
                 const QString &acrossTitle, const QString &valuesTitle,
                 const QString &valuesFormat, Qt::Alignment legendPlace);
