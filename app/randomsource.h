// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>

/// The process-wide pseudo-random generator: a 32-bit linear congruential
/// state, state := state x 134775813 + 1 (mod 2^32). Beside it, a stream
/// of its own, seeded with it, gives the normal draws, so that they never
/// change the sequence of the integer draws.
namespace RandomSource {

/// Seeds both streams.
void seed(std::uint32_t state);
/// Seeds from the low 32 bits of the monotonic clock in nanoseconds.
void seedFromClock();
std::uint32_t state();
/// Advances the state and returns an integer from 0 to bound - 1:
/// the high 32 bits of bound x state.
std::int32_t draw(std::int32_t bound);
/// A draw from the standard normal law (mean 0, deviation 1), from the
/// second stream: state() is left as it was.
double normal();

} // namespace RandomSource
