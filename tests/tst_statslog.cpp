// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "program/application.h"
#include "app/clock.h"
#include "app/errors.h"
#include "main_window/unit1.h"
#include "main_window/unit1vars.h"
#include "reactions/history.h"
#include "reactions/reactionslog.h"
#include "settings/unit2.h"
#include "statistics/statslog.h"
#include "statistics/unit4.h"
#include "testsupport.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <grp.h>
#include <optional>
#include <sys/file.h>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QByteArray Header = "NbOcc. Moy.Occ. Sig.Occ. Nb.Mes. Moy.Mes Sig.Mes.\r\n";

// The program in a fresh working directory, and its log.
class Program : public ProgramFixture
{
public:
    QString log() const { return path(QStringLiteral(".occ")); }
};

std::optional<QByteArray> readFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), content.size());
}

int openDescriptorCount()
{
    return int(QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

// Sets the six grid texts as a press of "Stats..." would leave them.
void setGrid(const QStringList &cells)
{
    StringGrid *grid = Form4->ui.StringGrid1;
    grid->setCell(3, 1, cells.value(0));
    grid->setCell(1, 1, cells.value(1));
    grid->setCell(2, 1, cells.value(2));
    grid->setCell(3, 2, cells.value(3));
    grid->setCell(1, 2, cells.value(4));
    grid->setCell(2, 2, cells.value(5));
}

void setAccumulators(double sumOccult, double sumSqOccult, int occultations, double sumError,
                     double sumSqError, int measures)
{
    SumOccult = sumOccult;
    SumSqOccult = sumSqOccult;
    OccultCount = occultations;
    SumError = sumError;
    SumSqError = sumSqError;
    MeasureCount = measures;
}

// Two occultations of 2 s and 4 s, two entries each 0.5 s off: the record
// "2  3.00  1.41 2  0.50  0.00".
void setTwoTrials()
{
    setAccumulators(2.0 + 4.0, 4.0 + 16.0, 2, 0.5 + 0.5, 0.25 + 0.25, 2);
}
const QByteArray TwoTrialsRecord = "2  3.00  1.41 2  0.50  0.00\r\n";

// The six grid texts in the record's order.
QStringList gridFields()
{
    const StringGrid *grid = Form4->ui.StringGrid1;
    return {grid->cell(3, 1), grid->cell(1, 1), grid->cell(2, 1),
            grid->cell(3, 2), grid->cell(1, 2), grid->cell(2, 2)};
}

// Another program, which appends to the log without its lock, at the moment
// a write runs into the file size limit (its signal comes before the error).
char otherWriterPath[4096];
extern "C" void appendOtherLine(int)
{
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const int fd = ::open(otherWriterPath, O_WRONLY | O_APPEND);
    if (fd >= 0) {
        (void)!::write(fd, "autre\r\n", 7);
        ::close(fd);
    }
}

} // namespace

class TestStatsLog : public QObject
{
    Q_OBJECT

private slots:
    void appendsAtClose_data();
    void appendsAtClose();
    void recordHoldsTheRunsFinalFigures_data();
    void recordHoldsTheRunsFinalFigures();
    void recordWithTwoSpaceFields();
    void leavesTheFileAlone_data();
    void leavesTheFileAlone();
    void reportsErrorsAndKeepsTheWindow_data();
    void reportsErrorsAndKeepsTheWindow();
    void permissionErrors_data();
    void permissionErrors();
    void closesTheFileOnEveryPath();
    void errorMessages_data();
    void errorMessages();
    void runsClosingTogetherKeepTheirRecords_data();
    void runsClosingTogetherKeepTheirRecords();
    void reactionsLine_data();
    void reactionsLine();
    void announcementFields_data();
    void announcementFields();
    void reactionsHistory_data();
    void reactionsHistory();
    void historyBound_data();
    void historyBound();
};

void TestStatsLog::appendsAtClose_data()
{
    // linkTo: where the link .occ leads, beside the directory "logs" that
    // holds the link "next" to "run.occ"; empty: .occ is a plain file.
    QTest::addColumn<QByteArray>("linkTo");
    QTest::addColumn<std::optional<QByteArray>>("before");
    QTest::addColumn<QByteArray>("after");

    const QByteArray old = Header + "1  1.00  1  0.10 \r\n";
    const QByteArray record = TwoTrialsRecord;
    const std::optional<QByteArray> none;
    QTest::newRow("no file: header and record") << QByteArray() << none << Header + record;
    QTest::newRow("existing file: record at its end, no header")
        << QByteArray() << std::optional<QByteArray>(old) << old + record;
    QTest::newRow("existing empty file: record alone")
        << QByteArray() << std::optional<QByteArray>(QByteArray()) << record;
    QTest::newRow("existing file without final line break: record on a new line")
        << QByteArray() << std::optional<QByteArray>("notes") << "notes\r\n" + record;
    QTest::newRow("existing file ending in a bare line feed: record directly")
        << QByteArray() << std::optional<QByteArray>("notes\n") << "notes\n" + record;
    QTest::newRow("link to an existing file: record at its end")
        << QByteArray("logs/run.occ") << std::optional<QByteArray>(old) << old + record;
    QTest::newRow("link to a file not there yet: created with header and record")
        << QByteArray("logs/run.occ") << none << Header + record;
    QTest::newRow("links to a file not there yet, each relative to its own directory")
        << QByteArray("logs/next") << none << Header + record;
}

void TestStatsLog::appendsAtClose()
{
    QFETCH(QByteArray, linkTo);
    QFETCH(std::optional<QByteArray>, before);
    QFETCH(QByteArray, after);

    Program program;
    const QByteArray log = QFile::encodeName(program.log());
    if (!linkTo.isEmpty()) {
        QVERIFY(QDir(program.dir()).mkdir(QStringLiteral("logs")));
        QCOMPARE(::symlink("run.occ", QFile::encodeName(program.path("logs/next")).constData()), 0);
        QCOMPARE(::symlink(linkTo.constData(), log.constData()), 0);
    }
    if (before)
        writeFile(program.log(), *before);
    setTwoTrials();

    Form1->showForm();
    QVERIFY(Form1->close());
    QCOMPARE(reportedErrors(), QStringList());
    QCOMPARE(readFile(program.log()), std::optional<QByteArray>(after));
    if (!linkTo.isEmpty()) {
        // The links stay, and the log is the only file made.
        QVERIFY(QFileInfo(program.log()).isSymLink());
        QCOMPARE(QDir(program.path("logs")).entryList(QDir::AllEntries | QDir::System
                                                      | QDir::Hidden | QDir::NoDotAndDotDot),
                 (QStringList{"next", "run.occ"}));
    }
}

void TestStatsLog::recordHoldsTheRunsFinalFigures_data()
{
    QTest::addColumn<bool>("pressedEarly");
    QTest::newRow("Stats never pressed") << false;
    QTest::newRow("Stats pressed after the first trial only") << true;
}

void TestStatsLog::recordHoldsTheRunsFinalFigures()
{
    QFETCH(bool, pressedEarly);

    Program program;
    if (pressedEarly) {
        // The first occultation (2 s) and its entry; the user then closes
        // the statistics window and goes on.
        setAccumulators(2.0, 4.0, 1, 0.5, 0.25, 1);
        Form1->ButtonStatClick(Form1->ui.ButtonStat);
        QVERIFY(Form4->isVisible());
        Form4->hideForm();
    }
    setTwoTrials();

    Form1->showForm();
    QVERIFY(Form1->close());
    QCOMPARE(reportedErrors(), QStringList());
    QCOMPARE(readFile(program.log()), std::optional<QByteArray>(Header + TwoTrialsRecord));
    // The grid was brought up to date for the record, and shows what it holds.
    QCOMPARE(StatsLog::recordLine(gridFields()).toLatin1() + "\r\n", TwoTrialsRecord);
    QVERIFY2(!Form4->isVisible(), "closing does not show the statistics window");
}

void TestStatsLog::recordWithTwoSpaceFields()
{
    // 12 durations of mean 2.35 s and deviation 1.20 s, 10 errors of mean
    // 0.31 s and deviation 0.22 s, as the sums give them.
    Program program;
    const double sumOccult = 12 * 2.35;
    const double sumSqOccult = 11 * 1.2 * 1.2 + sumOccult * sumOccult / 12;
    const double sumError = 10 * 0.31;
    const double sumSqError = 9 * 0.22 * 0.22 + sumError * sumError / 10;
    setAccumulators(sumOccult, sumSqOccult, 12, sumError, sumSqError, 10);
    Form1->ButtonStatClick(Form1->ui.ButtonStat);

    Form1->FormClose(Form1);
    QCOMPARE(reportedErrors(), QStringList());
    QCOMPARE(readFile(program.log()),
             std::optional<QByteArray>(Header + "12  2.35  1.20 10  0.31  0.22\r\n"));
}

void TestStatsLog::leavesTheFileAlone_data()
{
    QTest::addColumn<bool>("ticked");
    QTest::addColumn<int>("measures");
    QTest::newRow("option unticked") << false << 5;
    QTest::newRow("one accepted entry") << true << 1;
    QTest::newRow("no accepted entry") << true << 0;
}

void TestStatsLog::leavesTheFileAlone()
{
    QFETCH(bool, ticked);
    QFETCH(int, measures);

    Program program;
    const QStringList shown = {"5", " 2.00", " 0.10", QString::number(measures), " 0.20", " 0.01"};
    setGrid(shown);
    OccultCount = 5;
    MeasureCount = measures;
    Form2->ui.CheckBox1->setChecked(ticked);

    Form1->showForm();
    QVERIFY(Form1->close());
    QCOMPARE(reportedErrors(), QStringList());
    QVERIFY(!QFile::exists(program.log()));
    // Nothing was worked out: the grid still shows the last press.
    QCOMPARE(gridFields(), shown);
}

void TestStatsLog::reportsErrorsAndKeepsTheWindow_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("message");
    QTest::newRow("a directory named .occ") << "directory" << "Accès au fichier refusé.";
    QTest::newRow("a full disk") << "full" << "Disque plein.";
    QTest::newRow("a link into a missing directory") << "dangling" << "Fichier introuvable.";
    QTest::newRow("a link loop") << "loop" << "Nom de fichier incorrect.";
    QTest::newRow("a path through a plain file") << "notdir" << "Nom de fichier incorrect.";
    QTest::newRow("a pipe with no reader: no wait")
        << "fifo" << "Le journal n'est pas un fichier ordinaire.";
    QTest::newRow("a lock that another writer keeps: said as such")
        << "locked" << "Un autre programme tient le verrou du journal.";
    QTest::newRow("a directory named reactions.csv: the run's record first, once")
        << "reactions" << "\"reactions.csv\" : Accès au fichier refusé.";
}

void TestStatsLog::reportsErrorsAndKeepsTheWindow()
{
    QFETCH(QString, setup);
    QFETCH(QString, message);

    Program program;
    const QByteArray log = QFile::encodeName(program.log());
    const QByteArray notes = "keep me\r\n";
    QFile holder(program.log()); // another writer, keeping the log's lock
    if (setup == QLatin1String("directory")) {
        QVERIFY(QDir(program.path(".")).mkdir(QStringLiteral(".occ")));
        writeFile(program.path(".occ/inside"), notes);
    } else if (setup == QLatin1String("full")) {
        QVERIFY(QFile::exists(QStringLiteral("/dev/full")));
        QCOMPARE(::symlink("/dev/full", log.constData()), 0);
    } else if (setup == QLatin1String("dangling")) {
        QCOMPARE(::symlink("missing/log.txt", log.constData()), 0);
    } else if (setup == QLatin1String("loop")) {
        QCOMPARE(::symlink(".occ", log.constData()), 0);
    } else if (setup == QLatin1String("notdir")) {
        writeFile(program.path("plain"), notes);
        QCOMPARE(::symlink("plain/log", log.constData()), 0);
    } else if (setup == QLatin1String("fifo")) {
        QCOMPARE(::mkfifo(log.constData(), 0600), 0);
    } else if (setup == QLatin1String("locked")) {
        writeFile(program.log(), Header);
        QVERIFY(holder.open(QIODevice::ReadOnly));
        QCOMPARE(::flock(holder.handle(), LOCK_EX), 0);
    } else if (setup == QLatin1String("reactions")) {
        QVERIFY(QDir(program.path(".")).mkdir(QStringLiteral("reactions.csv")));
        writeFile(program.log(), Header);
        // A trial with a top that counts: one pressed at the vanish.
        Form1->ButtonOnYvaClick(nullptr);
        Form1->Timer1Timer(nullptr);
        Form1->Image1Top(Clock::steadyNanoseconds());
        Form1->Timer1Timer2(nullptr);
    }
    const QStringList before =
        QDir(program.path(".")).entryList(QDir::AllEntries | QDir::Hidden | QDir::System);
    setTwoTrials();

    Form1->showForm();
    QVERIFY2(!Form1->close(), "the close request goes on after the error");
    if (setup == QLatin1String("reactions"))
        QCOMPARE(readFile(program.log()), std::optional<QByteArray>(Header + TwoTrialsRecord));
    QVERIFY2(!Form1->close(), "a second request meets the same error");
    QCOMPARE(reportedErrors(), QStringList({message, message}));
    QVERIFY(Form1->isVisible());
    if (setup == QLatin1String("reactions")) {
        QCOMPARE(readFile(program.log()), std::optional<QByteArray>(Header + TwoTrialsRecord));
        // The line kept is written once the file can be.
        QVERIFY(QDir(program.path("reactions.csv")).removeRecursively());
        reportedErrors().clear();
        QVERIFY(Form1->close());
        QCOMPARE(reportedErrors(), QStringList());
        QCOMPARE(readFile(program.log()), std::optional<QByteArray>(Header + TwoTrialsRecord));
        QCOMPARE(readFile(program.path("reactions.csv"))->count("\r\n"), 2);
        return;
    }

    // Nothing that was there is lost, and nothing is left behind.
    QCOMPARE(QDir(program.path(".")).entryList(QDir::AllEntries | QDir::Hidden | QDir::System),
             before);
    if (setup == QLatin1String("directory"))
        QCOMPARE(readFile(program.path(".occ/inside")), std::optional<QByteArray>(notes));
    if (setup == QLatin1String("notdir"))
        QCOMPARE(readFile(program.path("plain")), std::optional<QByteArray>(notes));

    // Once the option is unticked, the window closes.
    reportedErrors().clear();
    Form2->ui.CheckBox1->setChecked(false);
    QVERIFY(Form1->close());
    QCOMPARE(reportedErrors(), QStringList());
}

void TestStatsLog::permissionErrors_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("after");
    const QByteArray old = Header + "1  1.00  1  0.10 \r\n";
    const QByteArray record = TwoTrialsRecord;
    QTest::newRow("read-only file") << "readonly" << "Accès au fichier refusé" << old;
    QTest::newRow("unreadable but writable file: appended")
        << "writeonly" << "" << old + record;
    QTest::newRow("working directory without write permission")
        << "lockeddir" << "Accès au fichier refusé" << QByteArray();
    // A file size limit just past the file's end: the record goes in short,
    // then the next write fails, as on a disk that fills up.
    QTest::newRow("record cut short by a full file: the file as it was")
        << "sizelimit" << QString("Erreur E/S %1").arg(EFBIG) << old;
    // Another program appends a line just as the record fails: its line
    // stays, and so does the part of the record before it.
    QTest::newRow("record cut short, then another writer's line: both kept")
        << "sizelimit, other writer" << QString("Erreur E/S %1").arg(EFBIG)
        << old + "2  3." + "autre\r\n";
}

void TestStatsLog::permissionErrors()
{
    QFETCH(QString, setup);
    QFETCH(QString, message);
    QFETCH(QByteArray, after);

    // Permissions do not hold back root: where the tests run as root, the
    // append runs as an ordinary user, who then owns the directory and log.
    constexpr uid_t User = 65534;
    constexpr gid_t Group = 65534;
    const bool asRoot = ::geteuid() == 0;

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral(".occ"));
    const QByteArray old = Header + "1  1.00  1  0.10 \r\n";
    QFile log(path);
    const QFile::Permissions owner = QFile::ReadOwner | QFile::WriteOwner;
    if (setup == QLatin1String("readonly")) {
        writeFile(path, old);
        QVERIFY(log.setPermissions(QFile::ReadOwner));
    } else if (setup == QLatin1String("writeonly")) {
        writeFile(path, old);
        QVERIFY(log.setPermissions(QFile::WriteOwner));
    } else if (setup.startsWith(QLatin1String("sizelimit"))) {
        writeFile(path, old);
    } else {
        QVERIFY(QFile(dir.path()).setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    }
    if (asRoot) {
        for (const QString &name : {dir.path(), path})
            QVERIFY(::lchown(QFile::encodeName(name).constData(), User, Group) == 0
                    || errno == ENOENT);
    }

    const QStringList fields = {"2", " 3.00", " 1.41", "2", " 0.50", " 0.00"};
    // The child reports the error message, nothing on success.
    int report[2];
    QCOMPARE(::pipe(report), 0);
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        ::close(report[0]);
        if (asRoot
            && (::setgroups(0, nullptr) != 0 || ::setgid(Group) != 0 || ::setuid(User) != 0))
            ::_exit(2);
        if (::access(QFile::encodeName(dir.path()).constData(), X_OK) != 0)
            ::_exit(3);
        if (setup.startsWith(QLatin1String("sizelimit"))) {
            const bool other = setup.endsWith(QLatin1String("other writer"));
            qstrncpy(otherWriterPath, QFile::encodeName(path).constData(), sizeof otherWriterPath);
            rlimit limit{};
            ::getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = rlim_t(old.size() + 5);
            if (::signal(SIGXFSZ, other ? appendOtherLine : SIG_IGN) == SIG_ERR
                || ::setrlimit(RLIMIT_FSIZE, &limit) != 0)
                ::_exit(6);
        }
        QByteArray outcome;
        try {
            StatsLog::append(fields, path);
        } catch (const InOutError &error) {
            outcome = error.message().toUtf8();
        } catch (...) {
            ::_exit(4);
        }
        const bool sent = ::write(report[1], outcome.constData(), size_t(outcome.size()))
                          == ssize_t(outcome.size());
        ::_exit(sent ? 0 : 5);
    }
    ::close(report[1]);
    QByteArray outcome;
    char buffer[256];
    ssize_t got;
    while ((got = ::read(report[0], buffer, sizeof buffer)) != 0) {
        if (got > 0)
            outcome.append(buffer, got);
        else if (errno != EINTR)
            break;
    }
    ::close(report[0]);
    int status = -1;
    QCOMPARE(::waitpid(child, &status, 0), child);
    QFile(dir.path()).setPermissions(owner | QFile::ExeOwner);
    log.setPermissions(owner);

    QVERIFY(WIFEXITED(status));
    QVERIFY2(WEXITSTATUS(status) != 2, "cannot become an ordinary user");
    QVERIFY2(WEXITSTATUS(status) != 3, "the ordinary user cannot reach the temporary directory");
    QCOMPARE(WEXITSTATUS(status), 0);
    QCOMPARE(QString::fromUtf8(outcome), message);
    if (after.isEmpty())
        QVERIFY(!log.exists());
    else
        QCOMPARE(readFile(path), std::optional<QByteArray>(after));
}

void TestStatsLog::closesTheFileOnEveryPath()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString full = dir.filePath(QStringLiteral("full"));
    QCOMPARE(::symlink("/dev/full", QFile::encodeName(full).constData()), 0);
    const QStringList fields = {"2", " 3.00", " 1.41", "2", " 0.50", " 0.00"};

    const int before = openDescriptorCount();
    StatsLog::append(fields, dir.filePath(QStringLiteral("new")));
    StatsLog::append(fields, dir.filePath(QStringLiteral("new")));
    QCOMPARE(openDescriptorCount(), before);

    for (int i = 0; i < 3; ++i)
        QVERIFY_THROWS_EXCEPTION(InOutError, StatsLog::append(fields, full));
    QCOMPARE(openDescriptorCount(), before);
}

void TestStatsLog::errorMessages_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("message");
    QTest::newRow("ENOENT") << ENOENT << "Fichier introuvable";
    QTest::newRow("ENOTDIR") << ENOTDIR << "Nom de fichier incorrect";
    QTest::newRow("ENAMETOOLONG") << ENAMETOOLONG << "Nom de fichier incorrect";
    QTest::newRow("ELOOP") << ELOOP << "Nom de fichier incorrect";
    QTest::newRow("EMFILE") << EMFILE << "Trop de fichiers ouverts";
    QTest::newRow("ENFILE") << ENFILE << "Trop de fichiers ouverts";
    QTest::newRow("EACCES") << EACCES << "Accès au fichier refusé";
    QTest::newRow("EPERM") << EPERM << "Accès au fichier refusé";
    QTest::newRow("EISDIR") << EISDIR << "Accès au fichier refusé";
    QTest::newRow("EROFS") << EROFS << "Accès au fichier refusé";
    QTest::newRow("ENOSPC") << ENOSPC << "Disque plein";
    QTest::newRow("EDQUOT") << EDQUOT << "Disque plein";
    QTest::newRow("EIO, any other") << EIO << QString("Erreur E/S %1").arg(EIO);
    QTest::newRow("ETXTBSY, any other") << ETXTBSY << QString("Erreur E/S %1").arg(ETXTBSY);
}

void TestStatsLog::errorMessages()
{
    QFETCH(int, error);
    QFETCH(QString, message);
    QCOMPARE(StatsLog::ioErrorMessage(error), message);
}

void TestStatsLog::runsClosingTogetherKeepTheirRecords_data()
{
    // Runs that append at the same moment in one directory: whether the log
    // is there first, how many runs, how many records each appends, rounds.
    QTest::addColumn<bool>("logExists");
    QTest::addColumn<int>("runs");
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("rounds");
    QTest::newRow("no log yet: one header, first") << false << 8 << 1 << 100;
    QTest::newRow("an existing log: no empty or broken line") << true << 8 << 3000 << 1;
}

void TestStatsLog::runsClosingTogetherKeepTheirRecords()
{
    // Every record arrives whole, on a line of its own.
    QFETCH(bool, logExists);
    QFETCH(int, runs);
    QFETCH(int, records);
    QFETCH(int, rounds);
    QStringList expected;
    for (int run = 0; run < runs; ++run) {
        for (int record = 0; record < records; ++record)
            expected.append(QString("%1  2.00  0.50 %2  0.25  0.10").arg(run).arg(record));
    }
    expected.sort();
    for (int round = 0; round < rounds; ++round) {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral(".occ"));
        if (logExists)
            writeFile(path, Header);

        int gate[2];
        QCOMPARE(::pipe(gate), 0);
        QList<pid_t> children;
        for (int run = 0; run < runs; ++run) {
            const pid_t child = ::fork();
            QVERIFY(child >= 0);
            if (child == 0) {
                ::close(gate[1]);
                char byte;
                // Every run waits at the gate until all are ready.
                while (::read(gate[0], &byte, 1) < 0 && errno == EINTR) {
                }
                int status = 0;
                try {
                    for (int record = 0; record < records; ++record)
                        StatsLog::append({QString::number(run), " 2.00", " 0.50",
                                          QString::number(record), " 0.25", " 0.10"},
                                         path);
                } catch (...) {
                    status = 1;
                }
                ::_exit(status);
            }
            children.append(child);
        }
        ::close(gate[0]);
        ::close(gate[1]); // opens the gate
        for (pid_t child : children) {
            int status = -1;
            QCOMPARE(::waitpid(child, &status, 0), child);
            QVERIFY(WIFEXITED(status));
            QCOMPARE(WEXITSTATUS(status), 0);
        }

        const std::optional<QByteArray> content = readFile(path);
        QVERIFY(content);
        QVERIFY2(content->startsWith(Header), content->constData());
        QVERIFY(content->endsWith("\r\n"));
        QCOMPARE(content->count('\n'), content->count("\r\n"));
        QStringList lines = QString::fromLatin1(*content).split(QStringLiteral("\r\n"));
        QCOMPARE(lines.takeLast(), QString());
        lines.removeFirst();
        lines.sort();
        QCOMPARE(lines, expected);
        // No temporary file or other trace is left beside the log.
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{".occ"});
    }
}

void TestStatsLog::reactionsLine_data()
{
    // Instants in UTC milliseconds since 1970.
    QTest::addColumn<qint64>("runStart");
    QTest::addColumn<int>("trial");
    QTest::addColumn<qint64>("returned");
    QTest::addColumn<double>("duration");
    QTest::addColumn<double>("disappearance"); // below 0: no top
    QTest::addColumn<double>("reappearance");
    QTest::addColumn<int>("anticipatedDisappearance");
    QTest::addColumn<int>("anticipatedReappearance");
    // Éclat, Scintillation, Fondu position, pips, announcement's place; the
    // seconds announced for the two edges, -1 for none.
    QTest::addColumn<QList<int>>("conditions");
    QTest::addColumn<QByteArray>("line");

    const QList<int> plain{0, 0, 0, 0, 0, -1, -1};
    QTest::newRow("both reactions; the run's start to the second")
        << Q_INT64_C(1796765045999) << 3 << Q_INT64_C(1796767445123) << 2.5 << 0.25 << 0.2 << 0
        << 0 << plain
        << QByteArray("2026-12-08 21:24:05,3,2026-12-08 22:04:05.123,2.500,0.250,0.200,0,0,0,0,0,0,0,,");
    QTest::newRow("no reappearance top, three decimals rounded, anticipations")
        << Q_INT64_C(1782864000000) << 12 << Q_INT64_C(1782864000000) << 1.2346 << 0.3104
        << -1.0 << 1 << 2 << plain
        << QByteArray("2026-07-01 00:00:00,12,2026-07-01 00:00:00.000,1.235,0.310,,1,2,0,0,0,0,0,,");
    QTest::newRow("anticipations only, the last millisecond of a year")
        << Q_INT64_C(1798761599000) << 1 << Q_INT64_C(1798761599999) << 12.0 << -1.0 << -1.0 << 2
        << 0 << plain << QByteArray("2026-12-31 23:59:59,1,2026-12-31 23:59:59.999,12.000,,,2,0,0,0,0,0,0,,");
    QTest::newRow("a faint, twinkling star fading over 100 ms, with pips")
        << Q_INT64_C(1796765045000) << 2 << Q_INT64_C(1796765050000) << 3.0 << 0.4 << 0.3 << 0
        << 1 << QList<int>{5, 3, 3, 1, 0, -1, -1}
        << QByteArray("2026-12-08 21:24:05,2,2026-12-08 21:24:10.000,3.000,0.400,0.300,0,1,5,3,100,1,0,,");
    QTest::newRow("announced ± 0.5 s: the vanish at 4 s, the return at 12 s")
        << Q_INT64_C(1796765045000) << 4 << Q_INT64_C(1796765060000) << 7.5 << 0.3 << 0.25 << 0
        << 0 << QList<int>{0, 0, 0, 0, 1, 4, 12}
        << QByteArray("2026-12-08 21:24:05,4,2026-12-08 21:24:20.000,7.500,0.300,0.250,0,0,0,0,0,0,0.5,4,12");
    QTest::newRow("announced ± 2 s, with pips: the vanish at the start, 0 s")
        << Q_INT64_C(1796765045000) << 5 << Q_INT64_C(1796765060000) << 3.0 << 0.3 << -1.0 << 0
        << 0 << QList<int>{0, 0, 0, 1, 3, 0, 2}
        << QByteArray("2026-12-08 21:24:05,5,2026-12-08 21:24:20.000,3.000,0.300,,0,0,0,0,0,1,2,0,2");
}

void TestStatsLog::reactionsLine()
{
    QFETCH(qint64, runStart);
    QFETCH(int, trial);
    QFETCH(qint64, returned);
    QFETCH(double, duration);
    QFETCH(double, disappearance);
    QFETCH(double, reappearance);
    QFETCH(int, anticipatedDisappearance);
    QFETCH(int, anticipatedReappearance);
    QFETCH(QList<int>, conditions);
    QFETCH(QByteArray, line);

    // Under a zone far from UTC, with summer time: the line is in UTC all
    // the same.
    const std::optional<QByteArray> previousZone =
        qEnvironmentVariableIsSet("TZ") ? std::optional(qgetenv("TZ")) : std::nullopt;
    qputenv("TZ", "NST3:30NDT,M3.2.0,M11.1.0");
    ::tzset();
    auto reaction = [](double value) {
        return value < 0 ? std::optional<double>() : std::optional<double>(value);
    };
    Reactions::TrialReactions reactions{
        trial, reaction(disappearance), reaction(reappearance), anticipatedDisappearance,
        anticipatedReappearance,
        {conditions[0], conditions[1], conditions[2], conditions[3] != 0, conditions[4]}};
    auto announced = [](int second) {
        return second < 0 ? std::optional<Reactions::TrialReactions::Announced>()
                          : Reactions::TrialReactions::Announced{second, 0.0};
    };
    reactions.announcedDisappearance = announced(conditions[5]);
    reactions.announcedReappearance = announced(conditions[6]);
    const QByteArray written = ReactionsLog::recordLine(runStart, returned, duration, reactions);
    previousZone ? qputenv("TZ", *previousZone) : qunsetenv("TZ");
    ::tzset();
    QCOMPARE(written, line);

    // Read back: the announcement as it was written.
    QList<QByteArrayView> fields;
    const QList<QByteArray> split = written.split(',');
    for (qsizetype i = ReactionsLog::AnnouncementColumn; i < split.size(); ++i)
        fields.append(split[i]);
    const std::optional<ReactionsLog::LineAnnouncement> read =
        ReactionsLog::readAnnouncement(fields.constData(), int(fields.size()));
    QVERIFY(read);
    QCOMPARE((QList<int>{read->annonce, read->disappearance.value_or(-1),
                         read->reappearance.value_or(-1)}),
             conditions.mid(4));
}

void TestStatsLog::announcementFields_data()
{
    // A reactions line's fields from "annonce_s" on; the announcement read
    // as its place among the choices and the two seconds, or "unreadable".
    QTest::addColumn<QByteArray>("fields");
    QTest::addColumn<QString>("read");

    QTest::newRow("a line from before the columns: unannounced") << QByteArray() << "0 - -";
    QTest::newRow("unannounced") << QByteArray(",0,,") << "0 - -";
    QTest::newRow("± 1 s, the vanish at 7 s, the return at 10 s") << QByteArray(",1,7,10")
                                                                  << "2 7 10";
    QTest::newRow("± 0.5 s, a return not announced") << QByteArray(",0.5,3,") << "1 3 -";
    QTest::newRow("a column added after them left alone") << QByteArray(",2,0,2,x") << "3 0 2";
    QTest::newRow("± 1.5 s, no choice of the program's") << QByteArray(",1.5,3,5")
                                                         << "unreadable";
    QTest::newRow("a second announced on an unannounced line") << QByteArray(",0,7,")
                                                               << "unreadable";
    QTest::newRow("a second with a fraction") << QByteArray(",1,7.5,10") << "unreadable";
    QTest::newRow("a second with a leading zero") << QByteArray(",1,07,10") << "unreadable";
}

void TestStatsLog::announcementFields()
{
    QFETCH(QByteArray, fields);
    QFETCH(QString, read);
    QList<QByteArrayView> split;
    const QList<QByteArray> parts = fields.split(',');
    for (qsizetype i = 1; i < parts.size(); ++i)
        split.append(parts[i]);
    const std::optional<ReactionsLog::LineAnnouncement> announcement =
        ReactionsLog::readAnnouncement(split.constData(), int(split.size()));
    auto second = [](std::optional<int> value) {
        return value ? QString::number(*value) : QStringLiteral("-");
    };
    QCOMPARE(announcement ? QStringLiteral("%1 %2 %3")
                                .arg(announcement->annonce)
                                .arg(second(announcement->disappearance),
                                     second(announcement->reappearance))
                          : QStringLiteral("unreadable"),
             read);
}

void TestStatsLog::reactionsHistory_data()
{
    // The log's text (or a pipe of that name, or a file that cannot be
    // read) and this run's start; the other runs, newest first, as start,
    // trials and the two means, or the error reported; and the unreadable
    // lines.
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("file"); // "pipe", "unreadable", or "" for a plain file
    QTest::addColumn<QString>("currentStart");
    QTest::addColumn<QStringList>("runs");
    QTest::addColumn<int>("unreadable");

    const QByteArray header = ReactionsLog::HeaderLine + QByteArray("\r\n");
    const QString unread = QStringLiteral("Impossible de lire \"reactions.csv\" : ");
    QTest::newRow("runs newest first, each edge's mean over its own tops; later columns, bare LF")
        << header + "2026-12-01 20:00:00,1,2026-12-01 20:00:10.000,2.000,0.300,,0,1\r\n"
                    "2026-12-01 20:00:00,3,2026-12-01 20:01:10.000,2.000,0.200,0.400,0,0,x\n"
                    "2026-12-05 08:00:00,1,2026-12-05 08:00:10.000,2.000,,,2,0\r\n"
        << "" << "2026-12-08 21:24:05"
        << QStringList{"2026-12-05 08:00:00|1|-|-", "2026-12-01 20:00:00|2|0.250|0.400"} << 0;
    QTest::newRow("another header's lines and damaged ones skipped and counted; blank lines not")
        << "date,duree_s,reaction_disparition_s,reaction_reapparition_s,tops_anticipes\r\n"
           "2026-12-01T20:00:10.000+01:00,2.000,0.300,,0\r\n"
           "2026-12-01 20:00:00,1,2026-12-01 20:00:10.000,2.000,0.300,0.200,0,0\r\n\r\n"
           "2026-12-01 20:00:00,2,2026-12-01 20:00:20.000,2.000,0.3\r\n"
           "2026-02-30 20:00:00,1,2026-02-30 20:00:10.000,2.000,0.300,0.200,0,0\r\n"
           "2026-12-01 20:00:00,3,2026-12-01 20:00:30.000,2.000,-0.300,0.200,0,0\r\n"
           "2026-12-01 20:00:00,4,2026-12-01 20:00:40.000,2.000,0.300,0.200,0,\r\n"
               + header
        << "" << "2026-12-08 21:24:05" << QStringList{"2026-12-01 20:00:00|1|0.300|0.200"} << 6;
    QTest::newRow("the last second of 2000-02-29 read; 1900-02-29 and hour 24 are no dates")
        << header + "2000-02-29 23:59:59,1,2000-02-29 23:59:59.999,2.000,0.300,,0,0\r\n"
                    "1900-02-29 20:00:00,1,1900-02-29 20:00:10.000,2.000,0.300,,0,0\r\n"
                    "2026-12-01 24:00:00,1,2026-12-02 00:00:10.000,2.000,0.300,,0,0\r\n"
        << "" << "2026-12-08 21:24:05" << QStringList{"2000-02-29 23:59:59|1|0.300|-"} << 2;
    QTest::newRow("a byte-order mark before the header passed over")
        << "\xEF\xBB\xBF" + header
               + "2026-12-01 20:00:00,1,2026-12-01 20:00:10.000,2.000,0.300,0.200,0,0\r\n"
        << "" << "2026-12-08 21:24:05" << QStringList{"2026-12-01 20:00:00|1|0.300|0.200"} << 0;
    QTest::newRow("an older log's header of eight columns, a newer one's with a column added")
        << QByteArray(ReactionsLog::HeaderLine).split(',').mid(0, 8).join(',') + "\r\n"
               + "2026-12-01 20:00:00,1,2026-12-01 20:00:10.000,2.000,0.300,,0,0\r\n"
               + QByteArray(ReactionsLog::HeaderLine) + ",cible\r\n"
               + "2026-12-01 20:00:00,2,2026-12-01 20:00:20.000,2.000,0.200,0.400,0,0,3,0,0,1,5\r\n"
        << "" << "2026-12-08 21:24:05"
        << QStringList{"2026-12-01 20:00:00|1|0.200|0.400|3 / 0 / 0 ms / bips",
                       "2026-12-01 20:00:00|1|0.300|-"}
        << 0;
    QTest::newRow("a run under two sets of conditions: a row each, the one first seen last first")
        << header + "2026-12-01 20:00:00,1,2026-12-01 20:00:10.000,2.000,0.300,0.200,0,0,3,3,200,1\r\n"
                    "2026-12-01 20:00:00,2,2026-12-01 20:00:20.000,2.000,0.500,0.400,0,0,0,0,0,0\r\n"
                    "2026-12-01 20:00:00,3,2026-12-01 20:00:30.000,2.000,0.400,0.300,0,0,3,3,200,1\r\n"
        << "" << "2026-12-08 21:24:05"
        << QStringList{"2026-12-01 20:00:00|1|0.500|0.400",
                       "2026-12-01 20:00:00|2|0.350|0.250|3 / 3 / 200 ms / bips"}
        << 0;
    QTest::newRow("conditions out of shape, or a fade the window has not, read as defaults")
        << header + "2026-12-01 20:00:00,1,2026-12-01 20:00:10.000,2.000,0.300,0.200,0,0,x,-1,30,yes\r\n"
                    "2026-12-01 20:00:00,2,2026-12-01 20:00:20.000,2.000,0.500,0.400,0,0,0,0,0,0\r\n"
                    "2026-12-01 20:00:00,3,2026-12-01 20:00:30.000,2.000,0.400,0.300,0,0,9,0,500\r\n"
        << "" << "2026-12-08 21:24:05"
        << QStringList{"2026-12-01 20:00:00|1|0.400|0.300|5 / 0 / 500 ms / sans bips",
                       "2026-12-01 20:00:00|2|0.400|0.300"}
        << 0;
    QTest::newRow("the log's older header of twelve columns: a newer line's announcement read")
        << QByteArray(ReactionsLog::HeaderLine).split(',').mid(0, 12).join(',') + "\r\n"
               + "2026-12-01 20:00:00,1,2026-12-01 20:00:10.000,2.000,0.300,0.200,0,0,0,0,0,0\r\n"
                 "2026-12-01 20:00:00,2,2026-12-01 20:00:20.000,2.000,0.500,0.400,0,0,0,0,0,0,1,7,10\r\n"
        << "" << "2026-12-08 21:24:05"
        << QStringList{"2026-12-01 20:00:00|1|0.500|0.400|0 / 0 / 0 ms / sans bips / annoncé ± 1 s",
                       "2026-12-01 20:00:00|1|0.300|0.200"}
        << 0;
    QTest::newRow("an announcement out of shape read as none; ± 2 s a set of its own")
        << header + "2026-12-01 20:00:00,1,2026-12-01 20:00:10.000,2.000,0.300,0.200,0,0,0,0,0,0,1.5,7,10\r\n"
                    "2026-12-01 20:00:00,2,2026-12-01 20:00:20.000,2.000,0.500,0.400,0,0,0,0,0,0,2,3,x\r\n"
                    "2026-12-01 20:00:00,3,2026-12-01 20:00:30.000,2.000,0.100,0.600,0,0,0,0,0,0,2,3,5\r\n"
        << "" << "2026-12-08 21:24:05"
        << QStringList{"2026-12-01 20:00:00|1|0.100|0.600|0 / 0 / 0 ms / sans bips / annoncé ± 2 s",
                       "2026-12-01 20:00:00|2|0.400|0.300"}
        << 0;
    QTest::newRow("a header with the reactions' columns swapped: read by their names")
        << QByteArray("seance,essai,date_utc,duree_s,reaction_reapparition_s,"
                      "reaction_disparition_s,anticipations_reapparition,"
                      "anticipations_disparition,eclat\r\n")
               + "2026-12-01 20:00:00,1,2026-12-01 20:00:10.000,2.000,0.400,0.300,0,1,0\r\n"
        << "" << "2026-12-08 21:24:05" << QStringList{"2026-12-01 20:00:00|1|0.300|0.400"} << 0;
    QTest::newRow("columns in another order after the log's own lines; back to it at its header")
        << header + "2026-12-01 20:00:00,1,2026-12-01 20:00:10.000,2.000,0.300,,0,0\r\n"
               + "reaction_disparition_s,duree_s,essai,seance,date_utc,anticipations_disparition,"
                 "reaction_reapparition_s,anticipations_reapparition\r\n"
                 "0.500,2.000,2,2026-12-01 20:00:00,2026-12-01 20:00:20.000,0,0.600,0\r\n"
               + header + "2026-12-01 20:00:00,3,2026-12-01 20:00:30.000,2.000,0.400,,0,0\r\n"
        << "" << "2026-12-08 21:24:05" << QStringList{"2026-12-01 20:00:00|3|0.400|0.600"} << 0;
    QTest::newRow("a header without a reaction column: it and its lines unreadable")
        << QByteArray("seance,essai,date_utc,duree_s,reaction_disparition_s,"
                      "anticipations_disparition,anticipations_reapparition\r\n"
                      "2026-12-01 20:00:00,1,2026-12-01 20:00:10.000,2.000,0.300,0,0\r\n")
        << "" << "2026-12-08 21:24:05"
        << QStringList{unread + "Aucune ligne n'a la forme du journal"} << 0;
    QTest::newRow("lines of this run in the log left out: the program has its trials")
        << header + "2026-12-08 21:24:05,1,2026-12-08 21:24:10.000,2.000,0.300,0.300,0,0\r\n"
                    "2026-12-01 20:00:00,1,2026-12-01 20:00:10.000,2.000,0.300,0.200,0,0\r\n"
        << "" << "2026-12-08 21:24:05" << QStringList{"2026-12-01 20:00:00|1|0.300|0.200"} << 0;
    QTest::newRow("two programs writing at once: each run's lines gathered")
        << header + "2026-12-02 10:00:00,1,2026-12-02 10:00:10.000,2.000,0.400,,0,0\r\n"
                    "2026-12-02 09:59:59,1,2026-12-02 10:00:11.000,2.000,0.200,,0,0\r\n"
                    "2026-12-02 10:00:00,2,2026-12-02 10:00:20.000,2.000,0.600,,0,0\r\n"
        << "" << "2026-11-30 00:00:00"
        << QStringList{"2026-12-02 10:00:00|2|0.500|-", "2026-12-02 09:59:59|1|0.200|-"} << 0;
    QTest::newRow("a pipe named reactions.csv: said, and no wait for a writer")
        << QByteArray() << "pipe" << "2026-12-08 21:24:05"
        << QStringList{unread + "Le journal n'est pas un fichier ordinaire"} << 0;
    QTest::newRow("a log without read permission: said")
        << header << "unreadable" << "2026-12-08 21:24:05"
        << QStringList{unread + "Accès au fichier refusé"} << 0;
    QTest::newRow("carriage returns only, no line of the log: said")
        << QByteArray(4096, '\r') << "" << "2026-12-08 21:24:05"
        << QStringList{unread + "Aucune ligne n'a la forme du journal"} << 0;
}

void TestStatsLog::reactionsHistory()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, file);
    QFETCH(QString, currentStart);
    QFETCH(QStringList, runs);
    QFETCH(int, unreadable);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("reactions.csv"));
    if (file == QLatin1String("pipe"))
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else
        writeFile(path, content);
    if (file == QLatin1String("unreadable"))
        QVERIFY(QFile(path).setPermissions({}));
    // Permissions do not hold back root, who reads it as an ordinary user.
    const int root =
        file == QLatin1String("unreadable") && ::geteuid() == 0 ? ::setfsuid(65534) : -1;
    const QString format = QStringLiteral("yyyy-MM-dd HH:mm:ss");
    QDateTime start = QDateTime::fromString(currentStart, format);
    start.setTimeSpec(Qt::UTC);
    Reactions::History history;
    QStringList shown;
    try {
        history = Reactions::readHistory(path);
    } catch (const InOutError &error) {
        shown.append(error.message());
    }
    if (root >= 0)
        ::setfsuid(uid_t(root));
    auto mean = [](std::int32_t count, double value) {
        return count > 0 ? QString::number(value, 'f', 3) : QStringLiteral("-");
    };
    // A run's conditions where they are not the defaults.
    for (const Reactions::RunFigures &run : Reactions::earlierRuns(history, start.toSecsSinceEpoch()))
        shown.append(QStringLiteral("%1|%2|%3|%4")
                         .arg(QDateTime::fromSecsSinceEpoch(run.startUtcSeconds, Qt::UTC).toString(format))
                         .arg(run.trials)
                         .arg(mean(run.disappearanceCount, run.disappearanceMean),
                              mean(run.reappearanceCount, run.reappearanceMean))
                     + (run.conditions.isDefault()
                            ? QString()
                            : QLatin1Char('|') + Conditions::columnText(run.conditions)));
    QCOMPARE(shown, runs);
    QCOMPARE(history.unreadableLines, unreadable);
}

void TestStatsLog::historyBound_data()
{
    // Runs of one line each, the first at 10:00:00, one a second; the log
    // read to a bound of so many bytes. Then the runs read, oldest and
    // newest, and whether older ones were left out.
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("bound");
    QTest::addColumn<QString>("read");
    const QByteArray own = ReactionsLog::HeaderLine + QByteArray("\r\n");
    QTest::newRow("within the bound: every run") << own << 100 << 65536 << "100 10:00:00 10:01:39";
    QTest::newRow("beyond it: the last whole lines")
        << own << 100 << 2000 << "28 10:01:12 10:01:39 older left out";
    QTest::newRow("beyond it, with the header's order of columns")
        << QByteArray("essai,seance,date_utc,duree_s,reaction_disparition_s,"
                      "reaction_reapparition_s,anticipations_disparition,"
                      "anticipations_reapparition\r\n")
        << 100 << 2000 << "28 10:01:12 10:01:39 older left out";
}

void TestStatsLog::historyBound()
{
    QFETCH(QByteArray, header);
    QFETCH(int, lines);
    QFETCH(int, bound);
    QFETCH(QString, read);
    const bool ownOrder = header.startsWith("seance");
    QByteArray content = header;
    for (int i = 0; i < lines; ++i) {
        const QByteArray start =
            QTime(10, 0).addSecs(i).toString(QStringLiteral("HH:mm:ss")).toLatin1();
        const QByteArray first = ownOrder ? "2026-12-01 " + start + ",1" : "1,2026-12-01 " + start;
        content += first + ",2026-12-01 " + start + ".500,2.000,0.300,0.400,0,0\r\n";
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("reactions.csv"));
    writeFile(path, content);
    const Reactions::History history = Reactions::readHistory(path, bound);
    QStringList seen{QString::number(history.runs.size())};
    for (const Reactions::RunFigures *run : {&history.runs.front(), &history.runs.back()})
        seen << QDateTime::fromSecsSinceEpoch(run->startUtcSeconds, Qt::UTC)
                    .toString(QStringLiteral("HH:mm:ss"));
    if (history.olderLeftOut)
        seen << QStringLiteral("older left out");
    QCOMPARE(seen.join(QLatin1Char(' ')), read);
    QCOMPARE(history.unreadableLines, 0);
}

QTEST_MAIN(TestStatsLog)
#include "tst_statslog.moc"
