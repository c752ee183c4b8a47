// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QString>

#include <exception>

class QWidget;

/// Shows an error that escaped a handler: the message with its final full
/// stop, in a critical message box with an empty title and one OK button,
/// owned by the active window. Every window of the program waits for it.
void showErrorDialog(const QString &message);

/// The text of the fatal error box for an error that escaped start-up,
/// whatever its type: the program's own errors name their class and the
/// code that raised them; any other type is named as the compiler names it.
QString fatalErrorText(const std::exception_ptr &error);

/// Shows the fatal error box ("Erreur d'application") and writes its text
/// to standard error.
void showFatalErrorBox(const std::exception_ptr &error);

/// Replaces the error dialog, for tests: the reporter receives the text as
/// the dialog would show it and the window that would own the dialog.
using ErrorReporter = void (*)(const QString &text, QWidget *owner);
void setErrorReporter(ErrorReporter reporter);

/// Runs a handler of the program. An error that escapes it is reported with
/// the error dialog and goes no further. Returns false when it failed.
template <typename Handler>
bool runGuarded(Handler &&handler)
{
    try {
        handler();
        return true;
    } catch (const std::exception &error) {
        showErrorDialog(QString::fromUtf8(error.what()));
    } catch (...) {
        showErrorDialog(QString());
    }
    return false;
}
