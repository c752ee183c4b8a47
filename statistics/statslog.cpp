// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "statistics/statslog.h"

#include "app/errors.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace StatsLog {

namespace {

[[noreturn]] void raise(int errorNumber)
{
    throw InOutError(ioErrorMessage(errorNumber));
}

// Hands the whole line to the system in one write where it can.
int writeLine(int fd, const QByteArray &line)
{
    const char *data = line.constData();
    qsizetype left = line.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        data += written;
        left -= written;
    }
    return 0;
}

// Opens the log for appending, creating it (and reporting that it did) when
// it does not exist. Returns the descriptor, or -errno.
int openForAppend(const QByteArray &path, bool &created)
{
    created = false;
    // A file that vanishes between the two opens, or a name that exists only
    // as a dangling link, would make this go round; three turns settle it.
    int lastError = ENOENT;
    for (int attempt = 0; attempt < 3; ++attempt) {
        int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (fd >= 0)
            return fd;
        lastError = errno;
        if (lastError == EINTR)
            continue;
        if (lastError != ENOENT)
            return -lastError;
        fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            created = true;
            return fd;
        }
        lastError = errno;
        if (lastError != EEXIST && lastError != EINTR)
            return -lastError;
        // Another run created it meanwhile: append to theirs.
    }
    return -lastError;
}

} // namespace

QString recordLine(const QStringList &fields)
{
    return fields.join(QLatin1Char(' '));
}

void append(const QStringList &fields, const QString &path)
{
    bool created = false;
    const int fd = openForAppend(QFile::encodeName(path), created);
    if (fd < 0)
        raise(-fd);

    int error = 0;
    if (created)
        error = writeLine(fd, QByteArray(HeaderLine) + "\r\n");
    if (error == 0)
        error = writeLine(fd, recordLine(fields).toLocal8Bit() + "\r\n");
    // The file is closed on every path; a failed close is reported unless
    // an earlier error already is.
    if (::close(fd) != 0 && error == 0 && errno != EINTR)
        error = errno;
    if (error != 0)
        raise(error);
}

QString ioErrorMessage(int errorNumber)
{
    switch (errorNumber) {
    case ENOENT:
        return QStringLiteral("Fichier introuvable");
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return QStringLiteral("Nom de fichier incorrect");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("Trop de fichiers ouverts");
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        return QStringLiteral("Accès au fichier refusé");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("Disque plein");
    default:
        return QStringLiteral("Erreur E/S %1").arg(errorNumber);
    }
}

} // namespace StatsLog
