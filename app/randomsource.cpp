// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/randomsource.h"

#include "app/clock.h"

namespace {
std::uint32_t generatorState = 0;
}

namespace RandomSource {

void seed(std::uint32_t state)
{
    generatorState = state;
}

void seedFromClock()
{
    seed(static_cast<std::uint32_t>(Clock::steadyNanoseconds()));
}

std::uint32_t state()
{
    return generatorState;
}

std::int32_t draw(std::int32_t bound)
{
    generatorState = generatorState * 134775813u + 1u;
    const std::uint64_t product = std::uint64_t(std::uint32_t(bound)) * generatorState;
    return static_cast<std::int32_t>(product >> 32);
}

} // namespace RandomSource
