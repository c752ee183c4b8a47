// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/errordialog.h"

#include "app/errors.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>

#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <dlfcn.h>
#include <typeinfo>

namespace {

void messageBoxReporter(const QString &text, QWidget *owner)
{
    // The window system puts the application's name into an empty title:
    // a blank is what leaves the title bar looking empty.
    QMessageBox box(QMessageBox::Critical, QStringLiteral(" "), text, QMessageBox::Ok, owner);
    box.setDefaultButton(QMessageBox::Ok);
    // No window of the program takes input while the dialog is open.
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

ErrorReporter currentReporter = messageBoxReporter;

QString typeNameOf(const std::type_info &type)
{
    int status = 0;
    char *name = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    const QString text = QString::fromLatin1(status == 0 && name ? name : type.name());
    std::free(name);
    return text;
}

struct FatalError
{
    QString typeName;
    QString message;
    const void *raisedAt = nullptr;
};

FatalError describe(const std::exception_ptr &error)
{
    try {
        std::rethrow_exception(error);
    } catch (const Error &own) {
        return {QString::fromLatin1(own.typeName()), own.message(), own.raisedAt()};
    } catch (const std::exception &other) {
        return {typeNameOf(typeid(other)), QString::fromUtf8(other.what())};
    } catch (...) {
        const std::type_info *type = abi::__cxa_current_exception_type();
        return {type ? typeNameOf(*type) : QStringLiteral("Exception"), QString()};
    }
}

} // namespace

void setErrorReporter(ErrorReporter reporter)
{
    currentReporter = reporter ? reporter : messageBoxReporter;
}

void showErrorDialog(const QString &message)
{
    currentReporter(withFinalStop(message), QApplication::activeWindow());
}

QString fatalErrorText(const std::exception_ptr &exception)
{
    const FatalError error = describe(exception);
    // The code that raised it is known for the program's own errors only;
    // others are placed at the start of the program file.
    QString module = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    quintptr offset = 0;
    Dl_info info{};
    if (error.raisedAt && dladdr(error.raisedAt, &info) != 0 && info.dli_fname) {
        module = QFileInfo(QFile::decodeName(info.dli_fname)).fileName();
        offset = quintptr(error.raisedAt) - quintptr(info.dli_fbase);
    }
    const QString &message = error.message;
    const QString stop = !message.isEmpty() && !message.endsWith(QLatin1Char('.'))
                             ? QStringLiteral(".")
                             : QString();
    return QStringLiteral("Exception %1 dans le module %2 dans %3.\r\n%4%5\r\n")
        .arg(error.typeName, module,
             QStringLiteral("%1").arg(offset & 0xFFFFFFFFu, 8, 16, QLatin1Char('0')).toUpper(),
             message, stop);
}

void showFatalErrorBox(const std::exception_ptr &error)
{
    const QString text = fatalErrorText(error);
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Erreur d'application"), text,
                    QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}
