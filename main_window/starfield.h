// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "main_window/unit1vars.h"

#include <QImage>
#include <QWidget>

class QPainter;

/// The star field: a picture that the program paints itself, shown at the
/// control's top-left corner, unscaled. The picture has the control's size
/// as it was when the window was built, and comes into being at the first
/// drawing operation, filled with that operation's brush colour. The pen
/// is never changed: black, solid, one pixel wide.
class StarImage : public QWidget
{
    Q_OBJECT

public:
    explicit StarImage(QWidget *parent = nullptr);

    /// Fixes the picture's size to the control's current size.
    void fixPictureSize();

    /// Recomputes StarX, StarY and FieldRect from the control's size.
    void computeGeometry();
    /// Paints FieldRect black: the star vanishes.
    void eraseField();
    /// Draws the star: a white disc with a black outline in the 5 x 5
    /// square at (StarX, StarY).
    void drawStar();
    /// Draws one frame of a star of changing light in its 5 x 5 square: a
    /// disc of the given grey level (its brightest pixel, 0 to 255) with a
    /// black outline, on black; at level 0 the square is left black.
    /// shown says whether the star counts as shown.
    void drawStarFrame(int level, bool shown);
    /// The star's 5 x 5 square, in the control's coordinates.
    QRect starRect() const;

    /// Shows two lines of small grey figures in the field's top-left
    /// corner, clear of the star: drawn over the picture, never into it.
    /// Two empty lines show nothing.
    void showFigures(const QString &first, const QString &second);
    /// Where the figures go: the corner above the star, a few pixels clear
    /// of its square.
    QRect figuresRect() const;
    /// The figures as they are drawn over the picture; null without any.
    const QImage &figures() const { return m_figures; }

    /// The picture as it stands; null until the first drawing operation.
    const QImage &picture() const { return m_picture; }
    /// Whether the last drawing step left the star on the field.
    bool starShown() const { return m_starShown; }

signals:
    void starShownChanged(bool shown);
    /// A top: a left click on the field. The reading is the steady
    /// clock's, taken as the event arrived.
    void topped(qint64 steadyReading);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void prepare(const QColor &brush);
    void paintDisc(QPainter &painter, int level);
    void setStarShown(bool shown);

    QSize m_pictureSize;
    QImage m_picture;
    /// The figures, drawn once when they change, put over the picture at
    /// each paint.
    QImage m_figures;
    bool m_starShown = false;
};
