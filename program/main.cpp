// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "program/application.h"
#include "app/presentation.h"

#include <QApplication>

#include <fontconfig/fontconfig.h>

#include <thread>

int main(int argc, char *argv[])
{
    // The first text drawn needs the font configuration, whose files take
    // the system several milliseconds to read, as long as the connection to
    // the display takes. Neither waits on the other: the configuration is
    // read beside the connection, and the family standing in for the
    // layouts' Helvetica looked up in it; the windows are built once both
    // are done.
    QString helvetica;
    std::thread fontConfiguration([&helvetica] {
        FcInit();
        helvetica = helveticaFamily();
    });
    // The program reads no argument, and Qt gets none: it would read options
    // of its own (-reverse, -platform, ...) from them. It keeps the count.
    static int qtArgumentCount = argc > 0 ? 1 : 0;
    expectDisplayConnection();
    QApplication app(qtArgumentCount, argv);
    fontConfiguration.join();
    displayConnected();
    keepHelveticaFamily(helvetica);
    return runVelmaris(app);
}
