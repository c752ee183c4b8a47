// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "viewer/textviewer.h"

#include "app/errordialog.h"
#include "app/errors.h"
#include "viewer/pagebounds.h"

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTextDocument>

#include <algorithm>
#include <memory>
#include <utility>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <langinfo.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The bytes as text in the system's 8-bit encoding, the code set of the
// current locale (Qt's own local 8-bit conversion is UTF-8 whatever the
// locale says).
QString decodeLocal8Bit(const QByteArray &bytes)
{
    QStringDecoder decoder(nl_langinfo(CODESET));
    if (!decoder.isValid())
        return QString::fromLocal8Bit(bytes);
    return decoder.decode(bytes);
}

// The system's text for an error number, without the blanks, control
// characters and full stops that it may end with.
QString systemErrorText(int error)
{
    // The C library writes it in the locale's code set, as it does documents.
    QString text = decodeLocal8Bit(std::strerror(error));
    while (!text.isEmpty()) {
        const QChar last = text.back();
        if (!last.isSpace() && last.category() != QChar::Other_Control && last != u'.')
            break;
        text.chop(1);
    }
    return text;
}

FileOpenError openError(const QString &name, const QString &reason)
{
    // The working directory joined with the name; a working directory that
    // was removed has no path any more, and the name is then given as it
    // was tried.
    const QString directory = QDir::currentPath();
    const QString path =
        directory.isEmpty() ? name : QDir::cleanPath(QDir(directory).absoluteFilePath(name));
    return FileOpenError(
        QStringLiteral("Impossible d'ouvrir le fichier \"%1\". %2").arg(path, reason));
}

FileOpenError openError(const QString &name, int error)
{
    return openError(name, systemErrorText(error));
}

// A page that would ask more of the reader or the layout than PageBounds
// allows: the program's own limit, said as such.
FileOpenError pageTooLargeError(const QString &name)
{
    return openError(name, QStringLiteral("La page est trop grande ou trop complexe pour être "
                                          "affichée"));
}

// Why a file that is not a regular one is not read: a directory says so; a
// FIFO, a socket or a device could keep the reader waiting for a writer or
// never come to an end, and gets the error the system itself gives when such
// a file cannot be used (as it does for a socket).
int notRegularFileError(mode_t mode)
{
    return S_ISDIR(mode) ? EISDIR : ENXIO;
}

// The whole content of a regular file of at most TextViewer::maxFileSize
// bytes; false with errno set when it cannot be opened or read, or when it
// is turned away: EISDIR for a directory, ENXIO for anything else that is
// not a regular file, EFBIG for a larger file.
bool readWholeFile(const QString &name, QByteArray &bytes)
{
    const QByteArray path = QFile::encodeName(name);
    // What is not a regular file is turned away before it is opened: opening
    // a device alone may already do something.
    struct stat status;
    if (::stat(path.constData(), &status) != 0)
        return false;
    if (!S_ISREG(status.st_mode)) {
        errno = notRegularFileError(status.st_mode);
        return false;
    }
    if (status.st_size > TextViewer::maxFileSize) {
        errno = EFBIG;
        return false;
    }

    // The name may lead elsewhere by now: the opening does not wait, and
    // what was opened is looked at again.
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const auto fail = [fd](int error) {
        ::close(fd);
        errno = error;
        return false;
    };
    if (::fstat(fd, &status) != 0)
        return fail(errno);
    if (!S_ISREG(status.st_mode))
        return fail(notRegularFileError(status.st_mode));
    if (status.st_size > TextViewer::maxFileSize)
        return fail(EFBIG);

    // The file may grow while it is read: a byte beyond the limit is enough
    // to know that it is too large.
    bytes.reserve(qsizetype(status.st_size));
    char buffer[16384];
    for (;;) {
        const qint64 room = TextViewer::maxFileSize + 1 - bytes.size();
        const ssize_t count = ::read(fd, buffer, size_t(std::min<qint64>(sizeof buffer, room)));
        if (count > 0) {
            bytes.append(buffer, count);
            if (bytes.size() > TextViewer::maxFileSize)
                return fail(EFBIG);
        } else if (count == 0) {
            break;
        } else if (errno != EINTR) {
            return fail(errno);
        }
    }
    ::close(fd);
    return true;
}

} // namespace

TextViewer::TextViewer(QWidget *parent)
    : QTextBrowser(parent)
{
    setReadOnly(true);
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    QPalette colors = palette();
    colors.setColor(QPalette::Base, Qt::white);
    colors.setColor(QPalette::Link, Qt::blue);
    colors.setColor(QPalette::LinkVisited, Qt::blue);
    setPalette(colors);
    // The HTML reader takes the colour of links from the desktop's palette;
    // these documents always show them blue and underlined.
    document()->setDefaultStyleSheet(
        QStringLiteral("a { color: #0000ff; text-decoration: underline; }"));
    applyDefaultTextColor();
    m_plainInteraction = textInteractionFlags();
    QAccessible::installActivationObserver(this);
}

TextViewer::~TextViewer()
{
    QAccessible::removeActivationObserver(this);
}

void TextViewer::accessibilityActiveChanged(bool active)
{
    m_reportedActive = active;
    followAssistiveTechnology();
}

void TextViewer::followAssistiveTechnology()
{
    // What the last report said; before any, what the platform says now.
    const bool reader = m_reportedActive.value_or(QAccessible::isActive());
    if (reader == readsWithCaret())
        return;
    if (reader) {
        // The focus policy the layout gave, kept for when the reader leaves.
        m_plainFocusPolicy = focusPolicy();
        setFocusPolicy(Qt::StrongFocus);
        // A caret the keys move, which the screen reader follows; links
        // are not stepped through with Tab, which leaves the view.
        setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    } else {
        setFocusPolicy(m_plainFocusPolicy);
        setTextInteractionFlags(m_plainInteraction);
    }
    m_readsWithCaret = reader;
}

void TextViewer::setFileName(const QString &name)
{
    showPage(name, readPage(name));
    m_textToShow.reset();
}

void TextViewer::setFileNameWhenShown(const QString &name)
{
    m_textToShow = readPage(name);
    m_fileName = name;
}

void TextViewer::showEvent(QShowEvent *event)
{
    QTextBrowser::showEvent(event);
    followAssistiveTechnology();
    if (m_textToShow) {
        const QString text = *std::exchange(m_textToShow, std::nullopt);
        runGuarded([&] { showPage(m_fileName, text); });
    }
}

QString TextViewer::readPage(const QString &name)
{
    QByteArray bytes;
    if (!readWholeFile(name, bytes))
        throw openError(name, errno);
    // A document that would ask more of the reader or the layout than
    // PageBounds allows is refused.
    const QString text = decodeLocal8Bit(bytes);
    if (Qt::mightBeRichText(text) ? !PageBounds::markupWithinBounds(text)
                                  : !PageBounds::plainTextWithinBounds(text))
        throw pageTooLargeError(name);
    return text;
}

void TextViewer::showPage(const QString &name, const QString &text)
{
    // The page is read on its own first, without a page size so that
    // nothing is laid out yet, and shown once it has passed; its resources
    // are asked of this view.
    const bool markup = Qt::mightBeRichText(text);
    auto read = std::make_unique<QTextDocument>(this);
    read->setPageSize(QSizeF(0, 0));
    read->setUndoRedoEnabled(false);
    read->setDefaultFont(document()->defaultFont());
    read->setDefaultStyleSheet(document()->defaultStyleSheet());
    markup ? read->setHtml(text) : read->setPlainText(text);
    if (!PageBounds::documentWithinBounds(*read))
        throw pageTooLargeError(name);
    // The page is read again into the view: quicker than handing it the
    // document read above, which the view would lay out at once, while
    // its own reading is laid out only when the page is shown.
    read.reset();
    markup ? setHtml(text) : setPlainText(text);
    applyDefaultTextColor();
    m_fileName = name;
}

QVariant TextViewer::loadResource(int type, const QUrl &)
{
    // Empty, but never null: on a null answer the document goes and reads
    // the file itself. An image that cannot be decoded is read by name, too:
    // images get one transparent pixel.
    if (type == QTextDocument::ImageResource) {
        QImage nothing(1, 1, QImage::Format_ARGB32);
        nothing.fill(Qt::transparent);
        return nothing;
    }
    return QByteArray();
}

void TextViewer::takeScrollKeysFrom(QWidget *control)
{
    m_keySources.append(control);
    control->installEventFilter(this);
    connect(control, &QObject::destroyed, this,
            [this](QObject *gone) { m_keySources.removeAll(gone); });
}

bool TextViewer::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !m_keySources.contains(watched))
        return QTextBrowser::eventFilter(watched, event);
    const auto *key = static_cast<const QKeyEvent *>(event);
    if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    struct ScrollKey
    {
        int key;
        Qt::Orientation direction;
        QAbstractSlider::SliderAction action;
    };
    static const ScrollKey scrollKeys[] = {
        {Qt::Key_Up, Qt::Vertical, QAbstractSlider::SliderSingleStepSub},
        {Qt::Key_Down, Qt::Vertical, QAbstractSlider::SliderSingleStepAdd},
        {Qt::Key_Left, Qt::Horizontal, QAbstractSlider::SliderSingleStepSub},
        {Qt::Key_Right, Qt::Horizontal, QAbstractSlider::SliderSingleStepAdd},
        {Qt::Key_PageUp, Qt::Vertical, QAbstractSlider::SliderPageStepSub},
        {Qt::Key_PageDown, Qt::Vertical, QAbstractSlider::SliderPageStepAdd},
        {Qt::Key_Home, Qt::Vertical, QAbstractSlider::SliderToMinimum},
        {Qt::Key_End, Qt::Vertical, QAbstractSlider::SliderToMaximum},
    };
    const auto found = std::find_if(std::begin(scrollKeys), std::end(scrollKeys),
                                    [key](const ScrollKey &k) { return k.key == key->key(); });
    if (found == std::end(scrollKeys))
        return false;
    QScrollBar *bar =
        found->direction == Qt::Vertical ? verticalScrollBar() : horizontalScrollBar();
    bar->triggerAction(found->action);
    return true;
}

void TextViewer::applyDefaultTextColor()
{
    QPalette colors = palette();
    colors.setColor(QPalette::Text, Qt::black);
    setPalette(colors);
    setTextColor(Qt::black);
}
