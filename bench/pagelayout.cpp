// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
//
// How long "Aide..." takes with help pages built to ask the most of Qt's
// rich-text reader and layout that PageBounds lets through, and with pages
// that go beyond it.
//
//   velmaris_pagelayout [--runs N] [--timeout S] [page ...]
//   velmaris_pagelayout --steps page
//
// Each page, and each run of it, goes to a process of its own: it builds the
// program's windows with createForms() in a temporary directory holding the
// two documents, shows the main window, writes the page as aide.html, and
// times a click of "Aide..." up to the whole page laid out and the help
// window painted. Prints per page whether it was shown or refused, the
// median wall-clock and CPU times of the runs in ms (the lowest and highest
// in brackets), the median time of a second "Aide..." after OK, and the
// largest resident memory in MB. A run that has not ended after the timeout
// (30 s) is killed and counted as such. With no page named, all of them
// run; "list" prints their names and what they are.
// --steps times the viewer's steps for one page (its checks, the reading and
// the layout), and whether each check lets it through.
//
// Prints figures only; it never judges them.

#include "program/application.h"
#include "app/errordialog.h"
#include "main_window/unit1.h"
#include "viewer/pagebounds.h"
#include "viewer/textviewer.h"
#include "viewer/unit3.h"

#include <QApplication>
#include <QPushButton>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextDocument>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr qsizetype Size = TextViewer::maxFileSize;

// The head, then as many units as fit (or count of them), then the tail.
QByteArray fill(const QByteArray &head, const QByteArray &unit, const QByteArray &tail = {},
                qsizetype count = -1)
{
    const qsizetype room = (Size - head.size() - tail.size()) / unit.size();
    return head + unit.repeated(count < 0 ? room : std::min(count, room)) + tail;
}

QByteArray word(int length)
{
    return QByteArray(length, 'x');
}

// Tables nested levels deep, cells cells at each level, the innermost
// cells holding text.
QByteArray nestedTables(int levels, int cells, const QByteArray &text)
{
    if (levels == 0)
        return text;
    const QByteArray inner = nestedTables(levels - 1, cells, text);
    return "<table><tr>" + ("<td>" + inner + "</td>").repeated(cells) + "</tr></table>";
}

// The font families installed on the development machine (Debian 12's
// DejaVu and URW base 35 fonts); elsewhere a missing family falls back to
// another, a font all the same.
const char *const Families[] = {"C059", "D050000L", "DejaVu Math TeX Gyre", "DejaVu Sans",
                                "DejaVu Sans Mono", "DejaVu Serif", "Nimbus Mono PS",
                                "Nimbus Roman", "Nimbus Sans", "Nimbus Sans Narrow", "P052",
                                "Standard Symbols PS", "URW Bookman", "URW Gothic", "Z003"};

// Text in the n-th font of a cycle through the 15 families, 9 weights and
// 23 sizes, upright and italic: 2,070 fonts before it comes round again.
QByteArray fontSpan(int n, const QByteArray &text)
{
    return "<span style=\"font-family:'" + QByteArray(Families[n % 15]) + "';font-weight:"
           + QByteArray::number(100 * (1 + n % 9)) + ";font-size:"
           + QByteArray::number(8 + n % 23) + "px" + (n % 2 ? ";font-style:italic" : "") + "\">"
           + text + "</span>";
}

// A word of Latin and Hebrew letters in turn, in UTF-8.
QByteArray mixedWord(int length)
{
    QByteArray word;
    for (int i = 0; i < length; ++i)
        word += i % 2 ? QByteArray("\xd7\x90") : QByteArray("x");
    return word;
}

// count spans, the n-th in fontSpan(n), each holding text.
QByteArray fontSpans(int count, const QByteArray &text)
{
    QByteArray spans;
    for (int n = 0; n < count; ++n)
        spans += fontSpan(n, text);
    return spans;
}

// A paragraph of words of Latin and Hebrew letters in turn, in spans
// cycling through the first fonts of fontSpan(), up to the changes of
// script allowed; then long words in the first font.
QByteArray fontsAndScripts(int fonts)
{
    const int words = PageBounds::maxScriptChanges / PageBounds::maxWord;
    QByteArray spans;
    for (int n = 0; n < words; ++n)
        spans += fontSpan(n % fonts, mixedWord(PageBounds::maxWord) + ' ');
    return fill("<p>" + spans, fontSpan(0, word(PageBounds::maxWord) + ' '));
}

// A paragraph of words of Latin and Hebrew letters in turn, then long
// words: each letter changes script and direction, the last one into the
// long words; an odd count begins with a Hebrew word of one letter.
QByteArray scripts(int changes)
{
    const int letters = changes - changes % 2;
    const int words = letters / PageBounds::maxWord;
    const int rest = letters % PageBounds::maxWord;
    return fill("<p>" + QByteArray(changes % 2 ? "\xd7\x90 " : "")
                    + (mixedWord(PageBounds::maxWord) + ' ').repeated(words) + mixedWord(rest)
                    + ' ',
                word(PageBounds::maxWord) + ' ');
}

// Words of 80 letters in spans in fonts of their own, then long words in
// the first font.
QByteArray fonts(int count)
{
    return fill("<p>" + fontSpans(count, word(80) + ' '),
                fontSpan(0, word(PageBounds::maxWord) + ' '));
}

struct Page
{
    const char *name;
    const char *what;
    std::function<QByteArray()> make;
};

const std::vector<Page> &pages()
{
    static const std::vector<Page> all = {
        {"bundled", "the bundled help page",
         [] {
             QFile file(QStringLiteral(VELMARIS_DATA_DIR "/aide.html"));
             return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
         }},
        {"words-79", "a mebibyte of 79-letter words in one paragraph",
         [] { return fill("<p>", word(79) + ' '); }},

        // Beyond the bounds.
        {"padding", "a cell padding of 2^31 - 1",
         [] { return QByteArray("<table cellpadding=2147483647><tr><td>x</td></tr></table>"); }},
        {"spacing", "a cell spacing of 2^31 - 1",
         [] { return QByteArray("<table cellspacing=2147483647><tr><td>x</td></tr></table>"); }},
        {"css-padding", "a cell padding of 2^31 - 1 px in a style",
         [] {
             return QByteArray(
                 "<table><tr><td style=\"padding: 2147483647px\">x</td></tr></table>");
         }},
        {"fonts-scripts", "80-letter words of Latin and Hebrew letters in turn in 5,000 spans "
                          "cycling through fonts, then 100-letter ones",
         [] { return fill("<p>" + fontSpans(5000, mixedWord(80) + ' '), mixedWord(100) + ' '); }},
        {"scripts", "a mebibyte of 100-letter words of Latin and Hebrew letters in turn",
         [] { return fill("<p>", mixedWord(100) + ' '); }},
        {"fonts", "5,000 spans cycling through fonts, 80-letter words in each, then 100-letter "
                  "ones",
         [] { return fill("<p>" + fontSpans(5000, word(80) + ' '), word(100) + ' '); }},
        {"fonts-scripts-16", "the same as max-fonts-scripts, cycling through 16 fonts",
         [] { return fontsAndScripts(PageBounds::maxFonts / 2 + 1); }},
        {"scripts-5001", "the same as max-scripts, with one more change of script",
         [] { return scripts(PageBounds::maxScriptChanges + 1); }},
        {"fonts-31", "the same as max-fonts, with one more font",
         [] { return fonts(PageBounds::maxFonts + 1); }},
        {"colspan-100", "100 rows of one cell spanning 30,000 columns",
         [] { return "<table>" + QByteArray("<tr><td colspan=30000>x").repeated(100); }},
        {"colspan-2000", "2,000 rows of one cell spanning 30,000 columns",
         [] { return "<table>" + QByteArray("<tr><td colspan=30000>x").repeated(2000); }},
        {"nested-14", "four tables nested, 14 cells at each level",
         [] { return nestedTables(4, 14, "x"); }},
        {"margins", "paragraphs with a top margin of 120 px",
         [] { return fill("<style>p { margin-top: 120px }</style>", "<p>x</p>"); }},
        {"narrow-h1", "one narrow cell with a mebibyte of one-letter words in a heading",
         [] { return fill("<table><tr><td width=1><h1>", "x "); }},
        {"one-word", "a mebibyte without a blank", [] { return fill("<p>", "x"); }},
        {"list-in-bold", "list items each opened inside the last one's bold text",
         [] { return fill("<ul>", "<li><b>x"); }},
        {"images-after-bold", "490 images after 60 words of bold and plain letters in turn",
         [] {
             return "<p>" + (QByteArray("<b>x</b>x").repeated(125) + ' ').repeated(60)
                    + QByteArray("<img src=a.png> ").repeated(490);
         }},
        {"images-4000", "4,000 images in one paragraph",
         [] { return "<p>" + QByteArray("<img src=a.png>").repeated(4000); }},
        {"pre-lines", "a mebibyte of empty lines in <pre>", [] { return fill("<pre>", "\n"); }},
        {"plain-lines", "a mebibyte of empty lines as plain text", [] { return fill("", "\n"); }},
        {"li-all", "a mebibyte of list items", [] { return fill("<ul>", "<li>"); }},
        {"li-15000", "one list of 15,000 items, a word each",
         [] { return "<ul>" + QByteArray("<li>x").repeated(15000); }},
        {"style-rules", "20,000 style rules for every paragraph, and 2,000 paragraphs",
         [] { return "<style>" + QByteArray("p{color:red}").repeated(20000) + "</style>"
                     + QByteArray("<p>x").repeated(2000); }},

        // The most that the bounds let through.
        {"implied-130", "130 rows written with implied ends",
         [] { return "<table>" + QByteArray("<tr><td>a<td>b").repeated(130); }},
        {"max-nesting", "elements nested 128 deep, around words up to the lines",
         [] {
             return QByteArray("<div>").repeated(PageBounds::maxNesting - 4)
                    + fill("<ul><ul><ul><li>", "x ", {}, PageBounds::maxLines - 200);
         }},
        {"max-tables", "four tables nested, 2 cells at each level, 100 letters in each",
         [] { return nestedTables(4, 2, word(100) + ' ' + word(100) + ' ' + word(100)); }},
        {"max-tables-row", "four tables nested, the innermost a row of 124 cells of 59 letters",
         [] {
             return "<table><tr><td><table><tr><td><table><tr><td>"
                    + nestedTables(1, 124, word(59)) + "</table></table></table>";
         }},
        {"max-tables-2", "two tables nested, 21 cells at each level, 66 letters in each",
         [] { return nestedTables(2, 21, word(66)); }},
        {"max-grid", "one table of 10 x 100 cells, 58 letters in each",
         [] {
             return "<table>" + ("<tr>" + ("<td>" + word(58)).repeated(100)).repeated(10)
                    + "</table>";
         }},
        {"max-row", "one row of 1,000 cells, 58 letters in each",
         [] { return "<table><tr>" + ("<td>" + word(58)).repeated(1000) + "</table>"; }},
        {"max-lines-list", "one list item 12 lists deep, 59,800 one-letter words",
         [] {
             return QByteArray("<ul>").repeated(12)
                    + fill("<li>", "x ", {}, PageBounds::maxLines - 200);
         }},
        {"max-lines-heading", "the same in a heading, 30,000 words",
         [] { return QByteArray("<ul>").repeated(12) + fill("<li><h1>", "x ", {}, 30000); }},
        {"max-lines-cell", "one cell of 59,000 letters in words of 100",
         [] { return fill("<table><tr><td>", word(100) + ' ', {}, 590); }},
        {"max-elements-li", "99 lists of 100 items, a word each",
         [] { return ("<ul>" + QByteArray("<li>x").repeated(100) + "</ul>").repeated(99); }},
        {"max-elements-hr", "10,000 rules", [] { return QByteArray("<hr>").repeated(10000); }},
        {"max-elements-br", "10,000 line breaks with a word each",
         [] { return "<p>" + QByteArray("x<br>").repeated(9999); }},
        {"max-elements-span", "10,000 styled spans, a word each, then long words",
         [] {
             return fill("<p>" + QByteArray("<span style=\"color: red\">x</span> ").repeated(9999),
                         word(PageBounds::maxWord) + ' ');
         }},
        {"max-words", "a mebibyte of 100-letter words",
         [] { return fill("<p>", word(PageBounds::maxWord) + ' '); }},
        {"max-words-bold", "100-letter words of bold and plain letters in turn, then plain ones",
         [] {
             const int half = PageBounds::maxWord / 2;
             const int words = PageBounds::maxFontChanges / PageBounds::maxWord;
             return fill("<p>" + (QByteArray("<b>x</b>x").repeated(half) + ' ').repeated(words),
                         word(PageBounds::maxWord) + ' ');
         }},
        {"max-images", "50 images in one paragraph, then long words",
         [] {
             return fill("<p>" + QByteArray("<img src=a.png> ").repeated(PageBounds::maxImages),
                         word(PageBounds::maxWord) + ' ');
         }},
        {"max-pre-lines", "9,999 lines of 100-letter words in <pre>",
         [] {
             return fill("<pre>", word(PageBounds::maxWord) + '\n', {},
                         PageBounds::maxElements - 1);
         }},
        {"max-plain-lines", "9,999 lines of 100-letter words as plain text",
         [] {
             return fill("", word(PageBounds::maxWord) + '\n', {}, PageBounds::maxElements - 1);
         }},
        {"max-plain-words", "a mebibyte of 100-letter words as plain text, nine to a line",
         [] {
             const QByteArray longWord = word(PageBounds::maxWord);
             return fill("", (longWord + ' ').repeated(8) + longWord + '\n');
         }},
        {"max-style", "25 style rules and declarations for every paragraph, 9,990 paragraphs",
         [] {
             return "<style>" + QByteArray("p{color:red}").repeated(12) + "p{}</style>"
                    + QByteArray("<p>x").repeated(9990);
         }},
        {"max-all-3", "near several bounds at once: 25 style rules and declarations for every "
                      "paragraph, 9,900 paragraphs, and the rest in long words",
         [] {
             return fill("<style>" + QByteArray("p{color:red}").repeated(12) + "p{}</style>"
                             + QByteArray("<p>x").repeated(9900) + "<p>",
                         word(PageBounds::maxWord) + ' ');
         }},
        {"max-fonts-scripts", "50 spans cycling through 15 fonts, a 100-letter word of Latin and "
                              "Hebrew letters in turn in each, then long words in the first font",
         [] { return fontsAndScripts(PageBounds::maxFonts / 2); }},
        {"max-scripts", "50 words of 100 Latin and Hebrew letters in turn, then long words",
         [] { return scripts(PageBounds::maxScriptChanges); }},
        {"max-fonts", "30 spans each in a font of its own, then long words in the first font",
         [] { return fonts(PageBounds::maxFonts); }},
        {"max-extent", "paragraphs with a top margin of 300 px, up to the extent",
         [] { return fill("<style>p { margin-top: 300px }</style>", "<p>x</p>", {}, 9000); }},
        {"max-all", "near several bounds at once: a grid of 1,000 cells, 50 images, 80 lists "
                    "of 100 items, and the rest in long words",
         [] {
             return fill("<table>" + ("<tr>" + ("<td>" + word(28)).repeated(100)).repeated(10)
                             + "</table><p>"
                             + QByteArray("<img src=a.png> ").repeated(PageBounds::maxImages)
                             + ("<ul>" + QByteArray("<li>x").repeated(100) + "</ul>").repeated(80)
                             + "<p>",
                         word(PageBounds::maxWord) + ' ');
         }},
        {"max-all-2", "near several bounds at once: a row of 1,000 cells, 99 words of bold and "
                      "plain letters in turn, 50 images after them, and the rest in long words",
         [] {
             return fill("<table><tr>" + ("<td>" + word(28)).repeated(1000) + "</table><p>"
                             + (QByteArray("<b>x</b>x").repeated(PageBounds::maxWord / 2) + ' ')
                                   .repeated(PageBounds::maxFontChanges / PageBounds::maxWord
                                             - 1)
                             + QByteArray("<img src=a.png> ").repeated(PageBounds::maxImages),
                         word(PageBounds::maxWord) + ' ');
         }},
        {"max-all-4", "max-all-2 with Hebrew words in fonts of their own and letters of Latin "
                      "and Hebrew in turn, up to the fonts and the changes of script and "
                      "direction",
         [] {
             const int fonts = PageBounds::maxFonts - 3; // the page's font plain and bold
             const int letters = PageBounds::maxScriptChanges - 2;
             return fill("<table><tr>" + ("<td>" + word(28)).repeated(1000) + "</table><p>"
                             + (QByteArray("<b>x</b>x").repeated(PageBounds::maxWord / 2) + ' ')
                                   .repeated(PageBounds::maxFontChanges / PageBounds::maxWord
                                             - 1)
                             + QByteArray("<img src=a.png> ").repeated(PageBounds::maxImages)
                             + fontSpans(fonts, QByteArray("\xd7\x90").repeated(10) + ' ')
                             + (mixedWord(PageBounds::maxWord) + ' ')
                                   .repeated(letters / PageBounds::maxWord)
                             + mixedWord(letters % PageBounds::maxWord) + ' ',
                         word(PageBounds::maxWord) + ' ');
         }},
    };
    return all;
}

double cpuMs()
{
    timespec now;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

int errorsReported = 0;

void countError(const QString &, QWidget *)
{
    ++errorsReported;
}

struct Result
{
    bool ended = false;
    bool shown = false;
    double wallMs = 0;
    double cpuMs = 0;
    double againMs = 0;
    double rssMb = 0;
};

// In the child: writes "shown wall cpu" to fd.
int measure(const QByteArray &page, int fd, int argc, char **argv)
{
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    setErrorReporter(countError);
    QTemporaryDir dir;
    for (const char *name : {"aide.html", "gpl_en.html"}) {
        if (!QFile::copy(QStringLiteral(VELMARIS_DATA_DIR "/") + QLatin1String(name),
                         dir.filePath(QLatin1String(name))))
            return 1;
    }
    QDir::setCurrent(dir.path());
    createForms();
    Form1->showForm();
    QCoreApplication::processEvents();
    QFile file(QStringLiteral("aide.html"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(page) != page.size())
        return 1;
    file.close();

    QElapsedTimer clock;
    const double cpuStart = cpuMs();
    const auto open = [&clock] {
        clock.start();
        Form1->ui.Button4->click();
        if (errorsReported == 0) {
            Form3->ui.TextViewer1->document()->size(); // the whole page laid out
            Form3->grab();
        }
        QCoreApplication::processEvents();
        return clock.nsecsElapsed() / 1e6;
    };
    const double wall = open();
    const double cpu = cpuMs() - cpuStart;
    const bool shown = errorsReported == 0;
    // And once more, with OK in between, as a later "Aide..." does.
    Form3->ui.Button1->click();
    QCoreApplication::processEvents();
    const double again = open();
    char line[128];
    const int length =
        std::snprintf(line, sizeof line, "%d %.1f %.1f %.1f\n", int(shown), wall, cpu, again);
    return ::write(fd, line, size_t(length)) == length ? 0 : 1;
}

Result run(const QByteArray &page, int timeoutS, int argc, char **argv)
{
    int report[2];
    if (::pipe(report) != 0)
        return {};
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(report[0]);
        ::alarm(unsigned(timeoutS));
        ::_exit(measure(page, report[1], argc, argv));
    }
    ::close(report[1]);
    char buffer[128] = {};
    qsizetype got = 0;
    ssize_t count;
    while ((count = ::read(report[0], buffer + got, sizeof buffer - 1 - size_t(got))) != 0) {
        if (count > 0)
            got += count;
        else if (errno != EINTR)
            break;
    }
    ::close(report[0]);
    int status = 0;
    rusage usage{};
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child)
        return {};
    Result result;
    int shown = 0;
    result.ended = WIFEXITED(status) && WEXITSTATUS(status) == 0
                   && std::sscanf(buffer, "%d %lf %lf %lf", &shown, &result.wallMs, &result.cpuMs,
                                  &result.againMs)
                          == 4;
    result.shown = shown != 0;
    result.rssMb = usage.ru_maxrss / 1024.0;
    return result;
}

// The viewer's steps one by one, in this process: the check of the markup
// (or of plain text), the reading into a document, its check, and the
// layout of the whole document at the help view's width.
int steps(const Page &page, int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString text = QString::fromUtf8(page.make());
    const bool markup = Qt::mightBeRichText(text);
    QElapsedTimer clock;
    clock.start();
    const bool markupWithin = markup ? PageBounds::markupWithinBounds(text)
                                     : PageBounds::plainTextWithinBounds(text);
    const double checked = clock.nsecsElapsed() / 1e6;
    QTextDocument document;
    markup ? document.setHtml(text) : document.setPlainText(text);
    const double read = clock.nsecsElapsed() / 1e6;
    const bool documentWithin = PageBounds::documentWithinBounds(document);
    const double documentChecked = clock.nsecsElapsed() / 1e6;
    document.setTextWidth(520);
    const QSizeF size = document.size();
    const double laidOut = clock.nsecsElapsed() / 1e6;
    std::printf("%s: markup %s in %.1f ms, read in %.1f ms, document %s in %.1f ms, "
                "laid out in %.1f ms, %.0f x %.0f px\n",
                page.name, markupWithin ? "within" : "beyond", checked, read - checked,
                documentWithin ? "within" : "beyond", documentChecked - read,
                laidOut - documentChecked, size.width(), size.height());
    return 0;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

void printLoad(const char *when)
{
    double load[3] = {};
    if (::getloadavg(load, 3) == 3)
        std::printf("load average %s: %.2f %.2f %.2f\n", when, load[0], load[1], load[2]);
}

} // namespace

int main(int argc, char *argv[])
{
    int runs = 3;
    int timeoutS = 30;
    std::vector<const Page *> chosen;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--timeout") == 0 && i + 1 < argc) {
            timeoutS = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--steps") == 0 && i + 1 < argc) {
            ++i;
            for (const Page &page : pages()) {
                if (std::strcmp(page.name, argv[i]) == 0)
                    return steps(page, argc, argv);
            }
            return 2;
        } else if (std::strcmp(argv[i], "list") == 0) {
            for (const Page &page : pages())
                std::printf("%-18s %s\n", page.name, page.what);
            return 0;
        } else {
            const auto found = std::find_if(pages().begin(), pages().end(), [&](const Page &page) {
                return std::strcmp(page.name, argv[i]) == 0;
            });
            if (found == pages().end()) {
                std::fprintf(stderr, "usage: %s [--runs N] [--timeout S] [list | page ...]\n",
                             argv[0]);
                return 2;
            }
            chosen.push_back(&*found);
        }
    }
    if (chosen.empty()) {
        for (const Page &page : pages())
            chosen.push_back(&page);
    }
    // The children's Qt runs without a display.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    printLoad("before");
    std::printf("%-18s %8s %6s %28s %28s %22s %8s\n", "page", "bytes", "result", "wall ms",
                "CPU ms", "again ms", "RSS MB");
    for (const Page *page : chosen) {
        const QByteArray bytes = page->make();
        std::vector<double> wall;
        std::vector<double> cpu;
        std::vector<double> again;
        double rss = 0;
        int killed = 0;
        bool shown = false;
        for (int r = 0; r < runs; ++r) {
            const Result result = run(bytes, timeoutS, argc, argv);
            rss = std::max(rss, result.rssMb);
            if (!result.ended) {
                ++killed;
                continue;
            }
            shown = result.shown;
            wall.push_back(result.wallMs);
            cpu.push_back(result.cpuMs);
            again.push_back(result.againMs);
        }
        char wallText[64] = "-";
        char cpuText[64] = "-";
        char againText[64] = "-";
        if (!wall.empty()) {
            std::snprintf(wallText, sizeof wallText, "%.0f (%.0f to %.0f)", median(wall),
                          *std::min_element(wall.begin(), wall.end()),
                          *std::max_element(wall.begin(), wall.end()));
            std::snprintf(cpuText, sizeof cpuText, "%.0f (%.0f to %.0f)", median(cpu),
                          *std::min_element(cpu.begin(), cpu.end()),
                          *std::max_element(cpu.begin(), cpu.end()));
            std::snprintf(againText, sizeof againText, "%.0f (%.0f to %.0f)", median(again),
                          *std::min_element(again.begin(), again.end()),
                          *std::max_element(again.begin(), again.end()));
        }
        std::printf("%-18s %8lld %6s %28s %28s %22s %8.0f", page->name,
                    static_cast<long long>(bytes.size()),
                    wall.empty() ? "-" : (shown ? "shown" : "refused"), wallText, cpuText,
                    againText, rss);
        if (killed > 0)
            std::printf("   %d run(s) killed after %d s", killed, timeoutS);
        std::printf("\n");
        std::fflush(stdout);
    }
    printLoad("after");
    return 0;
}
