// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
//
// Runs a block of the detection exercise in its own window, under the
// default observing conditions and without any press, and prints when the
// program put each drop's first frame and its return's frame on the
// screen, for bench/drops.py to set against what the screen showed:
//
//   velmaris_drops [windows]
//       Prints "star <window> <x> <y>": the detection window's X window and
//       the star's 5 x 5 square in it; then, two seconds later, starts the
//       block and prints "first <ns>" and "last <ns>" for each drop (the
//       program's clock reading right after the frame, CLOCK_MONOTONIC),
//       and ends after the given number of windows (default 10).
//
// Prints figures only; it never judges them.

#include "conditions/keptconditions.h"
#include "detection/detection.h"
#include "detection/detectionwindow.h"
#include "main_window/unit1vars.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int windows = argc > 1 ? std::atoi(argv[1]) : 10;
    // No log is read nor written: an empty working folder.
    QTemporaryDir dir;
    if (!dir.isValid() || !QDir::setCurrent(dir.path()))
        return 1;
    KeptConditions conditions([] {});
    DetectionWindow window(conditions);
    window.showForm();
    QObject::connect(&window, &DetectionWindow::dropFrameShown, [](qint64 reading, bool first) {
        std::printf("%s %lld\n", first ? "first" : "last", static_cast<long long>(reading));
        std::fflush(stdout);
    });
    QTimer::singleShot(1000, [&] {
        const QPoint star = window.ui.field->mapTo(&window, QPoint(StarX, StarY));
        std::printf("star %llu %d %d\n", static_cast<unsigned long long>(window.winId()),
                    star.x(), star.y());
        std::fflush(stdout);
    });
    QTimer::singleShot(3000, [&] { window.ui.startButton->click(); });
    QTimer::singleShot(3000 + int(windows * Detection::WindowMs) + 200, [&] {
        window.endBlock();
        app.quit();
    });
    return app.exec();
}
