// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "statistics/statslog.h"

#include "app/errors.h"

#include <QDateTime>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace StatsLog {

namespace {

// Links followed from the log's name to the file a new log is made as; a
// longer chain (a loop) is refused as the system refuses one.
constexpr int MaxLinks = 40;

// How long an append waits for another writer's lock on the log, and how
// often it tries again, in milliseconds.
constexpr int LockWait = 2000;
constexpr int LockPoll = 1;

// What an append gives when another writer keeps the log's lock: no error
// number of the system's, so that it is told apart from any of them.
constexpr int LockKept = -1;

[[noreturn]] void raise(int errorNumber)
{
    if (errorNumber == LockKept)
        throw InOutError(QStringLiteral("Un autre programme tient le verrou du journal"));
    throw InOutError(ioErrorMessage(errorNumber));
}

// Hands the text to the system in one write where it can. With cutBackTo
// at 0 or more, the size that the regular file open at fd for appending had
// before, the file gets all of the text or nothing: where a write fails
// after part of it went in (a disk that fills gives a short write, then the
// error), the file is cut back to that size. It is cut only while its size
// is exactly what this text's parts made it, so that a line that another
// writer appended meanwhile is never cut. Returns 0 or the error number.
int writeAll(int fd, const QByteArray &text, off_t cutBackTo = -1)
{
    const char *data = text.constData();
    qsizetype left = text.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            const off_t partEnd = cutBackTo + off_t(text.size() - left);
            struct stat status;
            if (cutBackTo >= 0 && left < text.size() && ::fstat(fd, &status) == 0
                && status.st_size == partEnd)
                (void)::ftruncate(fd, cutBackTo);
            return error;
        }
        data += written;
        left -= written;
    }
    return 0;
}

// Closes the file; a failed close is reported unless an earlier error
// already is.
int closeFile(int fd, int error)
{
    if (::close(fd) != 0 && error == 0 && errno != EINTR)
        return errno;
    return error;
}

// Takes the lock that every writer of the program holds while it looks at
// the end of the log and appends: without it, a writer could read the last
// byte while another's record is half in, and add a line break before its
// own. A writer that keeps the lock longer than LockWait is an error, as
// the close must not wait for good; a file system without locks is written
// without. Returns 0 or LockKept.
int lockForAppending(int fd)
{
    for (int waited = 0;; ++waited) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return 0;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK)
            return 0;
        if (waited >= LockWait / LockPoll)
            return LockKept;
        const timespec pause{0, LockPoll * 1000000L};
        ::nanosleep(&pause, nullptr);
    }
}

// Whether the regular file open for appending at fd, found at path, has
// text after its last line feed (an editor may have stripped the final line
// break). The file is read through a second opening of the same file; where
// it cannot be read, or path no longer names it, the answer is no.
bool endsInsideLine(int fd, const QByteArray &path)
{
    struct stat appended;
    if (::fstat(fd, &appended) != 0 || !S_ISREG(appended.st_mode) || appended.st_size == 0)
        return false;
    const int reader = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (reader < 0)
        return false;
    char last = '\n';
    struct stat read;
    if (::fstat(reader, &read) == 0 && read.st_dev == appended.st_dev
        && read.st_ino == appended.st_ino) {
        ssize_t got;
        do
            got = ::pread(reader, &last, 1, appended.st_size - 1);
        while (got < 0 && errno == EINTR);
        if (got != 1)
            last = '\n';
    }
    ::close(reader);
    return last != '\n';
}

// Appends the record to the log open at fd for appending, found at path,
// under the lock: a record never sticks to the end of an unfinished line,
// and one that fails part-way is taken out again. Returns 0, the error
// number or LockKept; the file stays open.
int appendLocked(int fd, const QByteArray &path, const QByteArray &record)
{
    int error = lockForAppending(fd);
    struct stat status;
    if (error == 0 && ::fstat(fd, &status) != 0)
        error = errno;
    if (error != 0)
        return error;
    const QByteArray text = endsInsideLine(fd, path) ? "\r\n" + record : record;
    return writeAll(fd, text, S_ISREG(status.st_mode) ? status.st_size : -1);
}

// Where a new log is made for the name path: path itself, or, where path is
// a link (the user keeps the log elsewhere), the name its chain of links
// ends at. A relative link leads from the link's own directory. Returns 0
// or the error number.
int newLogName(QByteArray &path)
{
    for (int links = 0; links <= MaxLinks; ++links) {
        struct stat entry;
        if (::lstat(path.constData(), &entry) != 0)
            return errno == ENOENT ? 0 : errno;
        // Anything else that is there now: its creation fails as taken.
        if (!S_ISLNK(entry.st_mode))
            return 0;
        if (links == MaxLinks)
            break;
        QByteArray target(entry.st_size > 0 ? qsizetype(entry.st_size) + 1 : 256, '\0');
        ssize_t size;
        while ((size = ::readlink(path.constData(), target.data(), size_t(target.size())))
               == ssize_t(target.size()))
            target.resize(target.size() * 2);
        if (size < 0)
            return errno == ENOENT || errno == EINVAL ? 0 : errno; // no longer a link
        if (size == 0)
            return ENOENT;
        target.truncate(size);
        const qsizetype slash = path.lastIndexOf('/');
        if (!target.startsWith('/') && slash >= 0)
            target.prepend(path.left(slash + 1));
        path = target;
    }
    return ELOOP;
}

// Creates the file at path holding text, exclusively: where a file of that
// name (or a link) already exists, nothing is written and EEXIST returned.
// Another run that finds the new file appends after the whole text, never
// between its lines: the text is written under a temporary name beside the
// log, which then takes the log's name in one step. Returns 0 or the error
// number.
int createWhole(const QByteArray &path, const QByteArray &text)
{
    QByteArray temporary = path + ".XXXXXX";
    int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    // mkostemp gives the owner alone access; the log gets the permissions
    // of any new file. (Some file systems keep no permissions: no matter.)
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    int error = closeFile(fd, writeAll(fd, text));
    if (error == 0 && ::link(temporary.constData(), path.constData()) != 0)
        error = errno;
    ::unlink(temporary.constData());
    if (error == 0 || error == EEXIST || (error != EPERM && error != EOPNOTSUPP))
        return error;

    // A file system without hard links: create the log in place, the whole
    // text in one write.
    fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    return closeFile(fd, writeAll(fd, text));
}

} // namespace

QString recordLine(const QStringList &fields)
{
    return fields.join(QLatin1Char(' '));
}

void append(const QStringList &fields, const QString &path)
{
    appendLine(path, HeaderLine, recordLine(fields).toLocal8Bit());
}

void appendLine(const QString &path, const QByteArray &headerLine, const QByteArray &line)
{
    const QByteArray name = QFile::encodeName(path);
    const QByteArray record = line + "\r\n";
    // Whether the log exists decides, not whether it can be read: an
    // existing file is only ever appended to. A file that vanishes between
    // two steps, or one that another run creates meanwhile, makes this go
    // round; three turns settle it.
    for (int turn = 0; turn < 3; ++turn) {
        // Never waits at the opening: a pipe without a reader is an error
        // (ENXIO) like any other, not a close that hangs.
        const int fd = ::open(name.constData(), O_WRONLY | O_APPEND | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            const int error = closeFile(fd, appendLocked(fd, name, record));
            if (error != 0)
                raise(error);
            return;
        }
        if (errno == EINTR)
            continue;
        if (errno != ENOENT)
            raise(errno);
        // No file under the name, or a link to a file not there yet: the
        // new log is made where the link leads.
        QByteArray created = name;
        int error = newLogName(created);
        if (error == 0)
            error = createWhole(created, headerLine + "\r\n" + record);
        if (error == 0)
            return;
        if (error != EEXIST)
            raise(error);
    }
    // The name is taken, yet nothing can be opened under it, nor made where
    // it leads: a file that keeps coming and going.
    raise(ENOENT);
}

QByteArray utcText(std::int64_t msSinceEpoch, bool withMilliseconds)
{
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(msSinceEpoch, Qt::UTC);
    const QDate date = at.date();
    const QTime time = at.time();
    QString text = QString::asprintf("%04d-%02d-%02d %02d:%02d:%02d", date.year(), date.month(),
                                     date.day(), time.hour(), time.minute(), time.second());
    if (withMilliseconds)
        text += QString::asprintf(".%03d", time.msec());
    return text.toLatin1();
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
    case ENXIO:
        // What opening a pipe without a reader, a socket or a device
        // without its hardware gives: the log is no file to keep lines in.
        return QStringLiteral("Le journal n'est pas un fichier ordinaire");
    default:
        return QStringLiteral("Erreur E/S %1").arg(errorNumber);
    }
}

} // namespace StatsLog
