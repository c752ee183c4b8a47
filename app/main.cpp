// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/application.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // The command line goes to Qt unchanged; the program reads nothing of it.
    QApplication app(argc, argv);
    return runVelmaris(app);
}
