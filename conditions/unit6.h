// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/form.h"
#include "conditions/conditions.h"
#include "ui_unit6.h"

/// Reads the conditions kept from the last run, at start-up; the sound
/// server is asked only where the pips were kept on.
void loadObservingConditions();

/// The conditions as set, for the next trial: without pips where no audio
/// output takes them.
Conditions::ObservingConditions observingConditions();

/// The observing conditions window: the star's light, its twinkle, the
/// fade of its edges and the second pips, kept between runs. A change
/// applies from the next trial. It is built when it is first wanted.
class TForm6 : public Form
{
    Q_OBJECT

public:
    TForm6();

    Ui::TForm6 ui;

    /// Takes the conditions from the controls, shows their values and
    /// keeps them.
    void ControlChange(QObject *Sender);
    void Button1Click(QObject *Sender);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showValues();
    /// Disables the pips, with the reason, where no audio output takes them.
    void showAudioOutput();
};

/// Null until conditionsWindow() first builds the window.
extern TForm6 *Form6;
TForm6 *conditionsWindow();
