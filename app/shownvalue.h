// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QList>
#include <QString>

class QSlider;

/// What a slider tells assistive technologies: the quantity its window shows
/// beside it, not its bare position. Each position has its quantity, from
/// the slider's minimum up; the slider's accessible value is the quantity of
/// its position, and its text value its accessible description, which the
/// window keeps to the text shown for the position (e.g. "20 ms").
/// Give the quantities before the slider is first asked for its accessible
/// interface (as the window is built).
void setShownQuantities(QSlider *slider, const QList<double> &quantities);
