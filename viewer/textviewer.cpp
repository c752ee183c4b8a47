// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "viewer/textviewer.h"

#include "app/errors.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <langinfo.h>
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

FileOpenError openError(const QString &name, int error)
{
    const QString path = QDir::cleanPath(QDir::current().absoluteFilePath(name));
    return FileOpenError(QStringLiteral("Impossible d'ouvrir le fichier \"%1\". %2")
                             .arg(path, systemErrorText(error)));
}

// The whole content of a file; false with errno set when it cannot be
// opened or read.
bool readWholeFile(const QString &name, QByteArray &bytes)
{
    const int fd = ::open(QFile::encodeName(name).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buffer[16384];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count > 0) {
            bytes.append(buffer, count);
        } else if (count == 0) {
            break;
        } else if (errno != EINTR) {
            // A directory, for instance, opens but cannot be read.
            const int readError = errno;
            ::close(fd);
            errno = readError;
            return false;
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
}

void TextViewer::setFileName(const QString &name)
{
    QByteArray bytes;
    if (!readWholeFile(name, bytes))
        throw openError(name, errno);

    const QString text = decodeLocal8Bit(bytes);
    if (Qt::mightBeRichText(text))
        setHtml(text);
    else
        setPlainText(text);
    applyDefaultTextColor();
    m_fileName = name;
}

void TextViewer::applyDefaultTextColor()
{
    QPalette colors = palette();
    colors.setColor(QPalette::Text, Qt::black);
    setPalette(colors);
    setTextColor(Qt::black);
}
