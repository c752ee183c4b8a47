// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/form.h"
#include "ui_unit4.h"

class TForm4 : public Form
{
    Q_OBJECT

public:
    TForm4();

    Ui::TForm4 ui;
};

extern TForm4 *Form4;
