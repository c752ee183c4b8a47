// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "viewer/pagebounds.h"

#include <QFontMetricsF>
#include <QHash>
#include <QSet>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace PageBounds {

namespace {

// ---------------------------------------------------------------------------
// The markup, read as Qt's reader reads it: the same tag names (entities
// decoded, quotes allowed, blanks after "<" skipped), the same attributes,
// and the same rules for the parent a new element gets, so that the nesting
// counted here is the one the reader builds.

enum class Tag { Other, P, Li, List, Dl, Dt, Dd, Table, Caption, THead, TBody, TFoot, Tr, Td,
                 Th, Body, Head, Pre, Style };
enum class Display { Inline, Block, Table, None };

struct Element
{
    const char *name;
    Tag tag;
    Display display;
    bool empty; // never has content: closed at once
};

// The elements that are not plain inline ones; any other name, known or
// not, is inline and may hold anything.
const Element Elements[] = {
    {"blockquote", Tag::Other, Display::Block, false},
    {"body", Tag::Body, Display::Block, false},
    {"br", Tag::Other, Display::Inline, true},
    {"caption", Tag::Caption, Display::Block, false},
    {"center", Tag::Other, Display::Block, false},
    {"dd", Tag::Dd, Display::Block, false},
    {"div", Tag::Other, Display::Block, false},
    {"dl", Tag::Dl, Display::Block, false},
    {"dt", Tag::Dt, Display::Block, false},
    {"h1", Tag::Other, Display::Block, false},
    {"h2", Tag::Other, Display::Block, false},
    {"h3", Tag::Other, Display::Block, false},
    {"h4", Tag::Other, Display::Block, false},
    {"h5", Tag::Other, Display::Block, false},
    {"h6", Tag::Other, Display::Block, false},
    {"head", Tag::Head, Display::None, false},
    {"hr", Tag::Other, Display::Block, true},
    {"img", Tag::Other, Display::Inline, true},
    {"li", Tag::Li, Display::Block, false},
    {"link", Tag::Other, Display::None, false},
    {"meta", Tag::Other, Display::None, true},
    {"ol", Tag::List, Display::Block, false},
    {"p", Tag::P, Display::Block, false},
    {"pre", Tag::Pre, Display::Block, false},
    {"qt", Tag::Body, Display::Block, false},
    {"script", Tag::Other, Display::None, false},
    {"style", Tag::Style, Display::None, false},
    {"table", Tag::Table, Display::Table, false},
    {"tbody", Tag::TBody, Display::Table, false},
    {"td", Tag::Td, Display::Block, false},
    {"tfoot", Tag::TFoot, Display::Table, false},
    {"th", Tag::Th, Display::Block, false},
    {"thead", Tag::THead, Display::Table, false},
    {"title", Tag::Other, Display::None, false},
    {"tr", Tag::Tr, Display::Table, false},
    {"ul", Tag::List, Display::Block, false},
};

Element elementNamed(const QString &name)
{
    for (const Element &element : Elements) {
        if (name == QLatin1String(element.name))
            return element;
    }
    return {nullptr, Tag::Other, Display::Inline, false};
}

// Whether an element may be a child of the other, as the reader has it;
// where not, it goes to the nearest ancestor that may hold it.
bool allowedIn(Tag child, Tag parent)
{
    switch (child) {
    case Tag::Dt:
    case Tag::Dd:
        return parent == Tag::Dl;
    case Tag::Tr:
        return parent == Tag::Table || parent == Tag::THead || parent == Tag::TBody
               || parent == Tag::TFoot;
    case Tag::Td:
    case Tag::Th:
        return parent == Tag::Tr;
    case Tag::THead:
    case Tag::TBody:
    case Tag::TFoot:
    case Tag::Caption:
        return parent == Tag::Table;
    case Tag::Body:
        return parent != Tag::Head;
    default:
        return true;
    }
}

// A table's grid as the rows and cells come: the reader makes every cell of
// rows x columns, a span covering some of them.
struct Grid
{
    int rows = 0;
    int column = 0; // where the next cell of the current row goes
    int columns = 0;
    int weight = 1; // the cells count this many times: twice per level above
    std::vector<int> busyUntil; // per column, the row that a span above frees it at
    qint64 cells() const { return qint64(rows) * columns * weight; }
};

struct Open
{
    QString name;
    Tag tag;
    Display display;
    bool keepsLineBreaks;
    int grid; // for a table, its grid in MarkupReader::m_grids
    int items = 0; // for a list
};

class MarkupReader
{
public:
    explicit MarkupReader(QStringView text)
        : m_text(text)
        // A style sheet may make any element keep its line breaks, or
        // change which elements are blocks.
        , m_lineBreaksStyled(text.contains(u"white-space", Qt::CaseInsensitive))
        , m_displayStyled(text.contains(u"display", Qt::CaseInsensitive))
    {
    }

    bool withinBounds()
    {
        while (m_at < m_text.size()) {
            const QChar c = m_text[m_at++];
            if (c == u'<') {
                if (!tag())
                    return false;
            } else if (c == u'\n' && (m_lineBreaksStyled || keepsLineBreaks())) {
                if (++m_elements > maxElements)
                    return false;
            } else if ((c == u'{' || c == u':') && !m_open.empty()
                       && m_open.back().tag == Tag::Style) {
                ++m_styleRules; // a rule or a declaration
            }
        }
        return qint64(m_elements) * m_styleRules <= maxStyleWork;
    }

private:
    bool hasPrefix(QChar c, qsizetype ahead = 0) const
    {
        return m_at + ahead < m_text.size() && m_text[m_at + ahead] == c;
    }

    void eatSpace()
    {
        while (m_at < m_text.size() && m_text[m_at].isSpace()
               && m_text[m_at] != QChar::ParagraphSeparator)
            ++m_at;
    }

    void skipPast(QChar c)
    {
        while (m_at < m_text.size() && m_text[m_at++] != c) {
        }
    }

    bool keepsLineBreaks() const { return !m_open.empty() && m_open.back().keepsLineBreaks; }

    // After "&": the character an entity stands for, or "&" alone where
    // there is none. Named entities are not looked up: none stands for a
    // letter or a digit, which is all that matters here.
    QString entity()
    {
        const qsizetype start = m_at;
        qsizetype length = 0;
        while (m_at < m_text.size()) {
            const QChar c = m_text[m_at++];
            if (c.isSpace() || m_at - start > 9) {
                length = 0;
                break;
            }
            if (c == u';')
                break;
            ++length;
        }
        QStringView name = m_text.mid(start, length);
        if (name.size() > 1 && name[0] == u'#') {
            name = name.mid(1);
            int base = 10;
            if (name[0].toLower() == u'x') {
                name = name.mid(1);
                base = 16;
            }
            bool ok = false;
            const char32_t code = name.toUInt(&ok, base);
            // The reader takes 0x80 to 0x9f as Windows-1252: no letters or
            // digits among them.
            if (ok)
                return code >= 0x80 && code < 0xa0 ? QString(QChar::ReplacementCharacter)
                                                   : QString::fromUcs4(&code, 1);
        } else if (length > 0
                   && std::all_of(name.begin(), name.end(),
                                  [](QChar c) { return c.isLetterOrNumber(); })) {
            return QString(QChar::ReplacementCharacter);
        }
        m_at = start;
        return QStringLiteral("&");
    }

    // A tag's name or an attribute's name or value.
    QString word()
    {
        QString word;
        if (hasPrefix(u'"')) {
            ++m_at;
            while (m_at < m_text.size()) {
                const QChar c = m_text[m_at++];
                if (c == u'"')
                    break;
                if (c == u'&')
                    word += entity();
                else
                    word += c;
            }
        } else if (hasPrefix(u'\'')) {
            ++m_at;
            while (m_at < m_text.size()) {
                const QChar c = m_text[m_at++];
                if (c == u'\'' && m_text[m_at - 2] != u'\\')
                    break;
                word += c;
            }
        } else {
            while (m_at < m_text.size()) {
                const QChar c = m_text[m_at++];
                if (c == u'>' || (c == u'/' && hasPrefix(u'>')) || c == u'<' || c == u'='
                    || c.isSpace()) {
                    --m_at;
                    break;
                }
                if (c == u'&')
                    word += entity();
                else
                    word += c;
            }
        }
        return word;
    }

    // The attributes up to the end of the tag; the spans are kept.
    void attributes(int &columnSpan, int &rowSpan)
    {
        while (m_at < m_text.size()) {
            eatSpace();
            if (hasPrefix(u'>') || hasPrefix(u'/'))
                break;
            const QString key = word().toLower();
            if (key.isEmpty())
                break;
            QString value = QStringLiteral("1");
            eatSpace();
            if (hasPrefix(u'=')) {
                ++m_at;
                eatSpace();
                value = word();
            }
            bool ok = false;
            const int number = value.toInt(&ok);
            if (ok && key == QLatin1String("colspan"))
                columnSpan = std::clamp(number, 1, 20480);
            else if (ok && key == QLatin1String("rowspan"))
                rowSpan = std::max(number, 1);
        }
    }

    // After "<".
    bool tag()
    {
        eatSpace();
        if (hasPrefix(u'!')) {
            ++m_at;
            if (hasPrefix(u'-') && hasPrefix(u'-', 1)) {
                const qsizetype end = m_text.indexOf(u"-->", m_at + 2);
                m_at = end >= 0 ? end + 3 : m_text.size();
            } else {
                skipPast(u'>');
            }
            return true;
        }
        if (hasPrefix(u'/')) {
            ++m_at;
            const QString name = word().toLower().trimmed();
            skipPast(u'>');
            for (std::size_t index = m_open.size(); index-- > 0;) {
                if (m_open[index].name == name) {
                    closeFrom(index);
                    break;
                }
            }
            return true;
        }
        const QString name = word().toLower();
        int columnSpan = 1;
        int rowSpan = 1;
        if (m_at < m_text.size() && m_text[m_at].isSpace())
            attributes(columnSpan, rowSpan);
        bool closed = false; // by a slash anywhere before the end of the tag
        while (m_at < m_text.size() && m_text[m_at] != u'>') {
            if (m_text[m_at] == u'/')
                closed = true;
            ++m_at;
        }
        ++m_at;
        if (name.isEmpty())
            return true; // read as text
        return start(name, closed, columnSpan, rowSpan);
    }

    bool start(const QString &name, bool closed, int columnSpan, int rowSpan)
    {
        const Element element = elementNamed(name);
        const auto nearest = [this](std::ptrdiff_t from, Tag tag) {
            while (from >= 0 && m_open[std::size_t(from)].tag != tag)
                --from;
            return from;
        };
        std::ptrdiff_t parent = std::ptrdiff_t(m_open.size()) - 1;
        // A cell outside any row, or a row outside any table, gets the row
        // and the table that it lacks.
        if ((element.tag == Tag::Td || element.tag == Tag::Th) && nearest(parent, Tag::Tr) < 0) {
            if (!push(QStringLiteral("table"), elementNamed(QStringLiteral("table")))
                || !push(QStringLiteral("tr"), elementNamed(QStringLiteral("tr"))))
                return false;
            parent = std::ptrdiff_t(m_open.size()) - 1;
        } else if (element.tag == Tag::Tr && nearest(parent, Tag::Table) < 0) {
            if (!push(QStringLiteral("table"), elementNamed(QStringLiteral("table"))))
                return false;
            parent = std::ptrdiff_t(m_open.size()) - 1;
        }
        // A paragraph closes the one it is in, and the inline elements
        // between.
        if (element.tag == Tag::P) {
            std::ptrdiff_t block = parent;
            while (block >= 0 && !maybeBlock(m_open[std::size_t(block)]))
                --block;
            if (block >= 0 && m_open[std::size_t(block)].tag == Tag::P)
                parent = block;
        }
        // A paragraph or a list item right in another is its sibling.
        if (parent >= 0 && (element.tag == Tag::P || element.tag == Tag::Li)
            && m_open[std::size_t(parent)].tag == element.tag)
            --parent;
        while (parent >= 0 && !allowedIn(element.tag, m_open[std::size_t(parent)].tag))
            --parent;
        closeFrom(std::size_t(parent + 1));
        if (name == QLatin1String("img") && ++m_images > maxImages)
            return false;
        if (element.empty || closed)
            return ++m_elements <= maxElements;
        return push(name, element, columnSpan, rowSpan);
    }

    // Whether an open element may be a block, where a paragraph inside it
    // stops looking for the paragraph to close.
    bool maybeBlock(const Open &open) const
    {
        return m_displayStyled || open.display == Display::Block;
    }

    bool push(const QString &name, const Element &element, int columnSpan = 1, int rowSpan = 1)
    {
        if (++m_elements > maxElements)
            return false;
        Open open{name, element.tag, element.display, element.tag == Tag::Pre, -1};
        if (!m_open.empty()) {
            const Open &parent = m_open.back();
            open.keepsLineBreaks = open.keepsLineBreaks || parent.keepsLineBreaks;
            if (parent.display == Display::None)
                open.display = Display::None;
        }
        // The table that a row or a cell goes into.
        Grid *grid = nullptr;
        for (std::size_t index = m_open.size(); index-- > 0 && !grid;) {
            if (m_open[index].grid >= 0)
                grid = &m_grids[std::size_t(m_open[index].grid)];
        }
        if (element.tag == Tag::Table) {
            if (m_grids.size() >= std::size_t(maxTableNesting))
                return false;
            open.grid = int(m_grids.size());
            m_grids.emplace_back();
            m_grids.back().weight = 1 << open.grid;
            grid = nullptr;
        }
        if (element.tag == Tag::Li) {
            // Each list item is numbered with all the others of its list.
            int *items = &m_looseItems;
            for (std::size_t index = m_open.size(); index-- > 0;) {
                if (m_open[index].tag == Tag::List) {
                    items = &m_open[index].items;
                    break;
                }
            }
            if (++*items > maxListItems)
                return false;
        }
        m_open.push_back(std::move(open));
        if (m_open.size() > std::size_t(maxNesting))
            return false;
        if (grid && element.tag == Tag::Tr) {
            ++grid->rows;
            grid->column = 0;
        } else if (grid && (element.tag == Tag::Td || element.tag == Tag::Th)
                   && !placeCell(*grid, columnSpan, rowSpan)) {
            return false;
        }
        return cellsWithinBounds();
    }

    bool placeCell(Grid &grid, int columnSpan, int rowSpan)
    {
        grid.rows = std::max(grid.rows, 1);
        const int row = grid.rows - 1;
        // Columns that a span from above still covers are passed over.
        while (grid.column < int(grid.busyUntil.size())
               && grid.busyUntil[std::size_t(grid.column)] > row)
            ++grid.column;
        const qint64 end = qint64(grid.column) + columnSpan;
        if (end * grid.rows * grid.weight > maxCells)
            return false;
        if (end > qint64(grid.busyUntil.size()))
            grid.busyUntil.resize(std::size_t(end), 0);
        const int freedAt = row + std::min(rowSpan, INT_MAX - row);
        std::fill(grid.busyUntil.begin() + grid.column, grid.busyUntil.begin() + end, freedAt);
        grid.column = int(end);
        grid.columns = std::max(grid.columns, grid.column);
        return true;
    }

    bool cellsWithinBounds() const
    {
        qint64 cells = m_closedCells;
        for (const Grid &grid : m_grids)
            cells += grid.cells();
        return cells <= maxCells;
    }

    // Closes the open element at index and all those inside it.
    void closeFrom(std::size_t index)
    {
        while (m_open.size() > index) {
            if (m_open.back().grid >= 0) {
                m_closedCells += m_grids.back().cells();
                m_grids.pop_back();
            }
            m_open.pop_back();
        }
    }

    QStringView m_text;
    qsizetype m_at = 0;
    const bool m_lineBreaksStyled;
    const bool m_displayStyled;
    std::vector<Open> m_open;
    std::vector<Grid> m_grids; // of the open tables, the outermost first
    qint64 m_closedCells = 0;  // of the tables already closed
    int m_elements = 0;
    int m_images = 0;
    int m_looseItems = 0; // list items outside any list
    qint64 m_styleRules = 0;
};

// ---------------------------------------------------------------------------
// The document as read, before it is laid out.

// A length in pixels; a percentage of the view's width is taken at 20
// pixels a per cent, a view 2,000 pixels wide.
double pixels(const QTextLength &length)
{
    switch (length.type()) {
    case QTextLength::FixedLength:
        return std::fabs(length.rawValue());
    case QTextLength::PercentageLength:
        return std::fabs(length.rawValue()) * 20;
    default:
        return 0;
    }
}

double framePixels(const QTextFrameFormat &format)
{
    return std::fabs(format.border()) + std::fabs(format.padding())
           + std::fabs(format.topMargin()) + std::fabs(format.bottomMargin())
           + std::fabs(format.leftMargin()) + std::fabs(format.rightMargin())
           + pixels(format.width()) + pixels(format.height());
}

// Adds up what the layout will have to place: each block's lines at their
// height, and every length, as if they all lay end to end.
class ExtentCounter
{
public:
    explicit ExtentCounter(const QTextDocument &document)
        : m_document(document)
        , m_baseSpacing(QFontMetricsF(document.defaultFont()).lineSpacing())
        , m_baseSize(pointSize(document.defaultFont()))
    {
    }

    bool withinBounds()
    {
        frame(m_document.rootFrame(), 0);
        return within();
    }

private:
    // The tables that frame is in, itself included.
    void frame(QTextFrame *frame, int tables)
    {
        m_extent += framePixels(frame->frameFormat());
        if (auto *table = qobject_cast<QTextTable *>(frame)) {
            ++tables;
            const QTextTableFormat format = table->format();
            const double cells = double(table->rows()) * table->columns();
            m_extent += (2 * std::fabs(format.cellPadding()) + std::fabs(format.cellSpacing())
                         + 2 * std::fabs(format.border()))
                        * (cells + 1);
            for (const QTextLength &width : format.columnWidthConstraints())
                m_extent += pixels(width);
            for (int row = 0; row < table->rows(); ++row) {
                for (int column = 0; column < table->columns(); ++column) {
                    const QTextTableCell cell = table->cellAt(row, column);
                    if (cell.row() != row || cell.column() != column)
                        continue;
                    const QTextTableCellFormat f = cell.format().toTableCellFormat();
                    m_extent += std::fabs(f.topPadding()) + std::fabs(f.bottomPadding())
                                + std::fabs(f.leftPadding()) + std::fabs(f.rightPadding())
                                + std::fabs(f.topBorder()) + std::fabs(f.bottomBorder())
                                + std::fabs(f.leftBorder()) + std::fabs(f.rightBorder());
                }
            }
        }
        for (auto it = frame->begin(); !it.atEnd() && within(); ++it) {
            if (QTextFrame *child = it.currentFrame())
                this->frame(child, tables);
            else
                block(it.currentBlock(), tables);
        }
    }

    void block(const QTextBlock &block, int tables)
    {
        const QTextBlockFormat format = block.blockFormat();
        m_extent += std::fabs(format.topMargin()) + std::fabs(format.bottomMargin())
                    + std::fabs(format.leftMargin()) + std::fabs(format.rightMargin())
                    + std::fabs(format.textIndent())
                    + std::abs(format.indent()) * m_document.indentWidth();

        // Words, and in a table characters: a cell may be one wide, and it
        // is laid out again for each table level around it.
        const QString text = block.text();
        int words = 0;
        int characters = 0;
        int breaks = 0;
        int word = 0;
        for (const QChar c : text) {
            if (c == QChar::LineSeparator) {
                ++breaks;
                word = 0;
            } else if (c.isSpace() && c != QChar::Nbsp && c != u'\u2007' && c != u'\u202f') {
                word = 0;
            } else {
                words += word == 0;
                m_within = m_within && ++word <= maxWord;
                ++characters;
            }
        }
        const double lines = (tables > 0 ? characters : words) + breaks + 1;
        m_lines += tables > 0 ? lines * (1 << (tables - 1)) : lines;

        double height = lineHeight(-1, QTextCharFormat()).height;
        Shaping shaping;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const QTextCharFormat f = fragment.charFormat();
            const FormatFont known = lineHeight(fragment.charFormatIndex(), f);
            const double line = known.height;
            height = std::max(height, line);
            shape(shaping, known.font, fragment.text());
            if (f.isImageFormat()) {
                const QTextImageFormat image = f.toImageFormat();
                m_extent += (std::fabs(image.width()) + std::fabs(image.height()))
                            * fragment.length();
            }
            // Spacing between letters and words, for every character.
            const double letters = f.fontLetterSpacingType() == QFont::AbsoluteSpacing
                                       ? std::fabs(f.fontLetterSpacing())
                                       : std::max(0.0, f.fontLetterSpacing() / 100 - 1) * line;
            m_extent += (letters + std::fabs(f.fontWordSpacing())) * fragment.length();
        }
        switch (format.lineHeightType()) {
        case QTextBlockFormat::ProportionalHeight:
            height *= std::max(1.0, std::fabs(format.lineHeight()) / 100);
            break;
        case QTextBlockFormat::FixedHeight:
        case QTextBlockFormat::MinimumHeight:
        case QTextBlockFormat::LineDistanceHeight:
            height += std::fabs(format.lineHeight());
            break;
        default:
            break;
        }
        m_extent += lines * height;
    }

    // Where the shaping of a block has come to: the font, script and
    // direction of the text so far.
    struct Shaping
    {
        int font = -1;
        QChar::Script script = QChar::Script_Unknown;
        int direction = -1; // of the letters so far: 0 left to right, 1 right to left, 2 numbers
        qint64 drawn = -1; // the font and script of the last letter, as kept in m_fonts
    };

    // Counts the changes of font, of script and of direction that the text
    // in font brings to a block, and the fonts with each script they draw.
    void shape(Shaping &shaping, int font, const QString &text)
    {
        if (shaping.font >= 0 && font != shaping.font)
            ++m_fontChanges;
        shaping.font = font;
        for (qsizetype i = 0; i < text.size(); ++i) {
            char32_t c = text[i].unicode();
            if (text[i].isHighSurrogate() && i + 1 < text.size()
                && text[i + 1].isLowSurrogate()) {
                c = QChar::surrogateToUcs4(text[i], text[i + 1]);
                ++i;
            }
            const QChar::Script script = QChar::script(c);
            if (script != QChar::Script_Common && script != QChar::Script_Inherited
                && script != QChar::Script_Unknown) {
                if (shaping.script != QChar::Script_Unknown && script != shaping.script)
                    ++m_scriptChanges;
                shaping.script = script;
                const qint64 drawn = (qint64(font) << 16) | script;
                if (drawn != shaping.drawn) {
                    m_fonts.insert(drawn);
                    shaping.drawn = drawn;
                }
            }
            int direction = -1;
            switch (QChar::direction(c)) {
            case QChar::DirL:
                direction = 0;
                break;
            case QChar::DirR:
            case QChar::DirAL:
                direction = 1;
                break;
            case QChar::DirEN:
            case QChar::DirAN:
                // Numbers take the level of left-to-right text before them,
                // or of the paragraph's start.
                direction = shaping.direction >= 1 ? 2 : shaping.direction;
                break;
            case QChar::DirLRE:
            case QChar::DirRLE:
            case QChar::DirLRO:
            case QChar::DirRLO:
            case QChar::DirPDF:
            case QChar::DirLRI:
            case QChar::DirRLI:
            case QChar::DirFSI:
            case QChar::DirPDI:
                ++m_directionChanges; // an embedding or an isolate opened or closed
                break;
            default:
                break;
            }
            if (direction >= 0) {
                if (shaping.direction >= 0 && direction != shaping.direction)
                    ++m_directionChanges;
                shaping.direction = direction;
            }
        }
    }

    struct FormatFont
    {
        double height;
        int font; // the same number for the same family, size, weight and style
    };

    // The height of a line in the format's font, and the font, for each
    // format once. A size set as a step (<font size>, <big>) counts at the
    // largest step.
    FormatFont lineHeight(int index, const QTextCharFormat &format)
    {
        const auto known = m_formatFonts.constFind(index);
        if (known != m_formatFonts.constEnd())
            return *known;
        // From the default font's line spacing, in proportion to the size,
        // with room for another face: reading each face's own metrics would
        // load every bold, italic and heading font of a page at start-up.
        const QFont font = format.font().resolve(m_document.defaultFont());
        double height = m_baseSpacing * 1.25;
        if (m_baseSize > 0 && pointSize(font) > 0)
            height *= pointSize(font) / m_baseSize;
        if (format.hasProperty(QTextFormat::FontSizeAdjustment))
            height *= 2.5;
        const QString key = font.family() + u',' + font.families().join(u',') + u'/'
                            + QString::number(pointSize(font))
                            + u'/' + QString::number(font.weight()) + u'/'
                            + QString::number(font.style()) + u'/'
                            + QString::number(format.intProperty(QTextFormat::FontSizeAdjustment));
        auto number = m_fontNumbers.constFind(key);
        if (number == m_fontNumbers.constEnd())
            number = m_fontNumbers.insert(key, int(m_fontNumbers.size()));
        const FormatFont result{height, *number};
        m_formatFonts.insert(index, result);
        return result;
    }

    bool within() const
    {
        return m_within && m_lines <= maxLines && m_extent <= maxExtent
               && m_fonts.size() <= maxFonts && m_fontChanges <= maxFontChanges
               && m_scriptChanges <= maxScriptChanges
               && m_directionChanges <= maxDirectionChanges;
    }

    // A font's size in points, pixels taken at 96 to the inch.
    static double pointSize(const QFont &font)
    {
        return font.pixelSize() > 0 ? font.pixelSize() * 0.75 : font.pointSizeF();
    }

    const QTextDocument &m_document;
    const double m_baseSpacing;
    const double m_baseSize;
    QHash<int, FormatFont> m_formatFonts; // by format index
    QHash<QString, int> m_fontNumbers;
    QSet<qint64> m_fonts; // a font's number and a script that it draws
    qint64 m_fontChanges = 0;
    qint64 m_scriptChanges = 0;
    qint64 m_directionChanges = 0;
    bool m_within = true; // no word too long
    double m_lines = 0;
    double m_extent = 0;
};

} // namespace

bool markupWithinBounds(QStringView markup)
{
    return MarkupReader(markup).withinBounds();
}

bool plainTextWithinBounds(QStringView text)
{
    return text.count(u'\n') < maxElements;
}

bool documentWithinBounds(const QTextDocument &document)
{
    return ExtentCounter(document).withinBounds();
}

} // namespace PageBounds
