// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "program/application.h"
#include "app/errors.h"
#include "app/presentation.h"
#include "main_window/unit1.h"
#include "statistics/unit4.h"
#include "testsupport.h"
#include "viewer/pagebounds.h"
#include "viewer/unit3.h"

#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTimer>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>
#include <vector>

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

// The process's resident memory in bytes.
qint64 residentMemory()
{
    std::FILE *file = std::fopen("/proc/self/statm", "re");
    if (!file)
        return 0;
    long size = 0;
    long resident = 0;
    const int read = std::fscanf(file, "%ld %ld", &size, &resident);
    std::fclose(file);
    return read == 2 ? qint64(resident) * ::sysconf(_SC_PAGESIZE) : 0;
}

// Watches the program from another thread while it loads a document, for
// what the program could never report itself. A FIFO named here (other
// files are left alone) that someone opens for reading is at once opened for writing and closed again,
// so that the reader gets an empty file instead of waiting for ever, and
// the opening is noted. A load that takes longer than the time given, or
// makes the process's memory grow by more than the amount given, ends the
// test program with a message.
class Watchdog
{
public:
    Watchdog(const QStringList &fifos, std::chrono::seconds time, qint64 memory)
    {
        for (const QString &fifo : fifos) {
            struct stat status;
            if (::lstat(QFile::encodeName(fifo).constData(), &status) == 0
                && S_ISFIFO(status.st_mode))
                m_fifos.push_back(QFile::encodeName(fifo));
        }
        const qint64 baseline = residentMemory();
        const auto deadline = std::chrono::steady_clock::now() + time;
        m_thread = std::thread([this, baseline, deadline, memory, time] {
            while (!m_stop) {
                for (const QByteArray &fifo : m_fifos) {
                    // Opening for writing without waiting succeeds only
                    // while someone has it open for reading.
                    const int fd = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
                    if (fd >= 0) {
                        ::close(fd);
                        std::lock_guard<std::mutex> lock(m_mutex);
                        m_opened.push_back(fifo);
                    }
                }
                const qint64 grown = residentMemory() - baseline;
                if (grown > memory) {
                    std::fprintf(stderr, "watchdog: the memory grew by %lld MB while loading\n",
                                 static_cast<long long>(grown >> 20));
                    std::abort();
                }
                if (std::chrono::steady_clock::now() > deadline) {
                    std::fprintf(stderr, "watchdog: loading went on for more than %lld s\n",
                                 static_cast<long long>(time.count()));
                    std::abort();
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
    }

    ~Watchdog() { stop(); }

    void stop()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }

    /// The FIFOs that were found open for reading.
    QStringList openedFifos()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        QStringList names;
        for (const QByteArray &fifo : m_opened)
            names.append(QFile::decodeName(fifo));
        names.removeDuplicates();
        return names;
    }

private:
    std::vector<QByteArray> m_fifos;
    std::vector<QByteArray> m_opened;
    std::mutex m_mutex;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Every opening or reading of a file in a directory, or of the directory
// itself, by anyone, as the kernel reports it: read permission would prove
// nothing, as the super-user may read anything.
class OpenRecorder
{
public:
    explicit OpenRecorder(const QString &dir)
        : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        if (m_fd >= 0
            && ::inotify_add_watch(m_fd, QFile::encodeName(dir).constData(),
                                   IN_OPEN | IN_ACCESS) < 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~OpenRecorder()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    OpenRecorder(const OpenRecorder &) = delete;
    OpenRecorder &operator=(const OpenRecorder &) = delete;

    bool isValid() const { return m_fd >= 0; }

    /// What was opened or read since the last call, as "open name" or
    /// "read name"; "." is the directory itself.
    QStringList events()
    {
        QStringList found;
        alignas(inotify_event) char buffer[4096];
        for (;;) {
            const ssize_t count = ::read(m_fd, buffer, sizeof buffer);
            if (count <= 0)
                break;
            for (ssize_t at = 0; at < count;) {
                const auto *event = reinterpret_cast<const inotify_event *>(buffer + at);
                const QString name = event->len ? QFile::decodeName(event->name)
                                                : QStringLiteral(".");
                found.append(((event->mask & IN_OPEN) ? QStringLiteral("open ")
                                                      : QStringLiteral("read "))
                             + name);
                at += ssize_t(sizeof(inotify_event) + event->len);
            }
        }
        found.removeDuplicates();
        return found;
    }

private:
    int m_fd;
};

// Whether some pixel of the image is clearly red.
bool hasRed(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor colour = image.pixelColor(x, y);
            if (colour.red() > 160 && colour.green() < 96 && colour.blue() < 96)
                return true;
        }
    }
    return false;
}

// Text of the given length that is laid out as words of 79 letters.
QByteArray words(qint64 length)
{
    QByteArray text(length, 'x');
    for (qint64 i = 79; i < length - 1; i += 80)
        text[i] = ' ';
    return text;
}

// Replaces the help page of the fixture with a document of the given kind:
// "page" the bytes given, "fifo" a FIFO, "large" markup one byte longer
// than the viewer reads, "zero" a link to /dev/zero, "nested" 10,000
// tables each in a cell of the one around it, "missing" nothing.
void makeHelpPage(const ProgramFixture &fixture, const QString &kind, const QByteArray &page)
{
    const QString path = fixture.path("aide.html");
    QFile::remove(path);
    if (kind == QLatin1String("page")) {
        writeFile(path, page);
    } else if (kind == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    } else if (kind == QLatin1String("large")) {
        writeFile(path, "<p>" + words(TextViewer::maxFileSize + 1 - 7) + "</p>");
        QCOMPARE(QFileInfo(path).size(), TextViewer::maxFileSize + 1);
    } else if (kind == QLatin1String("nested")) {
        writeFile(path, QByteArray("<table><tr><td>").repeated(10000) + "x"
                            + QByteArray("</td></tr></table>").repeated(10000));
    } else if (kind == QLatin1String("zero")) {
        QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    } else {
        QCOMPARE(kind, QStringLiteral("missing"));
    }
}

// Long enough for any document the viewer accepts, even on a busy machine;
// far less than a runaway read needs to do harm.
constexpr std::chrono::seconds loadTime(30);
constexpr qint64 loadMemory = 256 * 1024 * 1024;

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
    void helpPageMadeWhenShown();
    void layoutAsStored_data();
    void layoutAsStored();
    void presentation();
    void coloursIgnoreDesktopScheme();

    void helpButtonShowsHelpPage();
    void openingsSwitchDocumentAndCaption();
    void okHidesAndKeepsDocument();
    void keysOnOkScrollText_data();
    void keysOnOkScrollText();
    void screenReaderReadsTheText_data();
    void screenReaderReadsTheText();
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

    void badDocument_data();
    void badDocument();
    void documentOfSizeLimitShown();

    void startWithUnusableHelpPage_data();
    void startWithUnusableHelpPage();
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

    // The page was read at start-up: removed since, it is still what the
    // window shows, as rich text (its markup laid out, not shown).
    QVERIFY(QFile::remove(fixture.path("aide.html")));
    Form3->showForm();
    const QString shown = viewer()->toPlainText();
    QVERIFY(shown.contains(QStringLiteral("occultation")));
    QVERIFY(shown.contains(QStringLiteral("Chronométrer et saisir son temps")));
    QVERIFY(!shown.contains(QStringLiteral("<h2>")));
    QVERIFY(!shown.contains(QStringLiteral("&eacute;")));
    QVERIFY(reportedErrors().isEmpty());
}

void TestViewer::helpPageMadeWhenShown()
{
    // Start-up reads the page and checks its markup; the page is made, and
    // its words measured, only when it is to be shown.
    ProgramFixture fixture(true, false);
    makeHelpPage(fixture, QStringLiteral("page"),
                 "<p>" + QByteArray(PageBounds::maxWord + 1, 'x') + "</p>");
    createForms();
    QVERIFY(Form4);
    QVERIFY(reportedErrors().isEmpty());
    showMainWindow();
    clickHelpButton();
    const QString refused = QStringLiteral("La page est trop grande ou trop complexe pour être "
                                           "affichée");
    QCOMPARE(reportedErrors(), QStringList{openErrorText(fixture, "aide.html", refused)});
    QVERIFY(!Form3->isVisible());
}

void TestViewer::layoutAsStored_data()
{
    // Each control as stored for text 20 high and 8 wide, and where it
    // comes with text 14 by 7: edges times 7/8 across and 14/20 down,
    // truncated, worked out by hand.
    QTest::addColumn<QString>("control");
    QTest::addColumn<QRect>("scaled");
    // Left 216, right 291, top 632, bottom 657.
    QTest::newRow("OK button") << "Button1" << QRect(189, 442, 254 - 189, 459 - 442);
    // Left 8, right 529, top 24, bottom 617.
    QTest::newRow("document view") << "TextViewer1" << QRect(7, 16, 462 - 7, 431 - 16);
}

void TestViewer::layoutAsStored()
{
    QFETCH(QString, control);
    QFETCH(QRect, scaled);
    // DejaVu Sans at 12 pixels measures 14 by 7.
    const QFont desktop = QApplication::font();
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    QApplication::setFont(font);
    ProgramFixture fixture;
    QApplication::setFont(desktop);
    QCOMPARE(Form3->designMetrics(), (TextMetrics{20, 8}));
    QCOMPARE(Form3->runtimeMetrics(), (TextMetrics{14, 7}));
    QCOMPARE(Form3->geometry().topLeft(), QPoint(584, 231));
    auto *widget = Form3->contents()->findChild<QWidget *>(control);
    QVERIFY(widget);
    QCOMPARE(widget->geometry(), scaled);
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

void TestViewer::keysOnOkScrollText_data()
{
    // The key pressed while OK has the focus, with the text at its top or
    // at its end, and where the text then stands: a page or a line from
    // where it was, or at its end.
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("fromEnd");
    QTest::addColumn<QString>("expected");
    QTest::newRow("PageDown at the top: a page down") << int(Qt::Key_PageDown) << false << "page";
    QTest::newRow("Up at the end: a line back") << int(Qt::Key_Up) << true << "line";
    QTest::newRow("End at the top: the end") << int(Qt::Key_End) << false << "end";
}

void TestViewer::keysOnOkScrollText()
{
    QFETCH(int, key);
    QFETCH(bool, fromEnd);
    QFETCH(QString, expected);
    ProgramFixture fixture;
    showMainWindow();
    clickHelpButton();
    QVERIFY(QTest::qWaitForWindowExposed(Form3));
    QScrollBar *bar = viewer()->verticalScrollBar();
    QVERIFY(bar->maximum() > 2 * bar->pageStep()); // the help page does not fit
    // Its lines fit the view: no scroll bar across.
    QVERIFY(viewer()->document()->idealWidth() <= viewer()->viewport()->width());
    bar->setValue(fromEnd ? bar->maximum() : 0);

    QTest::keyClick(Form3->ui.Button1, Qt::Key(key));
    const int end = bar->maximum();
    const int position = expected == QLatin1String("page") ? bar->pageStep()
                         : expected == QLatin1String("line") ? end - bar->singleStep()
                                                             : end;
    QCOMPARE(bar->value(), position);
    QVERIFY(Form3->isVisible());
    QVERIFY(!(viewer()->focusPolicy() & Qt::TabFocus));
}

void TestViewer::screenReaderReadsTheText_data()
{
    // Whether an assistive technology is active as the window shows, and
    // once it is on the screen.
    QTest::addColumn<bool>("activeAtShow");
    QTest::addColumn<bool>("activeAfter");
    QTest::newRow("none: OK has the focus, the text is out of the tab chain") << false << false;
    QTest::newRow("active: the text has the focus and a caret") << true << true;
    QTest::newRow("started with the window open: the text joins the tab chain")
        << false << true;
    QTest::newRow("stopped with the window open: the text leaves the tab chain")
        << true << false;
}

void TestViewer::screenReaderReadsTheText()
{
    QFETCH(bool, activeAtShow);
    QFETCH(bool, activeAfter);
    ProgramFixture fixture;
    auto inactive = qScopeGuard([] { QAccessible::setActive(false); });
    showMainWindow();
    QAccessible::setActive(activeAtShow);
    clickHelpButton();
    QVERIFY(QTest::qWaitForWindowActive(Form3));
    QWidget *focus = activeAtShow ? static_cast<QWidget *>(viewer()) : Form3->ui.Button1;
    QTRY_COMPARE(QApplication::focusWidget(), focus);
    QAccessible::setActive(activeAfter);

    TextViewer *view = viewer();
    QCOMPARE(bool(view->focusPolicy() & Qt::TabFocus), activeAfter);
    QCOMPARE(bool(view->textInteractionFlags() & Qt::TextSelectableByKeyboard), activeAfter);
    QVERIFY(view->isReadOnly());
    if (activeAtShow && activeAfter) {
        // The keys move the caret through the text, line by line.
        QCOMPARE(view->textCursor().position(), 0);
        QTest::keyClick(view, Qt::Key_Down);
        QVERIFY(view->textCursor().position() > 0);
    }
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
    // Empty: the whole working directory is removed; it has no path left,
    // and the message names the file as it was tried.
    QTest::newRow("Aide... with the working directory removed")
        << "" << false << "" << helpCaption;
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

    QString expected;
    if (missing.isEmpty()) {
        QVERIFY(QDir(fixture.dir()).removeRecursively());
        expected = QStringLiteral("Impossible d'ouvrir le fichier \"aide.html\". "
                                  "No such file or directory.");
    } else {
        QVERIFY(QFile::remove(fixture.path(missing)));
        expected = openErrorText(fixture, missing, "No such file or directory");
    }
    credit ? clickCreditLabel() : clickHelpButton();

    QCOMPARE(reportedErrors(), QStringList{expected});
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

void TestViewer::badDocument_data()
{
    // The help page: its kind, and its bytes when it is a page, where @OUT@
    // stands for the absolute path of the directory "outside" in the working
    // directory and @TOP@ for the working directory's own name. "outside"
    // holds an image secret.png, a style sheet secret.css and a FIFO without
    // a writer. Then the system's text of the refusal, or the text shown
    // when the page is read.
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<QString>("shown");

    const QString image = QStringLiteral("avant \uFFFC apr\u00e8s");
    QTest::newRow("image named by an absolute path")
        << "page" << QByteArray("<p>avant <img src=\"@OUT@/secret.png\"> apr\xc3\xa8s</p>")
        << QString() << image;
    QTest::newRow("image named by a file URL")
        << "page" << QByteArray("<p>avant <img src=\"file://@OUT@/secret.png\"> apr\xc3\xa8s</p>")
        << QString() << image;
    QTest::newRow("image named by a path that climbs out with ..")
        << "page"
        << QByteArray("<p>avant <img src=\"../@TOP@/outside/secret.png\"> apr\xc3\xa8s</p>")
        << QString() << image;
    QTest::newRow("image named relative to the working directory")
        << "page" << QByteArray("<p>avant <img src=\"outside/secret.png\"> apr\xc3\xa8s</p>")
        << QString() << image;
    QTest::newRow("image in a table cell")
        << "page"
        << QByteArray("<table><tr><td>avant <img src=\"@OUT@/secret.png\" width=\"20\"> "
                      "apr\xc3\xa8s</td></tr></table>")
        << QString() << QStringLiteral("\navant \uFFFC apr\u00e8s\n");
    QTest::newRow("background image of the page")
        << "page"
        << QByteArray("<html><body background=\"@OUT@/secret.png\"><p>avant apr\xc3\xa8s</p>"
                      "</body></html>")
        << QString() << QStringLiteral("avant apr\u00e8s");
    QTest::newRow("background image in a style attribute")
        << "page"
        << QByteArray("<p style=\"background-image: url(@OUT@/secret.png)\">avant "
                      "apr\xc3\xa8s</p>")
        << QString() << QStringLiteral("avant apr\u00e8s");
    QTest::newRow("style sheet linked from the head")
        << "page"
        << QByteArray("<html><head><link rel=\"stylesheet\" type=\"text/css\" "
                      "href=\"@OUT@/secret.css\"></head><body><p>avant apr\xc3\xa8s</p>"
                      "</body></html>")
        << QString() << QStringLiteral("avant apr\u00e8s");
    QTest::newRow("style sheet imported by a style element")
        << "page"
        << QByteArray("<html><head><style>@import url(\"@OUT@/secret.css\");</style></head>"
                      "<body><p>avant apr\xc3\xa8s</p></body></html>")
        << QString() << QStringLiteral("avant apr\u00e8s");
    QTest::newRow("FIFO without a writer named as an image")
        << "page" << QByteArray("<p>avant <img src=\"@OUT@/fifo\"> apr\xc3\xa8s</p>")
        << QString() << image;
    QTest::newRow("FIFO without a writer named as a style sheet")
        << "page"
        << QByteArray("<html><head><link rel=\"stylesheet\" type=\"text/css\" "
                      "href=\"@OUT@/fifo\"></head>"
                      "<body><p>avant apr\xc3\xa8s</p></body></html>")
        << QString() << QStringLiteral("avant apr\u00e8s");
    QTest::newRow("/dev/zero named as an image")
        << "page" << QByteArray("<p>avant <img src=\"/dev/zero\"> apr\xc3\xa8s</p>")
        << QString() << image;
    QTest::newRow("help page is a FIFO without a writer")
        << "fifo" << QByteArray() << "No such device or address" << QString();
    QTest::newRow("help page one byte above the size limit")
        << "large" << QByteArray() << "File too large" << QString();
    QTest::newRow("help page is a link to /dev/zero")
        << "zero" << QByteArray() << "No such device or address" << QString();

    // Pages at the bounds on what the reader and the layout are asked, and
    // one step beyond each.
    const QString beyond =
        QStringLiteral("La page est trop grande ou trop complexe pour être affichée");
    const QByteArray div = "<div>";
    const QByteArray cell = "<table><tr><td>";
    QTest::newRow("elements nested 128 deep, four of them tables")
        << "page" << div.repeated(116) + cell.repeated(4) + "x" << QString()
        << QStringLiteral("\n\n\n\nx\n\n\n\n");
    QTest::newRow("elements nested 129 deep")
        << "page" << div.repeated(129) + "x" << beyond << QString();
    QTest::newRow("tables nested 5 deep") << "page" << cell.repeated(5) + "x" << beyond
                                          << QString();
    QTest::newRow("100 elements deep, then 50 each of line breaks, images and meta")
        << "page"
        << div.repeated(100) + QByteArray("<br>").repeated(50) + QByteArray("<img>").repeated(50)
               + QByteArray("<meta>").repeated(50) + "x"
        << QString()
        << QString(50, QChar(u'\n')) + QString(50, QChar::ObjectReplacementCharacter) + "x";
    QTest::newRow("a row of 130 cells without end tags")
        << "page" << "<table><tr>" + QByteArray("<td>a").repeated(130) << QString()
        << "\n" + QString("a\n").repeated(130);
    QTest::newRow("130 rows of two cells without end tags")
        << "page" << "<table>" + QByteArray("<tr><td>a<td>b").repeated(130) << QString()
        << "\n" + QString("a\nb\n").repeated(130);
    QTest::newRow("five tables one after another")
        << "page" << QByteArray("<table><tr><td>x</td></tr></table>").repeated(5) << QString()
        << QString("\nx\n").repeated(5);
    QTest::newRow("a comment holding elements nested 130 deep")
        << "page" << "<p><!-- " + (div + ' ').repeated(130) + "-->x" << QString()
        << QStringLiteral("x");
    QTest::newRow("list items each opened in the last one's bold text, 129 deep")
        << "page" << "<ul>" + QByteArray("<li><b>x").repeated(64) << beyond << QString();
    QTest::newRow("10,001 elements") << "page" << QByteArray("<hr>").repeated(10001) << beyond
                                     << QString();
    QTest::newRow("10,000 lines in <pre>") << "page" << "<pre>" + QByteArray(10000, '\n')
                                           << beyond << QString();
    QTest::newRow("10,000 lines of plain text") << "page" << QByteArray("x\n").repeated(10000)
                                                << beyond << QString();
    QTest::newRow("a list of 100 items") << "page" << "<ul>" + QByteArray("<li>x").repeated(100)
                                         << QString() << QString("x\n").repeated(100).chopped(1);
    QTest::newRow("a list of 101 items") << "page" << "<ul>" + QByteArray("<li>x").repeated(101)
                                         << beyond << QString();
    QTest::newRow("500 style rules for 1,001 elements")
        << "page" << "<style>" + QByteArray("p{}").repeated(500) + "</style>"
                         + QByteArray("<p>x").repeated(1000)
        << beyond << QString();
    QTest::newRow("a cell spanning 1,001 columns")
        << "page" << QByteArray("<table><tr><td colspan=1001>x</td></tr></table>") << beyond
        << QString();
    QTest::newRow("126 cells in the fourth nested table")
        << "page" << cell.repeated(3) + "<table><tr>" + QByteArray("<td>x").repeated(126)
        << beyond << QString();
    QTest::newRow("60,001 places where a line may begin")
        << "page" << "<p>" + QByteArray("x ").repeated(60000) << beyond << QString();
    QTest::newRow("a cell of 60,000 letters")
        << "page" << cell + (QByteArray(100, 'x') + ' ').repeated(600) << beyond << QString();
    QTest::newRow("7,500 letters in four nested tables")
        << "page" << cell.repeated(4) + (QByteArray(100, 'x') + ' ').repeated(75) << beyond
        << QString();
    QTest::newRow("a word of 100 letters") << "page" << "<p>" + QByteArray(100, 'x') << QString()
                                           << QString(100, u'x');
    QTest::newRow("a word of 101 letters") << "page" << "<p>" + QByteArray(101, 'x') << beyond
                                           << QString();
    // Fonts, each with the scripts it draws, and changes of font, script and
    // direction within a paragraph.
    const auto fonts = [](int count) {
        QByteArray page;
        for (int size = 1; size <= count; ++size)
            page += "<p style=\"font-size: " + QByteArray::number(size) + "px\">x";
        return page;
    };
    QTest::newRow("30 fonts") << "page" << fonts(PageBounds::maxFonts) << QString()
                              << QStringList(PageBounds::maxFonts, QStringLiteral("x")).join('\n');
    QTest::newRow("31 fonts") << "page" << fonts(PageBounds::maxFonts + 1) << beyond << QString();
    QTest::newRow("30 fonts, the last drawing Greek letters too")
        << "page" << fonts(PageBounds::maxFonts) + "\xce\xb1" << beyond << QString();
    const QByteArray fontChanges = "<p>" + QByteArray("x <b>x</b> ").repeated(5000) + 'x';
    QTest::newRow("10,000 changes of font")
        << "page" << fontChanges << QString() << QString("x ").repeated(10000) + 'x';
    QTest::newRow("10,001 changes of font") << "page" << fontChanges + "<b>x</b>" << beyond
                                            << QString();
    const QByteArray scriptChanges = "<p>" + QByteArray("x\xce\xb1 ").repeated(2500) + 'x';
    QTest::newRow("5,000 changes between Latin and Greek")
        << "page" << scriptChanges << QString()
        << QStringLiteral("x\u03b1 ").repeated(2500) + 'x';
    QTest::newRow("5,001 changes between Latin and Greek")
        << "page" << scriptChanges + "\xce\xb1" << beyond << QString();
    const QByteArray directionChanges = "<p>" + QByteArray("\xd7\x90" "1 ").repeated(2500);
    QTest::newRow("5,000 changes of direction: Hebrew and numbers in turn, an embedding")
        << "page" << directionChanges + "\xe2\x80\xab" << QString()
        << QStringLiteral("\u05d01 ").repeated(2500) + u'\u202b';
    QTest::newRow("5,001 changes of direction: Hebrew and numbers in turn, an embedding")
        << "page" << directionChanges + "\xd7\x90\xe2\x80\xab" << beyond << QString();
    QTest::newRow("51 images") << "page" << "<p>" + QByteArray("<img> ").repeated(51) << beyond
                               << QString();
    QTest::newRow("a cell padding of 2^31 - 1")
        << "page" << QByteArray("<table cellpadding=2147483647><tr><td>x</td></tr></table>")
        << beyond << QString();
    QTest::newRow("a cell spacing of 2^31 - 1")
        << "page" << QByteArray("<table cellspacing=2147483647><tr><td>x</td></tr></table>")
        << beyond << QString();
    QTest::newRow("a padding of 2^31 - 1 px in a style attribute")
        << "page"
        << QByteArray("<table><tr><td style=\"padding: 2147483647px\">x</td></tr></table>")
        << beyond << QString();
    QTest::newRow("8,001 paragraphs 500 px apart")
        << "page" << "<style>p { margin-top: 500px }</style>" + QByteArray("<p>x").repeated(8001)
        << beyond << QString();
}

void TestViewer::badDocument()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, page);
    QFETCH(QString, reason);
    QFETCH(QString, shown);
    ProgramFixture fixture;

    const QString outside = fixture.path("outside");
    QVERIFY(QDir().mkdir(outside));
    QImage picture(8, 8, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QVERIFY(picture.save(outside + "/secret.png", "PNG"));
    writeFile(outside + "/secret.css", "p { color: #ff0000; }");
    QCOMPARE(::mkfifo(QFile::encodeName(outside + "/fifo").constData(), 0600), 0);
    page.replace("@OUT@", QFile::encodeName(outside));
    page.replace("@TOP@", QFile::encodeName(QFileInfo(fixture.dir()).fileName()));
    makeHelpPage(fixture, kind, page);
    if (QTest::currentTestFailed())
        return;

    QStringList fifos{outside + "/fifo"};
    if (kind == QLatin1String("fifo"))
        fifos.append(fixture.path("aide.html"));
    OpenRecorder recorder(outside);
    QVERIFY(recorder.isValid());
    const QString before = viewer()->toHtml();

    QElapsedTimer clock;
    clock.start();
    QImage painted;
    {
        Watchdog watchdog(fifos, loadTime, loadMemory);
        clickHelpButton();
        // The document asks for its images when it is laid out and painted.
        painted = viewer()->viewport()->grab().toImage();
        QVERIFY(!painted.isNull());
        QCoreApplication::processEvents();
        watchdog.stop();
        const QStringList fifosOpened = watchdog.openedFifos();
        QVERIFY2(fifosOpened.isEmpty(), qPrintable(fifosOpened.join(QStringLiteral(", "))));
    }
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed()) + " ms"));
    QStringList opened = recorder.events();
    QVERIFY2(opened.isEmpty(), qPrintable(opened.join(QStringLiteral(", "))));

    // And the program goes on handling events.
    QTimer timer;
    timer.setSingleShot(true);
    QSignalSpy fired(&timer, &QTimer::timeout);
    timer.start(10);
    QVERIFY(fired.wait(5000));

    if (reason.isEmpty()) {
        QVERIFY(reportedErrors().isEmpty());
        QVERIFY(Form3->isVisible());
        QCOMPARE(viewer()->toPlainText(), shown);
        // Nothing of the red image and style sheet reaches the screen.
        QCOMPARE(formatOf(viewer()->document(), QStringLiteral("avant")).foreground().color(),
                 QColor(Qt::black));
        QVERIFY(!hasRed(painted));
    } else {
        QCOMPARE(reportedErrors(), QStringList{openErrorText(fixture, "aide.html", reason)});
        QCOMPARE(viewer()->toHtml(), before);
        QVERIFY(!Form3->isVisible());
    }
    opened = recorder.events();
    QVERIFY2(opened.isEmpty(), qPrintable(opened.join(QStringLiteral(", "))));
}

void TestViewer::documentOfSizeLimitShown()
{
    ProgramFixture fixture;
    const QByteArray text = words(TextViewer::maxFileSize - 7);
    writeFile(fixture.path("aide.html"), "<p>" + text + "</p>");
    QCOMPARE(QFileInfo(fixture.path("aide.html")).size(), TextViewer::maxFileSize);
    clickHelpButton();
    QVERIFY(reportedErrors().isEmpty());
    QCOMPARE(viewer()->toPlainText(), QString::fromLatin1(text));
}

void TestViewer::startWithUnusableHelpPage_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no help page") << "missing" << "No such file or directory";
    QTest::newRow("help page is a FIFO without a writer")
        << "fifo" << "No such device or address";
    QTest::newRow("help page is a link to /dev/zero") << "zero" << "No such device or address";
    QTest::newRow("help page one byte above the size limit") << "large" << "File too large";
    QTest::newRow("help page of 10,000 nested tables")
        << "nested" << "La page est trop grande ou trop complexe pour être affichée";
}

void TestViewer::startWithUnusableHelpPage()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    ProgramFixture fixture(true, false);
    makeHelpPage(fixture, kind, QByteArray());
    if (QTest::currentTestFailed())
        return;

    QString message;
    QString type;
    {
        Watchdog watchdog({fixture.path("aide.html")}, loadTime, loadMemory);
        try {
            createForms();
        } catch (const Error &error) {
            message = error.message();
            type = QString::fromLatin1(error.typeName());
        }
        watchdog.stop();
        const QStringList fifosOpened = watchdog.openedFifos();
        QVERIFY2(fifosOpened.isEmpty(), qPrintable(fifosOpened.join(QStringLiteral(", "))));
    }
    QCOMPARE(type, QStringLiteral("LayoutReadError"));
    QCOMPARE(message,
             QStringLiteral("Erreur lors de la lecture de TextViewer1.FileName: "
                            "Impossible d'ouvrir le fichier \"%1\". %2")
                 .arg(expectedPath(fixture, "aide.html"), reason));
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
