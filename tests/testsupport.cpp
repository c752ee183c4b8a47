// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "testsupport.h"

#include "program/application.h"
#include "app/errordialog.h"

#include <QDir>
#include <QFile>
#include <QLocale>

#include <clocale>
#include <cstdlib>

namespace {
void recordError(const QString &text, QWidget *)
{
    reportedErrors().append(text);
}
} // namespace

QStringList &reportedErrors()
{
    static QStringList errors;
    return errors;
}

void captureErrors()
{
    setErrorReporter(recordError);
}

ProgramFixture::ProgramFixture(bool withDocuments, bool createWindows)
    : m_previousDir(QDir::currentPath())
{
    captureErrors();
    reportedErrors().clear();
    if (withDocuments) {
        for (const char *name : {"aide.html", "gpl_en.html"})
            QFile::copy(QStringLiteral(VELMARIS_DATA_DIR "/") + QLatin1String(name),
                        m_dir.filePath(QLatin1String(name)));
    }
    QDir::setCurrent(m_dir.path());
    // Kept settings come from the directory: none, unless a test keeps some.
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path()));
    if (createWindows)
        ::createForms();
}

ProgramFixture::~ProgramFixture()
{
    destroyForms();
    QDir::setCurrent(m_previousDir);
}

bool pinLocale(const char *name)
{
    qputenv("LC_ALL", name);
    qputenv("LC_NUMERIC", name);
    if (!std::setlocale(LC_ALL, name))
        return false;
    QLocale::setDefault(QLocale(QString::fromLatin1(name).section(QLatin1Char('.'), 0, 0)));
    return true;
}
