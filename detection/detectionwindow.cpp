// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "detection/detectionwindow.h"

#include "app/clock.h"
#include "app/errors.h"
#include "detection/dropstar.h"
#include "detection/results.h"
#include "main_window/windowkeys.h"
#include "statistics/statslog.h"

#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>

#include <random>

namespace {

constexpr std::int64_t NsPerMs = 1'000'000;

QString logPath()
{
    return QString::fromLatin1(Detection::Log::FileName);
}

} // namespace

DetectionWindow::DetectionWindow(const KeptConditions &conditions)
    : m_conditions(conditions)
{
    ui.setupUi(contents());
    finishBuild();
    ui.field->fixPictureSize();
    ui.field->setAccessibleName(QStringLiteral("Champ d'étoile de la détection"));
    ui.chart->setAccessibleName(QStringLiteral("Chute par fenêtre"));
    m_star = new DropStar(ui.field, this);
    showIdleStar();
    // Between blocks the star shows the conditions as they are set.
    connect(&conditions, &KeptConditions::changed, this, [this] {
        if (!m_block)
            showIdleStar();
    });

    m_steps.setSingleShot(true);
    m_steps.setTimerType(Qt::PreciseTimer);
    // A step that fails ends the block, once: a log that cannot be written
    // has said so already.
    connect(&m_steps, &QTimer::timeout, this, [this] {
        if (!runGuarded([this] { step(); }) && m_block)
            runGuarded([this] { endBlock(); });
    });
    bind(ui.startButton, &QPushButton::clicked, &DetectionWindow::startClicked);
    bind(ui.okButton, &QPushButton::clicked, &DetectionWindow::okClicked);
    connect(ui.field, &StarImage::topped, this,
            [this](qint64 reading) { runGuarded([&] { press(reading); }); });
    new WindowKeys(this, [this](QKeyEvent *key, qint64 reading) {
        bool taken = false;
        runGuarded([&] { taken = windowKey(key, reading); });
        return taken;
    });
    showStartButton();
    showResults();
    readEarlierBlocks();
}

DetectionWindow::~DetectionWindow() = default;

void DetectionWindow::showIdleStar()
{
    m_star->start(m_conditions.forTrial());
    m_star->stop();
}

void DetectionWindow::readEarlierBlocks()
{
    QFile file(logPath());
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        m_logState = QStringLiteral("%1 ne peut être lu.").arg(logPath());
    } else {
        std::vector<Detection::Log::LoggedBlock> blocks =
            Detection::Log::readBlocks(file.readAll());
        m_earlier.assign(blocks.rbegin(), blocks.rend());
    }
    showEarlierBlocks();
}

void DetectionWindow::showEarlierBlocks()
{
    ui.earlierList->clear();
    for (const Detection::Log::LoggedBlock &block : m_earlier)
        ui.earlierList->addItem(Detection::earlierBlockLine(block));
    if (!m_logState.isEmpty())
        ui.earlierList->addItem(m_logState);
}

void DetectionWindow::setTrialRunning(bool running)
{
    m_trialRunning = running;
    showStartButton();
}

void DetectionWindow::setLogged(bool logged)
{
    m_logged = logged;
    if (!logged)
        m_unwritten.clear();
}

void DetectionWindow::showStartButton()
{
    ui.startButton->setText(m_block ? QStringLiteral("Arrêter") : QStringLiteral("Commencer"));
    ui.startButton->setEnabled(m_block || !m_trialRunning);
}

void DetectionWindow::showProgress()
{
    const QString text = m_block ? QStringLiteral("Fenêtre %1 sur %2")
                                       .arg(m_block->current() + 1)
                                       .arg(m_block->windowCount())
                                 : QString();
    if (text != ui.progressLabel->text())
        setLabelText(ui.progressLabel, text);
}

void DetectionWindow::startClicked(QObject *)
{
    if (m_block)
        endBlock();
    else if (!m_trialRunning)
        startBlock();
}

void DetectionWindow::okClicked(QObject *)
{
    hideForm();
    endBlock();
}

void DetectionWindow::formClose()
{
    // Whatever becomes of the log, the window closes.
    runGuarded([this] { endBlock(); });
}

void DetectionWindow::startBlock()
{
    m_blockConditions = m_conditions.forTrial();
    m_block = std::make_unique<Detection::Block>(std::random_device()(),
                                                 Clock::utcMilliseconds());
    m_star->start(m_blockConditions);
    showStartButton();
    emit blockRunningChanged(true);
    m_windowStartSteady = Clock::steadyNanoseconds();
    startWindow();
}

void DetectionWindow::startWindow()
{
    m_windowStartUtc = Clock::utcMilliseconds();
    showProgress();
    const Detection::WindowPlan &plan = m_block->plan();
    if (plan.hasDrop) {
        const std::int64_t halfAt = m_windowStartSteady + plan.dropStartMs * NsPerMs;
        m_star->planDrop(halfAt, Detection::dropFactor(m_block->dropMag()));
        m_phase = Phase::BeforeDrop;
        stepAt(halfAt);
    } else {
        m_phase = Phase::AfterDrop;
        stepAt(m_windowStartSteady + Detection::WindowMs * NsPerMs);
    }
}

void DetectionWindow::stepAt(std::int64_t steadyNs)
{
    const std::int64_t wait = (steadyNs - Clock::steadyNanoseconds() + NsPerMs - 1) / NsPerMs;
    m_steps.start(int(std::max<std::int64_t>(0, wait)));
}

void DetectionWindow::step()
{
    if (!m_block)
        return;
    switch (m_phase) {
    case Phase::BeforeDrop:
    case Phase::InDrop: {
        // The edge's frame is put on the screen at once, and timed as it
        // is: the clock is read again right after.
        m_star->showEdge(Clock::steadyNanoseconds());
        const std::int64_t shown = Clock::steadyNanoseconds();
        const std::int64_t fromStart = (shown - m_windowStartSteady) / NsPerMs;
        emit dropFrameShown(shown, m_phase == Phase::BeforeDrop);
        if (m_phase == Phase::BeforeDrop) {
            m_block->dropStarted(fromStart);
            m_dropFirstFrame = shown;
            m_phase = Phase::InDrop;
            const std::int64_t end = shown + Detection::DropMs * NsPerMs;
            m_star->planReturn(end);
            stepAt(end);
        } else {
            m_block->dropEnded(fromStart);
            m_phase = Phase::AfterDrop;
            stepAt(m_windowStartSteady + Detection::WindowMs * NsPerMs);
        }
        return;
    }
    case Phase::AfterDrop:
        break;
    }
    const Detection::WindowOutcome outcome = m_block->finishWindow(m_windowStartUtc);
    if (m_logged)
        m_unwritten.push_back(Detection::Log::recordLine(m_block->startUtcMs(), outcome,
                                                         m_blockConditions.eclat,
                                                         m_blockConditions.scintillation,
                                                         m_blockConditions.fadeMs()));
    if (m_block->finished()) {
        endBlock();
        return;
    }
    // The windows follow one another on the steady clock, without drift.
    m_windowStartSteady += Detection::WindowMs * NsPerMs;
    startWindow();
}

void DetectionWindow::press(std::int64_t steadyReading)
{
    if (m_block)
        m_block->press((steadyReading - m_windowStartSteady) / NsPerMs);
}

bool DetectionWindow::windowKey(QKeyEvent *key, qint64 steadyReading)
{
    // Space is a press during a block, wherever the focus is; a held key's
    // repeats are not. Outside a block it presses the button as usual.
    if (key->key() != Qt::Key_Space || !m_block)
        return false;
    if (key->type() == QEvent::KeyPress && !key->isAutoRepeat())
        press(steadyReading);
    return true;
}

void DetectionWindow::endBlock()
{
    if (m_block)
        finishBlock();
    writeLog();
}

void DetectionWindow::finishBlock()
{
    m_steps.stop();
    m_star->stop();
    std::unique_ptr<Detection::Block> block = std::move(m_block);
    if (!block->outcomes().empty()) {
        Detection::Log::LoggedBlock logged;
        logged.startUtcSeconds = block->startUtcMs() / 1000;
        logged.eclat = m_blockConditions.eclat;
        logged.scintillation = m_blockConditions.scintillation;
        logged.fadeMs = m_blockConditions.fadeMs();
        logged.figures = Detection::figuresOf(block->outcomes());
        logged.windows = logged.figures.windows;
        logged.windowsWithoutDrop = logged.figures.windowsWithoutDrop;
        logged.falseAlarmsWithoutDrop = logged.figures.falseAlarmsWithoutDrop;
        logged.threshold = logged.figures.threshold;
        m_earlier.insert(m_earlier.begin(), logged);
    }
    m_lastBlock = std::move(block);
    showProgress();
    showStartButton();
    showResults();
    showEarlierBlocks();
    emit blockRunningChanged(false);
}

void DetectionWindow::writeLog()
{
    while (!m_unwritten.empty()) {
        try {
            StatsLog::appendLine(logPath(), Detection::Log::HeaderLine, m_unwritten.front());
        } catch (const InOutError &error) {
            throw InOutError(QStringLiteral("\"%1\" : %2").arg(logPath(), error.message()));
        }
        m_unwritten.erase(m_unwritten.begin());
    }
}

void DetectionWindow::showResults()
{
    const std::vector<Detection::WindowOutcome> none;
    const std::vector<Detection::WindowOutcome> &outcomes =
        m_lastBlock ? m_lastBlock->outcomes() : none;
    const Detection::BlockFigures figures = Detection::figuresOf(outcomes);
    const Detection::Threshold &threshold = figures.threshold;
    const QString text = outcomes.empty()
                             ? QStringLiteral("Appuyez sur Espace, ou cliquez sur l'étoile, "
                                              "à chaque baisse de son éclat.")
                             : Detection::resultLines(figures).join(QLatin1Char('\n'));
    setLabelText(ui.resultsLabel, text);
    const Detection::StaircaseChartData data = Detection::chartData(outcomes, threshold);
    ui.chart->setAccessibleDescription(Detection::chartSummary(figures, data));
    if (!m_chart) {
        // The charts' library comes with the first result to draw.
        if (outcomes.empty())
            return;
        m_chart = Detection::loadStaircaseChart(ui.chart);
        ui.chart->show();
    }
    m_chart->show(data);
}
