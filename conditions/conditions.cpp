// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "conditions/conditions.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace Conditions {

namespace {

const QByteArray Group = QByteArrayLiteral("[conditions]");

// The steps' keys, each with its last step. After bips, the sliders' are in
// the order the file has them: the alphabetical one QSettings wrote them in
// before; the announcement's choice, added later, comes last.
struct StepKey
{
    const char *key;
    int ObservingConditions::*member;
    int last;
};
const StepKey StepKeys[] = {{"eclat", &ObservingConditions::eclat, LastStep},
                            {"fondu", &ObservingConditions::fondu, LastStep},
                            {"scintillation", &ObservingConditions::scintillation, LastStep},
                            {"annonce", &ObservingConditions::annonce, LastAnnouncement}};

int step(int value, int last = LastStep)
{
    return std::clamp(value, 0, last);
}

// A line's key, when it is one of the conditions'.
std::optional<QByteArray> conditionsKey(const QByteArray &trimmed)
{
    const QByteArray key = trimmed.left(trimmed.indexOf('=')).trimmed();
    if (!trimmed.contains('='))
        return std::nullopt;
    if (key == "bips")
        return key;
    for (const StepKey &entry : StepKeys) {
        if (key == entry.key)
            return key;
    }
    return std::nullopt;
}

// Whether the true time waits for the user's entry: kept in the same group,
// under a key of its own, written only when the box is changed.
const QByteArray TrueTimeKey = QByteArrayLiteral("temps_vrai_apres_saisie");

bool isTrueTimeLine(const QByteArray &trimmed)
{
    return trimmed.contains('=') && trimmed.left(trimmed.indexOf('=')).trimmed() == TrueTimeKey;
}

// A step written as save() writes a number: decimal digits, a minus sign
// before a negative one, no leading zero. One beyond its range is brought
// within it.
std::optional<int> stepValue(const QByteArray &value, int last)
{
    const QByteArray digits = value.startsWith('-') ? value.mid(1) : value;
    if (digits.isEmpty() || digits.size() > 9 || (digits[0] == '0' && value != "0")
        || !std::all_of(digits.begin(), digits.end(), [](char c) { return '0' <= c && c <= '9'; }))
        return std::nullopt;
    return step(value.toInt(), last);
}

ObservingConditions parse(const QByteArray &text)
{
    ObservingConditions conditions;
    bool inGroup = false;
    for (const QByteArray &line : text.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith('[')) {
            inGroup = trimmed == Group;
            continue;
        }
        if (!inGroup || !conditionsKey(trimmed))
            continue;
        // Only what save() writes is taken; anything else leaves the default.
        const QByteArray key = *conditionsKey(trimmed);
        const QByteArray value = trimmed.mid(trimmed.indexOf('=') + 1).trimmed();
        if (key == "bips")
            conditions.bips = value == "true";
        for (const StepKey &entry : StepKeys) {
            if (key == entry.key)
                conditions.*entry.member =
                    stepValue(value, entry.last).value_or(ObservingConditions().*entry.member);
        }
    }
    return conditions;
}

QByteArray conditionsLines(const ObservingConditions &conditions)
{
    QByteArray lines = QByteArrayLiteral("bips=") + (conditions.bips ? "true" : "false") + '\n';
    for (const StepKey &entry : StepKeys)
        lines += entry.key + ('=' + QByteArray::number(conditions.*entry.member)) + '\n';
    return lines;
}

// Whether a line of the group is one that a save writes anew.
using OwnedLine = bool (*)(const QByteArray &trimmed);

bool isConditionsLine(const QByteArray &trimmed)
{
    return conditionsKey(trimmed).has_value();
}

// The file's text with the given lines in place of the owned ones it had,
// the rest as it was.
QByteArray merged(QByteArray text, OwnedLine owned, const QByteArray &lines)
{
    if (text.endsWith('\n'))
        text.chop(1);
    QByteArray result;
    bool inGroup = false;
    bool placed = false;
    for (const QByteArray &line : text.isEmpty() ? QList<QByteArray>() : text.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith('['))
            inGroup = trimmed == Group;
        else if (inGroup && owned(trimmed))
            continue;
        result += line + '\n';
        if (inGroup && !placed) {
            result += lines;
            placed = true;
        }
    }
    if (!placed)
        result += (result.isEmpty() ? QByteArray() : QByteArray("\n")) + Group + '\n' + lines;
    return result;
}

// Opens a regular file, or what a link leads to when it is one, without
// waiting; -1 with errno set otherwise: EISDIR for a folder, ENXIO for
// anything else that is not a regular file. Nothing else is opened: a FIFO
// would wait for a writer, and opening a device may already do something.
int openRegular(const QByteArray &path, int flags)
{
    struct stat status;
    if (::stat(path.constData(), &status) != 0)
        return -1;
    if (!S_ISREG(status.st_mode)) {
        errno = S_ISDIR(status.st_mode) ? EISDIR : ENXIO;
        return -1;
    }
    const int fd = ::open(path.constData(), flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    // The name may lead elsewhere by now.
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        errno = ENXIO;
        return -1;
    }
    return fd;
}

// The file holds five short lines: one far larger is no file of the
// program's, and reading and writing it at every slider step would freeze
// the window.
constexpr qsizetype MaxKeptBytes = 64 * 1024;

// Reads the file to its end, or fails with EFBIG beyond MaxKeptBytes.
bool readAll(int fd, QByteArray &bytes)
{
    char buffer[4096];
    for (;;) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count > 0 && bytes.size() + count > MaxKeptBytes) {
            errno = EFBIG;
            return false;
        }
        if (count > 0)
            bytes.append(buffer, count);
        else if (count == 0)
            return true;
        else if (errno != EINTR)
            return false;
    }
}

bool writeAll(int fd, const QByteArray &bytes)
{
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t count = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (count >= 0)
            done += count;
        else if (errno != EINTR)
            return false;
    }
    return true;
}

QString nameOf(const QByteArray &path)
{
    return QFileInfo(QFile::decodeName(path)).fileName();
}

// Why a file or folder could not be used, in the user's words.
QString systemReason(int error, const QByteArray &path, bool folder)
{
    const QString name = nameOf(path);
    const QString what = folder ? QStringLiteral("le dossier ") + name : name;
    switch (error) {
    case EACCES:
    case EPERM:
        return (folder ? QStringLiteral("accès refusé au dossier ")
                       : QStringLiteral("accès refusé à "))
               + name;
    case EROFS:
        return what + QStringLiteral(" est sur un disque en lecture seule");
    case ENOSPC:
        return QStringLiteral("disque plein");
    case EDQUOT:
        return QStringLiteral("quota du disque atteint");
    case ENOTDIR:
        return name + QStringLiteral(" n'est pas un dossier");
    case EISDIR:
        return name + QStringLiteral(" est un dossier");
    case ENXIO:
        return name + QStringLiteral(" n'est pas un fichier ordinaire");
    case ELOOP:
        return QStringLiteral("trop de liens symboliques vers ") + name;
    case EIO:
        return QStringLiteral("erreur du disque");
    case EFBIG:
        return name + QStringLiteral(" est trop grand pour être celui du programme (plus de 64 Kio)");
    default: {
        const char *code = strerrorname_np(error);
        return QStringLiteral("erreur du système (%1) sur %2")
            .arg(code ? QString::fromLatin1(code) : QString::number(error), what);
    }
    }
}

// Makes a folder and those it is in, as needed; false with errno set and the
// folder at fault named: the one that refuses a new folder, or the file in
// a folder's place.
bool makeFolder(const QByteArray &folder, QByteArray &failed)
{
    struct stat status;
    const bool stands = ::stat(folder.constData(), &status) == 0;
    if (stands && S_ISDIR(status.st_mode))
        return true;
    const QByteArray parent = folder.left(folder.lastIndexOf('/'));
    if (!stands && (errno == ENOENT || errno == ENOTDIR) && !parent.isEmpty()
        && !makeFolder(parent, failed))
        return false;
    if (::mkdir(folder.constData(), 0777) == 0)
        return true;
    failed = errno == EEXIST ? folder : parent;
    if (errno == EEXIST)
        errno = ENOTDIR;
    return false;
}

// A new file beside the target, opened for writing.
int createBeside(const QByteArray &target, QByteArray &name)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = target + '.' + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        const int fd =
            ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

// Writes the text to a new file beside the target and puts it in the
// target's place, provided the target is still a regular file or absent.
QString replace(const QByteArray &target, const QByteArray &text, std::optional<mode_t> mode)
{
    const QByteArray folder = target.left(target.lastIndexOf('/'));
    QByteArray temporary;
    const int fd = createBeside(target, temporary);
    if (fd < 0)
        return systemReason(errno, folder, true);
    // The file keeps the permissions it had.
    bool written = (!mode || ::fchmod(fd, *mode) == 0) && writeAll(fd, text) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    struct stat status;
    if (written && ::lstat(target.constData(), &status) == 0 && !S_ISREG(status.st_mode)) {
        written = false;
        error = S_ISDIR(status.st_mode) ? EISDIR : ENXIO;
    }
    if (written && ::rename(temporary.constData(), target.constData()) == 0)
        return QString();
    if (written)
        error = errno;
    ::unlink(temporary.constData());
    return systemReason(error, target, false);
}

// The kept file's text; nothing where it cannot be read.
std::optional<QByteArray> keptText()
{
    const int fd = openRegular(QFile::encodeName(keptPath()), O_RDONLY);
    if (fd < 0)
        return std::nullopt;
    QByteArray text;
    const bool read = readAll(fd, text);
    ::close(fd);
    return read ? std::optional<QByteArray>(text) : std::nullopt;
}

// Writes the lines in place of the owned ones, with whatever else the file
// holds. Returns why they could not be written, or an empty text.
QString saveLines(OwnedLine owned, const QByteArray &lines)
{
    const QByteArray path = QFile::encodeName(keptPath());
    struct stat status;
    if (::lstat(path.constData(), &status) != 0) {
        if (errno != ENOENT && errno != ENOTDIR)
            return systemReason(errno, path, false);
        // Nothing there yet: made, with its folder.
        QByteArray failed;
        if (!makeFolder(path.left(path.lastIndexOf('/')), failed))
            return systemReason(errno, failed, true);
        return replace(path, merged(QByteArray(), owned, lines), std::nullopt);
    }

    // A link is followed to a regular file only, and the file it leads to
    // is replaced: the link stays.
    QByteArray target = path;
    if (S_ISLNK(status.st_mode)) {
        if (::stat(path.constData(), &status) != 0) {
            if (errno == ENOENT)
                return QStringLiteral("le lien %1 ne mène à aucun fichier").arg(nameOf(path));
            return systemReason(errno, path, false);
        }
        if (!S_ISREG(status.st_mode))
            return QStringLiteral("le lien %1 ne mène pas à un fichier ordinaire")
                .arg(nameOf(path));
        target = QFile::encodeName(QFileInfo(QFile::decodeName(path)).canonicalFilePath());
    }
    // The file is read, for the lines that are not the ones written, and
    // must be writable: a file made read-only stays as it is.
    const int fd = openRegular(target, O_RDWR | O_NOFOLLOW);
    if (fd < 0)
        return systemReason(errno, target, false);
    QByteArray text;
    const bool read = readAll(fd, text) && ::fstat(fd, &status) == 0;
    const int error = errno;
    ::close(fd);
    if (!read)
        return systemReason(error, target, false);
    return replace(target, merged(text, owned, lines), status.st_mode & 07777);
}

} // namespace

ObservingConditions bounded(ObservingConditions conditions)
{
    conditions.eclat = step(conditions.eclat);
    conditions.scintillation = step(conditions.scintillation);
    conditions.fondu = step(conditions.fondu);
    conditions.annonce = step(conditions.annonce, LastAnnouncement);
    return conditions;
}

double eclatLight(int step)
{
    return std::ldexp(1.0, -step);
}

int srgbLevel(double linear)
{
    const double light = std::clamp(linear, 0.0, 1.0);
    const double encoded =
        light <= 0.0031308 ? 12.92 * light : 1.055 * std::pow(light, 1.0 / 2.4) - 0.055;
    return int(std::lround(255.0 * encoded));
}

ObservingConditions forTrial(const ObservingConditions &kept, bool audioOutput)
{
    ObservingConditions conditions = kept;
    conditions.bips = kept.bips && audioOutput;
    return conditions;
}

QString keptPath()
{
    // Where QSettings kept them: ~/.config, or $XDG_CONFIG_HOME.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/velmaris/velmaris.conf");
}

ObservingConditions load()
{
    const std::optional<QByteArray> text = keptText();
    return text ? parse(*text) : ObservingConditions();
}

QString save(const ObservingConditions &conditions)
{
    return saveLines(isConditionsLine, conditionsLines(conditions));
}

bool loadTrueTimeAfterEntry()
{
    const std::optional<QByteArray> text = keptText();
    if (!text)
        return false;
    // The last line of the group decides, as for the conditions; only what
    // the save writes turns the box on.
    bool on = false;
    bool inGroup = false;
    for (const QByteArray &line : text->split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith('['))
            inGroup = trimmed == Group;
        else if (inGroup && isTrueTimeLine(trimmed))
            on = trimmed.mid(trimmed.indexOf('=') + 1).trimmed() == "true";
    }
    return on;
}

QString saveTrueTimeAfterEntry(bool on)
{
    return saveLines(isTrueTimeLine, TrueTimeKey + (on ? "=true\n" : "=false\n"));
}


QString reportText(const ObservingConditions &conditions)
{
    const QString announcement = announcementText(conditions);
    return QStringLiteral("éclat %1, scintillation %2, fondu %3 ms, %4")
               .arg(conditions.eclat)
               .arg(conditions.scintillation)
               .arg(conditions.fadeMs())
               .arg(conditions.bips ? QStringLiteral("bips") : QStringLiteral("sans bips"))
           + (announcement.isEmpty() ? QString() : QStringLiteral(", ") + announcement);
}

QString columnText(const ObservingConditions &conditions)
{
    const QString announcement = announcementText(conditions);
    return QStringLiteral("%1 / %2 / %3 ms / %4")
               .arg(conditions.eclat)
               .arg(conditions.scintillation)
               .arg(conditions.fadeMs())
               .arg(conditions.bips ? QStringLiteral("bips") : QStringLiteral("sans bips"))
           + (announcement.isEmpty() ? QString() : QStringLiteral(" / ") + announcement);
}

QString columnHeader()
{
    return QStringLiteral("Conditions (éclat/scint./fondu/bips/annonce)");
}

QString announcementText(const ObservingConditions &conditions)
{
    if (!conditions.announced())
        return QString();
    return QStringLiteral("annoncé ± %1 s")
        .arg(QString::fromLatin1(announcementField(conditions)));
}

QByteArray announcementField(const ObservingConditions &conditions)
{
    return QByteArray::number(conditions.announcementSigma(), 'g', 3);
}

std::optional<int> announcementOf(QByteArrayView field)
{
    for (int place = 0; place <= LastAnnouncement; ++place) {
        ObservingConditions conditions;
        conditions.annonce = place;
        if (field == announcementField(conditions))
            return place;
    }
    return std::nullopt;
}

} // namespace Conditions
