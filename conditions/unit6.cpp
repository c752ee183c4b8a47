// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "conditions/unit6.h"

#include "app/common.h"
#include "app/presentation.h"
#include "conditions/secondpips.h"

TForm6 *Form6 = nullptr;

TForm6::TForm6()
{
    Form6 = this;
    ui.setupUi(contents());
    finishBuild();

    m_conditions = Conditions::load();
    ui.TrackEclat->setValue(m_conditions.eclat);
    ui.TrackScintillation->setValue(m_conditions.scintillation);
    ui.TrackFondu->setValue(m_conditions.fondu);
    ui.CheckBips->setChecked(m_conditions.bips);
    // The sound server is asked at start-up only where the pips were kept
    // on; otherwise when the window is first shown, so that a start costs
    // nothing for them.
    if (m_conditions.bips)
        checkAudioOutput();
    showValues();
    SecondPips::output().keepOpen(conditions().bips);
    // Connected only now, so that building the window keeps nothing.
    for (QSlider *track : {ui.TrackEclat, ui.TrackScintillation, ui.TrackFondu})
        bind(track, &QSlider::valueChanged, &TForm6::ControlChange);
    bind(ui.CheckBips, &QCheckBox::toggled, &TForm6::ControlChange);
    bind(ui.Button1, &QPushButton::clicked, &TForm6::Button1Click);
}

void TForm6::checkAudioOutput()
{
    if (m_audioChecked)
        return;
    m_audioChecked = true;
    if (SecondPips::outputAvailable())
        return;
    // Pips kept from a run with sound stay kept, unheard.
    ui.CheckBips->setEnabled(false);
    ui.CheckBips->setToolTip(QStringLiteral("Aucune sortie audio"));
    ui.CheckBips->setAccessibleDescription(QStringLiteral("Aucune sortie audio"));
}

void TForm6::showEvent(QShowEvent *event)
{
    checkAudioOutput();
    Form::showEvent(event);
}

Conditions::ObservingConditions TForm6::conditions() const
{
    Conditions::ObservingConditions conditions = m_conditions;
    conditions.bips = conditions.bips && ui.CheckBips->isEnabled();
    return conditions;
}

void TForm6::ControlChange(QObject *)
{
    m_conditions.eclat = ui.TrackEclat->value();
    m_conditions.scintillation = ui.TrackScintillation->value();
    m_conditions.fondu = ui.TrackFondu->value();
    if (ui.CheckBips->isEnabled())
        m_conditions.bips = ui.CheckBips->isChecked();
    showValues();
    Conditions::save(m_conditions);
    SecondPips::output().keepOpen(conditions().bips);
}

void TForm6::showValues()
{
    const QString values[] = {CountText(m_conditions.eclat), CountText(m_conditions.scintillation),
                              QStringLiteral("%1 ms").arg(m_conditions.fadeMs())};
    QLabel *labels[] = {ui.ValueEclat, ui.ValueScintillation, ui.ValueFondu};
    QSlider *tracks[] = {ui.TrackEclat, ui.TrackScintillation, ui.TrackFondu};
    for (int i = 0; i < 3; ++i) {
        setLabelText(labels[i], values[i]);
        tracks[i]->setAccessibleDescription(values[i]);
    }
}

void TForm6::Button1Click(QObject *)
{
    Form6->hideForm();
}
