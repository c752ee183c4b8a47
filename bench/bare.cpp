// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
//
// The floor for the start-up benchmark: the smallest Qt Widgets program
// with one window of the main window's inside size, 287 x 419. With
// --text, the window also shows one line of text in the default font, so
// that the program pays for the font set-up as any window with text does.

#include <QApplication>
#include <QLabel>
#include <QWidget>

#include <cstring>

int main(int argc, char *argv[])
{
    const bool withText = argc > 1 && std::strcmp(argv[1], "--text") == 0;
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare"));
    window.resize(287, 419);
    if (withText) {
        auto *label = new QLabel(QStringLiteral("Le temps est de "), &window);
        label->move(8, 272);
    }
    window.show();
    return app.exec();
}
