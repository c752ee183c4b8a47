// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "statistics/unit4.h"

TForm4 *Form4 = nullptr;

TForm4::TForm4()
{
    Form4 = this;
    ui.setupUi(contents());
    finishBuild();
    bind(ui.Button1, &QPushButton::clicked, &TForm4::Button1Click);

    runGuarded([this] { FormCreate(this); });
}

void TForm4::FormCreate(QObject *)
{
    StringGrid *grid = ui.StringGrid1;
    grid->setCell(1, 0, QStringLiteral("Moy."));
    grid->setCell(2, 0, QStringLiteral("Sigma"));
    grid->setCell(3, 0, QStringLiteral("Nb."));
    grid->setCell(0, 1, QStringLiteral("Occult."));
    grid->setCell(0, 2, QStringLiteral("Erreur"));
}

void TForm4::Button1Click(QObject *)
{
    Form4->hideForm();
}
