// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "conditions/fade.h"

#include <algorithm>

namespace Conditions {

FadeLight::FadeLight(int durationMs)
    : m_duration(std::int64_t(durationMs) * 1'000'000)
{
}

std::optional<std::int64_t> &FadeLight::pending()
{
    return m_edgesShown == 0 ? m_vanishHalf : m_returnHalf;
}

void FadeLight::plan(std::int64_t halfAt)
{
    if (m_edgesShown < 2)
        pending() = halfAt;
}

double FadeLight::edge(std::int64_t reading)
{
    if (m_edgesShown >= 2)
        return light(reading);
    // An edge shown before its planned instant moves its half light to the
    // frame, so that a hidden star never shows more than half its light.
    std::optional<std::int64_t> &half = pending();
    half = half ? std::min(*half, reading) : reading;
    ++m_edgesShown;
    return light(reading);
}

std::optional<double> FadeLight::frame(std::int64_t reading) const
{
    const std::optional<std::int64_t> &half = m_edgesShown == 0 ? m_vanishHalf : m_returnHalf;
    if (m_edgesShown < 2 && half && reading >= *half)
        return std::nullopt;
    return light(reading);
}

double FadeLight::light(std::int64_t at) const
{
    // Each fade is a ramp of the duration centred on its half light; an
    // instant edge is a step at it.
    auto ramp = [this](std::int64_t from, std::int64_t at) {
        if (m_duration == 0)
            return at >= from ? 1.0 : 0.0;
        return std::clamp(double(at - (from - m_duration / 2)) / double(m_duration), 0.0, 1.0);
    };
    const double vanish = m_vanishHalf ? 1.0 - ramp(*m_vanishHalf, at) : 1.0;
    const double back = m_returnHalf ? ramp(*m_returnHalf, at) : 0.0;
    return std::max(vanish, back);
}

std::optional<std::int64_t> FadeLight::nextChange(std::int64_t from) const
{
    if (m_duration == 0)
        return std::nullopt;
    std::optional<std::int64_t> next;
    for (const std::optional<std::int64_t> &half : {m_vanishHalf, m_returnHalf}) {
        if (!half || from >= *half + m_duration / 2)
            continue;
        const std::int64_t at = std::max(from, *half - m_duration / 2);
        next = next ? std::min(*next, at) : at;
    }
    return next;
}

} // namespace Conditions
