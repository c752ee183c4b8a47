// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "statistics/stringgrid.h"

#include "app/presentation.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>

namespace {

constexpr std::int32_t clButton = -2;
constexpr std::int32_t clBase = -10;

// Paints a cell as the grid wants it: header cells in the button colour,
// the others in the base colour (or the highlight when selected), the text
// left-aligned from a small margin and cut at the cell's edges.
class CellDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override
    {
        const QPalette &palette = option.palette;
        const bool fixed = StringGrid::isFixed(index.column(), index.row());
        const bool selected = !fixed && (option.state & QStyle::State_Selected);

        QColor background = colorFromValue(fixed ? clButton : clBase, palette);
        QColor foreground = palette.color(QPalette::Active, fixed ? QPalette::ButtonText
                                                                 : QPalette::Text);
        if (selected) {
            background = palette.color(QPalette::Active, QPalette::Highlight);
            foreground = palette.color(QPalette::Active, QPalette::HighlightedText);
        }

        painter->save();
        painter->setClipRect(option.rect);
        painter->fillRect(option.rect, background);
        painter->setFont(option.font);
        painter->setPen(foreground);
        const QRect textArea = option.rect.adjusted(StringGrid::TextMargin,
                                                    StringGrid::TextMargin, 0, 0);
        painter->drawText(textArea, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                          index.data(Qt::DisplayRole).toString());
        painter->restore();

        if (option.state & QStyle::State_HasFocus) {
            QStyleOptionFocusRect focus;
            focus.QStyleOption::operator=(option);
            focus.backgroundColor = background;
            const QWidget *widget = option.widget;
            QStyle *style = widget ? widget->style() : nullptr;
            if (style)
                style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, widget);
        }
    }
};

} // namespace

StringGrid::StringGrid(QWidget *parent)
    : QTableWidget(parent)
{
    horizontalHeader()->hide();
    verticalHeader()->hide();
    for (QHeaderView *header : {horizontalHeader(), verticalHeader()}) {
        header->setMinimumSectionSize(1);
        header->setSectionResizeMode(QHeaderView::Fixed);
    }
    horizontalHeader()->setDefaultSectionSize(ColumnWidth);
    verticalHeader()->setDefaultSectionSize(RowHeight);

    setShowGrid(true);
    setGridStyle(Qt::SolidLine);
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setLineWidth(1);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setTabKeyNavigation(false); // Tab leaves the grid for the next control
    setWordWrap(false);
    setItemDelegate(new CellDelegate(this));

    // Cells that come with a new row or column get their kind at once.
    connect(model(), &QAbstractItemModel::rowsInserted, this, &StringGrid::prepareCells);
    connect(model(), &QAbstractItemModel::columnsInserted, this, &StringGrid::prepareCells);
}

QString StringGrid::cell(int column, int row) const
{
    const QTableWidgetItem *it = item(row, column);
    return it ? it->text() : QString();
}

void StringGrid::setCell(int column, int row, const QString &text)
{
    QTableWidgetItem *it = item(row, column);
    if (!it) {
        prepareCells();
        it = item(row, column);
    }
    if (!it)
        return;
    it->setText(text);
    // The fixed row and column are also the table's headers, which is how
    // a screen reader names the row and the column of a value cell.
    if (row == 0)
        horizontalHeaderItem(column)->setText(text);
    if (column == 0)
        verticalHeaderItem(row)->setText(text);
    // The headers hidden, a screen reader reads a value cell's own
    // description after its text: its row's and its column's names.
    const int firstRow = row == 0 ? 1 : row;
    const int lastRow = row == 0 ? rowCount() - 1 : row;
    const int firstColumn = column == 0 ? 1 : column;
    const int lastColumn = column == 0 ? columnCount() - 1 : column;
    for (int r = firstRow; r <= lastRow; ++r) {
        for (int c = firstColumn; c <= lastColumn; ++c)
            describeCell(c, r);
    }
}

void StringGrid::describeCell(int column, int row)
{
    QTableWidgetItem *it = item(row, column);
    if (!it || isFixed(column, row))
        return;
    QStringList names;
    for (const QString &name : {cell(0, row), cell(column, 0)}) {
        if (!name.trimmed().isEmpty())
            names.append(name.trimmed());
    }
    it->setData(Qt::AccessibleDescriptionRole, names.join(QStringLiteral(", ")));
}

void StringGrid::prepareCells()
{
    // Headers without an item would be read as their numbers.
    for (int column = 0; column < columnCount(); ++column) {
        if (!horizontalHeaderItem(column))
            setHorizontalHeaderItem(column, new QTableWidgetItem);
    }
    for (int row = 0; row < rowCount(); ++row) {
        if (!verticalHeaderItem(row))
            setVerticalHeaderItem(row, new QTableWidgetItem);
    }
    // Header cells are disabled items: a click or a cursor key does not make
    // them current, and a selection never takes them in.
    for (int row = 0; row < rowCount(); ++row) {
        for (int column = 0; column < columnCount(); ++column) {
            if (item(row, column))
                continue;
            auto *it = new QTableWidgetItem;
            it->setFlags(isFixed(column, row) ? Qt::NoItemFlags
                                              : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            setItem(row, column, it);
        }
    }
    // The first value cell is current, so that the keys start from it, but
    // not selected: at rest no cell is highlighted as if it stood out.
    if (!currentIndex().isValid() && rowCount() > 1 && columnCount() > 1)
        selectionModel()->setCurrentIndex(model()->index(1, 1), QItemSelectionModel::NoUpdate);
}

void StringGrid::fitColumnToTexts(int column)
{
    int widest = 0;
    for (int row = 0; row < rowCount(); ++row)
        widest = std::max(widest, fontMetrics().horizontalAdvance(cell(column, row)));
    // The text's margin on both sides, and the grid line.
    setColumnWidth(column, std::max(ColumnWidth, widest + 2 * TextMargin + 1));
}
