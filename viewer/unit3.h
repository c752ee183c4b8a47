// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/form.h"
#include "ui_unit3.h"

class TForm3 : public Form
{
    Q_OBJECT

public:
    TForm3();

    Ui::TForm3 ui;
};

extern TForm3 *Form3;
