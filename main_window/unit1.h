// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/form.h"
#include "main_window/trialtimer.h"
#include "ui_unit1.h"

/// The main window: the star field, the trial, the entry of the user's own
/// time, and the buttons to the other windows. Closing it ends the program.
class TForm1 : public Form
{
    Q_OBJECT

public:
    TForm1();

    Ui::TForm1 ui;
    TrialTimer *Timer1;

    void ButtonOnYvaClick(QObject *Sender);
    void Timer1Timer(QObject *Sender);
    void Timer1Timer2(QObject *Sender);
    void Button3Click(QObject *Sender);
    void FormCreate(QObject *Sender);
    void Button4Click(QObject *Sender);
    void ButtonOKClick(QObject *Sender);
    void ButtonStatClick(QObject *Sender);
    void FormClose(QObject *Sender);
    void Label7Click(QObject *Sender);

    /// Runs a tick handler; a trial step that fails leaves the trial idle,
    /// ready for the next start.
    void runTimerHandler(TrialTimer::Handler handler, QObject *sender);

protected:
    void formClose() override { FormClose(this); }
    bool endsProgramOnClose() const override { return true; }

private:
    /// Fills the statistics window's six value cells from the running sums.
    void fillStatisticsGrid();
    void returnToIdle();
    void showEdgeNow();
    void updateImageDescription(bool starShown);
};

extern TForm1 *Form1;
