// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "program/application.h"
#include "app/presentation.h"
#include "main_window/unit1.h"
#include "main_window/unit1vars.h"
#include "statistics/unit4.h"
#include "testsupport.h"

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QScopeGuard>
#include <QTest>

#include <cmath>

namespace {

using Program = ProgramFixture;

StringGrid *grid()
{
    return Form4->ui.StringGrid1;
}

// The six value cells: mean, deviation and count of the durations, then of
// the errors.
QStringList valueCells()
{
    return {grid()->cell(1, 1), grid()->cell(2, 1), grid()->cell(3, 1),
            grid()->cell(1, 2), grid()->cell(2, 2), grid()->cell(3, 2)};
}

// Feeds the accumulators as the trials and the accepted entries do.
void accumulate(const QList<double> &durations, const QList<double> &errors)
{
    for (double d : durations) {
        SumOccult += std::fabs(d);
        SumSqOccult += d * d;
        OccultCount += 1;
    }
    for (double e : errors) {
        SumError += std::fabs(e);
        SumSqError += e * e;
        MeasureCount += 1;
    }
}

void pressStats()
{
    Form1->ButtonStatClick(Form1->ui.ButtonStat);
}

int statisticsWindowCount()
{
    int count = 0;
    for (QWidget *widget : QApplication::topLevelWidgets())
        count += qobject_cast<TForm4 *>(widget) ? 1 : 0;
    return count;
}

QPoint cellCentre(int column, int row)
{
    return grid()->visualRect(grid()->model()->index(row, column)).center();
}

// The smallest rectangle holding the pixels of area that differ from the
// background colour; empty when there are none.
QRect inkWithin(const QImage &image, const QRect &area, QRgb background)
{
    QRect ink;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixel(x, y) != background)
                ink |= QRect(x, y, 1, 1);
    return ink;
}

} // namespace

class TestStatistics : public QObject
{
    Q_OBJECT

private slots:
    void headersAfterCreation();
    void buttonStatClick_data();
    void buttonStatClick();
    void failingStepKeepsEarlierCells();
    void secondPressUpdatesTheOneWindow();
    void okHidesAndTextsSurvive();
    void gridConfiguration();
    void headerCellsTakeNoSelection();
    void rangeSelectionByMouse();
    void cellsAreNotEditable();
    void cellPainting();
};

void TestStatistics::headersAfterCreation()
{
    Program program;
    QVERIFY(Form4->isHidden());
    QCOMPARE(grid()->cell(0, 0), QString());
    QCOMPARE(grid()->cell(1, 0), QStringLiteral("Moy."));
    QCOMPARE(grid()->cell(2, 0), QStringLiteral("Sigma"));
    QCOMPARE(grid()->cell(3, 0), QStringLiteral("Nb."));
    QCOMPARE(grid()->cell(0, 1), QStringLiteral("Occult."));
    QCOMPARE(grid()->cell(0, 2), QStringLiteral("Erreur"));
    QCOMPARE(valueCells(), QStringList(6, QString()));
    // The header texts by which a screen reader names a cell's column and row.
    QCOMPARE(grid()->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("Sigma"));
    QCOMPARE(grid()->model()->headerData(2, Qt::Vertical).toString(), QStringLiteral("Erreur"));
    // The headers are hidden: each value cell says them itself.
    QAccessibleTableInterface *table =
        QAccessible::queryAccessibleInterface(grid())->tableInterface();
    QCOMPARE(table->cellAt(2, 2)->text(QAccessible::Description),
             QStringLiteral("Erreur, Sigma"));
    QCOMPARE(table->cellAt(1, 3)->text(QAccessible::Description), QStringLiteral("Occult., Nb."));
    QCOMPARE(reportedErrors(), QStringList());
}

void TestStatistics::buttonStatClick_data()
{
    QTest::addColumn<QList<double>>("durations");
    QTest::addColumn<QList<double>>("errors");
    QTest::addColumn<QStringList>("cells");

    QTest::newRow("2 and 4 s, errors +0.5 and -0.5: deviation of the absolute errors")
        << QList<double>{2.0, 4.0} << QList<double>{0.5, -0.5}
        << QStringList{" 3.00", " 1.41", "2", " 0.50", " 0.00", "2"};
    QTest::newRow("one occultation and one entry: no deviations")
        << QList<double>{2.5} << QList<double>{-0.3}
        << QStringList{" 2.50", "", "1", " 0.30", "", "1"};
    QTest::newRow("12.345 s alone: no leading space")
        << QList<double>{12.345} << QList<double>{0.02}
        << QStringList{"12.35", "", "1", " 0.02", "", "1"};
    QTest::newRow("more occultations than entries: each mean on its own count")
        << QList<double>{1.0, 2.0, 3.0} << QList<double>{0.2}
        << QStringList{" 2.00", " 1.00", "3", " 0.20", "", "1"};
    // Each square fits a double, the square of their sum does not.
    QTest::newRow("two errors of 2^511 s") << QList<double>{2.0, 4.0} << QList<double>{0x1p511, 0x1p511}
        << QStringList{" 3.00", " 1.41", "2", " 6.7E+0153", " 0.00", "2"};
    QTest::newRow("two equal durations")
        << QList<double>{3.3, 3.3} << QList<double>{0.7, 0.7}
        << QStringList{" 3.30", " 0.00", "2", " 0.70", " 0.00", "2"};
    // The sums of three times 2.7 s leave a variance of about -2e-15.
    QTest::newRow("three equal durations: variance a hair below zero")
        << QList<double>{2.7, 2.7, 2.7} << QList<double>{0.1, -0.1, 0.1}
        << QStringList{" 2.70", " 0.00", "3", " 0.10", " 0.00", "3"};
}

void TestStatistics::buttonStatClick()
{
    QFETCH(QList<double>, durations);
    QFETCH(QList<double>, errors);
    QFETCH(QStringList, cells);

    Program program;
    accumulate(durations, errors);
    pressStats();

    QCOMPARE(reportedErrors(), QStringList());
    QCOMPARE(valueCells(), cells);
    QVERIFY(Form4->isVisible());
    // The headers stay as they were written.
    QCOMPARE(grid()->cell(1, 0), QStringLiteral("Moy."));
    QCOMPARE(grid()->cell(0, 2), QStringLiteral("Erreur"));
}

void TestStatistics::failingStepKeepsEarlierCells()
{
    // Error sums beyond any double: the mean of the errors fails.
    // The counts and means written before it stay, the cells from it on keep
    // their previous texts, and the window is not shown.
    Program program;
    accumulate({2.0, 4.0}, {0.5, -0.5});
    pressStats();
    Form4->hideForm();

    SumOccult = 1e200;
    OccultCount = 4;
    SumError = 0x1p1100L;
    MeasureCount = 3;
    runGuarded([] { pressStats(); });

    QCOMPARE(reportedErrors(), QStringList{"Débordement en virgule flottante."});
    QCOMPARE(valueCells(), (QStringList{" 2.5E+0199", " 1.41", "4", " 0.50", " 0.00", "3"}));
    QVERIFY(Form4->isHidden());
}

void TestStatistics::secondPressUpdatesTheOneWindow()
{
    Program program;
    accumulate({2.0}, {0.5});
    pressStats();
    QVERIFY(Form4->isVisible());
    const QRect place = Form4->geometry();

    accumulate({4.0}, {-0.5});
    pressStats();
    QCOMPARE(valueCells(), (QStringList{" 3.00", " 1.41", "2", " 0.50", " 0.00", "2"}));
    QVERIFY(Form4->isVisible());
    QCOMPARE(Form4->geometry(), place);
    QCOMPARE(statisticsWindowCount(), 1);
}

void TestStatistics::okHidesAndTextsSurvive()
{
    Program program;
    accumulate({2.0, 4.0}, {0.5, -0.5});
    pressStats();
    const QStringList shown = valueCells();

    QTest::mouseClick(Form4->ui.Button1, Qt::LeftButton);
    QVERIFY(Form4->isHidden());
    QCOMPARE(reportedErrors(), QStringList());

    // Trials after the press do not show until the next press.
    accumulate({9.0}, {1.0});
    Form4->showForm();
    QCOMPARE(valueCells(), shown);

    // The title bar's close button hides it the same way.
    QVERIFY(Form4->close());
    QVERIFY(Form4->isHidden());
    QCOMPARE(valueCells(), shown);
    pressStats();
    QVERIFY(Form4->isVisible());
    QCOMPARE(valueCells(), (QStringList{" 5.00", " 3.61", "3", " 0.67", " 0.29", "3"}));
}

void TestStatistics::gridConfiguration()
{
    // DejaVu Sans at 12 px measures 14 by 7: the stored figures x 7/6 and x 14/13.
    const QFont before = QApplication::font();
    const auto restoreFont = qScopeGuard([&before] { QApplication::setFont(before); });
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    QApplication::setFont(font);
    Program program;
    StringGrid *g = grid();
    QCOMPARE(g->columnCount(), 4);
    QCOMPARE(g->rowCount(), 3);
    for (int column = 0; column < 4; ++column)
        QCOMPARE(g->columnWidth(column), 64);
    for (int row = 0; row < 3; ++row)
        QCOMPARE(g->rowHeight(row), 24);
    QVERIFY(g->horizontalHeader()->isHidden());
    QVERIFY(g->verticalHeader()->isHidden());
    QVERIFY(g->showGrid());
    QCOMPARE(g->frameShape(), QFrame::Box);
    QCOMPARE(g->lineWidth(), 1);
    QCOMPARE(g->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(g->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(g->currentRow(), 1);
    QCOMPARE(g->currentColumn(), 1);

    QCOMPARE(Form4->designMetrics(), (TextMetrics{13, 6}));
    QCOMPARE(g->geometry(), QRect(9, 60, 309, 87)); // stored 8, 56, 265 x 81
    QCOMPARE(Form4->ui.Button1->geometry(), QRect(233, 198, 87, 27)); // 200, 184, 75 x 25
    QCOMPARE(Form4->ui.Button1->text(), QStringLiteral("OK"));
    QCOMPARE(Form4->windowTitle(), QStringLiteral("Statistiques"));
    QCOMPARE(Form4->pos(), QPoint(200, 673));
    QLabel *title = Form4->ui.Statistiques;
    QCOMPARE(title->text(), QStringLiteral("Statistiques"));
    QCOMPARE(title->pos(), QPoint(9, 17)); // 8, 16
    QCOMPARE(title->font().family(), QStringLiteral("adobe-helvetica"));
    QVERIFY(title->font().bold());
    QVERIFY(title->font().italic());
    QCOMPARE(title->font().pixelSize(), 17); // 16 x 14/13
    QCOMPARE(title->palette().color(QPalette::WindowText), QColor(Qt::black));

    // The grid takes the focus first; Tab leaves it for "OK".
    Form4->showForm();
    QApplication::setActiveWindow(Form4);
    QVERIFY(QTest::qWaitForWindowActive(Form4));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(g));
    QTest::keyClick(g, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(Form4->ui.Button1));
}

void TestStatistics::headerCellsTakeNoSelection()
{
    Program program;
    StringGrid *g = grid();
    Form4->showForm();
    g->setFocus();

    // Keys stop at the header row and column.
    for (Qt::Key key : {Qt::Key_Up, Qt::Key_Left, Qt::Key_Home, Qt::Key_PageUp}) {
        QTest::keyClick(g, key);
        QCOMPARE(g->currentRow(), 1);
        QCOMPARE(g->currentColumn(), 1);
    }
    QTest::keyClick(g, Qt::Key_Down);
    QTest::keyClick(g, Qt::Key_Right);
    QTest::keyClick(g, Qt::Key_Right);
    QTest::keyClick(g, Qt::Key_Right);
    QCOMPARE(g->currentRow(), 2);
    QCOMPARE(g->currentColumn(), 3);

    // A click on a header cell changes nothing.
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cellCentre(0, 0));
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cellCentre(2, 0));
    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cellCentre(0, 1));
    QCOMPARE(g->currentRow(), 2);
    QCOMPARE(g->currentColumn(), 3);

    // Selecting everything takes the six value cells only.
    g->selectAll();
    const QList<QTableWidgetItem *> selected = g->selectedItems();
    QCOMPARE(selected.size(), 6);
    for (const QTableWidgetItem *item : selected) {
        QVERIFY(item->row() > 0);
        QVERIFY(item->column() > 0);
    }
}

void TestStatistics::rangeSelectionByMouse()
{
    Program program;
    StringGrid *g = grid();
    Form4->showForm();

    QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, cellCentre(2, 1));
    QCOMPARE(g->selectedItems().size(), 1);
    QCOMPARE(g->currentColumn(), 2);

    // A dragged range from (1, 1) to (3, 2).
    QTest::mousePress(g->viewport(), Qt::LeftButton, {}, cellCentre(1, 1));
    QMouseEvent move(QEvent::MouseMove, cellCentre(3, 2), g->viewport()->mapToGlobal(cellCentre(3, 2)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(g->viewport(), &move);
    QTest::mouseRelease(g->viewport(), Qt::LeftButton, {}, cellCentre(3, 2));
    QCOMPARE(g->selectedItems().size(), 6);
    QCOMPARE(g->selectedRanges().size(), 1);
    const QTableWidgetSelectionRange range = g->selectedRanges().constFirst();
    QCOMPARE(QRect(QPoint(range.leftColumn(), range.topRow()),
                   QPoint(range.rightColumn(), range.bottomRow())),
             QRect(QPoint(1, 1), QPoint(3, 2)));
}

void TestStatistics::cellsAreNotEditable()
{
    Program program;
    accumulate({2.0}, {0.5});
    pressStats();
    StringGrid *g = grid();
    g->setFocus();
    const QStringList before = valueCells();

    QTest::mouseDClick(g->viewport(), Qt::LeftButton, {}, cellCentre(1, 1));
    QTest::keyClick(g, Qt::Key_F2);
    QTest::keyClicks(g, "9");
    QTest::keyClick(g, Qt::Key_Return);
    // No editor was opened.
    for (const QWidget *child : g->viewport()->findChildren<QWidget *>())
        QVERIFY(!child->isVisible());
    QCOMPARE(valueCells(), before);
    QCOMPARE(g->editTriggers(), QAbstractItemView::NoEditTriggers);
    for (int row = 1; row < 3; ++row)
        for (int column = 1; column < 4; ++column)
            QVERIFY(!(g->item(row, column)->flags() & Qt::ItemIsEditable));
}

void TestStatistics::cellPainting()
{
    Program program;
    StringGrid *g = grid();
    g->setCell(1, 2, QStringLiteral("WWWWWWWWWWWWWWWWWWWWWWWW"));
    g->clearSelection();
    Form4->showForm();
    const QImage image = g->viewport()->grab().toImage();
    const QPalette palette = g->palette();
    const QRgb button = colorFromValue(-2, palette).rgb();
    const QRgb base = colorFromValue(-10, palette).rgb();
    if (button == base)
        QSKIP("the palette's button and base colours are the same");

    auto cellArea = [g](int column, int row) {
        // Inside the grid lines.
        return g->visualRect(g->model()->index(row, column)).adjusted(0, 0, -2, -2);
    };
    // Empty cells: header in the button colour, value cell in the base colour.
    QCOMPARE(inkWithin(image, cellArea(0, 0), button), QRect());
    QCOMPARE(inkWithin(image, cellArea(2, 2), base), QRect());

    // Text from 2 pixels right of and below the top-left corner.
    for (const QPoint &at : {QPoint(1, 0), QPoint(0, 1)}) {
        const QRect area = cellArea(at.x(), at.y());
        const QRect ink = inkWithin(image, area, button);
        QVERIFY(!ink.isEmpty());
        QVERIFY2(ink.left() >= area.left() + 2 && ink.left() <= area.left() + 4,
                 qPrintable(QStringLiteral("text starts %1 px in").arg(ink.left() - area.left())));
        QVERIFY(ink.top() >= area.top() + 2);
        QVERIFY(ink.top() < area.top() + area.height() / 2);
    }
    // A text too long for its cell is cut at the cell's edge.
    QVERIFY(!inkWithin(image, cellArea(1, 2), base).isEmpty());
    QCOMPARE(inkWithin(image, cellArea(2, 2), base), QRect());
}

QTEST_MAIN(TestStatistics)
#include "tst_statistics.moc"
