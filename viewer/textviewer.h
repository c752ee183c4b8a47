// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QTextBrowser>

/// A read-only rich-text view of one document read from a file.
class TextViewer : public QTextBrowser
{
    Q_OBJECT

public:
    explicit TextViewer(QWidget *parent = nullptr);

    QString fileName() const { return m_fileName; }
    /// Loads the named file, also when it is the current one. Throws
    /// FileOpenError when it cannot be opened; the view then keeps its
    /// document and name.
    void setFileName(const QString &name);

private:
    QString m_fileName;
};
