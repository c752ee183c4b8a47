// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "testsupport.h"

#include "program/application.h"
#include "app/clock.h"
#include "app/common.h"
#include "app/randomsource.h"
#include "main_window/resultline.h"
#include "main_window/unit1.h"
#include "main_window/unit1vars.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>

namespace {

// The steady clock gives the readings that a test sets; the wall clock
// stands still.
std::int64_t steadyNow = 0;
std::int64_t steadyStep = 0;

std::int64_t steppingSteady()
{
    const std::int64_t reading = steadyNow;
    steadyNow += steadyStep;
    return reading;
}

double stillWall()
{
    return 45000.5;
}


/// Each trial's two steady readings lie this many seconds apart.
void setNextDuration(double seconds)
{
    steadyStep = std::llround(seconds * 1e9);
}

bool trialIdle()
{
    return Form1->ui.Button2->isEnabled() && !Form1->Timer1->isRunning()
           && Form1->onTimer() == &TForm1::Timer1Timer;
}

/// Starts a trial whose star stays up until hurryTrial().
void startLongTrial()
{
    MaxDelay = 60000;
    RandomSource::seed(0x2545F491u);
    QTest::mouseClick(Form1->ui.Button2, Qt::LeftButton);
}

/// Lets a running trial end at once.
bool hurryTrial()
{
    MaxDelay = 1;
    Form1->Timer1->setInterval(0);
    return QTest::qWaitFor(trialIdle);
}

/// Runs a whole trial that lasts the given number of seconds.
bool completeTrial(double seconds)
{
    setNextDuration(seconds);
    MaxDelay = 1;
    const std::int32_t before = OccultCount;
    QTest::mouseClick(Form1->ui.Button2, Qt::LeftButton);
    return QTest::qWaitFor([before] { return trialIdle() && OccultCount == before + 1; });
}

enum class Sending { Click, Return, KeypadEnter };

/// Pastes the text into the entry field and sends it as the user would.
void enter(const QString &text, Sending how = Sending::Click)
{
    QApplication::clipboard()->setText(text);
    Form1->ui.EditTemps->clear();
    QTest::keyClick(Form1->ui.EditTemps, Qt::Key_V, Qt::ControlModifier);
    switch (how) {
    case Sending::Click:
        QTest::mouseClick(Form1->ui.ButtonOK, Qt::LeftButton);
        break;
    case Sending::Return:
        QTest::keyClick(Form1->ui.EditTemps, Qt::Key_Return);
        break;
    case Sending::KeypadEnter:
        QTest::keyClick(Form1->ui.EditTemps, Qt::Key_Enter, Qt::KeypadModifier);
        break;
    }
}

void addSendingRows(const char *name, const std::function<void(QTestData &)> &columns)
{
    const struct {
        Sending how;
        const char *label;
    } ways[] = {{Sending::Click, "OK clicked"},
                {Sending::Return, "Return in the field"},
                {Sending::KeypadEnter, "keypad Enter in the field"}};
    for (const auto &way : ways) {
        QTestData &row = QTest::addRow("%s, %s", name, way.label);
        columns(row);
        row << int(way.how);
    }
}

QString rowState()
{
    auto describe = [](QWidget *control) {
        return QStringLiteral("%1 %2")
            .arg(control->isHidden() ? "hidden" : "visible",
                 control->isEnabled() ? "enabled" : "disabled");
    };
    const Ui::TForm1 &ui = Form1->ui;
    return QStringLiteral("Label1 %1, EditTemps %2 '%3', ButtonOK %4, ButtonStat %5")
        .arg(describe(ui.Label1), describe(ui.EditTemps), ui.EditTemps->text(),
             describe(ui.ButtonOK), describe(ui.ButtonStat));
}

QString openRow(const QString &text, const char *stats = "hidden enabled")
{
    return QStringLiteral("Label1 visible enabled, EditTemps visible enabled '%1', "
                          "ButtonOK visible enabled, ButtonStat %2")
        .arg(text, QLatin1String(stats));
}

QString closedRow(const QString &text = QString())
{
    return QStringLiteral("Label1 visible enabled, EditTemps visible enabled '%1', "
                          "ButtonOK visible disabled, ButtonStat visible enabled")
        .arg(text);
}

} // namespace

class TestEntry : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void accepted_data();
    void accepted();
    void rejected_data();
    void rejected();
    void overflowCountsNothing_data();
    void overflowCountsNothing();
    void entryDuringNextTrial();
    void skippedEntries();
    void closedRowIgnoresEntries();
    void statsButtonStaysOnceShown();
    void resultLine_data();
    void resultLine();

private:
    std::unique_ptr<ProgramFixture> m_program;
};

void TestEntry::init()
{
    m_program = std::make_unique<ProgramFixture>();
    steadyNow = 1'000'000'000;
    setNextDuration(0);
    Clock::setSources(stillWall, steppingSteady);
    Form1->showForm();
    QVERIFY(QTest::qWaitForWindowActive(Form1));
}

void TestEntry::cleanup()
{
    m_program.reset();
    Clock::setSources(nullptr, nullptr);
}

void TestEntry::accepted_data()
{
    QTest::addColumn<double>("duration");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("error"); // |v - LastDuration|, seconds
    QTest::addColumn<int>("how");

    auto row = [](double duration, const char *text, double error) {
        return [=](QTestData &data) { data << duration << QString::fromLatin1(text) << error; };
    };
    addSendingRows("'3' against 2.5", row(2.5, "3", 0.5));
    addSendingRows("'2' against 2.5: the sign is lost", row(2.5, "2", 0.5));
    addSendingRows("' 2.5 ' with blanks round it", row(2.5, " 2.5 ", 0.0));
    addSendingRows("'3,5' with a decimal comma", row(2.5, "3,5", 1.0));
    addSendingRows("'1e1' with an exponent", row(2.5, "1e1", 7.5));
    addSendingRows("'1e154': the squared error still fits", row(2.5, "1e154", 1e154));
    addSendingRows("'1e200': the squared error fits the sums only", row(2.5, "1e200", 1e200));
    addSendingRows("'1e-300' after a zero-length trial", row(0.0, "1e-300", 1e-300));
    addSendingRows("'2.5' and a line break, as pasted", row(2.5, "2.5\n", 0.0));
}

void TestEntry::accepted()
{
    QFETCH(double, duration);
    QFETCH(QString, text);
    QFETCH(double, error);
    QFETCH(int, how);

    QVERIFY(completeTrial(duration));
    QCOMPARE(LastDuration, duration);
    QCOMPARE(rowState(), openRow(QString()));
    QTRY_VERIFY(Form1->ui.EditTemps->hasFocus());

    enter(text, Sending(how));
    QCOMPARE(SumError, error);
    QCOMPARE(SumSqError, static_cast<long double>(error) * error);
    QCOMPARE(MeasureCount, 1);
    QCOMPARE(OccultCount, 1);
    QCOMPARE(rowState(), closedRow());
    // Back on the start button: Space begins the next trial.
    QTRY_VERIFY(Form1->ui.Button2->hasFocus());
    QVERIFY(reportedErrors().isEmpty());

    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QVERIFY(Form1->Timer1->isRunning());
    QVERIFY(QTest::qWaitFor([] { return trialIdle() && OccultCount == 2; }));
}

void TestEntry::rejected_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("how");

    auto row = [](const char *text) {
        return [=](QTestData &data) { data << QString::fromLatin1(text); };
    };
    addSendingRows("'0'", row("0"));
    addSendingRows("'-1'", row("-1"));
    addSendingRows("'-0'", row("-0"));
    addSendingRows("'abc'", row("abc"));
    addSendingRows("empty", row(""));
    addSendingRows("'2.5x' with a letter after", row("2.5x"));
    addSendingRows("'3.5s' with a unit", row("3.5s"));
    addSendingRows("a line break inside '2.5'", row("2\n.5"));
    addSendingRows("'1e-400' too small to be above zero", row("1e-400"));
}

void TestEntry::rejected()
{
    QFETCH(QString, text);
    QFETCH(int, how);

    QVERIFY(completeTrial(2.5));
    enter(text, Sending(how));
    // Nothing is counted and nothing is said; the text waits for a fix.
    QCOMPARE(SumError, 0.0);
    QCOMPARE(SumSqError, 0.0);
    QCOMPARE(MeasureCount, 0);
    QCOMPARE(rowState(), openRow(text));
    QVERIFY(reportedErrors().isEmpty());

    enter(QStringLiteral("3"), Sending(how));
    QCOMPARE(MeasureCount, 1);
    QCOMPARE(SumError, 0.5);
    QCOMPARE(rowState(), closedRow());
}

void TestEntry::overflowCountsNothing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("how");

    auto row = [](const char *text) {
        return [=](QTestData &data) { data << QString::fromLatin1(text); };
    };
    addSendingRows("'1e400': beyond the double range", row("1e400"));
}

void TestEntry::overflowCountsNothing()
{
    QFETCH(QString, text);
    QFETCH(int, how);

    // One entry counted already, so that a half-done update would show.
    QVERIFY(completeTrial(2.5));
    enter(QStringLiteral("3"));
    QVERIFY(completeTrial(0.5));
    QCOMPARE(rowState(), openRow(QString(), "visible enabled"));

    enter(text, Sending(how));
    const QStringList overflow{QStringLiteral("Débordement en virgule flottante.")};
    QCOMPARE(reportedErrors(), overflow);
    QCOMPARE(SumError, 0.5);
    QCOMPARE(SumSqError, 0.25);
    QCOMPARE(MeasureCount, 1);
    QCOMPARE(rowState(), openRow(text, "visible enabled"));

    // The same text fails again the same way; a sound one is then taken.
    enter(text, Sending(how));
    QCOMPARE(reportedErrors(), overflow + overflow);
    QCOMPARE(MeasureCount, 1);
    enter(QStringLiteral("1"), Sending(how));
    QCOMPARE(MeasureCount, 2);
    QCOMPARE(SumError, 1.0);
    QCOMPARE(SumSqError, 0.5);
    QCOMPARE(reportedErrors().size(), 2);
}

void TestEntry::entryDuringNextTrial()
{
    QVERIFY(completeTrial(2.5));
    setNextDuration(1.0);
    startLongTrial();
    QVERIFY(Form1->Timer1->isRunning());

    // The trial in progress has no duration yet: the entry is held against
    // the previous one.
    QCOMPARE(rowState(), openRow(QString()));
    enter(QStringLiteral("4"));
    QCOMPARE(SumError, 1.5);
    QCOMPARE(SumSqError, 2.25);
    QCOMPARE(MeasureCount, 1);
    QCOMPARE(rowState(), closedRow());
    QVERIFY(Form1->Timer1->isRunning());
    // Not on "Réglages...", which a Space would open: on the star field.
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(Form1->ui.Image1));

    QVERIFY(hurryTrial());
    QCOMPARE(LastDuration, 1.0);
    QCOMPARE(OccultCount, 2);
    QCOMPARE(rowState(), openRow(QString(), "visible enabled"));
}

void TestEntry::skippedEntries()
{
    QVERIFY(completeTrial(2.5));
    Form1->ui.EditTemps->setText(QStringLiteral("9"));
    QVERIFY(completeTrial(1.0));
    QCOMPARE(rowState(), openRow(QString()));
    QCOMPARE(OccultCount, 2);
    QCOMPARE(MeasureCount, 0);

    enter(QStringLiteral("1.5"));
    QCOMPARE(SumError, 0.5);
    QCOMPARE(MeasureCount, 1);
    QVERIFY(completeTrial(2.0));
    QCOMPARE(rowState(), openRow(QString(), "visible enabled"));
    QCOMPARE(MeasureCount, 1);
    QCOMPARE(OccultCount, 3);
}

void TestEntry::closedRowIgnoresEntries()
{
    QVERIFY(completeTrial(2.5));
    enter(QStringLiteral("3"));
    QCOMPARE(MeasureCount, 1);

    // OK is off: neither Enter nor a click on it counts the new text.
    enter(QStringLiteral("5"), Sending::Return);
    enter(QStringLiteral("5"), Sending::KeypadEnter);
    enter(QStringLiteral("5"), Sending::Click);
    QCOMPARE(MeasureCount, 1);
    QCOMPARE(SumError, 0.5);
    QCOMPARE(rowState(), closedRow(QStringLiteral("5")));

    // It stays closed while the next trial runs, and opens when it ends.
    startLongTrial();
    QCOMPARE(rowState(), closedRow(QStringLiteral("5")));
    QVERIFY(hurryTrial());
    QCOMPARE(rowState(), openRow(QString(), "visible enabled"));
    enter(QStringLiteral("2"), Sending::Return);
    QCOMPARE(MeasureCount, 2);
    QVERIFY(reportedErrors().isEmpty());
}

void TestEntry::statsButtonStaysOnceShown()
{
    QVERIFY(completeTrial(2.5));
    enter(QStringLiteral("abc"));
    QVERIFY(Form1->ui.ButtonStat->isHidden());

    enter(QStringLiteral("3"));
    QVERIFY(!Form1->ui.ButtonStat->isHidden());
    QVERIFY(Form1->ui.ButtonStat->isEnabled());

    // Skipped entries, rejected ones and new trials leave it as it is.
    QVERIFY(completeTrial(1.0));
    QVERIFY(completeTrial(1.0));
    enter(QStringLiteral("0"));
    startLongTrial();
    QVERIFY(!Form1->ui.ButtonStat->isHidden());
    QVERIFY(Form1->ui.ButtonStat->isEnabled());
    QVERIFY(hurryTrial());
    enter(QStringLiteral("1"));
    QVERIFY(!Form1->ui.ButtonStat->isHidden());
    QVERIFY(Form1->ui.ButtonStat->isEnabled());
    QCOMPARE(MeasureCount, 2);
    QCOMPARE(OccultCount, 4);
}

void TestEntry::resultLine_data()
{
    // In order: "return 2.41" a return after 2.41 s, "return? 2.41" one with
    // the true time after the entry, "entry 2.38" an accepted entry, "start"
    // a trial's start. Then the figure, the line under it, the sentence.
    QTest::addColumn<QString>("events");
    QTest::addColumn<QString>("figure");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("sentence");
    const char *plain = "Le temps est de 2.41 s";
    const auto row = [](const char *name, const char *events, const char *figure) -> QTestData & {
        return QTest::newRow(name) << events << figure;
    };
    row("unticked: the duration at the return; an entry, a start change nothing",
        "return 2.41; entry 2.38; start", " 2.41") << "" << plain;
    row("ticked: '?' at the return", "return? 2.41", "?") << "" << "Saisissez votre temps";
    row("ticked: the entry shows the true time, a gap below zero under it; a start keeps them",
        "return? 2.41; entry 2.38; start", " 2.41") << "Votre temps : 2.38 s (écart −0.03 s)"
        << "Le temps est de 2.41 s ; votre temps 2.38 s, écart moins 0.03 s";
    row("ticked: the gap from the exact times, rounded once", "return? 2.41; entry 2.384", " 2.41")
        << "Votre temps : 2.38 s (écart −0.03 s)"
        << "Le temps est de 2.41 s ; votre temps 2.38 s, écart moins 0.03 s";
    row("ticked: a gap below 0.005 s has no sign", "return? 2.41; entry 2.406", " 2.41")
        << "Votre temps : 2.41 s (écart 0.00 s)"
        << "Le temps est de 2.41 s ; votre temps 2.41 s, écart 0.00 s";
    row("ticked: a trial started without an entry shows the last duration",
        "return? 2.41; start", " 2.41") << "" << plain;
    row("ticked: an entry during the next trial, against the last duration",
        "return? 2.41; start; entry 2.5", " 2.41") << "Votre temps : 2.50 s (écart +0.09 s)"
        << "Le temps est de 2.41 s ; votre temps 2.50 s, écart plus 0.09 s";
    row("ticked since the return: the shown duration stays, no line",
        "return 2.41; start; entry 2.38", " 2.41") << "" << plain;
}

void TestEntry::resultLine()
{
    QFETCH(QString, events);
    QFETCH(QString, figure);
    QFETCH(QString, line);
    QFETCH(QString, sentence);
    ResultLine result;
    ResultView shown;
    for (const QString &event : events.split(QStringLiteral("; "))) {
        const QStringList words = event.split(QLatin1Char(' '));
        const double value = words.value(1).toDouble();
        shown = (words[0] == "start"   ? result.trialStarted()
                 : words[0] == "entry" ? result.entryAccepted(value)
                                       : result.returned(value, words[0] == "return?"))
                    .value_or(shown);
    }
    QCOMPARE((QStringList{shown.figure, shown.entryLine, shown.sentence}),
             (QStringList{figure, line, sentence}));
}

QTEST_MAIN(TestEntry)
#include "tst_entry.moc"
