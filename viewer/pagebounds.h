// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QStringView>
#include <QtGlobal>

class QTextDocument;

/// What a document may ask of Qt's rich-text reader and layout before the
/// viewer shows it. Reading, shaping and laying out grow steeply, or
/// without end, with some of what a page can ask for; these bounds keep
/// every page of at most TextViewer::maxFileSize bytes within a second at
/// its first opening on a two-core x86_64 machine (Qt 6.4, Debian 12), or
/// have it refused. The figures behind each
/// bound are in bench/RESULTS.md ("Help pages"), from bench/pagelayout.cpp.
/// The bundled pages stay far within all of them.
namespace PageBounds {

/// How deep the reader may nest elements, and tables. Its time grows with
/// the square of the nesting, and laying a table out doubles with each
/// table level.
constexpr int maxNesting = 128;
constexpr int maxTableNesting = 4;

/// Elements (start tags of every kind, void ones included) and, where text
/// keeps its line breaks, lines that the reader may make: each becomes a
/// node, and most a block, at some microseconds each.
constexpr int maxElements = 10000;

/// Items of one list: the reader numbers each item with all the others of
/// its list, in time that grows with the square of their number.
constexpr int maxListItems = 100;

/// Rules and declarations of the page's style sheets, times its elements:
/// each element is matched against every rule.
constexpr qint64 maxStyleWork = 250000;

/// Cells of the tables' grids, spans included, a cell counting twice for
/// each table level around its table: the layout works through every cell
/// of the grid, and through a nested table again at each level.
constexpr int maxCells = 1000;

/// The places where a line may begin: each word of a block (and in a table
/// each character, as a cell may be a character wide, counting twice for
/// each table level around the first), each line break and each block; at
/// most some microseconds each.
constexpr int maxLines = 60000;

/// Characters of one word, without a blank: laying a word out takes time
/// that grows with the square of its length, and faster still with the
/// changes of format within it.
constexpr int maxWord = 100;

/// Images: reading one costs every run of text before it in its paragraph,
/// and laying a paragraph out the square of its images.
constexpr int maxImages = 50;

/// How far the page may reach, in pixels: all its lines at their height,
/// and all its lengths (margins, paddings, spacings, borders, widths,
/// indents) added up. Qt's layout works in fixed point and breaks its
/// pages every 8,388,607 pixels; a page that passes a break may never be
/// laid out, and one four breaks long overflows.
constexpr double maxExtent = 4000000;

/// Fonts that the page's letters are drawn in, a font (family, size,
/// weight and style) counted once for each script whose letters it draws:
/// the first page to use a font loads it, and for a script that it lacks
/// looks through the installed fonts for one that has it, at up to some
/// milliseconds each (2,000 fonts held the first opening 16 s); they stay
/// loaded for later pages.
constexpr int maxFonts = 30;

/// Changes, within a paragraph, of font, of script (of letters: blanks,
/// digits and punctuation take the script around them) and of direction
/// (between left-to-right and right-to-left letters, from right-to-left
/// letters into numbers and back, and each mark that opens or closes an
/// embedding or an isolate): each begins a run of text that is shaped, and
/// placed on its line, on its own, at every opening, at some microseconds
/// each (a mebibyte of words of Hebrew and Latin letters in turn, 690,000
/// changes of both, took 3.4 s). The elements alone would allow some
/// 20,000 changes of font.
constexpr int maxFontChanges = 10000;
constexpr int maxScriptChanges = 5000;
constexpr int maxDirectionChanges = 5000;

/// Whether the markup, before it is read, nests within maxNesting and
/// maxTableNesting as Qt's reader builds it, and holds at most maxElements
/// elements and lines, maxListItems items in a list, maxCells cells and
/// maxImages images, with style sheets within maxStyleWork.
bool markupWithinBounds(QStringView markup);

/// Whether plain text makes at most maxElements lines.
bool plainTextWithinBounds(QStringView text);

/// Whether the document, read but not yet laid out, holds at most maxLines
/// lines and no word longer than maxWord, reaches at most maxExtent
/// pixels, draws its letters in at most maxFonts fonts, and changes font,
/// script and direction within maxFontChanges, maxScriptChanges and
/// maxDirectionChanges.
bool documentWithinBounds(const QTextDocument &document);

} // namespace PageBounds
