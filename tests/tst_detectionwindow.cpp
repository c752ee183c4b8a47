// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "testsupport.h"

#include "app/clock.h"
#include "detection/detectionwindow.h"
#include "detection/dropstar.h"
#include "main_window/starfield.h"
#include "main_window/unit1.h"
#include "main_window/unit1vars.h"
#include "program/application.h"

#include <QDir>
#include <QFile>
#include <QTest>

namespace {

std::int64_t fakeNow = 0;
std::int64_t fakeSteady()
{
    return fakeNow;
}

constexpr std::int64_t Second = 1'000'000'000;

// Ten seconds on at each reading: every step of a block is due at once.
std::int64_t hastySteady()
{
    return fakeNow += 10 * Second;
}

} // namespace

class TestDetectionWindow : public QObject
{
    Q_OBJECT

private slots:
    void dropLevels_data();
    void dropLevels();
    void blockAndTrialExcludeEachOther();
    void unwrittenLinesKept();
};

void TestDetectionWindow::dropLevels_data()
{
    QTest::addColumn<int>("eclat");
    QTest::addColumn<int>("fondu"); // the fade's step
    QTest::addColumn<double>("dropMag");
    QTest::addColumn<int>("whole");  // the star's centre before and after the drop
    QTest::addColumn<int>("dropped"); // at the drop's first frame
    // 10^-0.8 = 0.1585 of the light: 110.8 on the screen's scale.
    QTest::newRow("2 mag, white star") << 0 << 0 << 2.0 << 255 << 111;
    // 10^-0.4 = 0.3981: 169.3.
    QTest::newRow("1 mag, white star") << 0 << 0 << 1.0 << 255 << 169;
    // Half the light to start with: 0.0792, 79.5; the whole star 0.5, 187.5.
    QTest::newRow("2 mag at éclat 1") << 1 << 0 << 2.0 << 188 << 80;
    // A 100 ms fade is half way at the first frame: 0.1585 + 0.8415 / 2 =
    // 0.5792 of the light, 200.3; a fade to black would give 0.5, 187.5.
    QTest::newRow("2 mag fading over 100 ms") << 0 << 3 << 2.0 << 255 << 200;
}

void TestDetectionWindow::dropLevels()
{
    QFETCH(int, eclat);
    QFETCH(int, fondu);
    QFETCH(double, dropMag);
    QFETCH(int, whole);
    QFETCH(int, dropped);
    Clock::setSources(nullptr, fakeSteady);
    fakeNow = 10 * Second;
    StarImage image;
    image.resize(105, 105);
    image.fixPictureSize();
    DropStar star(&image);
    Conditions::ObservingConditions conditions;
    conditions.eclat = eclat;
    conditions.fondu = fondu;
    star.start(conditions);
    const auto centre = [&] { return qRed(image.picture().pixel(StarX + 2, StarY + 2)); };
    QCOMPARE(centre(), whole);
    star.planDrop(11 * Second, Detection::dropFactor(dropMag));
    fakeNow = 11 * Second;
    star.showEdge(fakeNow);
    QCOMPARE(centre(), dropped);
    star.planReturn(12 * Second);
    fakeNow = 12 * Second + Second / 10;
    star.showEdge(fakeNow);
    QCOMPARE(centre(), whole);
    star.stop();
    Clock::setSources(nullptr, nullptr);
}

void TestDetectionWindow::blockAndTrialExcludeEachOther()
{
    ProgramFixture program;
    DetectionWindow *window = detectionWindow();
    window->showForm();
    QPushButton *begin = window->ui.startButton;
    // A trial running: no block starts.
    emit Form1->trialRunningChanged(true);
    QVERIFY(!begin->isEnabled());
    emit Form1->trialRunningChanged(false);
    QVERIFY(begin->isEnabled());
    QCOMPARE(begin->text(), QStringLiteral("Commencer"));
    // A block running: no trial starts, until Escape ends the block.
    QTest::mouseClick(begin, Qt::LeftButton);
    QVERIFY(window->blockRunning());
    QCOMPARE(begin->text(), QStringLiteral("Arrêter"));
    QVERIFY(!Form1->ui.Button2->isEnabled());
    QTest::keyClick(window->ui.okButton, Qt::Key_Escape);
    QVERIFY(!window->blockRunning());
    QCOMPARE(begin->text(), QStringLiteral("Commencer"));
    QVERIFY(Form1->ui.Button2->isEnabled());
}

void TestDetectionWindow::unwrittenLinesKept()
{
    ProgramFixture program;
    // The steady clock runs ahead of every step: the block's 40 windows
    // follow one another without waiting.
    Clock::setSources(nullptr, hastySteady);
    fakeNow = 1000 * Second;
    // A folder where the log would be: no line can be written.
    QVERIFY(QDir(program.dir()).mkdir(QStringLiteral("detection.csv")));
    DetectionWindow *window = detectionWindow();
    window->setLogged(true);
    window->showForm();
    QTest::mouseClick(window->ui.startButton, Qt::LeftButton);
    QTRY_VERIFY(!window->blockRunning());
    Clock::setSources(nullptr, nullptr);
    QCOMPARE(reportedErrors().size(), 1);
    QVERIFY2(reportedErrors().front().contains(QStringLiteral("\"detection.csv\"")),
             qPrintable(reportedErrors().front()));
    QCOMPARE(window->unwrittenLines(), 40);
    // Kept, and written at the next try.
    QVERIFY(QDir(program.dir()).rmdir(QStringLiteral("detection.csv")));
    window->endBlock();
    QCOMPARE(window->unwrittenLines(), 0);
    QFile log(program.path(QStringLiteral("detection.csv")));
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().split('\n');
    // The header, 40 lines, and nothing after the last line break.
    QCOMPARE(lines.size(), 42);
    QVERIFY(lines.front().startsWith("seance,fenetre,"));
    QVERIFY(lines[40].contains(",40,"));
    QVERIFY(lines.back().isEmpty());
}

QTEST_MAIN(TestDetectionWindow)
#include "tst_detectionwindow.moc"
