// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "program/application.h"
#include "app/common.h"
#include "app/errors.h"
#include "main_window/unit1vars.h"
#include "main_window/unit1.h"
#include "conditions/conditionswindow.h"
#include "reactions/reactionswindow.h"
#include "settings/unit2.h"
#include "statistics/unit4.h"
#include "testsupport.h"
#include "viewer/unit3.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <cstdlib>
#include <new>

namespace {
// The size of the next allocation that runs out of memory; 0 for none.
std::size_t failingAllocationSize = 0;
} // namespace

void *operator new(std::size_t size)
{
    // Armed once the program's icon is set, just before the windows are
    // built: Qt's own objects of the same size come before.
    if (size == failingAllocationSize && size != 0 && !QGuiApplication::windowIcon().isNull()) {
        failingAllocationSize = 0;
        throw std::bad_alloc();
    }
    if (void *memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}

// The memory comes from malloc, so it goes back to free.
void operator delete(void *memory) noexcept
{
    std::free(memory);
}

void operator delete(void *memory, std::size_t) noexcept
{
    std::free(memory);
}

namespace {

// The windows by their number: the main window, settings, viewer,
// statistics, personal equation, conditions.
Form *window(int index)
{
    switch (index) {
    case 1: return Form1;
    case 2: return Form2;
    case 3: return Form3;
    case 4: return Form4;
    case 5: return reactionsWindow();
    default: return conditionsWindow();
    }
}

// The main window shown, then the window of that number.
Form *shownBesideMain(int index)
{
    Form1->showForm();
    Form *form = window(index);
    form->showForm();
    return form;
}

} // namespace

// Start-up, the windows, show, hide and close requests, and the end of
// the program. The default font matches the main window's design metrics,
// so the main and statistics windows come up exactly as stored.
class TestFrame : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void windows_data();
    void windows();
    void escapeHidesSecondaryWindow_data();
    void escapeHidesSecondaryWindow();
    void enterPressesFocusedButton_data();
    void enterPressesFocusedButton();
    void startupStopsAtTheWindowThatFails();
    void failedStartupShowsFatalBox_data();
    void failedStartupShowsFatalBox();
    void showHideAndCloseSecondaryWindow();
    void closingSecondaryWindowKeepsProgramRunning();
    void showLeavesMinimizedWindowMinimized();
    void focusComesBackToLastControl();
    void terminationSignalClosesMainWindow_data();
    void terminationSignalClosesMainWindow();
    void closingMainWindowEndsProgram_data();
    void closingMainWindowEndsProgram();
};

void TestFrame::initTestCase()
{
    // Set when the program starts, before any window exists.
    QCOMPARE(MaxDelay, 5000);
    QVERIFY(!Form1 && !Form2 && !Form3 && !Form4);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    QApplication::setFont(font);
}

void TestFrame::windows_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QPoint>("movedTo");
    QTest::addColumn<QPoint>("shownAt");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QPoint>("mainAt");
    QTest::addColumn<QPoint>("settingsAt"); // the settings window shown there first
    // The test screen is 800 x 800; its windows have a frame of 2 pixels
    // on each side, which goes within the screen too.
    QTest::newRow("main") << 1 << "Velmaris" << QRect(204, 145, 287, 419) << QPoint() << QPoint()
                          << "Button2" << QPoint() << QPoint();
    // Beside the main window's frame, which reaches 290 across and 422 down,
    // all of it on the screen.
    QTest::newRow("personal equation, beside the main window")
        << 5 << "Équation personnelle" << QRect(500, 145, 496, 480) << QPoint() << QPoint(293, 2)
        << "figuresTable" << QPoint(2, 2) << QPoint();
    // Clear of the main window and of the settings window, whose frame
    // reaches from 298 to 504 across and from 8 to 168 down: below it.
    QTest::newRow("personal equation, beside the main window, settings window there")
        << 5 << "Équation personnelle" << QRect(500, 145, 496, 480) << QPoint() << QPoint(293, 171)
        << "figuresTable" << QPoint(2, 2) << QPoint(300, 10);
    // The main window's frame reaches 492 across and from 298 to 722 down.
    QTest::newRow("statistics, over the main window, beside it")
        << 4 << "Statistiques" << QRect(200, 673, 288, 226) << QPoint() << QPoint(495, 572)
        << "StringGrid1" << QPoint(204, 300) << QPoint();
    QTest::newRow("settings, over the main window, moved up clear of it")
        << 2 << "Réglages" << QRect(176, 313, 203, 157) << QPoint() << QPoint(176, 139)
        << "TrackBar1" << QPoint(204, 300) << QPoint();
    // Laid out for 20 by 8: position kept, inside scaled by 6/8 and 13/20.
    QTest::newRow("settings, fits where stored")
        << 2 << "Réglages" << QRect(176, 313, 203, 157) << QPoint() << QPoint(176, 313)
        << "TrackBar1" << QPoint() << QPoint();
    QTest::newRow("viewer, beyond the right edge")
        << 3 << "Aide" << QRect(584, 231, 403, 438) << QPoint() << QPoint(395, 231) << "Button1"
        << QPoint() << QPoint();
    QTest::newRow("statistics, beyond the bottom edge")
        << 4 << "Statistiques" << QRect(200, 673, 288, 226) << QPoint() << QPoint(200, 572)
        << "StringGrid1" << QPoint() << QPoint();
    QTest::newRow("settings, placed beyond the left edge")
        << 2 << "Réglages" << QRect(176, 313, 203, 157) << QPoint(-60, 313) << QPoint(2, 313)
        << "TrackBar1" << QPoint() << QPoint();
    QTest::newRow("settings, placed beyond the top edge")
        << 2 << "Réglages" << QRect(176, 313, 203, 157) << QPoint(176, -40) << QPoint(176, 2)
        << "TrackBar1" << QPoint() << QPoint();
    QTest::newRow("personal equation, beyond the right edge")
        << 5 << "Équation personnelle" << QRect(500, 145, 496, 480) << QPoint()
        << QPoint(302, 145) << "figuresTable" << QPoint() << QPoint();
}

void TestFrame::windows()
{
    QFETCH(int, index);
    QFETCH(QString, title);
    QFETCH(QRect, geometry);
    QFETCH(QPoint, movedTo);
    QFETCH(QPoint, shownAt);
    QFETCH(QString, focus);
    QFETCH(QPoint, mainAt);
    QFETCH(QPoint, settingsAt);
    ProgramFixture program;
    if (!mainAt.isNull()) {
        Form1->showForm();
        QVERIFY(QTest::qWaitForWindowActive(Form1));
        Form1->setGeometry(QRect(mainAt, QSize(287, 419)));
    }
    if (!settingsAt.isNull()) {
        Form2->setGeometry(QRect(settingsAt, Form2->size()));
        Form2->showForm();
        QVERIFY(QTest::qWaitForWindowActive(Form2));
    }
    Form *const forms[] = {Form1, Form2, Form3, Form4, reactionsWindow()};
    Form *form = forms[index - 1];
    QVERIFY(form);
    QCOMPARE(form->windowTitle(), title);
    QCOMPARE(form->geometry(), geometry);
    QVERIFY(form->isHidden()); // nothing is shown by building the windows
    QVERIFY(form->isWindow());
    QVERIFY(!form->parentWidget());
    QCOMPARE(form->windowModality(), Qt::NonModal);
    QVERIFY(!(form->windowFlags() & Qt::WindowStaysOnTopHint));

    if (!movedTo.isNull())
        form->setGeometry(QRect(movedTo, geometry.size()));
    form->showForm();
    QVERIFY(QTest::qWaitForWindowActive(form));
    QCOMPARE(QApplication::focusWidget()->objectName(), focus);
    // The main window is shown maximized, and the window system places it;
    // the others come up where they were stored, moved within the screen
    // where they would not fit there.
    QCOMPARE(bool(form->windowState() & Qt::WindowMaximized), index == 1);
    // Shown, its labels fit their texts.
    for (QLabel *label : form->contents()->findChildren<QLabel *>())
        QVERIFY2(label->width() >= label->sizeHint().width() || label->wordWrap(),
                 qPrintable(label->objectName()));
    if (index != 1)
        // Beside the main window, narrowed to the screen where need be.
        QCOMPARE(form->geometry(), mainAt.isNull()
                                       ? QRect(shownAt, geometry.size())
                                       : QRect(shownAt, geometry.size()) & QRect(2, 2, 796, 796));
}

void TestFrame::escapeHidesSecondaryWindow_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("focus");
    QTest::newRow("settings, on the slider") << 2 << "TrackBar1";
    QTest::newRow("viewer, on OK") << 3 << "Button1";
    QTest::newRow("statistics, on the grid") << 4 << "StringGrid1";
    QTest::newRow("personal equation, on the grid") << 5 << "figuresTable";
    QTest::newRow("conditions, on a slider") << 6 << "eclatSlider";
}

void TestFrame::escapeHidesSecondaryWindow()
{
    QFETCH(int, index);
    QFETCH(QString, focus);
    ProgramFixture program;
    Form *form = shownBesideMain(index);
    QVERIFY(QTest::qWaitForWindowActive(form));
    auto *control = form->contents()->findChild<QWidget *>(focus);
    control->setFocus();
    QTest::keyClick(control, Qt::Key_Escape);
    QVERIFY(form->isHidden());
    QVERIFY(Form1->isVisible());
    // The main window has no such button: Escape there accepts no entry.
    Form1->ui.EditTemps->setText(QStringLiteral("1"));
    QTest::keyClick(Form1, Qt::Key_Escape);
    QVERIFY(Form1->isVisible());
    QCOMPARE(Form1->ui.EditTemps->text(), QStringLiteral("1"));
}

void TestFrame::enterPressesFocusedButton_data()
{
    // The window, the button with the focus, the key (keypad Enter or
    // Return); then which windows show.
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("keypad");
    QTest::addColumn<QString>("shown");
    QTest::newRow("main window, Return on \"Réglages...\"") << 1 << "Button3" << false << "1 2";
    QTest::newRow("main window, keypad Enter on \"Aide...\"") << 1 << "Button4" << true << "1 3";
    QTest::newRow("settings, Return on OK") << 2 << "Button1" << false << "1";
    QTest::newRow("viewer, keypad Enter on OK") << 3 << "Button1" << true << "1";
    QTest::newRow("statistics, Return on OK") << 4 << "Button1" << false << "1";
    QTest::newRow("personal equation, Return on OK") << 5 << "okButton" << false << "1";
    QTest::newRow("conditions, Return on OK") << 6 << "okButton" << false << "1";
}

void TestFrame::enterPressesFocusedButton()
{
    QFETCH(int, index);
    QFETCH(QString, button);
    QFETCH(bool, keypad);
    QFETCH(QString, shown);
    ProgramFixture program;
    Form *form = shownBesideMain(index);
    QVERIFY(QTest::qWaitForWindowActive(form));
    // The focus shows from the start, before any Tab.
    QVERIFY(form->testAttribute(Qt::WA_KeyboardFocusChange));
    auto *pressed = form->contents()->findChild<QAbstractButton *>(button);
    QVERIFY(pressed);
    pressed->setFocus();
    QTest::keyClick(pressed, keypad ? Qt::Key_Enter : Qt::Key_Return,
                    keypad ? Qt::KeypadModifier : Qt::NoModifier);
    QStringList visible;
    for (int i = 1; i <= 6; ++i)
        if (window(i)->isVisible())
            visible << QString::number(i);
    QCOMPARE(visible.join(QLatin1Char(' ')), shown);
}

void TestFrame::startupStopsAtTheWindowThatFails()
{
    // Without the help page the viewer cannot be built: the windows before
    // it exist, it and the ones after it do not.
    ProgramFixture program(false, false);
    QFile::copy(QStringLiteral(VELMARIS_DATA_DIR "/gpl_en.html"), program.path("gpl_en.html"));
    QString message;
    try {
        createForms();
    } catch (const LayoutReadError &error) {
        message = error.message();
    }
    QVERIFY(message.startsWith(
        QStringLiteral("Erreur lors de la lecture de TextViewer1.FileName: "
                       "Impossible d'ouvrir le fichier \"%1\". ")
            .arg(program.path(QStringLiteral("aide.html")))));
    QVERIFY(Form1);
    QVERIFY(Form2);
    QVERIFY(!Form3);
    QVERIFY(!Form4);
    QVERIFY(Form1->isHidden());
}

void TestFrame::failedStartupShowsFatalBox_data()
{
    QTest::addColumn<bool>("withHelpPage");
    QTest::addColumn<bool>("outOfMemory");
    QTest::addColumn<QString>("type");
    QTest::newRow("help page missing") << false << false << "LayoutReadError";
    QTest::newRow("out of memory building the main window") << true << true << "std::bad_alloc";
}

void TestFrame::failedStartupShowsFatalBox()
{
    QFETCH(bool, withHelpPage);
    QFETCH(bool, outOfMemory);
    QFETCH(QString, type);
    ProgramFixture program(withHelpPage, false);
    QString title;
    QString text;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        title = box->windowTitle();
        text = box->text();
        box->button(QMessageBox::Ok)->click();
    });
    if (outOfMemory) {
        QApplication::setWindowIcon(QIcon());
        failingAllocationSize = sizeof(TForm1);
    }
    const int exitCode = runVelmaris(*qApp);
    failingAllocationSize = 0;
    QCOMPARE(exitCode, 1);
    QCOMPARE(title, QStringLiteral("Erreur d'application"));
    QVERIFY2(text.startsWith(QStringLiteral("Exception %1 dans le module ").arg(type)),
             qPrintable(text));
    QVERIFY(!Form1 && !Form2 && !Form3 && !Form4);
}

void TestFrame::showHideAndCloseSecondaryWindow()
{
    ProgramFixture program;
    Form1->showForm();
    Form2->showForm();
    QVERIFY(QTest::qWaitForWindowExposed(Form2));
    Form2->move(300, 280);
    const QRect placed = Form2->geometry();

    Form2->hideForm();
    QVERIFY(Form2->isHidden());
    Form2->hideForm(); // hiding a hidden window does nothing
    QVERIFY(Form2->isHidden());
    Form2->showForm();
    QVERIFY(QTest::qWaitForWindowExposed(Form2));
    QCOMPARE(Form2->geometry(), placed); // where it was when hidden

    // The title bar's close button hides it, like OK.
    QVERIFY(Form2->close());
    QVERIFY(Form2->isHidden());
    QVERIFY(Form1->isVisible());
    Form2->showForm();
    QCOMPARE(Form2->geometry(), placed);
}

void TestFrame::closingSecondaryWindowKeepsProgramRunning()
{
    ProgramFixture program(true, false);
    QStringList seen;
    QTimer::singleShot(0, [] {
        Form2->showForm();
        Form2->close();
    });
    // Runs only if the event loop is still going after the close request.
    QTimer::singleShot(100, [&] {
        seen << (Form2->isHidden() ? "settings hidden" : "settings shown");
        seen << (Form1->isVisible() ? "main shown" : "main hidden");
        Form1->close();
    });
    QCOMPARE(runVelmaris(*qApp), 0);
    QCOMPARE(seen, (QStringList{QStringLiteral("settings hidden"), QStringLiteral("main shown")}));
}

void TestFrame::showLeavesMinimizedWindowMinimized()
{
    ProgramFixture program;
    Form4->showForm();
    QVERIFY(QTest::qWaitForWindowExposed(Form4));
    Form4->setWindowState(Qt::WindowMinimized);
    Form4->showForm();
    QVERIFY(Form4->windowState() & Qt::WindowMinimized);
    QVERIFY(Form4->isVisible());
}

void TestFrame::focusComesBackToLastControl()
{
    ProgramFixture program;
    Form1->showForm();
    QVERIFY(QTest::qWaitForWindowActive(Form1));
    Form1->ui.Button4->setFocus();
    Form2->showForm();
    QVERIFY(QTest::qWaitForWindowActive(Form2));
    QCOMPARE(QApplication::focusWidget(), Form2->ui.TrackBar1);
    Form1->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(Form1));
    QCOMPARE(QApplication::focusWidget(), Form1->ui.Button4);
}

void TestFrame::terminationSignalClosesMainWindow_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::addColumn<bool>("firstCloseFails");
    QTest::newRow("kill, SIGTERM") << SIGTERM << false;
    QTest::newRow("Ctrl+C, SIGINT") << SIGINT << false;
    QTest::newRow("end of the session, SIGHUP") << SIGHUP << false;
    QTest::newRow("logout after a close that failed") << SIGHUP << true;
}

namespace {
int caughtSignal = 0;
// Whether the caught signal ends the program while the failed close's
// dialog is open.
bool endsProgramDuringDialog = false;
QString logPath;

bool signalEndsProgram(int number)
{
    struct sigaction now = {};
    ::sigaction(number, nullptr, &now);
    return now.sa_handler == SIG_DFL;
}

// The dialog of the failed close; the next close can write the log.
void reportWhileClosing(const QString &text, QWidget *)
{
    reportedErrors().append(text);
    endsProgramDuringDialog = signalEndsProgram(caughtSignal);
    QDir().rmdir(logPath);
}
} // namespace

void TestFrame::terminationSignalClosesMainWindow()
{
    // A signal after two entries: the main window closes as from its close
    // button, and the close handler writes the log.
    QFETCH(int, signalNumber);
    QFETCH(bool, firstCloseFails);
    ProgramFixture program(true, false);
    caughtSignal = signalNumber;
    logPath = program.path(QStringLiteral(".occ"));
    if (firstCloseFails) {
        QVERIFY(QDir().mkdir(logPath)); // the log cannot be written the first time
        setErrorReporter(reportWhileClosing);
    }
    bool secondEndsProgram = false;
    bool caughtAgain = false;
    QTimer::singleShot(0, [&] {
        OccultCount = 2;
        MeasureCount = 2;
        ::raise(signalNumber);
        secondEndsProgram = signalEndsProgram(signalNumber);
        if (firstCloseFails) {
            // Once the failed close's dialog is answered, the next signal of
            // the kind closes the window again.
            QTimer::singleShot(200, Form1, [&] {
                caughtAgain = !signalEndsProgram(signalNumber);
                if (caughtAgain)
                    ::raise(signalNumber);
                else
                    Form1->close();
            });
        }
    });
    QCOMPARE(runVelmaris(*qApp), 0);
    QVERIFY(secondEndsProgram);
    if (firstCloseFails) {
        QCOMPARE(reportedErrors(), QStringList{QStringLiteral("Accès au fichier refusé.")});
        QVERIFY(endsProgramDuringDialog);
        QVERIFY(caughtAgain);
    }
    QFile log(logPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll().count("\r\n"), 2); // header and record
}

void TestFrame::closingMainWindowEndsProgram_data()
{
    QTest::addColumn<bool>("othersOpen");
    QTest::addColumn<bool>("trialRunning");
    QTest::newRow("alone") << false << false;
    QTest::newRow("with the other windows open") << true << false;
    QTest::newRow("during a trial") << false << true;
}

void TestFrame::closingMainWindowEndsProgram()
{
    QFETCH(bool, othersOpen);
    QFETCH(bool, trialRunning);
    ProgramFixture program(true, false);
    QStringList seen;
    QList<QSize> iconSizes;
    QTimer::singleShot(0, [&] {
        iconSizes = Form1->windowIcon().availableSizes();
        seen << (Form1 && Form1->isVisible() ? "main shown" : "main missing");
        seen << (Form2->isHidden() && Form3->isHidden() && Form4->isHidden() ? "others hidden"
                                                                            : "others shown");
        if (othersOpen) {
            Form2->showForm();
            Form3->showForm();
            Form4->showForm();
        }
        if (trialRunning) {
            MaxDelay = 60000;
            Form1->ui.Button2->click();
            seen << (Form1->Timer1->isRunning() ? "trial running" : "no trial");
        }
        Form1->close();
    });
    const int exitCode = runVelmaris(*qApp);
    QCOMPARE(exitCode, 0);
    QCOMPARE(seen.value(0), QStringLiteral("main shown"));
    QCOMPARE(seen.value(1), QStringLiteral("others hidden"));
    QCOMPARE(iconSizes, QList<QSize>{QSize(32, 32)}); // the program's icon
    QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("io.github.velmaris.Velmaris"));
    if (trialRunning)
        QCOMPARE(seen.value(2), QStringLiteral("trial running"));
    // The windows are gone with the program.
    QVERIFY(!Form1 && !Form2 && !Form3 && !Form4);
}

QTEST_MAIN(TestFrame)
#include "tst_frame.moc"
