// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/presentation.h"
#include "main_window/unit1.h"
#include "program/application.h"
#include "reactions/reactionswindow.h"
#include "settings/unit2.h"
#include "statistics/unit4.h"
#include "testsupport.h"

#include <QApplication>
#include <QPalette>
#include <QScrollBar>
#include <QTest>

// DejaVu Sans at 11 pixels measures 13 by 6, the main window's design
// metrics; at 12 pixels it measures 14 by 7.
static QFont dejaVu(int pixels)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixels);
    return font;
}

class TestPresentation : public QObject
{
    Q_OBJECT

private slots:
    void scaleMeasure_data();
    void scaleMeasure();
    void scaleRect_data();
    void scaleRect();
    void colorFromValue_data();
    void colorFromValue();
    void textColor_data();
    void textColor();
    void textsReadOnADarkDesktop_data();
    void textsReadOnADarkDesktop();
    void measureFont_data();
    void measureFont();
    void placeFrame_data();
    void placeFrame();
    void designFontLeavesMainWindowAsStored();
    void largerFontScalesWindowAndControls();
    void settingsWindowScrollsWhenSmall();
};

void TestPresentation::scaleMeasure_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("runtime");
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("scaled");
    QTest::newRow("same metrics") << 97 << 13 << 13 << 97;
    QTest::newRow("truncated, not rounded") << 32 << 13 << 20 << 20; // 20.8
    QTest::newRow("exact") << 88 << 6 << 8 << 66;
    QTest::newRow("negative truncates toward zero") << -7 << 6 << 8 << -5; // -5.25
    QTest::newRow("product beyond 32 bits") << 100000000 << 20 << 13 << 153846153;
}

void TestPresentation::scaleMeasure()
{
    QFETCH(int, value);
    QFETCH(int, runtime);
    QFETCH(int, stored);
    QFETCH(int, scaled);
    QCOMPARE(::scaleMeasure(value, runtime, stored), scaled);
}

void TestPresentation::scaleRect_data()
{
    QTest::addColumn<QRect>("stored");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("width");
    QTest::addColumn<QRect>("scaled");
    // The settings window's layout (20 by 8) under a 13 by 6 font.
    QTest::newRow("settings slider") << QRect(88, 32, 150, 25) << 13 << 6 << QRect(66, 20, 112, 17);
    QTest::newRow("settings label") << QRect(16, 32, 59, 20) << 13 << 6 << QRect(12, 20, 44, 13);
    QTest::newRow("settings OK") << QRect(184, 208, 75, 25) << 13 << 6 << QRect(138, 135, 56, 16);
    // Width from the scaled right edge: 1..2 becomes 1..3 under 3/2, not 1..2.
    QTest::newRow("width through the right edge") << QRect(1, 1, 1, 1) << 30 << 12
                                                  << QRect(1, 1, 2, 2);
}

void TestPresentation::scaleRect()
{
    QFETCH(QRect, stored);
    QFETCH(int, height);
    QFETCH(int, width);
    QFETCH(QRect, scaled);
    QCOMPARE(::scaleRect(stored, {height, width}, {20, 8}), scaled);
}

void TestPresentation::colorFromValue_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("role");
    QTest::addColumn<QColor>("fixed");
    QTest::newRow("black") << 0 << -1 << QColor(0, 0, 0);
    QTest::newRow("white") << 0xFFFFFF << -1 << QColor(255, 255, 255);
    QTest::newRow("red in the low byte") << 0x0000FF << -1 << QColor(255, 0, 0);
    QTest::newRow("blue in the third byte") << 0xFF0000 << -1 << QColor(0, 0, 255);
    QTest::newRow("-1 foreground") << -1 << int(QPalette::WindowText) << QColor();
    QTest::newRow("-2 button") << -2 << int(QPalette::Button) << QColor();
    QTest::newRow("-3 light") << -3 << int(QPalette::Light) << QColor();
    QTest::newRow("-4 midlight") << -4 << int(QPalette::Midlight) << QColor();
    QTest::newRow("-5 dark") << -5 << int(QPalette::Dark) << QColor();
    QTest::newRow("-6 mid") << -6 << int(QPalette::Mid) << QColor();
    QTest::newRow("-7 text") << -7 << int(QPalette::Text) << QColor();
    QTest::newRow("-8 bright text") << -8 << int(QPalette::BrightText) << QColor();
    QTest::newRow("-9 button text") << -9 << int(QPalette::ButtonText) << QColor();
    QTest::newRow("-10 base") << -10 << int(QPalette::Base) << QColor();
    QTest::newRow("-11 background") << -11 << int(QPalette::Window) << QColor();
    QTest::newRow("-12 shadow") << -12 << int(QPalette::Shadow) << QColor();
    QTest::newRow("-13 highlight") << -13 << int(QPalette::Highlight) << QColor();
    QTest::newRow("-14 highlighted text") << -14 << int(QPalette::HighlightedText) << QColor();
}

void TestPresentation::colorFromValue()
{
    QFETCH(int, value);
    QFETCH(int, role);
    QFETCH(QColor, fixed);
    // Every role gets a colour of its own, so a wrong role shows.
    QPalette palette;
    for (int r = 0; r < QPalette::NColorRoles; ++r)
        palette.setColor(QPalette::Active, QPalette::ColorRole(r), QColor(r * 9, 255 - r * 9, 7));
    const QColor expected =
        fixed.isValid() ? fixed : palette.color(QPalette::Active, QPalette::ColorRole(role));
    QCOMPARE(::colorFromValue(value, palette), expected);
    QCOMPARE(::colorFromValue(clBackground, palette), palette.color(QPalette::Window));
}

void TestPresentation::textColor_data()
{
    // A layout's text colour, the background it is drawn on and the
    // desktop's text colour; the colour shown, and its contrast ratio with
    // the background to the hundredth.
    QTest::addColumn<QColor>("stored");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QColor>("desktopText");
    QTest::addColumn<QColor>("shown");
    QTest::addColumn<QString>("contrast");
    QTest::newRow("black on white: 21 to 1")
        << QColor(Qt::black) << QColor(Qt::white) << QColor(Qt::black) << QColor(Qt::black)
        << "21.00";
    QTest::newRow("black on a light desktop's grey: kept")
        << QColor(Qt::black) << QColor(0xef, 0xef, 0xef) << QColor(0x2e, 0x34, 0x36)
        << QColor(Qt::black) << "18.26";
    QTest::newRow("black on Adwaita's dark grey: the desktop's light text")
        << QColor(Qt::black) << QColor(0x35, 0x35, 0x35) << QColor(0xee, 0xee, 0xec)
        << QColor(0xee, 0xee, 0xec) << "10.56";
    QTest::newRow("grey 0x76 on white, just above 4.5: kept")
        << QColor(0x76, 0x76, 0x76) << QColor(Qt::white) << QColor(Qt::black)
        << QColor(0x76, 0x76, 0x76) << "4.54";
    QTest::newRow("grey 0x77 on white, just below 4.5: the desktop's text")
        << QColor(0x77, 0x77, 0x77) << QColor(Qt::white) << QColor(Qt::black)
        << QColor(Qt::black) << "21.00";
}

void TestPresentation::textColor()
{
    QFETCH(QColor, stored);
    QFETCH(QColor, background);
    QFETCH(QColor, desktopText);
    QFETCH(QColor, shown);
    QFETCH(QString, contrast);
    const QColor chosen = readableTextColor(stored, background, desktopText);
    QCOMPARE(chosen, shown);
    QCOMPARE(QString::number(contrastRatio(chosen, background), 'f', 2), contrast);
}

void TestPresentation::textsReadOnADarkDesktop_data()
{
    // The texts whose layouts give them a black of their own.
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("control");
    QTest::newRow("the title") << "main" << "Label2";
    QTest::newRow("the subtitle") << "main" << "Label4";
    QTest::newRow("the start button") << "main" << "Button2";
    QTest::newRow("the credit line") << "main" << "Label7";
    QTest::newRow("the statistics' heading") << "statistics" << "Statistiques";
}

void TestPresentation::textsReadOnADarkDesktop()
{
    QFETCH(QString, window);
    QFETCH(QString, control);
    // A dark desktop: light texts on dark grey, as GTK's Adwaita:dark gives.
    const QPalette light = QApplication::palette();
    QPalette dark;
    for (const auto role : {QPalette::Window, QPalette::Button, QPalette::Base})
        dark.setColor(role, QColor(0x35, 0x35, 0x35));
    for (const auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        dark.setColor(role, QColor(0xee, 0xee, 0xec));
    QApplication::setPalette(dark);
    const auto restore = qScopeGuard([&] { QApplication::setPalette(light); });
    ProgramFixture program;
    Form *form = window == QLatin1String("main") ? static_cast<Form *>(Form1)
                                                 : static_cast<Form *>(Form4);
    auto *widget = form->contents()->findChild<QWidget *>(control);
    QVERIFY(widget);
    const bool button = qobject_cast<QAbstractButton *>(widget) != nullptr;
    const QPalette &shown = widget->palette();
    const double contrast =
        contrastRatio(shown.color(button ? QPalette::ButtonText : QPalette::WindowText),
                      shown.color(button ? QPalette::Button : QPalette::Window));
    QVERIFY2(contrast >= MinTextContrast, qPrintable(QString::number(contrast)));
}

void TestPresentation::measureFont_data()
{
    QTest::addColumn<int>("pixels");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("width");
    QTest::newRow("11 px") << 11 << 13 << 6;
    QTest::newRow("12 px") << 12 << 14 << 7;
}

void TestPresentation::measureFont()
{
    QFETCH(int, pixels);
    QFETCH(int, height);
    QFETCH(int, width);
    const TextMetrics metrics = ::measureFont(dejaVu(pixels));
    QCOMPARE(metrics.height, height);
    QCOMPARE(metrics.width, width);
}

void TestPresentation::placeFrame_data()
{
    // Openbox's title bars: 19, 21, 25 pixels at 96, 120, 144 dpi, where the
    // font measures 14 by 7, 18 by 9, 21 by 10. Frames at the stored place:
    // statistics at 200, 673: 336 x 243, 432 x 312, 480 x 365; personal
    // equation at 500, 145: 490 x 409, 630 x 526, 700 x 613; viewer at 584,
    // 231: 605 x 607, 672 x 708 (120, 144 dpi); main window kept on screen.
    QTest::addColumn<int>("placement");
    QTest::addColumn<QRect>("screen");
    QTest::addColumn<QRect>("mainFrame");
    QTest::addColumn<QList<QRect>>("others");
    QTest::addColumn<QRect>("frame");
    QTest::addColumn<QRect>("placed");
    const int clear = int(Placement::ClearOfMain), beside = int(Placement::BesideMain);
    const QRect wide(0, 0, 1366, 768), small(0, 0, 800, 600);
    const QRect main96(204, 126, 334, 470), main120(204, 124, 430, 601);
    const QRect main144(204, 67, 478, 701); // its bottom moved up to 767
    const QList<QRect> none;
    QTest::newRow("statistics, 96 dpi, 1920 x 1080: the stored place")
        << clear << QRect(0, 0, 1920, 1080) << main96 << none << QRect(200, 654, 336, 262)
        << QRect(200, 654, 336, 262);
    QTest::newRow("statistics, 96 dpi, 1366 x 768: over the main window, to its right")
        << clear << wide << main96 << none << QRect(200, 654, 336, 262) << QRect(538, 506, 336, 262);
    QTest::newRow("statistics, 96 dpi, 800 x 600: no room beside, kept on the screen")
        << clear << small << main96 << none << QRect(200, 654, 336, 262) << QRect(200, 338, 336, 262);
    QTest::newRow("statistics, 120 dpi, 1366 x 768")
        << clear << wide << main120 << none << QRect(200, 652, 432, 333) << QRect(634, 435, 432, 333);
    QTest::newRow("statistics, 144 dpi, 1366 x 768")
        << clear << wide << main144 << none << QRect(200, 648, 480, 390) << QRect(682, 378, 480, 390);
    QTest::newRow("statistics, 144 dpi, 1366 x 768, main window moved right: to its left")
        << clear << wide << main144.translated(596, 0) << none << QRect(700, 648, 480, 390)
        << QRect(320, 378, 480, 390);
    QTest::newRow("statistics, 144 dpi, 800 x 600: no room")
        << clear << small << main144.translated(0, -67) << none << QRect(200, 648, 480, 390)
        << QRect(200, 210, 480, 390);
    QTest::newRow("viewer, 144 dpi, 1366 x 768")
        << clear << wide << main144 << none << QRect(584, 206, 672, 733) << QRect(682, 35, 672, 733);
    QTest::newRow("personal equation, 96 dpi, 1366 x 768: level with the main window")
        << beside << wide << main96 << none << QRect(500, 126, 490, 428) << QRect(538, 126, 490, 428);
    QTest::newRow("personal equation, 96 dpi, 800 x 600: no room beside, over the least of the main window")
        << beside << small << main96 << none << QRect(500, 126, 490, 428) << QRect(310, 0, 490, 428);
    QTest::newRow("personal equation, 96 dpi, 800 x 600, main window on the right: whole, on its left")
        << beside << small << main96.translated(246, 0) << none << QRect(500, 126, 490, 428)
        << QRect(0, 0, 490, 428);
    QTest::newRow("personal equation, 96 dpi, 1366 x 768, main window dragged above the top")
        << beside << wide << main96.translated(0, -226) << none << QRect(500, 126, 490, 428)
        << QRect(538, 0, 490, 428);
    QTest::newRow("personal equation, 144 dpi, 1366 x 768: 1 pixel short, whole, over a column of the main window")
        << beside << wide << main144.translated(-15, 0) << none << QRect(500, 120, 700, 638)
        << QRect(666, 0, 700, 638);
    QTest::newRow("personal equation, 144 dpi, 800 x 600: shortened to the screen, whole across")
        << beside << small << main144.translated(-204, -67) << none << QRect(500, 120, 600, 638)
        << QRect(200, 0, 600, 600);

    // Scaled by the desktop (1, 1.25, 1.5 device pixels a pixel), the
    // 1366 x 768 screen is 1366 x 768, 1093 x 614, 911 x 512 pixels. The
    // frames: main window 336 x 471, 468, 468; personal equation 503 x 499,
    // 494, 494; observing conditions 282 x 228, 223, 223.
    const QRect main1(203, 126, 336, 471), main125(203, 129, 336, 468), main15(203, 44, 336, 468);
    QTest::newRow("personal equation, 96 dpi, 1366 x 768, conditions beside the main window: beyond them")
        << beside << wide << main1 << QList<QRect>{{559, 139, 282, 228}}
        << QRect(499, 126, 503, 499) << QRect(841, 126, 503, 499);
    QTest::newRow("conditions, 96 dpi, 1366 x 768, over the personal equation: beyond it")
        << clear << wide << main1 << QList<QRect>{{539, 126, 503, 499}}
        << QRect(559, 139, 282, 228) << QRect(1042, 139, 282, 228);
    QTest::newRow("personal equation, 120 dpi, 1366 x 768: beside the main window, raised to the screen")
        << beside << QRect(0, 0, 1093, 614) << main125 << none << QRect(499, 145, 503, 494)
        << QRect(539, 120, 503, 494);
    QTest::newRow("conditions, 120 dpi, 1366 x 768, no room: clear of the main window, over the least of the other")
        << clear << QRect(0, 0, 1093, 614) << main125 << QList<QRect>{{539, 120, 503, 494}}
        << QRect(559, 144, 282, 223) << QRect(811, 0, 282, 223);
    QTest::newRow("personal equation, 144 dpi, 1366 x 768, no room: whole, over the least of the main window")
        << beside << QRect(0, 0, 911, 512) << main15 << QList<QRect>{{0, 0, 282, 223}}
        << QRect(499, 145, 503, 494) << QRect(408, 0, 503, 494);
}

void TestPresentation::placeFrame()
{
    QFETCH(int, placement);
    QFETCH(QRect, screen);
    QFETCH(QRect, mainFrame);
    QFETCH(QList<QRect>, others);
    QFETCH(QRect, frame);
    QFETCH(QRect, placed);
    QCOMPARE(::placeFrame(screen, mainFrame, others, frame, Placement(placement)), placed);
}

void TestPresentation::designFontLeavesMainWindowAsStored()
{
    QApplication::setFont(dejaVu(11));
    ProgramFixture program;
    QCOMPARE(Form1->runtimeMetrics(), (TextMetrics{13, 6}));
    QCOMPARE(Form1->geometry(), QRect(204, 145, 287, 419));
    QCOMPARE(Form1->minimumSize(), QSize(287, 419));
    QCOMPARE(Form1->maximumSize(), QSize(287, 419));
    QCOMPARE(Form1->ui.Image1->geometry(), QRect(96, 120, 105, 105));
    QCOMPARE(Form1->ui.Button2->geometry(), QRect(104, 232, 91, 33));
    QCOMPARE(Form1->ui.Button3->geometry(), QRect(8, 384, 97, 25));
    QCOMPARE(Form1->ui.EditTemps->geometry(), QRect(104, 296, 65, 21));
    QCOMPARE(Form1->ui.Label2->font().pixelSize(), 24);
    // Labels keep their left and top and take the size of their text.
    QCOMPARE(Form1->ui.Label5->pos(), QPoint(8, 272));
    QCOMPARE(Form1->ui.Label4->width(), 250);
    // The settings window, laid out for 20 by 8, is scaled, window included.
    QCOMPARE(Form2->geometry(), QRect(176, 313, 203, 157));
    QCOMPARE(Form2->ui.TrackBar1->geometry(), QRect(66, 20, 112, 17));
}

void TestPresentation::largerFontScalesWindowAndControls()
{
    QApplication::setFont(dejaVu(12));
    ProgramFixture program;
    QCOMPARE(Form1->runtimeMetrics(), (TextMetrics{14, 7}));
    // 287 x 7/6 and 419 x 14/13, truncated; the size stays fixed.
    QCOMPARE(Form1->size(), QSize(334, 451));
    QCOMPARE(Form1->minimumSize(), QSize(334, 451));
    QCOMPARE(Form1->maximumSize(), QSize(334, 451));
    QCOMPARE(Form1->ui.Button3->geometry(), QRect(9, 413, 113, 27));
    QCOMPARE(Form1->ui.Label2->font().pixelSize(), 25); // 24 x 14/13
    QCOMPARE(Form1->ui.Label7->font().pixelSize(), 11); // 11 x 14/13
    // The subtitle is held to its width scaled likewise, 250 x 7/6, and its
    // lines stay above the star field.
    QCOMPARE(Form1->ui.Label4->width(), 291);
    QVERIFY(Form1->ui.Label4->geometry().bottom() < Form1->ui.Image1->geometry().top());
    // Everything stays inside the window.
    for (QWidget *control : Form1->contents()->findChildren<QWidget *>(
             QString(), Qt::FindDirectChildrenOnly)) {
        if (control == Form1->ui.Label4)
            continue; // held to its width, which reaches beyond the window's
        QVERIFY2(QRect(QPoint(0, 0), Form1->size()).contains(control->geometry()),
                 qPrintable(control->objectName()));
    }
    // The controls on a window's tabs are scaled with it: the figures still
    // span nearly all their tab's width, as at the design font, each tab
    // holds its controls, and nothing needs scrolling across.
    ReactionsWindow *reactions = reactionsWindow();
    QVERIFY(reactions->ui.figuresTable->width() > reactions->ui.pages->width() * 9 / 10);
    reactions->showForm();
    QVERIFY(QTest::qWaitForWindowExposed(reactions));
    for (QWidget *page : {reactions->ui.thisRunPage, reactions->ui.runsPage})
        for (QWidget *control : page->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
            QVERIFY2(page->rect().contains(control->geometry()), qPrintable(control->objectName()));
    QVERIFY(!reactions->horizontalScrollBar()->isVisible());
    QApplication::setFont(dejaVu(11));
}

void TestPresentation::settingsWindowScrollsWhenSmall()
{
    QApplication::setFont(dejaVu(11));
    ProgramFixture program;
    Form2->showForm();
    QVERIFY(QTest::qWaitForWindowExposed(Form2));
    QVERIFY(!Form2->horizontalScrollBar()->isVisible());
    QVERIFY(!Form2->verticalScrollBar()->isVisible());

    Form2->resize(80, 60);
    QTRY_VERIFY(Form2->horizontalScrollBar()->isVisible());
    QVERIFY(Form2->verticalScrollBar()->isVisible());
    QVERIFY(Form2->cornerWidget() && Form2->cornerWidget()->isVisible());

    Form2->resize(400, 400);
    QTRY_VERIFY(!Form2->horizontalScrollBar()->isVisible());
    QVERIFY(!Form2->verticalScrollBar()->isVisible());
}

QTEST_MAIN(TestPresentation)
#include "tst_presentation.moc"
