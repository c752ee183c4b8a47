// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QColor>
#include <QList>
#include <QPalette>
#include <QRect>
#include <QString>
#include <cstdint>

class QFont;
class QLabel;

/// The text metrics by which a window's layout is scaled: the height of
/// "0" and the average character width, in pixels.
struct TextMetrics
{
    int height = 0;
    int width = 0;
    bool operator==(const TextMetrics &other) const
    {
        return height == other.height && width == other.width;
    }
    bool operator!=(const TextMetrics &other) const { return !(*this == other); }
};

/// Measures a font: the height of "0", and the width of a 149-character
/// sample plus 74, divided by 149.
TextMetrics measureFont(const QFont &font);

/// value x runtime / stored, computed exactly and truncated toward zero.
int scaleMeasure(int value, int runtime, int stored);

/// A stored control rectangle scaled from the stored metrics to the run-time
/// ones; width and height come from the scaled right and bottom edges.
QRect scaleRect(const QRect &stored, const TextMetrics &runtime, const TextMetrics &design);

/// A colour value: 0 and above is 0x00BBGGRR; -1 to -14 are palette roles.
QColor colorFromValue(std::int32_t value, const QPalette &palette);

/// The contrast ratio of two colours, from 1 to 21, by their relative
/// luminance in sRGB as the accessibility guidelines define it.
double contrastRatio(const QColor &first, const QColor &second);

/// Below this contrast, text is hard to read.
inline constexpr double MinTextContrast = 4.5;

/// A text colour of the layout's own, kept where it reads on the background
/// it is drawn on; else the desktop's text colour: the layouts were made for
/// a light desktop, and a dark one would put their black texts on dark grey.
QColor readableTextColor(const QColor &stored, const QColor &background,
                         const QColor &desktopText);

/// The palette role that a colour value from -1 to -14 names; NoRole for
/// a fixed colour.
QPalette::ColorRole paletteRole(std::int32_t value);

/// The window background colour, a palette role.
inline constexpr std::int32_t clBackground = -11;
inline constexpr std::int32_t clBlack = 0;

/// The family that the font configuration gives for Helvetica, empty where
/// it gives none. It asks nothing of Qt, so it can run beside the display
/// connection.
QString helveticaFamily();

/// Keeps the family that helveticaFamily() gave at start-up, for
/// registerFontSubstitutes() to use instead of asking again.
void keepHelveticaFamily(const QString &family);

/// Fonts name their family "adobe-helvetica", Helvetica by its X11 foundry.
/// Where the desktop has no family of that name, its own face for
/// Helvetica (a metric twin, as a rule) stands in.
void registerFontSubstitutes();

/// Sizes a label to its text, keeping its left and top edges; a word-wrapped
/// label keeps its width and takes the height of its wrapped lines.
void autoSizeLabel(QLabel *label);

/// Sets a label's text and sizes it to it.
void setLabelText(QLabel *label, const QString &text);

/// Where a window is first shown, with respect to the main window and the
/// other windows on the screen.
enum class Placement {
    Stored,      ///< at its stored place
    ClearOfMain, ///< at its stored place, or near it where that covers another window
    BesideMain,  ///< beside the main window, on its right, or near there
};

/// The frame moved just enough to lie within the area, or at least its
/// top-left part when it is larger than the area.
QRect keptWithin(const QRect &frame, const QRect &area);

/// Where a window's frame goes when it is first shown: area is the
/// screen's available area, mainFrame the main window's frame (null while
/// the main window is not shown), others the frames of the other windows
/// shown, and frame the window's at its stored place.
/// The stored place is kept within the area. A window clear of the main
/// window stays there unless it covers another window; a window beside the
/// main window goes to its right, level with its top, shortened or
/// narrowed only where the area itself is smaller than the window. Where
/// that place covers another window, the window goes, whole within the
/// area, to the nearest place that covers none; with no such place, to the
/// one that covers the least of the other windows without covering the
/// main window, and with none of those either, a window clear of the main
/// window stays at its stored place, and a window beside it goes where it
/// covers the least of the main window.
QRect placeFrame(const QRect &area, const QRect &mainFrame, const QList<QRect> &others,
                 const QRect &frame, Placement placement);
