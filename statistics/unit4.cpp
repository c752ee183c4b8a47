// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "statistics/unit4.h"

TForm4 *Form4 = nullptr;

TForm4::TForm4()
{
    Form4 = this;
    ui.setupUi(contents());
    finishBuild();
}
