// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "main_window/pressreadings.h"

void PressReadings::arrived(unsigned long timestamp, std::int64_t reading)
{
    m_presses[m_next] = {timestamp, reading, false};
    m_next = (m_next + 1) % m_presses.size();
}

std::int64_t PressReadings::take(unsigned long timestamp, std::int64_t now)
{
    return claim(timestamp, now).value_or(now);
}

std::optional<std::int64_t> PressReadings::claim(unsigned long timestamp, std::int64_t now)
{
    // From the oldest kept to the newest.
    for (std::size_t i = 0; i < m_presses.size(); ++i) {
        Press &press = m_presses[(m_next + i) % m_presses.size()];
        if (press.claimed || now - press.reading > BridgeWait)
            continue;
        if (timestamp == 0 || press.timestamp == timestamp) {
            press.claimed = true;
            return press.reading;
        }
    }
    return std::nullopt;
}
