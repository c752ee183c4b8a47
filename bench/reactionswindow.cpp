// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
//
// What a long reactions log costs the windows: velmaris_reactionswindow
// [RUNS [ROUNDS]] (default 1000000 runs of one trial each, 5 rounds).
// Writes such a reactions.csv into a temporary working directory, then,
// ROUNDS times: builds the start-up windows with the log there and
// without it (the main thread's time, ms), shows "Équation personnelle"
// once the log is read (ms to the window drawn), and adds a trial to the
// run while the window is shown (ms to the window drawn again). Prints the
// median, minimum and maximum of each. Run it under an X server, or with
// QT_QPA_PLATFORM=offscreen.

#include "app/errordialog.h"
#include "program/application.h"
#include "reactions/reactionslog.h"
#include "reactions/reactionswindow.h"
#include "reactions/run.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double since(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void report(const char *what, std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    std::printf("%-28s median %8.2f ms   min %8.2f   max %8.2f\n", what, times[times.size() / 2],
                times.front(), times.back());
}

double buildWindows()
{
    const Clock::time_point start = Clock::now();
    createForms();
    const double spent = since(start);
    return spent;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // An error is printed, not shown in a box that waits for a click.
    setErrorReporter([](const QString &text, QWidget *) {
        std::fprintf(stderr, "error: %s\n", qPrintable(text));
    });
    const long runs = argc > 1 ? std::atol(argv[1]) : 1000000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
    if (runs < 1 || rounds < 1) {
        std::fprintf(stderr, "usage: velmaris_reactionswindow [RUNS [ROUNDS]]\n");
        return 2;
    }
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    for (const char *name : {"aide.html", "gpl_en.html"})
        QFile::copy(QStringLiteral(VELMARIS_DATA_DIR "/") + QLatin1String(name),
                    dir.filePath(QLatin1String(name)));
    QDir::setCurrent(dir.path());

    QByteArray log = QByteArray(ReactionsLog::HeaderLine) + "\r\n";
    const std::int64_t firstRun = 1136113200000; // 2006-01-01 11:00 UTC
    std::srand(1);
    for (long run = 0; run < runs; ++run) {
        const std::int64_t start = firstRun + run * 3'600'000;
        const Reactions::TrialReactions trial{1, 0.3 + (std::rand() % 300) / 1000.0,
                                              0.25 + (std::rand() % 300) / 1000.0, 0, 0};
        log += ReactionsLog::recordLine(start, start + 9000, 2.0, trial) + "\r\n";
    }
    const QString path = QStringLiteral("reactions.csv");
    const QString aside = QStringLiteral("reactions.csv.aside");

    std::vector<double> withLog, withoutLog, shown, trial;
    for (int round = 0; round < rounds; ++round) {
        QFile::remove(path);
        QFile::remove(aside);
        QFile file(aside);
        if (!file.open(QIODevice::WriteOnly) || file.write(log) != log.size()) {
            std::fprintf(stderr, "cannot write the log\n");
            return 1;
        }
        file.close();
        withoutLog.push_back(buildWindows());
        destroyForms();
        QFile::rename(aside, path);
        withLog.push_back(buildWindows());
        currentRun().waitForEarlierRuns();

        Clock::time_point start = Clock::now();
        ReactionsWindow *window = reactionsWindow();
        window->showForm();
        QCoreApplication::processEvents();
        window->repaint();
        shown.push_back(since(start));

        start = Clock::now();
        currentRun().addTrial({1, 0.31, 0.28, 0, 0}, currentRun().startUtcMs() + 9000, 2.0);
        QCoreApplication::processEvents();
        window->repaint();
        trial.push_back(since(start));
        destroyForms();
    }
    std::printf("%ld runs, %lld bytes, %d rounds\n", runs, static_cast<long long>(log.size()),
                rounds);
    report("windows built, no log", withoutLog);
    report("windows built, with the log", withLog);
    report("\"Réactions...\" shown", shown);
    report("a trial added, shown", trial);
    return 0;
}
