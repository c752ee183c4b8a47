// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/form.h"
#include "conditions/keptconditions.h"
#include "detection/detection.h"
#include "detection/staircasechart.h"
#include "ui_detectionwindow.h"

#include <QTimer>

#include <memory>
#include <vector>

class DropStar;
class QKeyEvent;

/// The detection threshold's exercise: a block of windows in which the
/// star's light may drop for a moment, the user pressing Space or clicking
/// the field at each drop seen; then the threshold, the false alarms, the
/// staircase's chart, and the earlier blocks read from the log. It is built
/// when it is first wanted.
class DetectionWindow : public Form
{
    Q_OBJECT

public:
    /// The blocks run under the kept conditions; the log is the one named
    /// in the working directory, read now.
    explicit DetectionWindow(const KeptConditions &conditions);
    ~DetectionWindow() override;

    Ui::DetectionWindow ui;

    bool blockRunning() const { return bool(m_block); }
    /// While the main window's trial runs, no block starts.
    void setTrialRunning(bool running);
    /// Whether the finished windows go to the log; unticked, the lines
    /// not written yet are dropped.
    void setLogged(bool logged);
    /// Ends the block in progress, keeping its finished windows, and
    /// writes the lines not written yet; a line that cannot be written is
    /// kept for the next try, and the error names the file.
    void endBlock();
    /// The log's lines not written yet.
    int unwrittenLines() const { return int(m_unwritten.size()); }

signals:
    void blockRunningChanged(bool running);
    /// A drop's first frame (first) or its return's frame was put on the
    /// screen; steadyReading is the clock read right after, the time the
    /// block counts from.
    void dropFrameShown(qint64 steadyReading, bool first);

protected:
    void formClose() override;

private:
    void startClicked(QObject *sender);
    void okClicked(QObject *sender);
    void startBlock();
    void startWindow();
    /// The block's next step is due: the drop's first frame, its last,
    /// or the window's end.
    void step();
    void stepAt(std::int64_t steadyNs);
    void press(std::int64_t steadyReading);
    bool windowKey(QKeyEvent *key, qint64 steadyReading);
    void finishBlock();
    void writeLog();
    void readEarlierBlocks();
    void showEarlierBlocks();
    void showResults();
    void showStartButton();
    void showProgress();
    /// The steady star, at the kept conditions' light.
    void showIdleStar();

    enum class Phase { BeforeDrop, InDrop, AfterDrop };

    const KeptConditions &m_conditions;
    DropStar *m_star;
    std::unique_ptr<Detection::StaircaseChart> m_chart;
    std::unique_ptr<Detection::Block> m_block;
    /// The last block finished, for its results.
    std::unique_ptr<Detection::Block> m_lastBlock;
    Conditions::ObservingConditions m_blockConditions;
    Phase m_phase = Phase::AfterDrop;
    QTimer m_steps;
    std::int64_t m_windowStartSteady = 0;
    std::int64_t m_windowStartUtc = 0;
    std::int64_t m_dropFirstFrame = 0;
    bool m_trialRunning = false;
    bool m_logged = false;
    std::vector<QByteArray> m_unwritten;
    /// Newest first: the earlier blocks, this run's ahead of the log's.
    std::vector<Detection::Log::LoggedBlock> m_earlier;
    QString m_logState;
};
