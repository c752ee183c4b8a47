// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QTableWidget>

/// A grid of text cells addressed as (column, row). Column 0 and row 0 are
/// fixed header cells, painted in the button colour, that can be neither
/// selected nor made current, and whose texts are also the table's header
/// texts, for screen readers, and part of each value cell's accessible
/// description; the other cells can be selected, one at a time or as a
/// dragged range, but not edited. A cell that was never written holds
/// the empty text. Columns are ColumnWidth wide unless widened to their
/// texts, rows RowHeight high; the current cell starts at (1, 1), not
/// selected.
class StringGrid : public QTableWidget
{
    Q_OBJECT

public:
    static constexpr int ColumnWidth = 64; ///< pixels, grid line included
    static constexpr int RowHeight = 24;   ///< pixels, grid line included
    static constexpr int TextMargin = 2;   ///< pixels from the cell's top-left corner to its text

    explicit StringGrid(QWidget *parent = nullptr);

    QString cell(int column, int row) const;
    void setCell(int column, int row, const QString &text);

    /// Widens the column to its widest text in the grid's font; a column
    /// is never narrower than ColumnWidth.
    void fitColumnToTexts(int column);

    /// Whether (column, row) is a header cell.
    static bool isFixed(int column, int row) { return column == 0 || row == 0; }

private:
    void prepareCells();
    /// Gives a value cell its row's and its column's header texts as its
    /// accessible description.
    void describeCell(int column, int row);
};
