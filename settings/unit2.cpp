// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "settings/unit2.h"

#include "app/common.h"
#include "app/shownvalue.h"

TForm2 *Form2 = nullptr;

TForm2::TForm2()
{
    Form2 = this;
    ui.setupUi(contents());
    finishBuild();
    QList<double> bounds;
    for (int position = ui.TrackBar1->minimum(); position <= ui.TrackBar1->maximum(); ++position)
        bounds.append(maxDelayAt(position));
    setShownQuantities(ui.TrackBar1, bounds);
    // Connected only now, so that building the window reports no change:
    // MaxDelay keeps its start value until the user moves the slider.
    bind(ui.TrackBar1, &QSlider::valueChanged, &TForm2::TrackBar1Change);
    bind(ui.Button1, &QPushButton::clicked, &TForm2::Button1Click);
    connect(ui.CheckBox1, &QCheckBox::toggled, this, &TForm2::logOptionChanged);
}

void TForm2::TrackBar1Change(QObject *)
{
    const int position = ui.TrackBar1->value();
    MaxDelay = maxDelayAt(position);
    setLabelText(ui.LabelRapidite, CountText(MaxDelay));
    ui.TrackBar1->setAccessibleDescription(ui.LabelRapidite->text());
}

void TForm2::Button1Click(QObject *)
{
    Form2->hideForm();
}

bool TForm2::logsRun() const
{
    return ui.CheckBox1->isChecked();
}
