// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/application.h"

#include "app/closeonsignal.h"
#include "conditions/unit6.h"
#include "main_window/unit1.h"
#include "reactions/unit5.h"
#include "settings/unit2.h"
#include "statistics/unit4.h"
#include "viewer/unit3.h"

#include <QApplication>
#include <QIcon>

namespace {

// Each window's constructor sets its reference first thing; a window whose
// building fails leaves no reference behind.
template <typename Window>
void createForm(Window *&reference)
{
    try {
        new Window;
    } catch (...) {
        reference = nullptr;
        throw;
    }
}

template <typename Window>
void destroyForm(Window *&reference)
{
    delete reference;
    reference = nullptr;
}

} // namespace

void createForms()
{
    createForm(Form1);
    createForm(Form2);
    createForm(Form3);
    createForm(Form4);
    createForm(Form5);
    createForm(Form6);
}

void destroyForms()
{
    destroyForm(Form1);
    destroyForm(Form2);
    destroyForm(Form3);
    destroyForm(Form4);
    destroyForm(Form5);
    destroyForm(Form6);
}

int runVelmaris(QApplication &app)
{
    app.setWindowIcon(QIcon(QStringLiteral(":/velmaris.xpm")));
    // Only a close request on the main window ends the program.
    app.setQuitOnLastWindowClosed(false);
    try {
        createForms();
    } catch (...) {
        // Whatever stops start-up, the user is told before the program ends.
        destroyForms();
        showFatalErrorBox(std::current_exception());
        return 1;
    }
    Form1->showForm();
    // A kill or a logout closes the main window like its close button.
    new CloseOnSignal(Form1);
    app.exec();
    destroyForms();
    return 0;
}
