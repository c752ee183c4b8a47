// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QEvent>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

class QWidget;

/// Counts the events of one type that reach the objects it filters.
class EventCounter : public QObject
{
public:
    explicit EventCounter(QEvent::Type type)
        : m_type(type)
    {
    }

    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == m_type)
            ++count;
        return false;
    }

private:
    QEvent::Type m_type;
};

/// Runs the test in a fresh temporary working directory that holds copies
/// of the program's two documents, and starts the program there (the four
/// windows that start-up builds).
/// Errors that reach the error dialog are recorded instead of shown.
class ProgramFixture
{
public:
    /// withDocuments: copy aide.html and gpl_en.html into the directory.
    explicit ProgramFixture(bool withDocuments = true, bool createWindows = true);
    ~ProgramFixture();

    QString dir() const { return m_dir.path(); }
    QString path(const QString &name) const { return m_dir.filePath(name); }

private:
    QTemporaryDir m_dir;
    QString m_previousDir;
};

/// The texts the error dialog would have shown since the last clear.
QStringList &reportedErrors();
/// Records errors instead of showing the dialog.
void captureErrors();

/// Sets QLocale's default and the C library's locale (LC_ALL, LC_NUMERIC)
/// to name, e.g. "fr_FR.UTF-8"; returns false when the system lacks it.
bool pinLocale(const char *name);
