// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/errordialog.h"
#include "app/errors.h"
#include "testsupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <exception>
#include <new>
#include <stdexcept>

Q_DECLARE_METATYPE(std::exception_ptr)

class TestErrors : public QObject
{
    Q_OBJECT

private slots:
    void finalStop_data();
    void finalStop();
    void floatFaults_data();
    void floatFaults();
    void guardReportsAndKeepsEarlierChanges();
    void guardCatchesForeignExceptions();
    void errorDialogIsCriticalAndBlocksEveryWindow();
    void fatalErrorText_data();
    void fatalErrorText();
};

void TestErrors::finalStop_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("shown");
    QTest::newRow("ends in a letter") << "Disque plein" << "Disque plein.";
    QTest::newRow("ends in a digit") << "Erreur E/S 32" << "Erreur E/S 32.";
    QTest::newRow("ends in a colon") << "Voir:" << "Voir:.";
    QTest::newRow("ends in a slash, after the stop") << "a/" << "a/.";
    QTest::newRow("ends in an accented letter") << "Accès refusé" << "Accès refusé.";
    QTest::newRow("ends in a full stop") << "Fini." << "Fini.";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("ends in an exclamation mark") << "Attention !" << "Attention !";
    QTest::newRow("ends in a parenthesis") << "(voir)" << "(voir)";
    QTest::newRow("ends in a hyphen") << "a-" << "a-";
    QTest::newRow("ends in a comma") << "a," << "a,";
    QTest::newRow("ends in a blank") << "a " << "a ";
    QTest::newRow("ends in a line break") << "a\n" << "a\n";
}

void TestErrors::finalStop()
{
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QCOMPARE(withFinalStop(message), shown);
}

void TestErrors::floatFaults_data()
{
    QTest::addColumn<double>("numerator");
    QTest::addColumn<double>("denominator");
    QTest::addColumn<QString>("message");
    const double huge = 1e308;
    QTest::newRow("division by zero") << 1.0 << 0.0 << "Division par zéro en virgule flottante";
    QTest::newRow("zero by zero") << 0.0 << 0.0 << "Opération en virgule flottante incorrecte";
    QTest::newRow("quotient too large") << huge << 1e-10 << "Débordement en virgule flottante";
    QTest::newRow("not a number") << std::nan("") << 2.0
                                  << "Opération en virgule flottante incorrecte";
    QTest::newRow("quotient below the least subnormal") << 1e-300 << 1e300 << "";
}

void TestErrors::floatFaults()
{
    QFETCH(double, numerator);
    QFETCH(double, denominator);
    QFETCH(QString, message);
    QString raised;
    double result = 0;
    try {
        result = checkedDivide(numerator, denominator);
    } catch (const FloatError &error) {
        raised = error.message();
    }
    QCOMPARE(raised, message);
    if (message.isEmpty())
        QCOMPARE(result, 0.0); // an underflow passes silently
}

void TestErrors::guardReportsAndKeepsEarlierChanges()
{
    captureErrors();
    reportedErrors().clear();
    int steps = 0;
    const bool ok = runGuarded([&] {
        ++steps;
        checkedValue(HUGE_VAL);
        ++steps;
    });
    QVERIFY(!ok);
    QCOMPARE(steps, 1);
    QCOMPARE(reportedErrors(), QStringList{QStringLiteral("Débordement en virgule flottante.")});

    reportedErrors().clear();
    QVERIFY(runGuarded([&] { ++steps; }));
    QCOMPARE(steps, 2);
    QVERIFY(reportedErrors().isEmpty());
}

void TestErrors::guardCatchesForeignExceptions()
{
    captureErrors();
    reportedErrors().clear();
    QVERIFY(!runGuarded([] { throw std::runtime_error("bad thing"); }));
    QVERIFY(!runGuarded([] { throw 42; }));
    QCOMPARE(reportedErrors(), (QStringList{QStringLiteral("bad thing."), QString()}));
}

void TestErrors::errorDialogIsCriticalAndBlocksEveryWindow()
{
    setErrorReporter(nullptr); // the real dialog
    // Another window of the program, beside the one that owns the dialog.
    QPushButton other(QStringLiteral("Autre"));
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    int otherClicks = 0;
    connect(&other, &QPushButton::clicked, [&] { ++otherClicks; });
    QWidget owner;
    owner.show();
    owner.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&owner));

    QString title = QStringLiteral("unset");
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QList<QAbstractButton *> buttons;
    bool okIsDefault = false;
    QWidget *parent = nullptr;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->buttons();
        okIsDefault = box->defaultButton() == box->button(QMessageBox::Ok);
        parent = box->parentWidget();
        modal = box->isModal();
        // A click from the window system, as the user makes it.
        QTest::mouseClick(other.windowHandle(), Qt::LeftButton, {}, other.rect().center());
        box->button(QMessageBox::Ok)->click();
    });
    showErrorDialog(QStringLiteral("Disque plein"));
    QCOMPARE(title.trimmed(), QString()); // a blank, for an empty title bar
    QCOMPARE(text, QStringLiteral("Disque plein."));
    QCOMPARE(icon, QMessageBox::Critical);
    QCOMPARE(buttons.size(), 1);
    QVERIFY(okIsDefault);
    QCOMPARE(parent, &owner);
    QVERIFY(modal);
    QCOMPARE(otherClicks, 0); // no window of the program takes input meanwhile
    QTest::mouseClick(other.windowHandle(), Qt::LeftButton, {}, other.rect().center());
    QCOMPARE(otherClicks, 1);
}

void TestErrors::fatalErrorText_data()
{
    QTest::addColumn<std::exception_ptr>("error");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("shown");
    QTest::newRow("the program's own error")
        << std::make_exception_ptr(LayoutReadError(QStringLiteral("Erreur lors de la lecture de X")))
        << "LayoutReadError" << "Erreur lors de la lecture de X.";
    QTest::newRow("message with its full stop already")
        << std::make_exception_ptr(InOutError(QStringLiteral("Fin."))) << "InOutError" << "Fin.";
    QTest::newRow("out of memory") << std::make_exception_ptr(std::bad_alloc())
                                   << "std::bad_alloc" << "std::bad_alloc.";
    QTest::newRow("not an exception class") << std::make_exception_ptr(42) << "int" << "";
}

void TestErrors::fatalErrorText()
{
    QFETCH(std::exception_ptr, error);
    QFETCH(QString, type);
    QFETCH(QString, shown);
    const QString text = ::fatalErrorText(error);
    const QRegularExpression shape(
        QStringLiteral("^Exception %1 dans le module (\\S+) dans [0-9A-F]{8}\\.\r\n%2\r\n$")
            .arg(QRegularExpression::escape(type), QRegularExpression::escape(shown)));
    const auto match = shape.match(text);
    QVERIFY2(match.hasMatch(), qPrintable(text));
    QCOMPARE(match.captured(1), QStringLiteral("tst_errors"));
}

QTEST_MAIN(TestErrors)
#include "tst_errors.moc"
