// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "conditions/conditions.h"

#include <QSettings>

#include <algorithm>
#include <cmath>

namespace Conditions {

namespace {

QSettings settings()
{
    // ~/.config/velmaris/velmaris.conf on Linux, whatever the application's
    // own names.
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("velmaris"),
                     QStringLiteral("velmaris"));
}

int step(int value)
{
    return std::clamp(value, 0, LastStep);
}

} // namespace

ObservingConditions bounded(ObservingConditions conditions)
{
    conditions.eclat = step(conditions.eclat);
    conditions.scintillation = step(conditions.scintillation);
    conditions.fondu = step(conditions.fondu);
    return conditions;
}

double eclatLight(int step)
{
    return std::ldexp(1.0, -step);
}

int srgbLevel(double linear)
{
    const double light = std::clamp(linear, 0.0, 1.0);
    const double encoded =
        light <= 0.0031308 ? 12.92 * light : 1.055 * std::pow(light, 1.0 / 2.4) - 0.055;
    return int(std::lround(255.0 * encoded));
}

ObservingConditions forTrial(const ObservingConditions &kept, bool audioOutput)
{
    ObservingConditions conditions = kept;
    conditions.bips = kept.bips && audioOutput;
    return conditions;
}

ObservingConditions load()
{
    QSettings kept = settings();
    kept.beginGroup(QStringLiteral("conditions"));
    ObservingConditions conditions;
    conditions.eclat = kept.value(QStringLiteral("eclat"), 0).toInt();
    conditions.scintillation = kept.value(QStringLiteral("scintillation"), 0).toInt();
    conditions.fondu = kept.value(QStringLiteral("fondu"), 0).toInt();
    conditions.bips = kept.value(QStringLiteral("bips"), false).toBool();
    return bounded(conditions);
}

void save(const ObservingConditions &conditions)
{
    QSettings kept = settings();
    kept.beginGroup(QStringLiteral("conditions"));
    kept.setValue(QStringLiteral("eclat"), conditions.eclat);
    kept.setValue(QStringLiteral("scintillation"), conditions.scintillation);
    kept.setValue(QStringLiteral("fondu"), conditions.fondu);
    kept.setValue(QStringLiteral("bips"), conditions.bips);
}

QString describe(const ObservingConditions &conditions)
{
    if (conditions.isDefault())
        return QString();
    return QStringLiteral("Éclat %1, scintillation %2, fondu %3 ms, bips %4")
        .arg(conditions.eclat)
        .arg(conditions.scintillation)
        .arg(conditions.fadeMs())
        .arg(conditions.bips ? QStringLiteral("oui") : QStringLiteral("non"));
}

QString describe(const std::vector<ObservingConditions> &trials)
{
    if (trials.empty())
        return QString();
    const bool mixed = std::any_of(trials.begin(), trials.end(),
                                   [&](const ObservingConditions &c) { return c != trials.front(); });
    if (mixed)
        return QStringLiteral("Conditions mêlées");
    const QString named = describe(trials.front());
    return named.isEmpty() ? QString() : QStringLiteral("Conditions : ") + named;
}

} // namespace Conditions
