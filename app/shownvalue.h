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
/// The first call makes every slider asked for its accessible interface from
/// then on read so, by its positions when it has no quantities: it is made
/// as the first window with such a slider is built.
void setShownQuantities(QSlider *slider, const QList<double> &quantities);
