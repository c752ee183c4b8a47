// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "main_window/unit1.h"

#include "app/clock.h"
#include "app/common.h"
#include "app/errors.h"
#include "app/randomsource.h"
#include "main_window/unit1vars.h"
#include "main_window/windowkeys.h"
#include "reactions/reactionslog.h"
#include "settings/unit2.h"
#include "statistics/statslog.h"
#include "statistics/summary.h"
#include "statistics/unit4.h"
#include "viewer/unit3.h"

#include <QKeyEvent>

#include <cmath>

TForm1 *Form1 = nullptr;

TForm1::TForm1(Reactions::Run &run, const KeptConditions &conditions)
    : m_run(run)
    , m_keptConditions(conditions)
{
    Form1 = this;
    ui.setupUi(contents());
    Timer1 = new TrialTimer(this);
    m_conditions = new TrialConditions(ui.Image1, this);
    connect(Timer1, &TrialTimer::ticked, this, [this] { runTimerHandler(m_onTimer, Timer1); });
    finishBuild();
    ui.Image1->fixPictureSize();
    ui.Image1->setAccessibleName(QStringLiteral("Champ d'étoile"));
    updateImageDescription(false);
    connect(ui.Image1, &StarImage::starShownChanged, this, &TForm1::updateImageDescription);

    connect(ui.Button2, &QPushButton::clicked, this, [this] {
        if (!runGuarded([this] { ButtonOnYvaClick(ui.Button2); }))
            returnToIdle();
    });
    bind(ui.Button3, &QPushButton::clicked, &TForm1::Button3Click);
    bind(ui.Button4, &QPushButton::clicked, &TForm1::Button4Click);
    bind(ui.ButtonOK, &QPushButton::clicked, &TForm1::ButtonOKClick);
    bind(ui.ButtonStat, &QPushButton::clicked, &TForm1::ButtonStatClick);
    bind(ui.Label7, &ClickLabel::clicked, &TForm1::Label7Click);
    bind(ui.ButtonReactions, &QPushButton::clicked, &TForm1::ButtonReactionsClick);
    bind(ui.ButtonConditions, &QPushButton::clicked, &TForm1::ButtonConditionsClick);
    bind(ui.ButtonDetection, &QPushButton::clicked, &TForm1::ButtonDetectionClick);
    connect(ui.Image1, &StarImage::topped, this,
            [this](qint64 reading) { runGuarded([&] { Image1Top(reading); }); });
    m_topsWait.setSingleShot(true);
    m_topsWait.setTimerType(Qt::PreciseTimer);
    m_topsWait.setInterval(int(Reactions::ReappearanceWindow / 1'000'000));
    connect(&m_topsWait, &QTimer::timeout, this, [this] { runGuarded([this] { completeTops(); }); });
    new WindowKeys(this, [this](QKeyEvent *key, qint64 reading) {
        bool taken = false;
        runGuarded([&] { taken = windowKey(key, reading); });
        return taken;
    });
    // Enter in the entry field does what "OK" does, while "OK" is enabled.
    connect(ui.EditTemps, &QLineEdit::returnPressed, this, [this] {
        if (ui.ButtonOK->isEnabled())
            runGuarded([this] { ButtonOKClick(ui.ButtonOK); });
    });

    runGuarded([this] { FormCreate(this); });
}

void TForm1::FormCreate(QObject *)
{
    MaxDelay = 5000;
    // The first drawing creates the picture, black in full; FieldRect is
    // still empty, so the fill itself covers nothing.
    ui.Image1->eraseField();
    RandomSource::seedFromClock();
    SumError = 0.0;
    SumSqError = 0.0;
    SumOccult = 0.0;
    SumSqOccult = 0.0;
    MeasureCount = 0;
    OccultCount = 0;
}

void TForm1::ButtonOnYvaClick(QObject *)
{
    // The last trial's tops are complete now, at the latest; a failure to
    // log them is reported and the trial starts all the same.
    runGuarded([this] { completeTops(); });
    // A true time still held back for an entry is given up on: shown.
    if (const std::optional<ResultView> view = m_resultLine.trialStarted())
        showResult(*view);
    // The trial keeps the conditions set as it starts.
    const Conditions::ObservingConditions conditions = m_keptConditions.forTrial();
    m_tops.start(conditions);
    // The focus rests on the star field, where Space is a top and opens
    // nothing, while the trial runs: left to move on from the disabled
    // button, it would reach "Réglages...", and a second press of Space
    // would open the settings window, keeping the time typed after the
    // star's return.
    ui.Image1->setFocus();
    ui.Button2->setEnabled(false);
    setTrialRunning(true);
    ui.Image1->computeGeometry();
    ui.Image1->eraseField();
    m_conditions->start(conditions);
    Timer1->setInterval(RandomSource::draw(MaxDelay));
    setOnTimer(&TForm1::Timer1Timer);
    Timer1->start();
    m_conditions->planEdge(Timer1->interval());
    announceEdge(Reactions::Edge::Disappearance);
}

void TForm1::Timer1Timer(QObject *)
{
    Timer1->stop();
    OccultStart = Clock::nowDays();
    const std::int64_t drawn = Clock::steadyNanoseconds();
    m_conditions->showDisappearance(drawn);
    OccultStartSteady = showEdgeNow(drawn);
    m_tops.vanished(OccultStartSteady);
    setOnTimer(&TForm1::Timer1Timer2);
    Timer1->setInterval(RandomSource::draw(MaxDelay));
    Timer1->start();
    m_conditions->planEdge(Timer1->interval());
    announceEdge(Reactions::Edge::Reappearance);
}

void TForm1::announceEdge(Reactions::Edge edge)
{
    const std::optional<int> second = edge == Reactions::Edge::Disappearance
                                          ? m_conditions->announcedDisappearance()
                                          : m_conditions->announcedReappearance();
    if (!second)
        return;
    m_tops.announce(edge, *second, m_conditions->startReading());
    updateImageDescription(ui.Image1->starShown());
}

void TForm1::Timer1Timer2(QObject *)
{
    Timer1->stop();
    OccultEnd = Clock::nowDays();
    const std::int64_t drawn = Clock::steadyNanoseconds();
    m_returnUtc = Clock::utcMilliseconds();
    m_conditions->showReturn(drawn);
    const std::int64_t endSteady = showEdgeNow(drawn);
    const bool typeAtOnce = m_tops.reappeared(endSteady);
    setOnTimer(&TForm1::Timer1Timer);
    ui.Button2->setEnabled(true);
    setTrialRunning(false);

    // The duration comes from the monotonic clock, read at the same moments
    // as the wall-clock instants: a step of the wall clock does not bend it.
    LastDuration = double(endSteady - OccultStartSteady) / 1e9;
    const double newSum = checkedValue(SumOccult + std::fabs(LastDuration));
    const double newSumSq = checkedValue(SumSqOccult + LastDuration * LastDuration);
    SumOccult = newSum;
    SumSqOccult = newSumSq;
    OccultCount = OccultCount + 1;

    showResult(m_resultLine.returned(LastDuration, m_keptConditions.trueTimeAfterEntry()));
    ui.EditTemps->setText(QString());
    for (QWidget *control : {static_cast<QWidget *>(ui.Label1),
                             static_cast<QWidget *>(ui.EditTemps),
                             static_cast<QWidget *>(ui.ButtonOK)}) {
        control->setEnabled(true);
        control->setVisible(true);
    }
    // The user holds a stopwatch in the other hand: type straight away.
    // One who tapped the disappearance taps the return too: the focus stays
    // for that second top, or until the wait is over.
    if (typeAtOnce)
        ui.EditTemps->setFocus();
    m_topsWait.start();
}

void TForm1::ButtonOKClick(QObject *)
{
    const double v = ParseSeconds(ui.EditTemps->text());
    if (!(v > 0))
        return;
    // All three sums are worked out before any is changed, so that an
    // overflow leaves nothing half-counted.
    const double error = checkedValue(v - LastDuration);
    const long double newSumError = SumError + std::fabs(error);
    const long double newSumSqError = SumSqError + static_cast<long double>(error) * error;
    // Every accepted entry keeps the statistics finite, so that "Stats..."
    // and the record at exit never fail on it: one that would not is refused
    // here, with the overflow error, and nothing is counted. With sums wider
    // than a double this cannot happen for any value a double holds.
    const std::int32_t measures = MeasureCount + 1;
    checkSummary(newSumError, newSumSqError, measures);
    SumError = newSumError;
    SumSqError = newSumSqError;
    MeasureCount = measures;
    if (const std::optional<ResultView> view = m_resultLine.entryAccepted(v))
        showResult(*view);

    ui.EditTemps->setText(QString());
    // The focus leaves "OK" before it is disabled: moved on from there, it
    // would skip the start button while a trial runs and reach "Réglages...".
    // Back to the start button, so that Space starts the next trial; while a
    // trial runs, to the star field, as at its start.
    if (ui.Button2->isEnabled())
        ui.Button2->setFocus();
    else
        ui.Image1->setFocus();
    ui.ButtonOK->setEnabled(false);
    ui.ButtonStat->setEnabled(true);
    ui.ButtonStat->setVisible(true);
}

void TForm1::showResult(const ResultView &view)
{
    setLabelText(ui.LabelResult, view.figure);
    // Alone, the label would be read as a bare number: a screen reader gets
    // the whole line, and says it again as the focus moves to the entry.
    ui.LabelResult->setAccessibleName(view.sentence);
    ui.EditTemps->setAccessibleDescription(view.sentence);
    // Emptied when hidden: a hidden label is still read out.
    setLabelText(ui.LabelYourTime, view.entryLine);
    ui.LabelYourTime->setVisible(!view.entryLine.isEmpty());
}

void TForm1::ButtonStatClick(QObject *)
{
    fillStatisticsGrid();
    Form4->showForm();
}

void TForm1::FormClose(QObject *)
{
    // The run's record first, whatever becomes of the reactions log; each
    // is written once, however many times a failure stops the close.
    closeTops();
    if (!m_run.isLogged())
        return;
    if (MeasureCount > 1 && !m_runLogged) {
        // The record holds the run's final figures, whether or not "Stats..."
        // was pressed since the last trial; the statistics window stays as it is.
        fillStatisticsGrid();
        StatsLog::append(Form4->logTexts());
        m_runLogged = true;
    }
    writeReactions();
}

void TForm1::fillStatisticsGrid()
{
    Form4->showSums({SumOccult, SumSqOccult, OccultCount, SumError, SumSqError, MeasureCount});
}

void TForm1::Button3Click(QObject *)
{
    Form2->showForm();
}

void TForm1::Button4Click(QObject *)
{
    Form3->showHelp();
}

void TForm1::Label7Click(QObject *)
{
    Form3->showLicence();
}

void TForm1::ButtonReactionsClick(QObject *)
{
    emit reactionsWanted();
}

void TForm1::ButtonConditionsClick(QObject *)
{
    emit conditionsWanted();
}

void TForm1::ButtonDetectionClick(QObject *)
{
    emit detectionWanted();
}

void TForm1::setDetectionRunning(bool running)
{
    m_detectionRunning = running;
    // No trial runs during a block: the button has no trial's state to keep.
    if (!m_trialRunning)
        ui.Button2->setEnabled(!running);
}

void TForm1::setTrialRunning(bool running)
{
    if (running == m_trialRunning)
        return;
    m_trialRunning = running;
    emit trialRunningChanged(running);
}

void TForm1::showReactionsButton()
{
    ui.ButtonReactions->setVisible(true);
}

void TForm1::Image1Top(qint64 steadyReading)
{
    emit topRead(steadyReading);
    if (m_tops.top(steadyReading) == Reactions::TopKind::Reappearance)
        completeTops();
}

bool TForm1::windowKey(QKeyEvent *key, qint64 steadyReading)
{
    const bool press = key->type() == QEvent::KeyPress;
    Reactions::KeyOutcome outcome;
    if (key->key() == Qt::Key_Space)
        outcome = m_keys.space(press, key->timestamp(), key->isAutoRepeat(), m_tops, focusPlace(),
                               ui.EditTemps->text());
    else if (press)
        outcome = m_keys.typed(key->text(), m_tops, focusPlace());
    // The time goes into the entry; the return's top is still awaited.
    if (outcome.insertIntoEntry) {
        ui.EditTemps->setFocus();
        ui.EditTemps->insert(key->text());
    }
    // Taken even where logging it fails: it is no blank to type.
    if (outcome.top)
        runGuarded([&] { Image1Top(steadyReading); });
    return outcome.taken;
}

Reactions::Focus TForm1::focusPlace() const
{
    const QWidget *focus = focusWidget();
    if (focus == ui.Image1)
        return Reactions::Focus::StarField;
    return focus == ui.EditTemps ? Reactions::Focus::Entry : Reactions::Focus::Elsewhere;
}

bool TForm1::event(QEvent *event)
{
    // A key released while another window is active never reaches this one.
    if (event->type() == QEvent::WindowDeactivate)
        m_keys.windowLeft();
    return Form::event(event);
}

void TForm1::completeTops()
{
    if (closeTops())
        writeReactions();
}

bool TForm1::closeTops()
{
    m_topsWait.stop();
    if (!m_tops.isOpen())
        return false;
    // The trial's line says whether its pips were heard, not only wanted.
    m_tops.pipsSounded(m_conditions->pipsSounded());
    const Reactions::EntryAction action =
        m_tops.complete(focusPlace(), ui.EditTemps->text().isEmpty());
    // The focus first: a screen reader says the field with the trial's
    // result, then its new text.
    if (action.focusEntry)
        ui.EditTemps->setFocus();
    if (action.fill)
        ui.EditTemps->setText(*action.fill);
    if (action.selectAll)
        ui.EditTemps->selectAll();
    if (const std::optional<Reactions::TrialReactions> trial = m_tops.counted()) {
        ui.ButtonReactions->setVisible(true);
        m_run.addTrial(*trial, m_returnUtc, LastDuration);
    }
    return true;
}

void TForm1::writeReactions()
{
    m_run.writeLog(QString::fromLatin1(ReactionsLog::FileName));
}

void TForm1::runTimerHandler(TimerHandler handler, QObject *sender)
{
    if (!runGuarded([&] { (this->*handler)(sender); }))
        returnToIdle();
}

void TForm1::returnToIdle()
{
    Timer1->stop();
    m_conditions->stop();
    updateImageDescription(ui.Image1->starShown());
    setOnTimer(&TForm1::Timer1Timer);
    ui.Button2->setEnabled(!m_detectionRunning);
    setTrialRunning(false);
}

std::int64_t TForm1::showEdgeNow(std::int64_t drawn)
{
    // The edge's picture goes to the screen now, not after the rest of the
    // handler; the field is never shown between an erase and a star draw.
    // The edge is timed when the window system has the picture, not when it
    // was drawn: the reactions and the duration are those of the screen.
    ui.Image1->repaint();
    return m_frames.shown(drawn);
}

void TForm1::updateImageDescription(bool starShown)
{
    // The coming edge's announced second, where there is one, after the
    // star's state.
    const QString &announced = m_conditions->spokenAnnouncement();
    ui.Image1->setAccessibleDescription(
        (starShown ? QStringLiteral("L'étoile est visible") : QStringLiteral("L'étoile est cachée"))
        + (announced.isEmpty() ? QString() : QStringLiteral(", ") + announced));
}
