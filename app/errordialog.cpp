// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/errordialog.h"

#include "app/errors.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>

#include <cstdio>
#include <dlfcn.h>

namespace {

void messageBoxReporter(const QString &text, QWidget *owner)
{
    QMessageBox box(QMessageBox::Critical, QString(), text, QMessageBox::Ok, owner);
    box.setDefaultButton(QMessageBox::Ok);
    box.setWindowModality(owner ? Qt::WindowModal : Qt::ApplicationModal);
    box.exec();
}

ErrorReporter currentReporter = messageBoxReporter;

} // namespace

void setErrorReporter(ErrorReporter reporter)
{
    currentReporter = reporter ? reporter : messageBoxReporter;
}

void showErrorDialog(const QString &message)
{
    currentReporter(withFinalStop(message), QApplication::activeWindow());
}

QString fatalErrorText(const Error &error)
{
    QString module = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    quintptr offset = 0;
    Dl_info info{};
    if (error.raisedAt() && dladdr(error.raisedAt(), &info) != 0 && info.dli_fname) {
        module = QFileInfo(QFile::decodeName(info.dli_fname)).fileName();
        offset = quintptr(error.raisedAt()) - quintptr(info.dli_fbase);
    }
    const QString message = error.message();
    const QString stop = !message.isEmpty() && !message.endsWith(QLatin1Char('.'))
                             ? QStringLiteral(".")
                             : QString();
    return QStringLiteral("Exception %1 dans le module %2 dans %3.\r\n%4%5\r\n")
        .arg(QString::fromLatin1(error.typeName()), module,
             QStringLiteral("%1").arg(offset & 0xFFFFFFFFu, 8, 16, QLatin1Char('0')).toUpper(),
             message, stop);
}

void showFatalErrorBox(const Error &error)
{
    const QString text = fatalErrorText(error);
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Erreur d'application"), text,
                    QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}
