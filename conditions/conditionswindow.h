// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/form.h"
#include "conditions/keptconditions.h"
#include "ui_conditionswindow.h"

/// The observing conditions window: the star's light, its twinkle, the
/// fade of its edges and the second pips, kept between runs, and whether
/// the true time waits for the user's entry. A change of the conditions
/// applies from the next trial; that choice, from the next star's return.
/// It is built when it is first wanted.
class ConditionsWindow : public Form
{
    Q_OBJECT

public:
    explicit ConditionsWindow(KeptConditions &conditions);

    Ui::ConditionsWindow ui;

protected:
    void showEvent(QShowEvent *event) override;

private:
    /// Hands the controls' conditions to be kept, and shows their values.
    void controlChanged(QObject *sender);
    /// Keeps whether the true time waits for the user's entry.
    void trueTimeChanged(QObject *sender);
    void okClicked(QObject *sender);
    void showValues();
    /// Disables the pips, with the reason, where no audio output takes them,
    /// and says so where the output stopped answering.
    void showAudioOutput();
    /// Says why the last change was not kept, until one is.
    void showSaveError();

    KeptConditions &m_conditions;
};
