// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

/// The run log: one record of six statistics texts per run, under a header
/// line written by the run that creates the file; and the safe appending
/// that every log of the program shares.
namespace StatsLog {

/// The log's name, relative to the working directory.
inline const char *const FileName = ".occ";
inline const char *const HeaderLine = "NbOcc. Moy.Occ. Sig.Occ. Nb.Mes. Moy.Mes Sig.Mes.";

/// The record line: the fields joined by single spaces, without CR LF.
QString recordLine(const QStringList &fields);

/// Appends the record to the log at path, as appendLine() does.
void append(const QStringList &fields, const QString &path = QString::fromLatin1(FileName));

/// Appends the line (without its CR LF) to the log at path, creating the
/// file with headerLine first when it does not exist (where path is a link
/// to a file not there yet, that file is created). Every log of the program
/// is written through it. An existing file is only ever appended to, the
/// record in one write, on a line of its own even where the file's last
/// line lacks its line break; a new file appears with its header and record
/// already in it. So runs that close together keep their records whole, and
/// the header stays first. An existing file is locked (flock) while its last
/// byte is looked at and the record written, so that writers appending at
/// the same time never put a line break into each other's records; a lock
/// that another writer keeps for two seconds is an error. A record that
/// fails part-way (a disk that fills) is taken out again: the file is cut
/// back to the size it had, unless another writer has appended since. The
/// file is closed on every path, and opening it never waits: a pipe without
/// a reader is an error like any other.
/// Throws InOutError with the message that the system's error selects.
void appendLine(const QString &path, const QByteArray &headerLine, const QByteArray &line);

/// An instant in UTC as the CSV logs write it, plain ASCII that
/// spreadsheets read as a date in any language: "YYYY-MM-DD HH:MM:SS",
/// with ".mmm" after it withMilliseconds.
QByteArray utcText(std::int64_t msSinceEpoch, bool withMilliseconds);

/// The input/output message for a system error number (errno).
QString ioErrorMessage(int errorNumber);

} // namespace StatsLog
