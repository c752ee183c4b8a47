// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/form.h"
#include "ui_unit2.h"

#include <cstdint>

/// The settings window: the "Rapidité" slider sets the bound of the random
/// delays of a trial, the check box whether the run is logged at exit.
class TForm2 : public Form
{
    Q_OBJECT

public:
    TForm2();

    Ui::TForm2 ui;

    /// Sets MaxDelay from the slider's position, 20000 ms at the left end
    /// down to 10000 ms at the right, and shows it in LabelRapidite; a
    /// screen reader reads the slider as that bound.
    void TrackBar1Change(QObject *Sender);
    void Button1Click(QObject *Sender);

    /// Whether the run is logged, as the check box says.
    bool logsRun() const;

signals:
    void logOptionChanged(bool logged);

private:
    /// The delay bound set at the slider's position, in milliseconds.
    static std::int32_t maxDelayAt(int position) { return 20000 - 1000 * position; }
};

extern TForm2 *Form2;
