// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "conditions/scintillation.h"

#include <cmath>

namespace Conditions {

Scintillation::Scintillation(int position, std::uint64_t seed)
    : m_engine(seed)
    , m_sigma(SigmaPerStep * position)
{
}

double Scintillation::nextFactor()
{
    if (m_sigma <= 0.0)
        return 1.0;
    // An AR(1) sequence: Z(n) = rho Z(n-1) + sqrt(1 - rho^2) e(n) keeps each
    // Z a standard Gaussian, with correlation rho between neighbours.
    const double e = gaussian();
    m_z = m_started ? FrameCorrelation * m_z
                          + std::sqrt(1.0 - FrameCorrelation * FrameCorrelation) * e
                    : e;
    m_started = true;
    return std::exp(m_sigma * m_z - m_sigma * m_sigma / 2.0);
}

double Scintillation::gaussian()
{
    // Box and Muller's transform, written out so that the sequence is the
    // same with every standard library.
    if (m_hasSpare) {
        m_hasSpare = false;
        return m_spare;
    }
    constexpr double TwoPi = 6.283185307179586;
    // (0, 1]: the logarithm stays finite.
    const double u = (double(m_engine() >> 11) + 1.0) * 0x1.0p-53;
    const double v = double(m_engine() >> 11) * 0x1.0p-53;
    const double radius = std::sqrt(-2.0 * std::log(u));
    m_spare = radius * std::sin(TwoPi * v);
    m_hasSpare = true;
    return radius * std::cos(TwoPi * v);
}

} // namespace Conditions
