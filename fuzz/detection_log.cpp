// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
//
// The detection log's reader. For any bytes:
// - the reader returns, without an exception;
// - each block has windows, with or without a drop, whose counts add up,
//   a start of its own, and finite figures of zero or more;
// - the text read twice over gives the same blocks: a window logged twice
//   counts once.
#include "detection/detection.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <vector>

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

std::vector<Detection::Log::LoggedBlock> read(const QByteArray &text)
{
    try {
        return Detection::Log::readBlocks(text);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "unexpected exception: %s\n", error.what());
        std::abort();
    }
}

bool finiteNotNegative(double value)
{
    return std::isfinite(value) && value >= 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray text(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::vector<Detection::Log::LoggedBlock> blocks = read(text);
    std::set<std::int64_t> starts;
    for (const Detection::Log::LoggedBlock &block : blocks) {
        const Detection::BlockFigures &f = block.figures;
        if (f.windows < 1 || f.drops + f.windowsWithoutDrop != f.windows || f.hits > f.drops
            || f.alarmedWindowsWithoutDrop > f.windowsWithoutDrop
            || f.alarmedWindowsWithoutDrop > f.falseAlarmsWithoutDrop
            || f.falseAlarmsWithoutDrop < 0 || f.falseAlarmsWithDrop < 0)
            fail("a block's counts do not add up");
        if (block.windows != f.windows || block.windowsWithoutDrop != f.windowsWithoutDrop
            || block.falseAlarmsWithoutDrop != f.falseAlarmsWithoutDrop)
            fail("a block's counts differ from its figures");
        if (f.meanReactionS.has_value() != (f.hits > 0)
            || (f.meanReactionS && !finiteNotNegative(*f.meanReactionS)))
            fail("a mean reaction without hits, or not a finite value of zero or more");
        const Detection::Threshold &t = f.threshold;
        if (t.enough != (t.reversalsUsed >= 4) || t.reversalsUsed < 0 || t.reversalsUsed > f.drops
            || !finiteNotNegative(t.meanMag) || !finiteNotNegative(t.sigmaMag))
            fail("a threshold out of its bounds");
        if (!starts.insert(block.startUtcSeconds).second)
            fail("two blocks with one start");
    }
    const std::vector<Detection::Log::LoggedBlock> twice = read(text + '\n' + text);
    if (twice.size() != blocks.size())
        fail("the text twice over gives other blocks");
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const Detection::BlockFigures &a = blocks[i].figures;
        const Detection::BlockFigures &b = twice[i].figures;
        if (a.windows != b.windows || a.hits != b.hits || a.threshold.meanMag != b.threshold.meanMag
            || a.falseAlarmsWithDrop != b.falseAlarmsWithDrop)
            fail("a window logged twice counted twice");
    }
    return 0;
}
