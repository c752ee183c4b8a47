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
#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <vector>
#include <string>

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

// Whether the line is a header that names the log's eight first columns,
// in any order: a line of lower-case names only.
bool namesTheColumns(const std::string &line)
{
    std::set<std::string> names;
    std::size_t begin = 0;
    for (;;) {
        const std::size_t end = std::min(line.find(',', begin), line.size());
        const std::string name = line.substr(begin, end - begin);
        if (name.empty() || !(std::islower(static_cast<unsigned char>(name[0])) || name[0] == '_'))
            return false;
        for (const char c : name) {
            if (!(std::islower(static_cast<unsigned char>(c)) || c == '_'
                  || std::isdigit(static_cast<unsigned char>(c))))
                return false;
        }
        names.insert(name);
        if (end == line.size())
            break;
        begin = end + 1;
    }
    const std::string header = ReactionsLog::HeaderLine;
    std::size_t begin8 = 0;
    for (int column = 0; column < 8; ++column) {
        const std::size_t end = header.find(',', begin8);
        if (!names.count(header.substr(begin8, end - begin8)))
            return false;
        begin8 = end + 1;
    }
    return true;
}

// The lines that are neither empty nor a header naming the log's columns.
std::int64_t dataLines(const std::string &text)
{
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
        lines += !line.empty() && !namesTheColumns(line);
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
    // A run's trials under one set of conditions make one run: a start has
    // each set once.
    std::map<std::int64_t, std::vector<Conditions::ObservingConditions>> starts;
    for (const Reactions::RunFigures &run : history.runs) {
        trials += run.trials;
        if (run.trials < 1 || run.disappearanceCount < 0 || run.reappearanceCount < 0
            || run.disappearanceCount > run.trials || run.reappearanceCount > run.trials)
            fail("a run's counts do not add up");
        std::vector<Conditions::ObservingConditions> &sets = starts[run.startUtcSeconds];
        if (std::find(sets.begin(), sets.end(), run.conditions) != sets.end())
            fail("two runs with one start and one set of conditions");
        sets.push_back(run.conditions);
        if (run.conditions != Conditions::bounded(run.conditions))
            fail("conditions beyond their ranges");
        for (double mean : {run.disappearanceMean, run.reappearanceMean}) {
            if (!std::isfinite(mean) || mean < 0)
                fail("a mean that is not a finite value of zero or more");
        }
    }
    if (trials + history.unreadableLines != dataLines(text))
        fail("a line neither read nor counted as unreadable");
    return 0;
}
