// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

class ConditionsWindow;
class DetectionWindow;
class KeptConditions;
class QApplication;
class ReactionsWindow;
namespace Reactions {
class Run;
}

/// Until displayConnected(), a failure of the application object to open
/// its display ends the program with one French sentence on standard error
/// and exit code 2, instead of Qt's abort; Qt's own messages meanwhile are
/// held, then printed as usual, or left out with the failure.
void expectDisplayConnection();
void displayConnected();

/// Creates the run and the kept conditions, then the four windows in
/// order: main window, settings, viewer, statistics. Each is built
/// completely, its creation handler run, before the next. Then reads the
/// earlier runs' reactions and the kept observing conditions, whose
/// windows are built when first wanted. Throws the error that stops
/// start-up; the window being built then has its reference reset and no
/// later window is created.
void createForms();

/// Destroys the windows that exist, then the run and the conditions; no
/// handler of theirs runs.
void destroyForms();

/// What createForms() made, until destroyForms().
Reactions::Run &currentRun();
KeptConditions &keptConditions();

/// The personal-equation and conditions windows, built the first time they
/// are wanted; null before, for the ...Built() forms.
ReactionsWindow *reactionsWindow();
ConditionsWindow *conditionsWindow();
ReactionsWindow *reactionsWindowBuilt();
ConditionsWindow *conditionsWindowBuilt();

/// The detection window, built the first time it is wanted, then told of
/// the main window's trials and the settings' log box, and the main window
/// of its blocks; null before, for the ...Built() form.
DetectionWindow *detectionWindow();
DetectionWindow *detectionWindowBuilt();

/// The whole run: creates the windows, shows the main window and runs the
/// event loop until the main window is closed. Returns the exit code: 0
/// after a normal close, 1 when start-up failed (after the fatal error box).
int runVelmaris(QApplication &app);
