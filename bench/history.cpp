// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
//
// How long the reactions log's reader takes, as the program reads the log
// at start-up: velmaris_history [LINES [ROUNDS [TRIALS]]] (default 100000
// lines, 20 rounds, runs of 60 trials). Writes a log of LINES lines (runs
// of TRIALS trials, a reaction missing here and there, a few
// anticipations) into a temporary directory, then reads it ROUNDS times
// from the file (to its last 64 MiB, as the program does) and as many
// times from memory (all of it); prints the median, minimum and maximum of
// each in ms.
#include "reactions/history.h"
#include "reactions/reactionslog.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double milliseconds(std::chrono::steady_clock::duration duration)
{
    return std::chrono::duration<double, std::milli>(duration).count();
}

void report(const char *what, std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    std::printf("%-12s median %7.2f ms   min %7.2f   max %7.2f\n", what, times[times.size() / 2],
                times.front(), times.back());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const long lines = argc > 1 ? std::atol(argv[1]) : 100000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 20;
    const long trials = argc > 3 ? std::atol(argv[3]) : 60;
    if (lines < 1 || rounds < 1 || trials < 1) {
        std::fprintf(stderr, "usage: velmaris_history [LINES [ROUNDS [TRIALS]]]\n");
        return 2;
    }

    QByteArray log = QByteArray(ReactionsLog::HeaderLine) + "\r\n";
    std::srand(1);
    const std::int64_t firstRun = 1767261600000; // 2026-01-01 10:00 UTC
    for (long line = 0; line < lines; ++line) {
        const long run = line / trials;
        const std::int64_t start = firstRun + run * 3'600'000;
        const std::int64_t returned = start + (line % trials + 1) * 9'000;
        Reactions::TrialReactions trial{std::int32_t(line % trials + 1),
                                        0.3 + (std::rand() % 300) / 1000.0,
                                        0.25 + (std::rand() % 300) / 1000.0, 0, 0};
        if (line % 17 == 0)
            trial.reappearance.reset();
        if (line % 23 == 0)
            trial.disappearanceAnticipations = 1;
        log += ReactionsLog::recordLine(start, returned, 1.0 + (std::rand() % 9000) / 1000.0, trial)
               + "\r\n";
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("reactions.csv"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(log) != log.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return 1;
    }
    file.close();

    std::vector<double> fromFile;
    std::vector<double> fromMemory;
    std::size_t runs = 0;
    bool olderLeftOut = false;
    for (int round = 0; round < rounds; ++round) {
        auto before = std::chrono::steady_clock::now();
        const Reactions::History read = Reactions::readHistory(path);
        fromFile.push_back(milliseconds(std::chrono::steady_clock::now() - before));
        runs = read.runs.size();
        olderLeftOut = read.olderLeftOut;
        before = std::chrono::steady_clock::now();
        const Reactions::History parsed =
            Reactions::parseHistory(log.constData(), std::size_t(log.size()));
        fromMemory.push_back(milliseconds(std::chrono::steady_clock::now() - before));
        if ((!olderLeftOut && parsed.runs.size() != runs) || parsed.unreadableLines != 0) {
            std::fprintf(stderr, "the reader's runs differ\n");
            return 1;
        }
    }
    std::printf("%ld lines, %lld bytes, %zu runs read%s, %d rounds\n", lines,
                static_cast<long long>(log.size()), runs,
                olderLeftOut ? " (older ones left out)" : "", rounds);
    report("file", fromFile);
    report("memory", fromMemory);
    return 0;
}
