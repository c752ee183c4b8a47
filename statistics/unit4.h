// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/form.h"
#include "statistics/summary.h"
#include "ui_unit4.h"

/// The statistics window: the mean, the deviation and the number of the
/// occultation durations and of the user's timing errors, in a small grid
/// that the main window's "Stats..." button fills.
class TForm4 : public Form
{
    Q_OBJECT

public:
    TForm4();

    Ui::TForm4 ui;

    /// Writes the header cells of the grid.
    void FormCreate(QObject *Sender);
    void Button1Click(QObject *Sender);

    /// Fills the six value cells from the running sums: the counts, the
    /// means, then the deviations. A figure that fails leaves the cells
    /// from it on as they were.
    void showSums(const RunningSums &sums);
    /// The six value texts as the run log records them: the occultations'
    /// count, mean and deviation, then the errors'.
    QStringList logTexts() const;
};

extern TForm4 *Form4;
