// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/application.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // The program reads no argument, and Qt gets none: it would read options
    // of its own (-reverse, -platform, ...) from them. It keeps the count.
    static int qtArgumentCount = argc > 0 ? 1 : 0;
    expectDisplayConnection();
    QApplication app(qtArgumentCount, argv);
    displayConnected();
    return runVelmaris(app);
}
