// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
//
// The reactions log's reader. For any bytes:
// - the reader returns, without an exception;
// - every line that is neither empty nor the log's header is either a trial
//   of one run or an unreadable line;
// - each run has trials, no more reactions at an edge than trials, starts
//   of its own, and finite means of zero or more.
#include "reactions/history.h"
#include "reactions/reactionslog.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// The lines that are neither empty nor the log's header.
std::int64_t dataLines(const std::string &text)
{
    const std::string header = ReactionsLog::HeaderLine;
    std::size_t begin = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    std::int64_t lines = 0;
    while (begin < text.size()) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(begin, end - begin);
        begin = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const bool isHeader = line.compare(0, header.size(), header) == 0
                              && (line.size() == header.size() || line[header.size()] == ',');
        lines += !line.empty() && !isHeader;
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    Reactions::History history;
    try {
        history = Reactions::parseHistory(text.data(), text.size());
    } catch (const std::exception &error) {
        std::fprintf(stderr, "unexpected exception: %s\n", error.what());
        std::abort();
    }
    std::int64_t trials = 0;
    std::set<std::int64_t> starts;
    for (const Reactions::RunFigures &run : history.runs) {
        trials += run.trials;
        if (run.trials < 1 || run.disappearanceCount < 0 || run.reappearanceCount < 0
            || run.disappearanceCount > run.trials || run.reappearanceCount > run.trials)
            fail("a run's counts do not add up");
        if (!starts.insert(run.startUtcSeconds).second)
            fail("two runs with one start");
        for (double mean : {run.disappearanceMean, run.reappearanceMean}) {
            if (!std::isfinite(mean) || mean < 0)
                fail("a mean that is not a finite value of zero or more");
        }
    }
    if (trials + history.unreadableLines != dataLines(text))
        fail("a line neither read nor counted as unreadable");
    return 0;
}
