// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/application.h"
#include "app/errors.h"
#include "app/presentation.h"
#include "main_window/unit1.h"
#include "statistics/unit4.h"
#include "testsupport.h"
#include "viewer/unit3.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

TextViewer *viewer()
{
    return Form3->ui.TextViewer1;
}

// The absolute path the program is expected to name, worked out from the
// test's own directory rather than from the process's working directory.
QString expectedPath(const ProgramFixture &fixture, const QString &name)
{
    return QFileInfo(fixture.dir()).canonicalFilePath() + QLatin1Char('/') + name;
}

QString openErrorText(const ProgramFixture &fixture, const QString &name, const QString &reason)
{
    return QStringLiteral("Impossible d'ouvrir le fichier \"%1\". %2.")
        .arg(expectedPath(fixture, name), reason);
}

// A socket file, which no one can open as a file.
bool makeSocketFile(const QString &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (size_t(name.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&address),
                                         sizeof address) == 0;
    if (fd >= 0)
        ::close(fd);
    return bound;
}

void clickHelpButton()
{
    QTest::mouseClick(Form1->ui.Button4, Qt::LeftButton);
}

void clickCreditLabel()
{
    QTest::mouseClick(Form1->ui.Label7, Qt::LeftButton);
}

void showMainWindow()
{
    Form1->showForm();
    QVERIFY(QTest::qWaitForWindowExposed(Form1));
}

// The character format at the middle of the first occurrence of text.
QTextCharFormat formatOf(QTextDocument *document, const QString &text)
{
    QTextCursor found = document->find(text);
    if (found.isNull())
        return {};
    QTextCursor cursor(document);
    cursor.setPosition(found.selectionStart() + 1);
    return cursor.charFormat();
}

const QString helpCaption = QStringLiteral("Aide");
const QString licenceCaption = QStringLiteral("Licence GPL");

} // namespace

class TestViewer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void helpPageLoadedAtStart();
    void layoutAsStored_data();
    void layoutAsStored();
    void presentation();
    void coloursIgnoreDesktopScheme();

    void helpButtonShowsHelpPage();
    void openingsSwitchDocumentAndCaption();
    void okHidesAndKeepsDocument();
    void reopeningReadsFileAgain_data();
    void reopeningReadsFileAgain();

    void textFormat_data();
    void textFormat();
    void declaredCharsetIgnored_data();
    void declaredCharsetIgnored();

    void failedOpening_data();
    void failedOpening();
    void unreadableFile_data();
    void unreadableFile();

    void linkClickChangesNothing_data();
    void linkClickChangesNothing();

    void startWithoutHelpPage();
};

void TestViewer::initTestCase()
{
    // The documents' bytes are read in the system's 8-bit encoding, and the
    // error texts come from the C library: pin both.
    QVERIFY(pinLocale("C.UTF-8"));
}

void TestViewer::helpPageLoadedAtStart()
{
    ProgramFixture fixture;
    QVERIFY(Form3);
    QVERIFY(!Form3->isVisible());
    QCOMPARE(Form3->windowTitle(), helpCaption);
    QCOMPARE(viewer()->fileName(), QStringLiteral("aide.html"));

    // The help page is there as rich text: its markup is laid out, not shown.
    const QString shown = viewer()->toPlainText();
    QVERIFY(shown.contains(QStringLiteral("occultation")));
    QVERIFY(shown.contains(QStringLiteral("Chronométrer et saisir son temps")));
    QVERIFY(!shown.contains(QStringLiteral("<h2>")));
    QVERIFY(!shown.contains(QStringLiteral("&eacute;")));
    QVERIFY(reportedErrors().isEmpty());
}

void TestViewer::layoutAsStored_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QRect>("stored");
    QTest::newRow("OK button") << "Button1" << QRect(216, 632, 75, 25);
    QTest::newRow("document view") << "TextViewer1" << QRect(8, 24, 521, 593);
}

void TestViewer::layoutAsStored()
{
    QFETCH(QString, control);
    QFETCH(QRect, stored);
    ProgramFixture fixture;
    QCOMPARE(Form3->designMetrics(), (TextMetrics{20, 8}));
    QCOMPARE(Form3->geometry().topLeft(), QPoint(584, 231));
    auto *widget = Form3->contents()->findChild<QWidget *>(control);
    QVERIFY(widget);
    QCOMPARE(widget->geometry(),
             scaleRect(stored, Form3->runtimeMetrics(), Form3->designMetrics()));
}

void TestViewer::presentation()
{
    ProgramFixture fixture;
    TextViewer *view = viewer();
    QVERIFY(view->isReadOnly());
    QVERIFY(!view->openLinks());
    QVERIFY(!view->openExternalLinks());
    QCOMPARE(view->frameShadow(), QFrame::Sunken);
    QVERIFY(view->frameShape() != QFrame::NoFrame);
    QCOMPARE(view->lineWrapMode(), QTextEdit::WidgetWidth);
    QCOMPARE(view->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    QCOMPARE(view->horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);

    // The view is left out of the tab sequence; OK is neither the default
    // nor an automatic default button, so Enter does not close the window.
    QVERIFY(!(view->focusPolicy() & Qt::TabFocus));
    QPushButton *ok = Form3->ui.Button1;
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QVERIFY(ok->focusPolicy() & Qt::TabFocus);
    QVERIFY(!ok->isDefault());
    QVERIFY(!ok->autoDefault());
}

void TestViewer::coloursIgnoreDesktopScheme()
{
    // A dark desktop scheme with red links must not reach the document view.
    const QPalette desktop = QApplication::palette();
    QPalette dark = desktop;
    dark.setColor(QPalette::Base, Qt::black);
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::Link, Qt::red);
    dark.setColor(QPalette::LinkVisited, Qt::red);
    QApplication::setPalette(dark);
    auto restore = qScopeGuard([&] { QApplication::setPalette(desktop); });

    ProgramFixture fixture;
    writeFile(fixture.path("aide.html"),
              "<p>Voir la <a href=\"gpl_en.html\">licence</a> ici.</p>");
    clickHelpButton();
    QVERIFY(reportedErrors().isEmpty());

    const QPalette colors = viewer()->palette();
    QCOMPARE(colors.color(QPalette::Active, QPalette::Base), QColor(Qt::white));
    QCOMPARE(colors.color(QPalette::Active, QPalette::Text), QColor(Qt::black));
    QCOMPARE(colors.color(QPalette::Inactive, QPalette::Text), QColor(Qt::black));

    const QTextCharFormat link = formatOf(viewer()->document(), QStringLiteral("licence"));
    QVERIFY(link.isAnchor());
    QCOMPARE(link.foreground().color(), QColor(Qt::blue));
    QVERIFY(link.fontUnderline());
    const QTextCharFormat text = formatOf(viewer()->document(), QStringLiteral("Voir"));
    QVERIFY(!text.isAnchor());
    QVERIFY(!text.fontUnderline());
}

void TestViewer::helpButtonShowsHelpPage()
{
    ProgramFixture fixture;
    showMainWindow();
    clickHelpButton();
    QVERIFY(reportedErrors().isEmpty());
    QVERIFY(Form3->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(Form3));
    QCOMPARE(Form3->windowTitle(), helpCaption);
    QCOMPARE(viewer()->fileName(), QStringLiteral("aide.html"));
    QVERIFY(viewer()->toPlainText().contains(QStringLiteral("Rapidité")));
    QVERIFY(QTest::qWaitForWindowActive(Form3));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(Form3->ui.Button1));
}

void TestViewer::openingsSwitchDocumentAndCaption()
{
    ProgramFixture fixture;
    showMainWindow();
    clickHelpButton();
    const QString help = viewer()->toPlainText();

    clickCreditLabel();
    QVERIFY(reportedErrors().isEmpty());
    QCOMPARE(Form3->windowTitle(), licenceCaption);
    QCOMPARE(viewer()->fileName(), QStringLiteral("gpl_en.html"));
    const QString licence = viewer()->toPlainText();
    QVERIFY(licence.contains(QStringLiteral("GNU GENERAL PUBLIC LICENSE")));
    QVERIFY(licence.contains(QStringLiteral("Version 2, June 1991")));
    QVERIFY(licence.contains(QStringLiteral("<one line to give the program's name")));
    QVERIFY(Form3->isVisible());

    clickHelpButton();
    QCOMPARE(Form3->windowTitle(), helpCaption);
    QCOMPARE(viewer()->toPlainText(), help);
    QVERIFY(Form3->isVisible());
    QVERIFY(reportedErrors().isEmpty());
}

void TestViewer::okHidesAndKeepsDocument()
{
    ProgramFixture fixture;
    showMainWindow();
    clickCreditLabel();
    QVERIFY(Form3->isVisible());
    const QString licence = viewer()->toHtml();

    QTest::mouseClick(Form3->ui.Button1, Qt::LeftButton);
    QVERIFY(!Form3->isVisible());
    QCOMPARE(Form3->windowTitle(), licenceCaption);
    QCOMPARE(viewer()->toHtml(), licence);
    QVERIFY(reportedErrors().isEmpty());
}

void TestViewer::reopeningReadsFileAgain_data()
{
    QTest::addColumn<bool>("credit");
    QTest::addColumn<QString>("file");
    QTest::newRow("Aide... twice") << false << "aide.html";
    QTest::newRow("credit label twice") << true << "gpl_en.html";
}

void TestViewer::reopeningReadsFileAgain()
{
    QFETCH(bool, credit);
    QFETCH(QString, file);
    ProgramFixture fixture;
    showMainWindow();
    auto open = [credit] { credit ? clickCreditLabel() : clickHelpButton(); };

    writeFile(fixture.path(file), "<h1>Premi\xc3\xa8re version</h1>");
    open();
    QCOMPARE(viewer()->toPlainText(), QStringLiteral("Première version"));

    // Same name, edited on disk while the window is showing it.
    writeFile(fixture.path(file), "<h1>Seconde version</h1><p>modifi\xc3\xa9" "e</p>");
    open();
    QCOMPARE(viewer()->toPlainText(), QStringLiteral("Seconde version\nmodifiée"));
    QVERIFY(Form3->isVisible());
    QVERIFY(reportedErrors().isEmpty());
}

void TestViewer::textFormat_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");

    QTest::newRow("empty file gives an empty view") << QByteArray() << QString();
    QTest::newRow("plain text keeps what looks like tags")
        << QByteArray("Temps 3.5 s\n<b>pas en gras</b> &amp; <i>x</i>\n")
        << QStringLiteral("Temps 3.5 s\n<b>pas en gras</b> &amp; <i>x</i>\n");
    QTest::newRow("plain text keeps its line breaks and blanks")
        << QByteArray("a  b\n\n   c") << QStringLiteral("a  b\n\n   c");
    QTest::newRow("markup is laid out")
        << QByteArray("<h1>Titre</h1><p>Un <b>mot</b> &amp; deux</p>")
        << QStringLiteral("Titre\nUn mot & deux");
    QTest::newRow("doctype makes it markup")
        << QByteArray("<!DOCTYPE html><html><body>Tout &eacute;t&eacute;</body></html>")
        << QStringLiteral("Tout été");
}

void TestViewer::textFormat()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    ProgramFixture fixture;
    writeFile(fixture.path("aide.html"), bytes);
    clickHelpButton();
    QVERIFY(reportedErrors().isEmpty());
    QCOMPARE(viewer()->toPlainText(), shown);
    if (bytes.isEmpty())
        QVERIFY(viewer()->document()->isEmpty());
}

void TestViewer::declaredCharsetIgnored_data()
{
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");

    const QByteArray declaresLatin1 = "<html><head><meta http-equiv=\"Content-Type\" "
                                      "content=\"text/html; charset=iso-8859-1\"></head>";
    const QByteArray declaresUtf8 = "<html><head><meta charset=\"utf-8\"></head>";
    QTest::newRow("UTF-8 locale, declares Latin-1, bytes in UTF-8")
        << QByteArray("C.UTF-8") << declaresLatin1 + "<body><p>R\xc3\xa9glages</p></body></html>"
        << QStringLiteral("Réglages");
    QTest::newRow("UTF-8 locale, declares UTF-8, bytes in Latin-1")
        << QByteArray("C.UTF-8") << declaresUtf8 + "<body><p>R\xe9glages</p></body></html>"
        << QStringLiteral("R\uFFFDglages");
    QTest::newRow("Latin-1 locale, declares UTF-8, bytes in Latin-1")
        << QByteArray("fr_FR.ISO-8859-1")
        << declaresUtf8 + "<body><p>R\xe9glages</p></body></html>" << QStringLiteral("Réglages");
    QTest::newRow("Latin-1 locale, declares Latin-1, bytes in UTF-8")
        << QByteArray("fr_FR.ISO-8859-1")
        << declaresLatin1 + "<body><p>R\xc3\xa9glages</p></body></html>"
        << QStringLiteral("R\u00c3\u00a9glages");
}

void TestViewer::declaredCharsetIgnored()
{
    QFETCH(QByteArray, locale);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    if (!pinLocale(locale.constData())) {
        if (qEnvironmentVariableIsSet("CI"))
            QFAIL(qPrintable("the locale " + locale + " is missing"));
        QSKIP(qPrintable("the locale " + locale + " is missing"));
    }
    ProgramFixture fixture;
    writeFile(fixture.path("aide.html"), bytes);
    clickHelpButton();
    pinLocale("C.UTF-8");
    QVERIFY(reportedErrors().isEmpty());
    QCOMPARE(viewer()->toPlainText(), shown);
}

void TestViewer::failedOpening_data()
{
    // What is on screen before, which opening fails, and what is left.
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("credit");
    QTest::addColumn<QString>("missing");
    QTest::addColumn<QString>("caption");

    QTest::newRow("Aide... without aide.html, viewer hidden")
        << "" << false << "aide.html" << helpCaption;
    QTest::newRow("Aide... without aide.html, licence on screen")
        << "licence" << false << "aide.html" << licenceCaption;
    QTest::newRow("credit label without gpl_en.html, viewer hidden")
        << "" << true << "gpl_en.html" << licenceCaption;
    QTest::newRow("credit label without gpl_en.html, help on screen")
        << "help" << true << "gpl_en.html" << licenceCaption;
}

void TestViewer::failedOpening()
{
    QFETCH(QString, before);
    QFETCH(bool, credit);
    QFETCH(QString, missing);
    QFETCH(QString, caption);
    ProgramFixture fixture;
    showMainWindow();
    if (before == QLatin1String("help"))
        clickHelpButton();
    else if (before == QLatin1String("licence"))
        clickCreditLabel();
    const bool visible = !before.isEmpty();
    QCOMPARE(Form3->isVisible(), visible);
    const QString document = viewer()->toHtml();
    const QString fileName = viewer()->fileName();

    QVERIFY(QFile::remove(fixture.path(missing)));
    credit ? clickCreditLabel() : clickHelpButton();

    QCOMPARE(reportedErrors(),
             QStringList{openErrorText(fixture, missing, "No such file or directory")});
    QCOMPARE(viewer()->toHtml(), document);
    QCOMPARE(viewer()->fileName(), fileName);
    QCOMPARE(Form3->windowTitle(), caption);
    QCOMPARE(Form3->isVisible(), visible);
}

void TestViewer::unreadableFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<QString>("reason");
    QTest::newRow("a directory of that name") << "directory" << QByteArray("C.UTF-8")
                                              << "Is a directory";
    QTest::newRow("a file without read permission") << "unreadable" << QByteArray("C.UTF-8")
                                                    << "Permission denied";
    // The system's text comes in the locale's code set, like the documents.
    QTest::newRow("a socket, French Latin-1 locale")
        << "socket" << QByteArray("fr_FR.ISO-8859-1") << "Aucun périphérique ou adresse";
}

void TestViewer::unreadableFile()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, locale);
    QFETCH(QString, reason);
    ProgramFixture fixture;
    const QString path = fixture.path("aide.html");
    if (kind == QLatin1String("directory")) {
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkdir(path));
    } else if (kind == QLatin1String("socket")) {
        QVERIFY(QFile::remove(path));
        QVERIFY(makeSocketFile(path));
    } else {
        if (::geteuid() == 0)
            QSKIP("read permission does not apply to the super-user");
        QVERIFY(QFile::setPermissions(path, QFile::WriteOwner));
    }
    const QString document = viewer()->toHtml();
    if (!pinLocale(locale.constData())) {
        if (qEnvironmentVariableIsSet("CI"))
            QFAIL(qPrintable("the locale " + locale + " is missing"));
        QSKIP(qPrintable("the locale " + locale + " is missing"));
    }

    clickHelpButton();
    pinLocale("C.UTF-8");
    QCOMPARE(reportedErrors(), QStringList{openErrorText(fixture, "aide.html", reason)});
    QCOMPARE(viewer()->toHtml(), document);
    QVERIFY(!Form3->isVisible());
}

void TestViewer::linkClickChangesNothing_data()
{
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("target");
    QTest::newRow("link to another document") << "licence" << "gpl_en.html";
    QTest::newRow("link to a web page") << "site" << "https://www.gnu.org/";
    QTest::newRow("link within the page") << "fin" << "#fin";
}

void TestViewer::linkClickChangesNothing()
{
    QFETCH(QString, label);
    QFETCH(QString, target);
    ProgramFixture fixture;
    QByteArray page = "<h1>Liens</h1><p><a href=\"gpl_en.html\">licence</a> "
                      "<a href=\"https://www.gnu.org/\">site</a> "
                      "<a href=\"#fin\">fin</a></p>";
    for (int i = 0; i < 200; ++i)
        page += "<p>ligne " + QByteArray::number(i) + "</p>";
    page += "<p><a name=\"fin\"></a>Dernier paragraphe</p>";
    writeFile(fixture.path("aide.html"), page);
    showMainWindow();
    clickHelpButton();
    QVERIFY(QTest::qWaitForWindowExposed(Form3));

    TextViewer *view = viewer();
    const QString document = view->toHtml();
    const int scrolled = view->verticalScrollBar()->value();
    QTextCursor found = view->document()->find(label);
    QVERIFY(!found.isNull());
    QTextCursor inside(view->document());
    inside.setPosition(found.selectionStart() + 1);
    const QPoint point = view->cursorRect(inside).center();
    QCOMPARE(view->anchorAt(point), target);

    QSignalSpy clicked(view, &QTextBrowser::anchorClicked);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, point);
    QCOMPARE(clicked.size(), 1); // the click did land on the link
    QTest::qWait(50);

    QCOMPARE(view->toHtml(), document);
    QCOMPARE(view->fileName(), QStringLiteral("aide.html"));
    QVERIFY(view->source().isEmpty());
    QCOMPARE(view->verticalScrollBar()->value(), scrolled);
    QCOMPARE(Form3->windowTitle(), helpCaption);
    QVERIFY(reportedErrors().isEmpty());
}

void TestViewer::startWithoutHelpPage()
{
    ProgramFixture fixture(false, false);
    QString message;
    QString type;
    try {
        createForms();
    } catch (const Error &error) {
        message = error.message();
        type = QString::fromLatin1(error.typeName());
    }
    QCOMPARE(type, QStringLiteral("LayoutReadError"));
    QCOMPARE(message,
             QStringLiteral("Erreur lors de la lecture de TextViewer1.FileName: "
                            "Impossible d'ouvrir le fichier \"%1\". No such file or directory")
                 .arg(expectedPath(fixture, "aide.html")));
    // The viewer leaves no reference behind, no later window is built and
    // nothing was shown.
    QVERIFY(!Form3);
    QVERIFY(!Form4);
    QVERIFY(Form1);
    QVERIFY(!Form1->isVisible());
    QVERIFY(reportedErrors().isEmpty());
}

QTEST_MAIN(TestViewer)
#include "tst_viewer.moc"
