// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <cstdint>
#include <random>

namespace Conditions {

/// The twinkle of a star seen through the atmosphere: from one displayed
/// frame to the next its light is multiplied by exp(sigma Z - sigma^2 / 2),
/// where Z is a standard Gaussian correlated at 0.5 with the previous
/// frame's, so that the mean light stays that of the steady star. Draws
/// come from an engine of its own, never from the trial's random source.
class Scintillation
{
public:
    static constexpr double SigmaPerStep = 0.15;
    static constexpr double FrameCorrelation = 0.5;

    /// position: the "Scintillation" slider, 0 for a steady star.
    explicit Scintillation(int position = 0, std::uint64_t seed = 0x5eed);

    double sigma() const { return m_sigma; }
    /// The light factor of the next displayed frame; always 1 for a steady
    /// star, which draws nothing.
    double nextFactor();

private:
    double gaussian();

    std::mt19937_64 m_engine;
    double m_sigma;
    double m_z = 0.0;
    bool m_started = false;
    double m_spare = 0.0;
    bool m_hasSpare = false;
};

} // namespace Conditions
