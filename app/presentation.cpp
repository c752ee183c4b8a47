// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/presentation.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QPalette>

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstdlib>

TextMetrics measureFont(const QFont &font)
{
    // Every window is built with the same font as a rule: it is measured
    // once, and again only when another font comes.
    static QFont lastFont;
    static TextMetrics lastMetrics;
    if (lastMetrics.height > 0 && font == lastFont)
        return lastMetrics;
    static const QString sample = QStringLiteral(
        "ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdedfghijklmnopqrstuvwxyz abcdedfghijklmnopqrstuvwxyz "
        "abcdedfghijklmnopqrstuvwxyz abcdedfghijklmnopqrstuvwxyz 0123456789");
    const QFontMetrics metrics(font);
    lastFont = font;
    lastMetrics = {metrics.size(Qt::TextSingleLine, QStringLiteral("0")).height(),
                   (metrics.horizontalAdvance(sample) + 74) / 149};
    return lastMetrics;
}

int scaleMeasure(int value, int runtime, int stored)
{
    return static_cast<int>(qint64(value) * runtime / stored);
}

QRect scaleRect(const QRect &stored, const TextMetrics &runtime, const TextMetrics &design)
{
    const int left = scaleMeasure(stored.x(), runtime.width, design.width);
    const int top = scaleMeasure(stored.y(), runtime.height, design.height);
    const int right = scaleMeasure(stored.x() + stored.width(), runtime.width, design.width);
    const int bottom = scaleMeasure(stored.y() + stored.height(), runtime.height, design.height);
    return QRect(left, top, right - left, bottom - top);
}

QPalette::ColorRole paletteRole(std::int32_t value)
{
    static const QPalette::ColorRole roles[] = {
        QPalette::WindowText, QPalette::Button,     QPalette::Light,
        QPalette::Midlight,   QPalette::Dark,       QPalette::Mid,
        QPalette::Text,       QPalette::BrightText, QPalette::ButtonText,
        QPalette::Base,       QPalette::Window,     QPalette::Shadow,
        QPalette::Highlight,  QPalette::HighlightedText,
    };
    const std::int64_t index = -std::int64_t(value) - 1;
    if (index < 0 || index >= std::int64_t(std::size(roles)))
        return QPalette::NoRole;
    return roles[index];
}

namespace {

double relativeLuminance(const QColor &colour)
{
    const auto linear = [](double channel) {
        return channel <= 0.04045 ? channel / 12.92 : std::pow((channel + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF())
           + 0.0722 * linear(colour.blueF());
}

} // namespace

double contrastRatio(const QColor &first, const QColor &second)
{
    const double a = relativeLuminance(first);
    const double b = relativeLuminance(second);
    return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05);
}

QColor readableTextColor(const QColor &stored, const QColor &background,
                         const QColor &desktopText)
{
    return contrastRatio(stored, background) >= MinTextContrast ? stored : desktopText;
}

QColor colorFromValue(std::int32_t value, const QPalette &palette)
{
    if (value >= 0)
        return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
    const QPalette::ColorRole role = paletteRole(value);
    if (role == QPalette::NoRole)
        return QColor(Qt::black);
    return palette.color(QPalette::Active, role);
}

QString helveticaFamily()
{
    // The family is asked of the font configuration, as the toolkit asks it:
    // loading a Helvetica font only to learn its family's name would cost
    // as much as the lookup again.
    QString helvetica;
    if (FcPattern *pattern = FcNameParse(reinterpret_cast<const FcChar8 *>("Helvetica"))) {
        FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        if (FcPattern *match = FcFontMatch(nullptr, pattern, &result)) {
            FcChar8 *family = nullptr;
            if (FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch)
                helvetica = QString::fromUtf8(reinterpret_cast<const char *>(family));
            FcPatternDestroy(match);
        }
        FcPatternDestroy(pattern);
    }
    return helvetica;
}

namespace {
QString keptHelvetica;
}

void keepHelveticaFamily(const QString &family)
{
    keptHelvetica = family;
}

void registerFontSubstitutes()
{
    QString helvetica = keptHelvetica.isEmpty() ? helveticaFamily() : keptHelvetica;
    if (helvetica.isEmpty())
        helvetica = QFontInfo(QFont(QStringLiteral("Helvetica"))).family();
    helvetica = helvetica.section(QLatin1String(" ["), 0, 0); // drop "[foundry]"
    QFont::insertSubstitution(QStringLiteral("adobe-helvetica"), helvetica);
}

void autoSizeLabel(QLabel *label)
{
    if (label->wordWrap()) {
        label->resize(label->width(), label->heightForWidth(label->width()));
        return;
    }
    label->resize(label->sizeHint());
}

void setLabelText(QLabel *label, const QString &text)
{
    label->setText(text);
    autoSizeLabel(label);
}

QRect keptWithin(const QRect &frame, const QRect &area)
{
    QRect placed = frame;
    if (placed.right() > area.right())
        placed.moveRight(area.right());
    if (placed.bottom() > area.bottom())
        placed.moveBottom(area.bottom());
    if (placed.left() < area.left())
        placed.moveLeft(area.left());
    if (placed.top() < area.top())
        placed.moveTop(area.top());
    return placed;
}

namespace {

// How much of a frame another one covers, in square pixels.
qint64 coveredBy(const QRect &frame, const QRect &other)
{
    const QRect covered = frame & other;
    return covered.isEmpty() ? 0 : qint64(covered.width()) * covered.height();
}

} // namespace

QRect placeFrame(const QRect &area, const QRect &mainFrame, const QList<QRect> &others,
                 const QRect &frame, Placement placement)
{
    const QRect kept = keptWithin(frame, area);
    if (placement == Placement::Stored || mainFrame.isNull())
        return kept;
    QRect wanted = kept;
    if (placement == Placement::BesideMain) {
        // Such a window scrolls: only where the screen itself is smaller
        // is it narrowed or shortened, so that all of it shows.
        wanted.setSize(frame.size().boundedTo(area.size()));
        wanted.moveTopLeft(QPoint(mainFrame.right() + 1, mainFrame.top()));
        wanted = keptWithin(wanted, area);
    }
    QList<QRect> windows{mainFrame};
    for (const QRect &other : others)
        if (!other.isNull())
            windows.append(other);
    // A place clear of every window, where there is one, lies against the
    // area's edges or the windows' edges: the places tried are those.
    QList<int> lefts{wanted.left(), area.left(), area.right() + 1 - wanted.width()};
    QList<int> tops{wanted.top(), area.top(), area.bottom() + 1 - wanted.height()};
    for (const QRect &window : std::as_const(windows)) {
        lefts << window.right() + 1 << window.left() - wanted.width();
        tops << window.bottom() + 1 << window.top() - wanted.height() << window.top();
    }
    // The best place covers the least of the main window, then of the
    // others, then lies nearest the wanted place.
    QRect best = wanted;
    qint64 bestScore[3] = {-1, 0, 0};
    for (const int left : std::as_const(lefts)) {
        for (const int top : std::as_const(tops)) {
            const QRect place(QPoint(left, top), wanted.size());
            if (!area.contains(place))
                continue;
            const qint64 distance = qint64(std::abs(left - wanted.left())) + std::abs(top - wanted.top());
            qint64 score[3] = {coveredBy(place, mainFrame), 0, distance};
            for (const QRect &other : others)
                score[1] += coveredBy(place, other);
            if (bestScore[0] < 0 || std::lexicographical_compare(score, score + 3, bestScore,
                                                                 bestScore + 3)) {
                best = place;
                std::copy(score, score + 3, bestScore);
            }
        }
    }
    if (placement == Placement::ClearOfMain && bestScore[0] != 0)
        return kept;
    return best;
}
