// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "main_window/unit1.h"
#include "testsupport.h"
#include "viewer/unit3.h"

#include "main_window/unit1vars.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QFontInfo>
#include <QDir>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <QtGui/qguiapplication_platform.h>

#include <cstdlib>
#include <cstring>
#include <xcb/xcb.h>

namespace {

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

// Asks a window to close as a window manager's close button does: the
// WM_DELETE_WINDOW protocol message, from another client.
void sendCloseRequest(WId window)
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = xcb_window_t(window);
    event.type = internAtom(connection, "WM_PROTOCOLS");
    event.data.data32[0] = internAtom(connection, "WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection, 0, xcb_window_t(window), XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char *>(&event));
    xcb_flush(connection);
    xcb_disconnect(connection);
}

// The title that a window manager shows for a window: its _NET_WM_NAME,
// read through the program's own connection, after the program's requests.
QByteArray titleBarText(WId window)
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11->connection();
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, xcb_window_t(window),
                         internAtom(connection, "_NET_WM_NAME"),
                         internAtom(connection, "UTF8_STRING"), 0, 1024),
        nullptr);
    QByteArray text = reply ? QByteArray(static_cast<const char *>(xcb_get_property_value(reply)),
                                         xcb_get_property_value_length(reply))
                            : QByteArray("no reply");
    std::free(reply);
    return text;
}

// The error dialog of a failed close, while which the window manager asks
// the main window to close once more; it stays open until the request came.
void closeAgainWhileReporting(const QString &text, QWidget *)
{
    reportedErrors().append(text);
    EventCounter requests(QEvent::Close);
    Form1->windowHandle()->installEventFilter(&requests);
    for (int tries = 0; tries < 50 && requests.count == 0; ++tries) {
        sendCloseRequest(Form1->winId()); // asked again where a message is lost
        QTest::qWait(100);
    }
    QVERIFY(requests.count > 0);
}

} // namespace

// The main window as it first comes up, before any trial, laid out with a
// default font that matches its design metrics (DejaVu Sans, 11 pixels).
class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void controls_data();
    void controls();
    void ownFonts_data();
    void ownFonts();
    void creditFollowsDesktopPalette();
    void subtitleWrapsCentredIn250();
    void starFieldIsBlack();
    void focusAndTabOrder();
    void creditLineOpensLicence_data();
    void creditLineOpensLicence();
    void noTooltips();
    void sizeIsFixed();
    void keptOnScreenWhenTallerThanBelowItsPlace();
    void secondCloseRequestWhileCloseFails();
    void errorDialogTitleBarIsEmpty();

private:
    ProgramFixture *m_program = nullptr;
};

void TestMainWindow::initTestCase()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    QApplication::setFont(font);
}

void TestMainWindow::init()
{
    m_program = new ProgramFixture;
    Form1->showForm();
    QVERIFY(QTest::qWaitForWindowActive(Form1));
}

void TestMainWindow::cleanup()
{
    delete m_program;
    m_program = nullptr;
}

void TestMainWindow::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("visible");
    QTest::newRow("title") << "Label2" << "VELMARIS" << true;
    QTest::newRow("version") << "LabelVersion" << "v1.2.1" << true;
    QTest::newRow("subtitle") << "Label4"
                              << "Entrainement au chronométrage des occultations stellaires"
                              << true;
    QTest::newRow("start button") << "Button2" << "On y va !" << true;
    QTest::newRow("result prefix, trailing blank") << "Label5" << "Le temps est de " << true;
    QTest::newRow("result") << "LabelResult" << "X" << true;
    QTest::newRow("result unit") << "Label6" << "s" << true;
    QTest::newRow("settings") << "Button3" << "Réglages..." << true;
    QTest::newRow("help") << "Button4" << "Aide..." << true;
    QTest::newRow("entry label") << "Label1" << "Votre temps" << false;
    QTest::newRow("entry field") << "EditTemps" << "" << false;
    QTest::newRow("entry unit, never shown") << "Label3" << "s" << false;
    QTest::newRow("OK") << "ButtonOK" << "OK" << false;
    QTest::newRow("statistics") << "ButtonStat" << "Stats..." << false;
    QTest::newRow("reactions") << "ButtonReactions" << "Réactions..." << false;
    QTest::newRow("conditions, always shown") << "ButtonConditions" << "Conditions..." << true;
    QTest::newRow("detection, always shown") << "ButtonDetection" << "Détection..." << true;
}

void TestMainWindow::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(bool, visible);
    auto *control = Form1->contents()->findChild<QWidget *>(name);
    QVERIFY(control);
    QCOMPARE(control->isVisible(), visible);
    QVERIFY(control->isEnabled());
    QCOMPARE(control->property("text").toString(), text);
}

void TestMainWindow::ownFonts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    QTest::addColumn<bool>("underline");
    QTest::newRow("title") << "Label2" << 24 << true << false << false;
    QTest::newRow("subtitle") << "Label4" << 16 << false << true << false;
    QTest::newRow("start button") << "Button2" << 16 << true << false << false;
    QTest::newRow("credit") << "Label7" << 11 << false << false << true;
}

void TestMainWindow::ownFonts()
{
    QFETCH(QString, name);
    QFETCH(int, pixels);
    QFETCH(bool, bold);
    QFETCH(bool, italic);
    QFETCH(bool, underline);
    auto *control = Form1->contents()->findChild<QWidget *>(name);
    const QFont font = control->font();
    QCOMPARE(font.family(), QStringLiteral("adobe-helvetica"));
    // Shown in the family that Qt itself takes for Helvetica.
    QCOMPARE(QFontInfo(font).family(), QFontInfo(QFont(QStringLiteral("Helvetica"))).family());
    QCOMPARE(font.pixelSize(), pixels);
    QCOMPARE(font.bold(), bold);
    QCOMPARE(font.italic(), italic);
    QCOMPARE(font.underline(), underline);
    QVERIFY(!font.fixedPitch());
    QCOMPARE(control->palette().color(QPalette::WindowText), QColor(Qt::black));
    // Disabled, it looks as any disabled control of the desktop does.
    const QPalette::ColorRole text = control->foregroundRole();
    QCOMPARE(control->palette().color(QPalette::Disabled, text),
             QApplication::palette(control).color(QPalette::Disabled, text));
}

void TestMainWindow::creditFollowsDesktopPalette()
{
    // A dark desktop scheme, chosen while the program runs.
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    dark.setColor(QPalette::Window, QColor(0x20, 0x20, 0x28));
    dark.setColor(QPalette::WindowText, QColor(0xE0, 0xE0, 0xE0));
    QApplication::setPalette(dark);
    QCoreApplication::processEvents(); // the change reaches the windows
    QLabel *credit = Form1->ui.Label7;
    const QColor background = credit->palette().color(credit->backgroundRole());
    const QColor window = Form1->viewport()->palette().color(Form1->viewport()->backgroundRole());
    const QColor text = credit->palette().color(QPalette::Active, credit->foregroundRole());
    QApplication::setPalette(light);
    QCoreApplication::processEvents();
    QCOMPARE(background, dark.color(QPalette::Window));
    QCOMPARE(window, dark.color(QPalette::Window));
    QCOMPARE(text, QColor(Qt::black)); // a fixed colour stays
}

void TestMainWindow::subtitleWrapsCentredIn250()
{
    QLabel *subtitle = Form1->ui.Label4;
    QCOMPARE(subtitle->width(), 250);
    QVERIFY(subtitle->wordWrap());
    QVERIFY(subtitle->alignment() & Qt::AlignHCenter);
    // More than one line: the text does not fit on one line of 250 pixels.
    QVERIFY(subtitle->height() > subtitle->fontMetrics().height() * 3 / 2);
    // Other labels take the size of their text.
    QLabel *result = Form1->ui.LabelResult;
    QCOMPARE(result->pos(), QPoint(136, 272));
    QCOMPARE(result->width(), result->fontMetrics().horizontalAdvance(QStringLiteral("X")));
}

void TestMainWindow::starFieldIsBlack()
{
    const QImage picture = Form1->ui.Image1->picture().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(picture.size(), QSize(105, 105));
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            QCOMPARE(picture.pixel(x, y), qRgb(0, 0, 0));
    QVERIFY(!Form1->ui.Image1->starShown());
    QVERIFY(!Form1->ui.Image1->accessibleName().isEmpty());
}

void TestMainWindow::focusAndTabOrder()
{
    QCOMPARE(QApplication::focusWidget(), Form1->ui.Button2);
    // Only the visible, enabled controls take part: start, settings, help,
    // conditions, detection, and the credit line, the keyboard's way to the licence.
    for (QWidget *expected : {static_cast<QWidget *>(Form1->ui.Button3),
                              static_cast<QWidget *>(Form1->ui.Button4),
                              static_cast<QWidget *>(Form1->ui.ButtonConditions),
                              static_cast<QWidget *>(Form1->ui.ButtonDetection),
                              static_cast<QWidget *>(Form1->ui.Label7),
                              static_cast<QWidget *>(Form1->ui.Button2)}) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), expected);
    }

    // With the entry row, "Stats..." and "Réactions..." showing, the whole
    // sequence.
    for (QWidget *control : {static_cast<QWidget *>(Form1->ui.EditTemps),
                             static_cast<QWidget *>(Form1->ui.ButtonOK),
                             static_cast<QWidget *>(Form1->ui.ButtonStat),
                             static_cast<QWidget *>(Form1->ui.ButtonReactions)})
        control->setVisible(true);
    Form1->ui.EditTemps->setFocus();
    const QList<QWidget *> sequence = {Form1->ui.ButtonOK,   Form1->ui.Button2,
                                       Form1->ui.Button3,    Form1->ui.Button4,
                                       Form1->ui.ButtonStat, Form1->ui.ButtonReactions,
                                       Form1->ui.ButtonConditions, Form1->ui.ButtonDetection,
                                       Form1->ui.Label7,
                                       Form1->ui.EditTemps};
    for (QWidget *expected : sequence) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), expected);
    }
}

void TestMainWindow::creditLineOpensLicence_data()
{
    QTest::addColumn<int>("key"); // none: the accessible press action
    QTest::newRow("Space") << int(Qt::Key_Space);
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("a screen reader's press") << 0;
}

void TestMainWindow::creditLineOpensLicence()
{
    QFETCH(int, key);
    ClickLabel *credit = Form1->ui.Label7;
    credit->setFocus();
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(credit);
    QCOMPARE(accessible->role(), QAccessible::Link);
    QCOMPARE(accessible->text(QAccessible::Name), credit->text());
    if (key != 0)
        QTest::keyClick(credit, Qt::Key(key));
    else
        accessible->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QVERIFY(Form3->isVisible());
    QCOMPARE(Form3->windowTitle(), QStringLiteral("Licence GPL"));
}

void TestMainWindow::noTooltips()
{
    const auto controls =
        Form1->contents()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget *control : controls)
        QVERIFY2(control->toolTip().isEmpty(), qPrintable(control->objectName()));
    // The credit label keeps its hint text, the start button its hint switch.
    QCOMPARE(Form1->ui.Label7->property("hint").toString(), QStringLiteral("cliquez-moi..."));
    QVERIFY(Form1->ui.Button2->property("showHint").toBool());
}

void TestMainWindow::sizeIsFixed()
{
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        QCOMPARE(Form1->size(), QSize(287, 419));
    QVERIFY(Form1->windowState() & Qt::WindowMaximized);
    Form1->resize(600, 700);
    QCOMPARE(Form1->size(), QSize(287, 419));
    // The offscreen platform gives a maximized window the whole screen,
    // whatever its limits; a real X server keeps them (this test also runs
    // under Xvfb).
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        return;
    Form1->setWindowState(Qt::WindowNoState);
    QTest::qWait(20);
    QCOMPARE(Form1->size(), QSize(287, 419));
    Form1->setWindowState(Qt::WindowMaximized);
    QTest::qWait(20);
    QCOMPARE(Form1->size(), QSize(287, 419));
}

void TestMainWindow::keptOnScreenWhenTallerThanBelowItsPlace()
{
    // At 18 pixels (21 by 10) the window, 478 x 676, would reach 821 from its
    // stored top; maximized, it keeps its size and place, so it is moved.
    delete m_program;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(18);
    QApplication::setFont(font);
    m_program = new ProgramFixture;
    initTestCase(); // the layout is built
    Form1->showForm();
    QVERIFY(QTest::qWaitForWindowExposed(Form1));
    QTRY_COMPARE(Form1->size(), QSize(478, 676));
    QVERIFY(Form1->screen()->availableGeometry().contains(Form1->frameGeometry()));
}

void TestMainWindow::secondCloseRequestWhileCloseFails()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("close requests come from a real X server");
    QVERIFY(QDir().mkdir(QStringLiteral(".occ"))); // the log cannot be written
    OccultCount = 2;
    MeasureCount = 2;
    setErrorReporter(closeAgainWhileReporting);
    // The X server may drop a message sent to a window that has just been
    // mapped: ask again until the close has been tried.
    for (int tries = 0; tries < 50 && reportedErrors().isEmpty(); ++tries) {
        sendCloseRequest(Form1->winId());
        QTest::qWait(100);
    }
    captureErrors();
    QCOMPARE(reportedErrors(), QStringList{QStringLiteral("Accès au fichier refusé.")});
    // The main window is still on the screen, for another try.
    QVERIFY(Form1->isVisible());
    QVERIFY(Form1->windowHandle()->handle());
}

void TestMainWindow::errorDialogTitleBarIsEmpty()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("the title bar shows the X window's name");
    setErrorReporter(nullptr); // the real dialog
    QByteArray title = "unset";
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        title = titleBarText(box->winId());
        box->button(QMessageBox::Ok)->click();
    });
    showErrorDialog(QStringLiteral("Disque plein"));
    captureErrors();
    QVERIFY2(title.trimmed().isEmpty(), title.constData());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
