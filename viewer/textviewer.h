// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QTextBrowser>

/// A read-only rich-text view of one document read from a file: black text
/// on white in a sunken frame, links drawn blue and underlined but never
/// followed.
class TextViewer : public QTextBrowser
{
    Q_OBJECT

public:
    explicit TextViewer(QWidget *parent = nullptr);

    QString fileName() const { return m_fileName; }
    /// Loads the named file (relative to the working directory), also when
    /// it is the current one. Its bytes are read in the system's 8-bit
    /// encoding, whatever character set the document declares; markup is
    /// laid out as rich text, anything else as plain text. Throws
    /// FileOpenError when the file cannot be read; the view then keeps its
    /// document and name.
    void setFileName(const QString &name);

private:
    void applyDefaultTextColor();

    QString m_fileName;
};
