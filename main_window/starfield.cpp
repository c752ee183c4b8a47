// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "main_window/starfield.h"

#include "app/clock.h"
#include "main_window/eventtimes.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

StarImage::StarImage(QWidget *parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void StarImage::fixPictureSize()
{
    m_pictureSize = size();
}

void StarImage::computeGeometry()
{
    // The horizontal coordinate comes from the height, the vertical one from
    // the width; both halves are truncated.
    StarX = static_cast<std::int32_t>(height() / 2.0);
    StarY = static_cast<std::int32_t>(width() / 2.0);
    FieldRect = {0, 0, 2 * StarX, 2 * StarY};
}

void StarImage::prepare(const QColor &brush)
{
    if (m_picture.isNull()) {
        m_picture = QImage(m_pictureSize, QImage::Format_RGB32);
        m_picture.fill(brush);
    }
}

void StarImage::eraseField()
{
    prepare(Qt::black);
    QPainter painter(&m_picture);
    painter.fillRect(QRect(FieldRect.Left, FieldRect.Top, FieldRect.Right - FieldRect.Left,
                           FieldRect.Bottom - FieldRect.Top),
                     Qt::black);
    setStarShown(false);
    update();
}

void StarImage::drawStar()
{
    prepare(Qt::white);
    QPainter painter(&m_picture);
    paintDisc(painter, 255);
    setStarShown(true);
    update();
}

void StarImage::drawStarFrame(int level, bool shown)
{
    prepare(Qt::black);
    QPainter painter(&m_picture);
    painter.fillRect(starRect(), Qt::black);
    if (level > 0)
        paintDisc(painter, level);
    setStarShown(shown);
    update(starRect());
}

QRect StarImage::starRect() const
{
    return QRect(StarX, StarY, 5, 5);
}

QRect StarImage::figuresRect() const
{
    // Above the star's square, with a margin that a fade or a twinkle,
    // which stay within that square, never reaches.
    const int margin = 4;
    return QRect(1, 1, std::max(0, width() - 2), std::max(0, StarY - margin - 1));
}

void StarImage::showFigures(const QString &first, const QString &second)
{
    const QRect place = figuresRect();
    if ((first.isEmpty() && second.isEmpty()) || place.isEmpty()) {
        if (!m_figures.isNull()) {
            m_figures = QImage();
            update(place);
        }
        return;
    }
    m_figures = QImage(place.size(), QImage::Format_RGB32);
    m_figures.fill(Qt::black);
    QPainter painter(&m_figures);
    QFont font(QStringLiteral("Helvetica"));
    // Small beside the field: some nine pixels on the 105-pixel field.
    font.setPixelSize(std::max(8, height() / 11));
    painter.setFont(font);
    painter.setPen(QColor(128, 128, 128));
    const int line = QFontMetrics(font).height();
    painter.drawText(QRect(0, 0, place.width(), line), Qt::AlignLeft | Qt::AlignVCenter, first);
    painter.drawText(QRect(0, line, place.width(), line), Qt::AlignLeft | Qt::AlignVCenter,
                     second);
    update(place);
}

void StarImage::paintDisc(QPainter &painter, int level)
{
    painter.setPen(QPen(Qt::black, 1, Qt::SolidLine));
    painter.setBrush(QBrush(QColor(level, level, level), Qt::SolidPattern));
    // With a one-pixel pen, a 4 x 4 rectangle covers five pixels each way:
    // the 5 x 5 square from (StarX, StarY) to (StarX + 4, StarY + 4).
    painter.drawEllipse(QRect(StarX, StarY, 4, 4));
}

void StarImage::setStarShown(bool shown)
{
    if (shown == m_starShown)
        return;
    m_starShown = shown;
    emit starShownChanged(shown);
}

void StarImage::paintEvent(QPaintEvent *)
{
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(QPoint(0, 0), m_picture);
    if (!m_figures.isNull())
        painter.drawImage(figuresRect().topLeft(), m_figures);
}

void StarImage::keyPressEvent(QKeyEvent *event)
{
    // Space is the main window's: a top while a trial's tops are open,
    // and nothing on the star field otherwise.
    if (event->key() != Qt::Key_Space)
        QWidget::keyPressEvent(event);
}

void StarImage::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    // Timed by the event's own time where it is usable, else now.
    static const bool stamped = EventTimes::platformStampsEvents(QGuiApplication::platformName());
    const qint64 now = Clock::steadyNanoseconds();
    emit topped(stamped ? EventTimes::pressReading(event->timestamp(), now).value_or(now) : now);
}
