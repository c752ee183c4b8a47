// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "main_window/eventtimes.h"

#include <QTest>

class TestEventTimes : public QObject
{
    Q_OBJECT

private slots:
    void pressReading_data();
    void pressReading();
    void platformStampsEvents_data();
    void platformStampsEvents();
    void edgeReading_data();
    void edgeReading();
};

namespace {
// -1: no reading, the program keeps its own.
constexpr qint64 None = -1;
}

void TestEventTimes::pressReading_data()
{
    // The event's stamp (ms, as the server sends it), when the program read
    // it (steady ns), and the instant of the press (steady ns).
    QTest::addColumn<quint64>("stamp");
    QTest::addColumn<qint64>("arrival");
    QTest::addColumn<qint64>("reading");
    QTest::newRow("stamped 3 ms before it arrived: the middle of its millisecond")
        << quint64(4'999'997) << qint64(5'000'000'700'000) << qint64(4'999'997'500'000);
    QTest::newRow("stamped in the millisecond it arrived: no later than the arrival")
        << quint64(5'000'000) << qint64(5'000'000'200'000) << qint64(5'000'000'200'000);
    QTest::newRow("pressed 8 ms before the counter wrapped, read 2 ms after")
        << quint64(4'294'967'290) << qint64(4'294'967'298'400'000)
        << qint64(4'294'967'290'500'000);
    QTest::newRow("pressed after the wrap: the low 32 bits of the clock")
        << quint64(990) << qint64(4'294'968'296'000'000) << qint64(4'294'968'286'500'000);
    QTest::newRow("a stamp of 0: no time, though the counter wrapped 300 ms ago")
        << quint64(0) << qint64(4'294'967'596'000'000) << None;
    QTest::newRow("stamped ahead of the arrival: another clock")
        << quint64(5'000'002) << qint64(5'000'000'700'000) << None;
    QTest::newRow("a second before the arrival: still believed")
        << quint64(4'999'000) << qint64(5'000'000'000'000) << qint64(4'999'000'500'000);
    QTest::newRow("from before the trial, more than a second old")
        << quint64(4'998'999) << qint64(5'000'000'000'000) << None;
    QTest::newRow("a server stamping by another clock, far from this one")
        << quint64(3'000'000'000) << qint64(5'000'000'000'000) << None;
    QTest::newRow("a test's small counter against a clock that started a second ago")
        << quint64(12) << qint64(1'500'000'000) << None;
}

void TestEventTimes::pressReading()
{
    QFETCH(quint64, stamp);
    QFETCH(qint64, arrival);
    QFETCH(qint64, reading);
    QCOMPARE(EventTimes::pressReading(stamp, arrival).value_or(None), reading);
}

void TestEventTimes::platformStampsEvents_data()
{
    QTest::addColumn<QString>("platform");
    QTest::addColumn<bool>("stamped");
    QTest::newRow("X11: the X server's time") << "xcb" << true;
    QTest::newRow("Wayland: the compositor's time") << "wayland" << true;
    QTest::newRow("Wayland through EGL") << "wayland-egl" << true;
    QTest::newRow("offscreen: Qt's own count") << "offscreen" << false;
    QTest::newRow("a VNC server") << "vnc" << false;
    QTest::newRow("a name that only starts like X11's") << "xcbx" << false;
}

void TestEventTimes::platformStampsEvents()
{
    QFETCH(QString, platform);
    QFETCH(bool, stamped);
    QCOMPARE(EventTimes::platformStampsEvents(platform), stamped);
}

void TestEventTimes::edgeReading_data()
{
    // When the frame was handed over, when the window system said it had
    // it (steady ns), and the edge's instant.
    QTest::addColumn<qint64>("drawn");
    QTest::addColumn<qint64>("answered");
    QTest::addColumn<qint64>("reading");
    QTest::newRow("answered 0.4 ms after the drawing: the answer")
        << qint64(1'000'000'000) << qint64(1'000'400'000) << qint64(1'000'400'000);
    QTest::newRow("no answer: the drawing's reading")
        << qint64(1'000'000'000) << None << qint64(1'000'000'000);
    QTest::newRow("answered at the end of the wait")
        << qint64(1'000'000'000) << qint64(1'050'000'000) << qint64(1'050'000'000);
    QTest::newRow("answered after the wait: the drawing's reading")
        << qint64(1'000'000'000) << qint64(1'050'000'001) << qint64(1'000'000'000);
    QTest::newRow("answered before the drawing: not believed")
        << qint64(1'000'000'000) << qint64(999'999'999) << qint64(1'000'000'000);
}

void TestEventTimes::edgeReading()
{
    QFETCH(qint64, drawn);
    QFETCH(qint64, answered);
    QFETCH(qint64, reading);
    const std::optional<std::int64_t> answer =
        answered == None ? std::nullopt : std::optional<std::int64_t>(answered);
    QCOMPARE(EventTimes::edgeReading(drawn, answer), reading);
}

QTEST_GUILESS_MAIN(TestEventTimes)
#include "tst_eventtimes.moc"
