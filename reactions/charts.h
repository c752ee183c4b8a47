// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include <QList>
#include <QPointF>
#include <QString>

#include <memory>
#include <optional>

class QWidget;

namespace Reactions {

/// The edges' names in the window's figures and charts, disappearance
/// first, in full and short.
inline const char *const EdgeNames[] = {"Disparition", "Réapparition"};
inline const char *const ShortEdgeNames[] = {"disp.", "réap."};

inline QString edgeName(int edge)
{
    return QString::fromUtf8(EdgeNames[edge]);
}

/// What the trials' chart shows of one edge: its reaction times (trial,
/// seconds), its running mean (trial, mean of the reactions up to it), and
/// the trials in which it was anticipated, each at the mean as it stood
/// then (NaN before any mean: at the chart's bottom).
struct EdgeChart
{
    QList<QPointF> reactions;
    QList<QPointF> means;
    QList<QPointF> anticipated;
};

/// The personal-equation window's two charts, drawn by Qt Charts. They live
/// in a module of their own, which brings Qt Charts with it when the window
/// is first shown: the program's start does not load that library.
class Charts
{
public:
    virtual ~Charts() = default;
    /// The run's trials from first to last (numbers), the reactions of
    /// trials under other conditions than the edges' (others, grey), the
    /// seconds axis fitted to low..high (none when low is above high).
    virtual void showTrials(const EdgeChart (&edges)[2], const QList<QPointF> &others,
                            int first, int last, double low, double high) = 0;
    /// Each edge's mean per run (run's place from 1, seconds), over the
    /// given count of places.
    virtual void showRuns(const QList<QPointF> (&means)[2], int places, double low,
                          double high) = 0;
};

/// Loads the charts' module, found beside the program, and builds the two
/// charts, each filling its place. Throws an Error naming the module when it
/// cannot be loaded.
std::unique_ptr<Charts> loadCharts(QWidget *trialsPlace, QWidget *runsPlace);

} // namespace Reactions

/// The module's one entry point, named by its C name "velmarisNewCharts".
using VelmarisNewCharts = Reactions::Charts *(*)(QWidget *trialsPlace, QWidget *runsPlace);
