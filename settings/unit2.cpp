// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "settings/unit2.h"

TForm2 *Form2 = nullptr;

TForm2::TForm2()
{
    Form2 = this;
    ui.setupUi(contents());
    finishBuild();
}
