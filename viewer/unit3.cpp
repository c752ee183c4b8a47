// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "viewer/unit3.h"

TForm3 *Form3 = nullptr;

TForm3::TForm3()
{
    Form3 = this;
    ui.setupUi(contents());
    finishBuild();
}
