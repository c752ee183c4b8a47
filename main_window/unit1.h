// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#pragma once

#include "app/form.h"
#include "conditions/keptconditions.h"
#include "main_window/resultline.h"
#include "main_window/frametiming.h"
#include "main_window/trialconditions.h"
#include "main_window/trialtimer.h"
#include "reactions/run.h"
#include "reactions/tops.h"
#include "ui_unit1.h"

#include <QTimer>

class QKeyEvent;

/// The main window: the star field, the trial, the entry of the user's own
/// time, and the buttons to the other windows. Closing it ends the program.
class TForm1 : public Form
{
    Q_OBJECT

public:
    /// The trials join the run; each starts under the kept conditions.
    TForm1(Reactions::Run &run, const KeptConditions &conditions);

    Ui::TForm1 ui;
    TrialTimer *Timer1;

    void ButtonOnYvaClick(QObject *Sender);
    void Timer1Timer(QObject *Sender);
    void Timer1Timer2(QObject *Sender);
    void Button3Click(QObject *Sender);
    void FormCreate(QObject *Sender);
    void Button4Click(QObject *Sender);
    void ButtonOKClick(QObject *Sender);
    void ButtonStatClick(QObject *Sender);
    void FormClose(QObject *Sender);
    void Label7Click(QObject *Sender);
    void ButtonReactionsClick(QObject *Sender);
    void ButtonConditionsClick(QObject *Sender);
    void ButtonDetectionClick(QObject *Sender);
    /// A top on the star field, read on the steady clock.
    void Image1Top(qint64 steadyReading);

    using TimerHandler = void (TForm1::*)(QObject *Sender);
    /// The handler that Timer1's next tick runs: Timer1Timer, or
    /// Timer1Timer2 while the star is hidden. Replacing it leaves the
    /// countdown alone.
    TimerHandler onTimer() const { return m_onTimer; }
    void setOnTimer(TimerHandler handler) { m_onTimer = handler; }

    /// Runs a tick handler; a trial step that fails leaves the trial idle,
    /// ready for the next start.
    void runTimerHandler(TimerHandler handler, QObject *sender);
    /// Shows "Réactions...": there are reactions to see.
    void showReactionsButton();
    /// Whether a trial runs: from its start to the star's return.
    bool trialRunning() const { return m_trialRunning; }
    /// While the detection exercise runs a block, no trial starts.
    void setDetectionRunning(bool running);

signals:
    /// "Réactions..." or "Conditions..." was pressed.
    void reactionsWanted();
    void conditionsWanted();
    /// "Détection..." was pressed.
    void detectionWanted();
    /// A trial started, or ended with the star's return or cut short.
    void trialRunningChanged(bool running);
    /// A top was read: Space while the tops are open, or a click on the
    /// star field.
    void topRead(qint64 steadyReading);

protected:
    bool event(QEvent *event) override;

    void formClose() override { FormClose(this); }
    bool endsProgramOnClose() const override { return true; }

private:
    /// Fills the statistics window's six value cells from the running sums.
    void fillStatisticsGrid();
    /// Puts the result line, the line under it and their sentence on the
    /// window.
    void showResult(const ResultView &view);
    void returnToIdle();
    void setTrialRunning(bool running);
    /// Puts the edge's picture, drawn just after the steady reading `drawn`,
    /// on the screen; returns the instant the window system has it.
    std::int64_t showEdgeNow(std::int64_t drawn);
    void updateImageDescription(bool starShown);
    /// The edge's announced second, if any, goes with the trial's tops and
    /// into the star field's description.
    void announceEdge(Reactions::Edge edge);
    /// Ends the wait for the trial's tops and writes the reactions log.
    void completeTops();
    /// Ends the wait for the trial's tops: the entry field as the tops say,
    /// and a trial with a top that counts joins the run. Returns whether the
    /// tops were open.
    bool closeTops();
    /// Writes the run's reactions lines not written yet.
    void writeReactions();
    /// A key pressed or released in the window, wherever the focus is.
    bool windowKey(QKeyEvent *key, qint64 steadyReading);
    Reactions::Focus focusPlace() const;

    TimerHandler m_onTimer = &TForm1::Timer1Timer;
    Reactions::Run &m_run;
    const KeptConditions &m_keptConditions;
    /// The conditions of the trial in progress, on the star and the audio
    /// output.
    TrialConditions *m_conditions;
    Reactions::TrialTops m_tops;
    /// What the result line shows, and whether its figure waits for the entry.
    ResultLine m_resultLine;
    /// Tells when the window system has the edges' pictures.
    FrameTiming m_frames;
    /// Runs from the star's return to the end of the wait for its top.
    QTimer m_topsWait;
    /// When the last trial's star came back, UTC milliseconds since 1970.
    std::int64_t m_returnUtc = 0;
    Reactions::KeyRouting m_keys;
    /// Whether this run's record is in the run log already.
    bool m_runLogged = false;
    bool m_trialRunning = false;
    bool m_detectionRunning = false;
};

extern TForm1 *Form1;
