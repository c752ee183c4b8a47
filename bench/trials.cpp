// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
//
// Runs many trials inside one process, with the program's own windows built
// by createForms() in a temporary directory that holds the two documents,
// and drives them as the user would: a click on "On y va !", and after the
// star's return a typed time and a click on "OK".
//
//   velmaris_trials endurance [trials]
//       MaxDelay = 1, so every delay is 0 ms. Prints the resident memory
//       as the run goes, and compares the four accumulators with plain sums
//       computed here from LastDuration and the typed values, in the same
//       order of additions.
//
//   velmaris_trials lateness [trials] [max-delay-ms] [wait-ms] [list]
//       Prints how late the trial timer ends each phase: the phase's
//       measured length minus the delay drawn for it. The draws are read
//       ahead from the random source's state just before each start. The
//       first trial starts wait-ms after the main window is shown (default
//       0). With "list", prints one line per trial with the instants, on
//       CLOCK_MONOTONIC in nanoseconds, at which the program took the star
//       away and gave it back, for comparison with what reached the screen,
//       and the instant just before its start button was clicked. The
//       observing conditions are those kept in the configuration folder.
//
//   velmaris_trials program [max-delay-ms]
//       The program's windows as velmaris shows them, run from the current
//       folder (its documents and its reactions.csv there), with the given
//       longest delay (default 1000; the settings window sets 10 s at
//       least): trials at a brisker pace, driven from outside.
//
//   velmaris_trials tops [tops]
//       Starts a trial that keeps its star for weeks and prints "ready",
//       then one line "top <ns>" per top that the main window reads (its
//       steady clock reading, CLOCK_MONOTONIC), and ends after the given number of tops
//       (default 200). The keys come from outside, through XTest.
//
// Prints figures only; it never judges them. Ended by SIGTERM, SIGINT or
// SIGHUP, it closes its main window and ends as it does otherwise, its
// temporary folder removed.

#include "program/application.h"
#include "app/clock.h"
#include "app/closeonsignal.h"
#include "app/common.h"
#include "app/errordialog.h"
#include "app/randomsource.h"
#include "main_window/unit1.h"
#include "main_window/unit1vars.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

int errorsReported = 0;

void countError(const QString &text, QWidget *)
{
    ++errorsReported;
    std::fprintf(stderr, "error reported by the program: %s\n", qPrintable(text));
}

long statusKilobytes(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

std::uint64_t bitsOf(double x)
{
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    const std::size_t index =
        std::min(values.size() - 1, std::size_t(fraction * double(values.size() - 1) + 0.5));
    return values[index];
}

/// Runs the trials one after the other, each from the event loop.
class Runner : public QObject
{
public:
    enum class Mode { Endurance, Lateness };

    Runner(Mode mode, int trials)
        : m_mode(mode)
        , m_trials(trials)
    {
        // Queued, so that each look happens after the program's handler
        // has run to its end.
        connect(Form1->ui.Image1, &StarImage::starShownChanged, this, &Runner::look,
                Qt::QueuedConnection);
    }

    void begin(int waitMs) { QTimer::singleShot(waitMs, this, &Runner::startTrial); }

    // Results.
    std::vector<double> phase1Late; // ms
    std::vector<double> phase2Late; // ms
    std::vector<std::pair<std::int64_t, std::int64_t>> edges; // ns: star taken away, given back
    std::vector<std::int64_t> starts; // ns: just before the click
    std::vector<std::pair<int, long>> rss; // trials done, kB
    double plainSumOccult = 0.0;
    double plainSumSqOccult = 0.0;
    double plainSumError = 0.0;
    double plainSumSqError = 0.0;
    int plainMeasures = 0;
    int parseMismatches = 0;
    qint64 elapsedMs = 0;

private:
    void startTrial()
    {
        if (m_done == 0) {
            rss.emplace_back(0, statusKilobytes("VmRSS"));
            m_clock.start();
        }
        m_countBefore = OccultCount;
        m_ended = false;
        if (m_mode == Mode::Lateness) {
            // Read the two draws ahead, then put the state back.
            const std::uint32_t state = RandomSource::state();
            m_delay1 = RandomSource::draw(MaxDelay);
            m_delay2 = RandomSource::draw(MaxDelay);
            RandomSource::seed(state);
        }
        m_startedNs = Clock::steadyNanoseconds();
        Form1->ui.Button2->click();
    }

    void look()
    {
        if (m_ended || OccultCount != m_countBefore + 1)
            return;
        m_ended = true;
        endTrial();
    }

    void endTrial()
    {
        const double d = LastDuration;
        if (m_mode == Mode::Lateness) {
            phase1Late.push_back(double(OccultStartSteady - m_startedNs) / 1e6 - m_delay1);
            phase2Late.push_back(d * 1000.0 - m_delay2);
            edges.emplace_back(OccultStartSteady,
                               OccultStartSteady + std::int64_t(std::llround(d * 1e9)));
            starts.push_back(m_startedNs);
        }
        plainSumOccult += std::fabs(d);
        plainSumSqOccult += d * d;

        if (m_mode == Mode::Endurance) {
            // Typed times from 0.01 s to 9.99 s, two decimals, as a user types them.
            const int hundredths = 1 + int((std::uint64_t(m_done) * 7919u) % 999u);
            char text[16];
            std::snprintf(text, sizeof text, "%d.%02d", hundredths / 100, hundredths % 100);
            const double typed = std::strtod(text, nullptr);
            if (bitsOf(ParseSeconds(QString::fromLatin1(text))) != bitsOf(typed))
                ++parseMismatches;
            Form1->ui.EditTemps->setText(QString::fromLatin1(text));
            const int measuresBefore = MeasureCount;
            Form1->ui.ButtonOK->click();
            if (MeasureCount == measuresBefore + 1) {
                const double e = typed - d;
                plainSumError += std::fabs(e);
                plainSumSqError += e * e;
                ++plainMeasures;
            }
        }

        ++m_done;
        if (m_done == 100 || m_done % (m_done < 10000 ? 1000 : 10000) == 0 || m_done == m_trials)
            rss.emplace_back(m_done, statusKilobytes("VmRSS"));
        if (m_done >= m_trials) {
            elapsedMs = m_clock.elapsed();
            // Leave the last frame time to reach the screen before the
            // windows go.
            QTimer::singleShot(m_mode == Mode::Lateness ? 500 : 0, qApp, &QCoreApplication::quit);
            return;
        }
        QTimer::singleShot(0, this, &Runner::startTrial);
    }

    Mode m_mode;
    int m_trials;
    int m_done = 0;
    std::int32_t m_countBefore = 0;
    bool m_ended = false;
    std::int32_t m_delay1 = 0;
    std::int32_t m_delay2 = 0;
    std::int64_t m_startedNs = 0;
    QElapsedTimer m_clock;
};

void printSum(const char *name, double program, double plain)
{
    std::printf("  %-12s program %.17g (%016" PRIx64 ")\n", name, program, bitsOf(program));
    std::printf("  %-12s plain   %.17g (%016" PRIx64 ")  %s\n", "", plain, bitsOf(plain),
                bitsOf(program) == bitsOf(plain) ? "same bits" : "DIFFERENT");
}

void printLateness(const char *name, const std::vector<double> &late)
{
    std::printf("  %-26s median %7.3f ms  p90 %7.3f ms  p99 %7.3f ms  max %7.3f ms  min %7.3f ms\n",
                name, percentile(late, 0.5), percentile(late, 0.9), percentile(late, 0.99),
                percentile(late, 1.0), percentile(late, 0.0));
}

} // namespace

int main(int argc, char *argv[])
{
    const bool lateness = argc > 1 && std::strcmp(argv[1], "lateness") == 0;
    const bool endurance = argc > 1 && std::strcmp(argv[1], "endurance") == 0;
    const bool tops = argc > 1 && std::strcmp(argv[1], "tops") == 0;
    const bool program = argc > 1 && std::strcmp(argv[1], "program") == 0;
    if (!lateness && !endurance && !tops && !program) {
        std::fprintf(stderr,
                     "usage: %s endurance [trials] | lateness [trials] [max-delay-ms] [wait-ms] "
                     "[list] | tops [tops] | program [max-delay-ms]\n",
                     argv[0]);
        return 2;
    }
    const int trials = argc > 2 ? std::atoi(argv[2]) : (endurance ? 10000 : 200);
    const int maxDelay = argc > 3 ? std::atoi(argv[3]) : 1000;
    const int waitMs = argc > 4 ? std::atoi(argv[4]) : 0;
    const bool list = argc > 5 && std::strcmp(argv[5], "list") == 0;

    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    setErrorReporter(countError);

    if (program) {
        createForms();
        Form1->showForm();
        MaxDelay = argc > 2 ? std::atoi(argv[2]) : 1000;
        new CloseOnSignal(Form1);
        app.exec();
        destroyForms();
        return 0;
    }

    QTemporaryDir dir;
    for (const char *name : {"aide.html", "gpl_en.html"}) {
        if (!QFile::copy(QStringLiteral(VELMARIS_DATA_DIR "/") + QLatin1String(name),
                         dir.filePath(QLatin1String(name)))) {
            std::fprintf(stderr, "cannot copy %s into %s\n", name, qPrintable(dir.path()));
            return 1;
        }
    }
    QDir::setCurrent(dir.path());

    const long rssBeforeWindows = statusKilobytes("VmRSS");
    createForms();
    Form1->showForm();
    // A signal closes the main window, which ends the event loop: the
    // temporary folder goes with the rest.
    new CloseOnSignal(Form1);
    QCoreApplication::processEvents();
    MaxDelay = endurance ? 1 : maxDelay;

    if (tops) {
        int left = trials;
        QObject::connect(Form1, &TForm1::topRead, &app, [&left](qint64 reading) {
            std::printf("top %lld\n", static_cast<long long>(reading));
            std::fflush(stdout);
            if (--left == 0)
                QCoreApplication::quit();
        });
        // A trial whose star stays for weeks: its tops stay open, and each
        // press of Space is one, wherever the focus is.
        MaxDelay = 2'000'000'000;
        Form1->ButtonOnYvaClick(nullptr);
        Form1->ui.Image1->setFocus();
        std::printf("ready\n");
        std::fflush(stdout);
        app.exec();
        destroyForms();
        return 0;
    }

    Runner runner(endurance ? Runner::Mode::Endurance : Runner::Mode::Lateness, trials);
    runner.begin(waitMs);
    app.exec();

    std::printf("platform %s, %d trials, MaxDelay %d ms, %.1f s, %d errors reported\n",
                qPrintable(QGuiApplication::platformName()), trials, int(MaxDelay),
                runner.elapsedMs / 1000.0, errorsReported);
    if (endurance) {
        std::printf("resident memory (VmRSS):\n");
        std::printf("  before the windows      %7ld kB\n", rssBeforeWindows);
        for (const auto &[done, kb] : runner.rss)
            std::printf("  after %5d trials      %7ld kB\n", done, kb);
        std::printf("  peak (VmHWM)            %7ld kB\n", statusKilobytes("VmHWM"));
        std::printf("counts: OccultCount %d, MeasureCount %d, plain %d entries\n",
                    int(OccultCount), int(MeasureCount), runner.plainMeasures);
        std::printf("typed values read differently from strtod: %d\n", runner.parseMismatches);
        std::printf("accumulators against plain sums in the same order:\n");
        printSum("SumOccult", SumOccult, runner.plainSumOccult);
        printSum("SumSqOccult", SumSqOccult, runner.plainSumSqOccult);
        printSum("SumError", SumError, runner.plainSumError);
        printSum("SumSqError", SumSqError, runner.plainSumSqError);
    } else {
        std::printf("lateness of the trial timer (measured phase length minus drawn delay):\n");
        printLateness("visible phase", runner.phase1Late);
        printLateness("occultation phase", runner.phase2Late);
        std::vector<double> all = runner.phase1Late;
        all.insert(all.end(), runner.phase2Late.begin(), runner.phase2Late.end());
        printLateness("both phases", all);
        if (list) {
            for (std::size_t i = 0; i < runner.phase1Late.size(); ++i)
                std::printf("trial %zu late %.6f %.6f edges %" PRId64 " %" PRId64
                            " start %" PRId64 "\n",
                            i + 1, runner.phase1Late[i], runner.phase2Late[i],
                            runner.edges[i].first, runner.edges[i].second, runner.starts[i]);
        }
    }
    destroyForms();
    return 0;
}
