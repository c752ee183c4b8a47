// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "program/application.h"

#include "app/clock.h"
#include "app/closeonsignal.h"
#include "conditions/conditionswindow.h"
#include "conditions/keptconditions.h"
#include "conditions/secondpips.h"
#include "detection/detectionwindow.h"
#include "main_window/unit1.h"
#include "reactions/reactionslog.h"
#include "reactions/reactionswindow.h"
#include "reactions/run.h"
#include "settings/unit2.h"
#include "statistics/unit4.h"
#include "viewer/unit3.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QMutex>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

#include "app/velmaris.xpm"

struct HeldMessage
{
    QtMsgType type;
    const char *category;
    QString text;
};

QtMessageHandler qtHandler = nullptr;
QMutex heldMutex;
std::vector<HeldMessage> heldMessages;

void holdMessage(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type != QtFatalMsg) {
        const QMutexLocker lock(&heldMutex);
        heldMessages.push_back({type, context.category, text});
        return;
    }
    // Qt could open no display: it would abort next.
    const bool named = !qEnvironmentVariableIsEmpty("DISPLAY")
                       || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    std::fputs(named ? "velmaris : aucun affichage graphique, car l'affichage désigné par "
                       "DISPLAY ou WAYLAND_DISPLAY ne répond pas.\n"
                     : "velmaris : aucun affichage graphique, car ni la variable DISPLAY ni la "
                       "variable WAYLAND_DISPLAY n'est définie.\n",
               stderr);
    std::fflush(stderr);
    std::_Exit(2);
}

template <typename Window>
void destroyForm(Window *&reference)
{
    delete reference;
    reference = nullptr;
}

// What the windows share, owned by none of them.
std::unique_ptr<Reactions::Run> run;
std::unique_ptr<KeptConditions> conditions;
ReactionsWindow *builtReactions = nullptr;
ConditionsWindow *builtConditions = nullptr;
DetectionWindow *builtDetection = nullptr;

} // namespace

void expectDisplayConnection()
{
    qtHandler = qInstallMessageHandler(holdMessage);
}

void displayConnected()
{
    qInstallMessageHandler(qtHandler);
    const QMutexLocker lock(&heldMutex);
    for (const HeldMessage &message : heldMessages)
        qtHandler(message.type, QMessageLogContext(nullptr, 0, nullptr, message.category),
                  message.text);
    heldMessages.clear();
}

void createForms()
{
    run = std::make_unique<Reactions::Run>(Clock::utcMilliseconds());
    conditions = std::make_unique<KeptConditions>([] { SecondPips::output().checkOutput(); });
    // The pips' thread tells of the sound server through the event loop:
    // nothing on this thread waits on it.
    SecondPips::output().onOutput([model = conditions.get()](bool output) {
        QMetaObject::invokeMethod(
            model, [model, output] { model->audioOutputFound(output); }, Qt::QueuedConnection);
    });
    // The audio stream stays open while the pips are kept on, and is asked
    // for again while the output does not answer.
    QObject::connect(conditions.get(), &KeptConditions::changed,
                     [] { SecondPips::output().keepOpen(conditions->kept().bips); });
    buildWindow(Form1, *run, *conditions);
    buildWindow(Form2);
    buildWindow(Form3);
    buildWindow(Form4);
    QObject::connect(Form1, &TForm1::reactionsWanted, Form1,
                     [] { runGuarded([] { reactionsWindow()->showForm(); }); });
    QObject::connect(Form1, &TForm1::conditionsWanted, Form1,
                     [] { runGuarded([] { conditionsWindow()->showForm(); }); });
    QObject::connect(Form1, &TForm1::detectionWanted, Form1,
                     [] { runGuarded([] { detectionWindow()->showForm(); }); });
    // Unticked, the log box drops the reactions lines that could not be
    // written; until then each completed trial tries them again.
    run->setLogged(Form2->logsRun());
    QObject::connect(Form2, &TForm2::logOptionChanged, run.get(), &Reactions::Run::setLogged);
    // The personal-equation and conditions windows are built when first
    // wanted; what the main window needs of them is read now. A reactions
    // log that cannot be read is reported, and start-up goes on.
    // It is read aside, so that no length of it delays the main window.
    QObject::connect(run.get(), &Reactions::Run::earlierRunsRead, Form1, [] {
        if (run->hasReactions())
            Form1->showReactionsButton();
        runGuarded([] {
            if (const std::exception_ptr error = run->takeReadError())
                std::rethrow_exception(error);
        });
    });
    run->readEarlierRunsAside(QString::fromLatin1(ReactionsLog::FileName));
    conditions->load();
}

void destroyForms()
{
    destroyForm(Form1);
    destroyForm(Form2);
    destroyForm(Form3);
    destroyForm(Form4);
    destroyForm(builtReactions);
    destroyForm(builtConditions);
    destroyForm(builtDetection);
    // What the pips' thread still has to say goes with the conditions.
    SecondPips::output().onOutput(nullptr);
    conditions.reset();
    run.reset();
}

Reactions::Run &currentRun()
{
    return *run;
}

KeptConditions &keptConditions()
{
    return *conditions;
}

ReactionsWindow *reactionsWindow()
{
    if (!builtReactions)
        builtReactions = new ReactionsWindow(*run);
    return builtReactions;
}

ConditionsWindow *conditionsWindow()
{
    if (!builtConditions)
        builtConditions = new ConditionsWindow(*conditions);
    return builtConditions;
}

DetectionWindow *detectionWindow()
{
    if (builtDetection)
        return builtDetection;
    builtDetection = new DetectionWindow(*conditions);
    // Neither a block during a trial nor a trial during a block.
    builtDetection->setTrialRunning(Form1->trialRunning());
    QObject::connect(Form1, &TForm1::trialRunningChanged, builtDetection,
                     &DetectionWindow::setTrialRunning);
    QObject::connect(builtDetection, &DetectionWindow::blockRunningChanged, Form1,
                     &TForm1::setDetectionRunning);
    // The blocks are logged under the settings' log box, as the trials are.
    builtDetection->setLogged(Form2->logsRun());
    QObject::connect(Form2, &TForm2::logOptionChanged, builtDetection,
                     &DetectionWindow::setLogged);
    return builtDetection;
}

DetectionWindow *detectionWindowBuilt()
{
    return builtDetection;
}

ReactionsWindow *reactionsWindowBuilt()
{
    return builtReactions;
}

ConditionsWindow *conditionsWindowBuilt()
{
    return builtConditions;
}

int runVelmaris(QApplication &app)
{
    // Read from the program itself by the toolkit's own XPM reader: an image
    // file would have the image format plug-ins looked for and loaded first.
    app.setWindowIcon(QIcon(QPixmap(velmaris_icon)));
    // The desktop entry's name: on Wayland, the application id by which the
    // desktop finds the program's name and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.velmaris.Velmaris"));
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
    // A block still running ends with the program: its finished windows
    // are logged, or the error says which file could not take them.
    if (builtDetection)
        runGuarded([] { builtDetection->endBlock(); });
    destroyForms();
    return 0;
}
