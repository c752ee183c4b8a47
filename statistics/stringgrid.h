// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QTableWidget>

/// A grid of text cells addressed as (column, row); a cell that was never
/// written holds the empty text.
class StringGrid : public QTableWidget
{
    Q_OBJECT

public:
    explicit StringGrid(QWidget *parent = nullptr);

    QString cell(int column, int row) const;
    void setCell(int column, int row, const QString &text);
};
