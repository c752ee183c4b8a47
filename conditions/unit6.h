// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/form.h"
#include "conditions/conditions.h"
#include "ui_unit6.h"

/// The observing conditions window: the star's light, its twinkle, the
/// fade of its edges and the second pips, kept between runs. A change
/// applies from the next trial.
class TForm6 : public Form
{
    Q_OBJECT

public:
    TForm6();

    Ui::TForm6 ui;

    /// The conditions as set, for the next trial: without pips where no
    /// audio output takes them.
    Conditions::ObservingConditions conditions() const;

    /// Takes the conditions from the controls, shows their values and
    /// keeps them.
    void ControlChange(QObject *Sender);
    void Button1Click(QObject *Sender);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showValues();
    /// Disables the pips, with the reason, where no audio output takes them.
    void checkAudioOutput();

    Conditions::ObservingConditions m_conditions;
    bool m_audioChecked = false;
};

extern TForm6 *Form6;
