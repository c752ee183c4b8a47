// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/randomsource.h"

#include "app/clock.h"

#include <cmath>

namespace {
std::uint32_t generatorState = 0;
/// The normal draws' stream: a 64-bit counter, mixed at each draw
/// (SplitMix64).
std::uint64_t normalState = 0;

std::uint64_t nextNormalBits()
{
    normalState += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = normalState;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Uniform in (0, 1): never 0, whose logarithm the normal draw takes.
double openUniform()
{
    return (double(nextNormalBits() >> 11) + 0.5) / 9007199254740992.0;
}
} // namespace

namespace RandomSource {

void seed(std::uint32_t state)
{
    generatorState = state;
    normalState = state;
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

double normal()
{
    // Box and Muller: two uniform draws give a normal one.
    const double radius = std::sqrt(-2.0 * std::log(openUniform()));
    return radius * std::cos(6.283185307179586 * openUniform());
}

} // namespace RandomSource
