// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "conditions/conditionswindow.h"

#include "app/common.h"
#include "app/presentation.h"
#include "app/shownvalue.h"

ConditionsWindow::ConditionsWindow(KeptConditions &conditions)
    : m_conditions(conditions)
{
    ui.setupUi(contents());
    finishBuild();

    // The fade is read in milliseconds, as shown.
    const auto &fades = Conditions::FadeDurationsMs;
    setShownQuantities(ui.fadeSlider, QList<double>(fades.begin(), fades.end()));

    const Conditions::ObservingConditions &kept = conditions.kept();
    ui.eclatSlider->setValue(kept.eclat);
    ui.scintillationSlider->setValue(kept.scintillation);
    ui.fadeSlider->setValue(kept.fondu);
    ui.bipsCheck->setChecked(kept.bips);
    ui.trueTimeCheck->setChecked(conditions.trueTimeAfterEntry());
    ui.announcementCombo->setCurrentIndex(kept.annonce);
    showAudioOutput();
    showValues();
    showSaveError();
    // Connected only now, so that building the window keeps nothing.
    for (QSlider *slider : {ui.eclatSlider, ui.scintillationSlider, ui.fadeSlider})
        bind(slider, &QSlider::valueChanged, &ConditionsWindow::controlChanged);
    bind(ui.bipsCheck, &QCheckBox::toggled, &ConditionsWindow::controlChanged);
    bind(ui.trueTimeCheck, &QCheckBox::toggled, &ConditionsWindow::trueTimeChanged);
    bind(ui.announcementCombo, &QComboBox::currentIndexChanged, &ConditionsWindow::controlChanged);
    bind(ui.okButton, &QPushButton::clicked, &ConditionsWindow::okClicked);
    // The sound server answers later, and may stop answering or come back.
    connect(&conditions, &KeptConditions::changed, this, &ConditionsWindow::showAudioOutput);
}

void ConditionsWindow::showAudioOutput()
{
    // Pips kept from a run with sound stay kept, unheard.
    const bool output = m_conditions.audioOutput();
    const QString reason = output ? QString() : QStringLiteral("Aucune sortie audio");
    ui.bipsCheck->setEnabled(output);
    ui.bipsCheck->setToolTip(reason);
    ui.bipsCheck->setAccessibleDescription(reason);
    ui.audioLine->setVisible(m_conditions.audioOutputLost());
}

void ConditionsWindow::showEvent(QShowEvent *event)
{
    // Asked at every showing, without waiting for the answer: a server
    // started since the last look is seen, one gone is said.
    m_conditions.askAudioOutputAgain();
    showAudioOutput();
    Form::showEvent(event);
}

void ConditionsWindow::controlChanged(QObject *)
{
    Conditions::ObservingConditions shown;
    shown.eclat = ui.eclatSlider->value();
    shown.scintillation = ui.scintillationSlider->value();
    shown.fondu = ui.fadeSlider->value();
    shown.bips = ui.bipsCheck->isChecked();
    shown.annonce = ui.announcementCombo->currentIndex();
    m_conditions.edit(shown);
    showValues();
    showSaveError();
}

void ConditionsWindow::trueTimeChanged(QObject *)
{
    m_conditions.setTrueTimeAfterEntry(ui.trueTimeCheck->isChecked());
    showSaveError();
}

void ConditionsWindow::showSaveError()
{
    const QString &error = m_conditions.saveError();
    const QString text =
        error.isEmpty() ? QString() : QStringLiteral("Conditions non enregistrées : ") + error;
    // Said once for each cause: the same text is left as it is, not said
    // again at each step of a slider.
    if (text != ui.saveErrorLabel->text())
        setLabelText(ui.saveErrorLabel, text);
    ui.saveErrorLabel->setVisible(!text.isEmpty());
}

void ConditionsWindow::showValues()
{
    const Conditions::ObservingConditions &kept = m_conditions.kept();
    const QString values[] = {CountText(kept.eclat), CountText(kept.scintillation),
                              QStringLiteral("%1 ms").arg(kept.fadeMs())};
    QLabel *labels[] = {ui.eclatValue, ui.scintillationValue, ui.fadeValue};
    QSlider *sliders[] = {ui.eclatSlider, ui.scintillationSlider, ui.fadeSlider};
    for (int i = 0; i < 3; ++i) {
        setLabelText(labels[i], values[i]);
        sliders[i]->setAccessibleDescription(values[i]);
    }
}

void ConditionsWindow::okClicked(QObject *)
{
    hideForm();
}
