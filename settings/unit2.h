// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/form.h"
#include "ui_unit2.h"

class TForm2 : public Form
{
    Q_OBJECT

public:
    TForm2();

    Ui::TForm2 ui;
};

extern TForm2 *Form2;
