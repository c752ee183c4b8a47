// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "conditions/unit6.h"

#include "app/common.h"
#include "app/presentation.h"
#include "conditions/secondpips.h"

TForm6 *Form6 = nullptr;

namespace {

Conditions::ObservingConditions kept;
bool audioChecked = false;
bool audioAvailable = true;

void checkAudioOutput()
{
    if (audioChecked)
        return;
    audioChecked = true;
    audioAvailable = SecondPips::outputAvailable();
}

} // namespace

void loadObservingConditions()
{
    kept = Conditions::load();
    audioChecked = false;
    audioAvailable = true;
    // The sound server is asked at start-up only where the pips were kept
    // on; otherwise when the window is first shown, so that a start costs
    // nothing for them.
    if (kept.bips)
        checkAudioOutput();
    SecondPips::output().keepOpen(observingConditions().bips);
}

Conditions::ObservingConditions observingConditions()
{
    Conditions::ObservingConditions conditions = kept;
    conditions.bips = conditions.bips && audioAvailable;
    return conditions;
}

TForm6 *conditionsWindow()
{
    return Form6 ? Form6 : buildWindow(Form6);
}

TForm6::TForm6()
{
    Form6 = this;
    ui.setupUi(contents());
    finishBuild();

    ui.TrackEclat->setValue(kept.eclat);
    ui.TrackScintillation->setValue(kept.scintillation);
    ui.TrackFondu->setValue(kept.fondu);
    ui.CheckBips->setChecked(kept.bips);
    showAudioOutput();
    showValues();
    // Connected only now, so that building the window keeps nothing.
    for (QSlider *track : {ui.TrackEclat, ui.TrackScintillation, ui.TrackFondu})
        bind(track, &QSlider::valueChanged, &TForm6::ControlChange);
    bind(ui.CheckBips, &QCheckBox::toggled, &TForm6::ControlChange);
    bind(ui.Button1, &QPushButton::clicked, &TForm6::Button1Click);
}

void TForm6::showAudioOutput()
{
    if (audioAvailable)
        return;
    // Pips kept from a run with sound stay kept, unheard.
    ui.CheckBips->setEnabled(false);
    ui.CheckBips->setToolTip(QStringLiteral("Aucune sortie audio"));
    ui.CheckBips->setAccessibleDescription(QStringLiteral("Aucune sortie audio"));
}

void TForm6::showEvent(QShowEvent *event)
{
    checkAudioOutput();
    showAudioOutput();
    Form::showEvent(event);
}

void TForm6::ControlChange(QObject *)
{
    kept.eclat = ui.TrackEclat->value();
    kept.scintillation = ui.TrackScintillation->value();
    kept.fondu = ui.TrackFondu->value();
    if (ui.CheckBips->isEnabled())
        kept.bips = ui.CheckBips->isChecked();
    showValues();
    Conditions::save(kept);
    SecondPips::output().keepOpen(observingConditions().bips);
}

void TForm6::showValues()
{
    const QString values[] = {CountText(kept.eclat), CountText(kept.scintillation),
                              QStringLiteral("%1 ms").arg(kept.fadeMs())};
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
