// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QLabel>

/// A label that reports a click of the left mouse button. One that takes
/// the keyboard focus (its layout's focus policy) is a link to the keyboard
/// too: Space or Enter clicks it, and it draws the focus frame around its
/// text while it has the focus. To assistive technologies it is a link
/// whose press action clicks it.
class ClickLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ClickLabel(QWidget *parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
};
