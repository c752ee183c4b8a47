// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
//
// The reactions log's reader against itself, line by line. For any bytes:
// - the reader returns, without an exception;
// - every line that is neither empty nor the log's header is either a trial
//   of one run or an unreadable line;
// - each run has trials, no more reactions at an edge than trials, starts
//   of its own, and finite means of zero or more;
// - reading the whole text gives what reading each line alone and adding
//   the runs up gives: same runs in the same order, same counts, the same
//   means to rounding.
#include "reactions/history.h"
#include "reactions/reactionslog.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

using Reactions::History;
using Reactions::RunFigures;

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

History parse(const std::string &text)
{
    try {
        return Reactions::parseHistory(text.data(), text.size());
    } catch (const std::exception &error) {
        std::fprintf(stderr, "unexpected exception: %s\n", error.what());
        std::abort();
    }
}

struct Sums
{
    RunFigures run;
    long double sums[2] = {};
};

bool sameMean(double a, double b)
{
    return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    const History whole = parse(text);

    // Each line alone, after a line break so that a byte-order mark counts
    // only at the start of the text, as it does in the whole.
    std::size_t begin = size >= 3 && std::memcmp(text.data(), "\xEF\xBB\xBF", 3) == 0 ? 3 : 0;
    std::vector<Sums> runs;
    std::int64_t unreadable = 0;
    std::int64_t lines = 0;
    const std::string header = ReactionsLog::HeaderLine;
    while (begin < size) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos)
            end = size;
        std::string line = text.substr(begin, end - begin);
        begin = end + 1;
        const History alone = parse("\n" + line);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const bool isHeader = line.compare(0, header.size(), header) == 0
                              && (line.size() == header.size() || line[header.size()] == ',');
        if (!line.empty() && !isHeader)
            ++lines;
        unreadable += alone.unreadableLines;
        if (alone.unreadableLines + std::int64_t(alone.runs.size()) > 1)
            fail("one line gave more than one trial");
        if (alone.runs.empty())
            continue;
        const RunFigures &one = alone.runs.front();
        if (one.trials != 1)
            fail("one line gave a run of other than one trial");
        auto found = std::find_if(runs.begin(), runs.end(), [&one](const Sums &sums) {
            return sums.run.startUtcSeconds == one.startUtcSeconds;
        });
        if (found == runs.end()) {
            runs.push_back({});
            found = runs.end() - 1;
            found->run.startUtcSeconds = one.startUtcSeconds;
        }
        ++found->run.trials;
        found->run.disappearanceCount += one.disappearanceCount;
        found->run.reappearanceCount += one.reappearanceCount;
        found->sums[0] += one.disappearanceCount * (long double)one.disappearanceMean;
        found->sums[1] += one.reappearanceCount * (long double)one.reappearanceMean;
    }

    std::int64_t trials = 0;
    std::set<std::int64_t> starts;
    for (const RunFigures &run : whole.runs) {
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
    if (trials + whole.unreadableLines != lines)
        fail("a line neither read nor counted as unreadable");
    if (whole.unreadableLines != unreadable || whole.runs.size() != runs.size())
        fail("the whole text and its lines give other runs");
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const RunFigures &got = whole.runs[i];
        const RunFigures &expected = runs[i].run;
        if (got.startUtcSeconds != expected.startUtcSeconds || got.trials != expected.trials
            || got.disappearanceCount != expected.disappearanceCount
            || got.reappearanceCount != expected.reappearanceCount)
            fail("the whole text and its lines give other runs");
        const std::int32_t counts[2] = {got.disappearanceCount, got.reappearanceCount};
        const double means[2] = {got.disappearanceMean, got.reappearanceMean};
        for (int edge = 0; edge < 2; ++edge) {
            if (counts[edge] > 0 && !sameMean(means[edge], double(runs[i].sums[edge] / counts[edge])))
                fail("the whole text and its lines give other means");
        }
    }
    return 0;
}
