// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QAccessible>
#include <QTextBrowser>

#include <optional>

/// A read-only rich-text view of one document read from a file: black text
/// on white in a sunken frame, links drawn blue and underlined but never
/// followed. Only the document's own text is shown: nothing it refers to
/// (images, style sheets, anything else) is ever read.
///
/// With an assistive technology active, the view is read as a document: it
/// is in the tab chain and shows a caret that the keys move line by line,
/// still read-only. Without one, it stays out of the tab chain.
class TextViewer : public QTextBrowser, private QAccessible::ActivationObserver
{
    Q_OBJECT

public:
    /// The largest document read, in bytes: room for the help page or the
    /// licence to grow fifty times over. The time to lay text out grows with
    /// its size; measured with Qt 6.4 (Debian 12) on a two-core x86_64
    /// machine, text like theirs of a mebibyte took at most a third of a
    /// second and some 16 MB of memory, four mebibytes up to one and a half
    /// seconds, and 16 MiB up to ten.
    static constexpr qint64 maxFileSize = 1024 * 1024;

    explicit TextViewer(QWidget *parent = nullptr);
    ~TextViewer() override;

    /// Whether the view is read with a caret, from the tab chain: while an
    /// assistive technology is active.
    bool readsWithCaret() const { return m_readsWithCaret; }
    /// Reads with a caret or not, as an assistive technology is active or
    /// not; done as the view is shown and whenever that activity changes.
    void followAssistiveTechnology();

    QString fileName() const { return m_fileName; }
    /// Loads the named file (relative to the working directory), also when
    /// it is the current one. Its bytes are read in the system's 8-bit
    /// encoding, whatever character set the document declares; markup is
    /// laid out as rich text, anything else as plain text. Only a regular
    /// file of at most maxFileSize bytes is read, a document within
    /// PageBounds is laid out, and reading never waits for a writer. Throws
    /// FileOpenError when the file cannot be read or is refused; the view
    /// then keeps its document and name.
    void setFileName(const QString &name);
    /// Reads the named file and checks its markup as setFileName() does,
    /// throwing as it does, but keeps the text and makes the page of it
    /// (the checks of the page included) only when the view is next shown:
    /// a hidden view costs the file's reading alone. A later setFileName()
    /// replaces the text kept.
    void setFileNameWhenShown(const QString &name);

    /// Lets the keys that scroll the text (the arrows, PageUp, PageDown,
    /// Home and End) scroll it while the control has the focus: the view
    /// itself stays out of the tab chain, and could not be scrolled from the
    /// keyboard otherwise.
    void takeScrollKeysFrom(QWidget *control);

protected:
    /// Nothing: a document's images, style sheets and other references are
    /// not loaded.
    QVariant loadResource(int type, const QUrl &name) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    /// The file's text, once read and its markup checked; throws as
    /// setFileName() does.
    static QString readPage(const QString &name);
    /// Shows the text read from the named file, once the page made of it is
    /// within bounds; throws as setFileName() does.
    void showPage(const QString &name, const QString &text);
    void applyDefaultTextColor();
    void accessibilityActiveChanged(bool active) override;

    QString m_fileName;
    /// Read by setFileNameWhenShown(), not yet shown.
    std::optional<QString> m_textToShow;
    QList<QObject *> m_keySources;
    /// How the view is used without an assistive technology.
    Qt::FocusPolicy m_plainFocusPolicy = Qt::ClickFocus;
    Qt::TextInteractionFlags m_plainInteraction;
    bool m_readsWithCaret = false;
    /// Whether an assistive technology is active, as last reported.
    std::optional<bool> m_reportedActive;
};
