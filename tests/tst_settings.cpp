// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "program/application.h"
#include "app/common.h"
#include "app/presentation.h"
#include "main_window/unit1.h"
#include "settings/unit2.h"
#include "testsupport.h"

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

namespace {

using Program = ProgramFixture;

QString delayText()
{
    return Form2->ui.LabelRapidite->text();
}

// Shows the settings window and makes it the active one.
bool showSettings()
{
    Form1->Button3Click(Form1->ui.Button3);
    QApplication::setActiveWindow(Form2);
    return QTest::qWaitForWindowActive(Form2);
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void creationRunsNoHandler();
    void storedLayout();
    void sliderSetsMaxDelay_data();
    void sliderSetsMaxDelay();
    void keyboardMovesTheSlider_data();
    void keyboardMovesTheSlider();
    void hideAndShowKeepEverything_data();
    void hideAndShowKeepEverything();
    void disabledSliderDoesNothing();
    void dialogKeysDoNotHide_data();
    void dialogKeysDoNotHide();
};

void TestSettings::creationRunsNoHandler()
{
    MaxDelay = 1234; // the main window's creation sets it back
    Program program;
    QVERIFY(Form2->isHidden());
    QCOMPARE(MaxDelay, 5000);
    QCOMPARE(delayText(), QStringLiteral(" "));
    QCOMPARE(Form2->ui.TrackBar1->value(), 0);
    QCOMPARE(Form2->ui.TrackBar2->value(), 0);
    QVERIFY(Form2->ui.CheckBox1->isChecked());

    // Shown for the first time, still nothing has run.
    QVERIFY(showSettings());
    QCOMPARE(MaxDelay, 5000);
    QCOMPARE(delayText(), QStringLiteral(" "));
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(Form2->ui.TrackBar1));
    QCOMPARE(reportedErrors(), QStringList());
}

void TestSettings::storedLayout()
{
    // DejaVu Sans at 12 px measures 14 by 7: the stored figures x 7/8 and x 14/20.
    const QFont before = QApplication::font();
    const auto restoreFont = qScopeGuard([&before] { QApplication::setFont(before); });
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(12);
    QApplication::setFont(font);
    Program program;
    const Ui::TForm2 &ui = Form2->ui;
    QCOMPARE(Form2->windowTitle(), QStringLiteral("Réglages"));
    QCOMPARE(Form2->pos(), QPoint(176, 313));
    QCOMPARE(Form2->designMetrics().height, 20);
    QCOMPARE(Form2->designMetrics().width, 8);

    QCOMPARE(ui.TrackBar1->geometry(), QRect(77, 22, 131, 17)); // stored 88, 32, 150 x 25
    QCOMPARE(ui.TrackBar2->geometry(), QRect(77, 84, 131, 17)); // 88, 120, 150 x 25
    QCOMPARE(ui.Button1->geometry(), QRect(161, 145, 65, 18)); // 184, 208, 75 x 25
    QCOMPARE(ui.CheckBox1->geometry(), QRect(14, 117, 168, 21)); // 16, 168, 193 x 30
    QCOMPARE(ui.Label1->pos(), QPoint(14, 22)); // 16, 32
    QCOMPARE(ui.Label2->pos(), QPoint(14, 84)); // 16, 120
    QCOMPARE(ui.LabelRapidite->pos(), QPoint(126, 44)); // 144, 64

    QCOMPARE(ui.Label1->text(), QStringLiteral("Rapidité"));
    QCOMPARE(ui.Label2->text(), QStringLiteral("Visibilité"));
    QVERIFY(ui.Label1->isEnabled());
    QVERIFY(!ui.Label2->isEnabled());
    QCOMPARE(ui.Button1->text(), QStringLiteral("OK"));
    QVERIFY(!ui.Button1->autoDefault());
    QVERIFY(!ui.Button1->isDefault());
    QCOMPARE(ui.CheckBox1->text(), QStringLiteral("Sauver les statisitiques"));
    QVERIFY(!ui.CheckBox1->isTristate());

    for (QSlider *slider : {ui.TrackBar1, ui.TrackBar2}) {
        QCOMPARE(slider->orientation(), Qt::Horizontal);
        QVERIFY(!slider->invertedAppearance());
        QCOMPARE(slider->minimum(), 0);
        QCOMPARE(slider->maximum(), 10);
        QCOMPARE(slider->singleStep(), 1);
        QCOMPARE(slider->pageStep(), 2);
        QCOMPARE(slider->tickPosition(), QSlider::TicksBelow);
        QCOMPARE(slider->tickInterval(), 1);
        QVERIFY(slider->hasTracking());
    }
    QVERIFY(ui.TrackBar1->isEnabled());
    QVERIFY(!ui.TrackBar2->isEnabled());

    // Tab goes round the enabled controls in their stored order.
    QVERIFY(showSettings());
    QWidget *expected[] = {ui.Button1, ui.CheckBox1, ui.TrackBar1};
    for (QWidget *next : expected) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), next);
    }
}

void TestSettings::sliderSetsMaxDelay_data()
{
    QTest::addColumn<QList<int>>("positions");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<int>("maxDelay");
    QTest::newRow("0 to 1 and back") << QList<int>{1, 0} << QStringList{"19000", "20000"} << 20000;
    QTest::newRow("right end") << QList<int>{10} << QStringList{"10000"} << 10000;
    QTest::newRow("middle") << QList<int>{5} << QStringList{"15000"} << 15000;
    QTest::newRow("dragged from end to end")
        << QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}
        << QStringList{"19000", "18000", "17000", "16000", "15000",
                       "14000", "13000", "12000", "11000", "10000"}
        << 10000;
    QTest::newRow("beyond the ends: held at them")
        << QList<int>{15, -3} << QStringList{"10000", "20000"} << 20000;
    QTest::newRow("the position it already has: nothing runs")
        << QList<int>{0} << QStringList() << 5000;
}

void TestSettings::sliderSetsMaxDelay()
{
    QFETCH(QList<int>, positions);
    QFETCH(QStringList, texts);
    QFETCH(int, maxDelay);

    Program program;
    QStringList shown;
    for (int position : positions) {
        const QString before = delayText();
        Form2->ui.TrackBar1->setValue(position);
        if (delayText() != before)
            shown.append(delayText());
    }
    QCOMPARE(shown, texts);
    QCOMPARE(MaxDelay, maxDelay);
    if (!texts.isEmpty()) {
        // The label is sized to its text.
        QLabel *label = Form2->ui.LabelRapidite;
        QVERIFY(label->width() >= label->fontMetrics().horizontalAdvance(texts.last()));
        // A screen reader reads the bound, not the slider's position.
        QAccessibleInterface *slider = QAccessible::queryAccessibleInterface(Form2->ui.TrackBar1);
        QCOMPARE(slider->valueInterface()->currentValue().toDouble(), double(maxDelay));
        QCOMPARE(slider->text(QAccessible::Value), texts.last());
    }
    QCOMPARE(reportedErrors(), QStringList());
}

void TestSettings::keyboardMovesTheSlider_data()
{
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<int>("position");
    QTest::newRow("Right: one step") << QList<int>{Qt::Key_Right} << 1;
    QTest::newRow("PageUp: two steps") << QList<int>{Qt::Key_PageUp} << 2;
    QTest::newRow("Right, PageUp, Left") << QList<int>{Qt::Key_Right, Qt::Key_PageUp, Qt::Key_Left}
                                         << 2;
    QTest::newRow("PageUp six times: held at the right end")
        << QList<int>(6, Qt::Key_PageUp) << 10;
    QTest::newRow("End then PageDown") << QList<int>{Qt::Key_End, Qt::Key_PageDown} << 8;
    QTest::newRow("Right then Home") << QList<int>{Qt::Key_Right, Qt::Key_Home} << 0;
}

void TestSettings::keyboardMovesTheSlider()
{
    QFETCH(QList<int>, keys);
    QFETCH(int, position);

    Program program;
    QVERIFY(showSettings());
    QSlider *slider = Form2->ui.TrackBar1;
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(slider));
    for (int key : keys)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));

    QCOMPARE(slider->value(), position);
    QCOMPARE(MaxDelay, 20000 - 1000 * position);
    QCOMPARE(delayText(), QString::number(20000 - 1000 * position));
    // The arrow keys move the thumb, not the focus.
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget *>(slider));
}

void TestSettings::hideAndShowKeepEverything_data()
{
    QTest::addColumn<bool>("byTitleBar");
    QTest::newRow("OK") << false;
    QTest::newRow("title bar's close button") << true;
}

void TestSettings::hideAndShowKeepEverything()
{
    QFETCH(bool, byTitleBar);

    Program program;
    QVERIFY(showSettings());
    Form2->ui.TrackBar1->setValue(3);
    Form2->ui.CheckBox1->setChecked(false);

    if (byTitleBar)
        QVERIFY(Form2->close());
    else
        QTest::mouseClick(Form2->ui.Button1, Qt::LeftButton);
    QVERIFY(Form2->isHidden());

    QVERIFY(showSettings());
    QCOMPARE(Form2->ui.TrackBar1->value(), 3);
    QCOMPARE(delayText(), QStringLiteral("17000"));
    QVERIFY(!Form2->ui.CheckBox1->isChecked());
    QCOMPARE(MaxDelay, 17000);
    QCOMPARE(reportedErrors(), QStringList());
}

void TestSettings::disabledSliderDoesNothing()
{
    Program program;
    QVERIFY(showSettings());
    QSlider *slider = Form2->ui.TrackBar2;

    slider->setFocus();
    QVERIFY(!slider->hasFocus());
    QTest::mouseClick(slider, Qt::LeftButton, {}, QPoint(slider->width() - 5, slider->height() / 2));
    QTest::mousePress(slider, Qt::LeftButton, {}, QPoint(5, slider->height() / 2));
    QTest::mouseMove(slider, QPoint(slider->width() - 5, slider->height() / 2));
    QTest::mouseRelease(slider, Qt::LeftButton, {}, QPoint(slider->width() - 5, slider->height() / 2));
    QTest::keyClick(slider, Qt::Key_Right);
    QTest::mouseClick(Form2->ui.Label2, Qt::LeftButton);

    QCOMPARE(slider->value(), 0);
    QCOMPARE(MaxDelay, 5000);
    QCOMPARE(delayText(), QStringLiteral(" "));
    QCOMPARE(Form2->ui.TrackBar1->value(), 0);
    QVERIFY(Form2->isVisible());
}

void TestSettings::dialogKeysDoNotHide_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("hides");
    for (const char *control : {"TrackBar1", "CheckBox1", "Button1"}) {
        for (const auto &[name, key] : {std::pair{"Return", Qt::Key_Return},
                                        std::pair{"Enter", Qt::Key_Enter}}) {
            // On OK, Enter presses it, as Space does.
            QTest::addRow("%s on %s", name, control)
                << QString::fromLatin1(control) << int(key) << (control[0] == 'B');
        }
    }
}

void TestSettings::dialogKeysDoNotHide()
{
    QFETCH(QString, control);
    QFETCH(int, key);
    QFETCH(bool, hides);

    Program program;
    QVERIFY(showSettings());
    auto *focus = Form2->findChild<QWidget *>(control);
    QVERIFY(focus);
    focus->setFocus();
    QVERIFY(focus->hasFocus());

    QTest::keyClick(focus, Qt::Key(key));
    QCOMPARE(Form2->isVisible(), !hides);
    QVERIFY(Form2->ui.CheckBox1->isChecked());
    QCOMPARE(Form2->ui.TrackBar1->value(), 0);
    QCOMPARE(MaxDelay, 5000);
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
