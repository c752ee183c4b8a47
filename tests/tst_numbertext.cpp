// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "app/common.h"
#include "app/errors.h"
#include "testsupport.h"

#include <QLocale>
#include <QTest>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>

// Expected texts and values below were worked out by hand from the rules,
// with exact decimal expansions of the doubles involved (Python's decimal
// module), never by running the code under test.

namespace {

using RowMaker = std::function<QTestData &(const char *name)>;

const char *const PinnedLocales[] = {"fr_FR.UTF-8", "de_DE.UTF-8"};

/// x moved by |steps| representable doubles, upwards for steps > 0.
double ulps(double x, int steps)
{
    const double towards = steps > 0 ? HUGE_VAL : -HUGE_VAL;
    for (int i = 0; i < std::abs(steps); ++i)
        x = std::nextafter(x, towards);
    return x;
}

QString repeated(char c, int count)
{
    return QString(count, QLatin1Char(c));
}

// 2^1024 - 2^970: halfway between the largest double and 2^1024.
const char *const HalfwayToInfinity =
    "17976931348623158079372897140530341507993413271003782693617377898044496829276475094664"
    "90179775872070963302864166928879109465555478519404026306574886715058206819089020007083"
    "83676273854845817711531764475730270069855571366959622842914819860834936475292719074168"
    "444365510704342711559699508093042880177904174497792";
// The same minus one.
const char *const JustBelowHalfwayToInfinity =
    "17976931348623158079372897140530341507993413271003782693617377898044496829276475094664"
    "90179775872070963302864166928879109465555478519404026306574886715058206819089020007083"
    "83676273854845817711531764475730270069855571366959622842914819860834936475292719074168"
    "444365510704342711559699508093042880177904174497791";
// 1 + 2^-53, exactly halfway between 1 and the next double.
const char *const HalfwayAboveOne = "1.00000000000000011102230246251565404236316680908203125";

void addSecondsRows(const RowMaker &row)
{
    const double largest = std::numeric_limits<double>::max();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const double twoTo120 = std::ldexp(1.0, 120);

    row("zero") << 0.0 << " 0.00";
    row("negative zero") << -0.0 << "-0.00";
    row("two and a half") << 2.5 << " 2.50";
    row("negative, padded") << -1.5 << "-1.50";
    row("carry into a second integer digit") << 9.999 << "10.00";
    row("carry into a third integer digit") << 99.995 << "100.00";
    row("three integer digits, rounded up") << 123.456 << "123.46";
    row("negative, wider than five") << -1234.5 << "-1234.50";
    row("small negative rounding to zero") << -0.001 << "-0.00";

    row("not a number") << nan << "  Nan";
    row("not a number with the sign bit") << std::copysign(nan, -1.0) << "  Nan";
    row("positive infinity") << inf << " +Inf";
    row("negative infinity") << -inf << " -Inf";

    // Exact ties go up.
    row("exact tie 0.125") << 0.125 << " 0.13";
    row("exact tie 7.125") << 7.125 << " 7.13";
    row("exact tie 16.125") << 16.125 << "16.13";
    row("exact tie 1000.125") << 1000.125 << "1000.13";
    // Doubles less than 5e-18 below a tie go up, as the 17-digit rounding
    // brings them onto it.
    row("0.015, 5.6e-19 below the tie") << 0.015 << " 0.02";
    row("0.045, 1.7e-18 below the tie") << 0.045 << " 0.05";
    row("0.995, 4.4e-18 below the tie") << 0.995 << " 1.00";
    row("0.015 two ulps down, 4.0e-18 below") << ulps(0.015, -2) << " 0.02";
    row("0.005 four ulps down, 3.4e-18 below") << ulps(0.005, -4) << " 0.01";
    row("-0.005, above the tie") << -0.005 << "-0.01";
    // Doubles further below a tie go down.
    row("2.675, 1.8e-16 below the tie") << 2.675 << " 2.67";
    row("1.115, 8.9e-18 below the tie") << 1.115 << " 1.11";
    row("1.005, 1.1e-16 below the tie") << 1.005 << " 1.00";
    row("0.015 three ulps down, 5.8e-18 below") << ulps(0.015, -3) << " 0.01";
    row("0.005 six ulps down, 5.1e-18 below") << ulps(0.005, -6) << " 0.00";
    row("0.045 one ulp down") << ulps(0.045, -1) << " 0.04";
    row("0.125 one ulp down") << ulps(0.125, -1) << " 0.12";
    row("7.125 one ulp down") << ulps(7.125, -1) << " 7.12";
    row("0.995 one ulp down") << ulps(0.995, -1) << " 0.99";
    row("-0.004999") << -0.004999 << "-0.00";
    // Doubles above a tie go up.
    row("0.125 one ulp up") << ulps(0.125, 1) << " 0.13";
    row("2.675 one ulp up") << ulps(2.675, 1) << " 2.68";
    row("1.115 one ulp up") << ulps(1.115, 1) << " 1.12";
    row("1.005 one ulp up") << ulps(1.005, 1) << " 1.01";

    // Around 16, where the first rounding changes from 17 decimals to
    // 18 significant digits.
    row("15.995, below the tie") << 15.995 << "15.99";
    row("15.995 one ulp up") << ulps(15.995, 1) << "16.00";
    row("16 one ulp down") << ulps(16.0, -1) << "16.00";
    row("sixteen") << 16.0 << "16.00";
    row("16 one ulp up") << ulps(16.0, 1) << "16.00";
    row("16.125 one ulp down") << ulps(16.125, -1) << "16.12";
    row("16.005, 9.9e-16 below the tie") << 16.005 << "16.00";
    // Below a tie by less than the 18th significant digit: onto the tie, up.
    row("1000.005, 4.5e-15 below the tie") << 1000.005 << "1000.01";
    row("1000000000.005, 4.8e-9 below the tie") << 1000000000.005 << "1000000000.01";
    row("1000000.245, 4.7e-12 below the tie") << 1000000.245 << "1000000.25";

    // Long integer parts are written in full, without separators; past the
    // 18th significant digit they read as zeros.
    row("ten to the 15") << 1e15 << "1000000000000000.00";
    row("sixteen integer digits and a fraction") << 1234567890123456.75
                                                 << "1234567890123456.75";
    row("ten to the 16") << 1e16 << "10000000000000000.00";
    row("ten to the 16, one ulp up") << ulps(1e16, 1) << "10000000000000002.00";
    row("ten to the 16, one ulp down") << ulps(1e16, -1) << "9999999999999998.00";
    row("ten to the 17") << 1e17 << "100000000000000000.00";
    row("eighteen integer digits") << 123456789012345680.0 << "123456789012345680.00";
    row("ten to the 20") << 1e20 << "100000000000000000000.00";
    row("1e23, past 18 digits") << 1e23 << "99999999999999991600000.00";
    // A leading 1 keeps 18 significant digits, like every other.
    row("2^120 one ulp down") << ulps(twoTo120, -1)
                              << "1329227995784915730000000000000000000.00";
    row("-2^120 one ulp up") << -ulps(twoTo120, -1)
                             << "-1329227995784915730000000000000000000.00";

    // From 2^120 on: exponent form.
    row("two to the 120") << twoTo120 << " 1.3E+0036";
    row("minus two to the 120") << -twoTo120 << "-1.3E+0036";
    row("ten to the 40") << 1e40 << " 1.0E+0040";
    row("exponent form, half up") << 1.25e40 << " 1.3E+0040";
    row("exponent form, half up from odd") << 1.35e40 << " 1.4E+0040";
    row("exponent form, carry into the exponent") << 9.96e40 << " 1.0E+0041";
    row("exponent form, 9.95 carries too") << 9.95e40 << " 1.0E+0041";
    row("exponent form, negative") << -2.5e100 << "-2.5E+0100";
    row("largest double") << largest << " 1.8E+0308";
    row("negative largest double") << -largest << "-1.8E+0308";

    // Tiny magnitudes.
    row("least subnormal") << std::numeric_limits<double>::denorm_min() << " 0.00";
    row("negative least subnormal") << -std::numeric_limits<double>::denorm_min() << "-0.00";
    row("least normal") << std::numeric_limits<double>::min() << " 0.00";
}

void addCountRows(const RowMaker &row)
{
    row("zero") << std::int32_t(0) << "0";
    row("one") << std::int32_t(1) << "1";
    row("three digits") << std::int32_t(507) << "507";
    row("thousands, no separator") << std::int32_t(1234567) << "1234567";
    row("negative") << std::int32_t(-3) << "-3";
    row("negative thousands") << std::int32_t(-5000) << "-5000";
    row("largest") << std::numeric_limits<std::int32_t>::max() << "2147483647";
    row("smallest") << std::numeric_limits<std::int32_t>::min() << "-2147483648";
}

void addParseRows(const RowMaker &row)
{
    // Well-formed numbers.
    row("point") << "2.5" << 2.5;
    row("comma") << "2,5" << 2.5;
    row("spaces around") << " 2.5 " << 2.5;
    row("trailing space") << "2.5 " << 2.5;
    row("many spaces around") << "    7   " << 7.0;
    row("comma with spaces") << " 3,5 " << 3.5;
    row("tabs and line breaks around, as pasted") << "\t2.5\r\n" << 2.5;
    row("negative integer") << "-3" << -3.0;
    row("plus sign") << "+4" << 4.0;
    row("negative zero") << "-0" << 0.0;
    row("leading zeros") << "007.50" << 7.5;
    row("one tenth") << "0.1" << 0.1;
    row("exponent") << "1e3" << 1000.0;
    row("capital exponent") << "1E3" << 1000.0;
    row("exponent with plus") << "1e+3" << 1000.0;
    row("negative exponent") << "2.5e-1" << 0.25;
    row("comma and exponent") << "2,5e2" << 250.0;
    row("exponent, spaces around") << "  -1e3 " << -1000.0;
    row("no integer digits") << "+.5" << 0.5;
    row("no integer digits, comma") << "-,5" << -0.5;
    row("no fraction digits") << "5." << 5.0;
    row("no fraction digits, comma") << "5," << 5.0;
    row("thirty digits") << "123456789012345678901234567890" << 1.2345678901234568e29;

    // Anything else gives 0.
    row("empty") << "" << 0.0;
    row("space") << " " << 0.0;
    row("minus alone") << "-" << 0.0;
    row("plus alone") << "+" << 0.0;
    row("minus between spaces") << " - " << 0.0;
    row("point alone") << "." << 0.0;
    row("comma alone") << "," << 0.0;
    row("signed point") << "-." << 0.0;
    row("exponent alone") << "e5" << 0.0;
    row("point and exponent") << ".e5" << 0.0;
    row("letters") << "abc" << 0.0;
    row("line break inside") << "2\n5" << 0.0;
    row("tab inside") << "2\t5" << 0.0;
    row("leading no-break space") << "\u00a02.5" << 0.0;
    row("trailing no-break space") << "2.5\u00a0" << 0.0;
    row("unit after the number") << "3.5s" << 0.0;
    row("letter after the exponent") << "1e3x" << 0.0;
    row("letter after an integer") << "-3x" << 0.0;
    row("exponent without digits") << "1.25e" << 0.0;
    row("exponent sign without digits") << "1e+" << 0.0;
    row("fractional exponent") << "1e3.5" << 0.0;
    row("two exponents") << "1e2e3" << 0.0;
    row("space inside the number") << "1 000" << 0.0;
    row("space after the sign") << "- 3" << 0.0;
    row("two signs") << "+-1" << 0.0;
    row("two points") << "1.2.3" << 0.0;
    row("point then comma") << "1.2,3" << 0.0;
    row("two commas") << "1,2,3" << 0.0;
    row("infinity word") << "inf" << 0.0;
    row("not-a-number word") << "nan" << 0.0;
    row("hexadecimal") << "0x10" << 0.0;
    row("fullwidth digit") << "\uff11" << 0.0;
    row("Arabic-Indic digit") << "\u0663" << 0.0;
    row("minus sign U+2212") << "\u22123" << 0.0;
    row("embedded null") << QString::fromLatin1("2\0" "5", 3) << 0.0;

    // Long texts are rounded once, correctly, from all their digits.
    row("thousand threes") << QLatin1String("0.") + repeated('3', 1000) << 1.0 / 3.0;
    row("exactly halfway above 1, to even") << HalfwayAboveOne << 1.0;
    row("halfway above 1, then a 1 after a thousand zeros")
        << QLatin1String(HalfwayAboveOne) + repeated('0', 1000) + QLatin1Char('1')
        << std::nextafter(1.0, 2.0);
    row("just below halfway above 1, a thousand nines")
        << QLatin1String("1.00000000000000011102230246251565404236316680908203124")
               + repeated('9', 1000)
        << 1.0;
    row("thousand leading zeros, large exponent")
        << QLatin1String("0.") + repeated('0', 999) + QLatin1String("25e1000") << 2.5;
    row("four hundred trailing zeros, negative exponent")
        << QLatin1Char('1') + repeated('0', 400) + QLatin1String("e-400") << 1.0;
    row("309-digit integer just below halfway to infinity")
        << JustBelowHalfwayToInfinity << std::numeric_limits<double>::max();
    row("twenty-digit exponent, leading zeros") << "1e00000000000000000003" << 1000.0;
    row("twenty-digit negative exponent") << "1e-99999999999999999999" << 0.0;
    row("negative, twenty-digit negative exponent") << "-1e-99999999999999999999" << 0.0;
    row("zero with a twenty-digit exponent") << "0e99999999999999999999" << 0.0;
    row("zero with a thousand digits") << QLatin1String("0.") + repeated('0', 1000) << 0.0;

    // Near the ends of the double range.
    row("largest double") << "1.7976931348623157e308" << std::numeric_limits<double>::max();
    row("below halfway to infinity") << "1.7976931348623158e308"
                                     << std::numeric_limits<double>::max();
    row("leading zeros against the exponent") << "0.0001e312" << 1e308;
    row("far below the least subnormal") << "1e-400" << 0.0;
    row("thousand-digit fraction below the least subnormal")
        << QLatin1String("0.") + repeated('0', 1000) + QLatin1Char('7') << 0.0;
    row("thousand leading zeros outweigh a positive exponent")
        << QLatin1String("0.") + repeated('0', 1000) + QLatin1String("1e600") << 0.0;
    row("just below half the least subnormal") << "2.4703282292062327e-324" << 0.0;
    row("just above half the least subnormal") << "2.4703282292062328e-324"
                                               << std::numeric_limits<double>::denorm_min();
    row("rounds to the least subnormal") << "3e-324"
                                         << std::numeric_limits<double>::denorm_min();
    row("subnormal") << "1e-310" << 1e-310;
    row("largest subnormal") << "2.2250738585072011e-308"
                             << std::nextafter(std::numeric_limits<double>::min(), 0.0);
}

void addOverflowRows(const RowMaker &row)
{
    row("exponent beyond the range") << "1e400";
    row("negative, exponent beyond the range") << "-1e400";
    row("spaces around") << "  -1e309  ";
    row("comma") << "1,8e308";
    row("above halfway to infinity") << "1.7976931348623159e308";
    row("a hair above halfway") << "1.797693134862315808e308";
    row("exactly halfway, to even") << HalfwayToInfinity;
    row("fraction scaled beyond") << "0.1e310";
    row("integer scaled beyond") << "1000e306";
    row("leading zeros, exponent beyond") << "0.000001e315";
    row("thousand-digit integer") << QLatin1Char('1') + repeated('0', 1000);
    row("twenty-digit exponent") << "1e99999999999999999999";
    row("negative, twenty-digit exponent") << "-1e+99999999999999999999";
}

void secondsColumns()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
}

void countColumns()
{
    QTest::addColumn<std::int32_t>("count");
    QTest::addColumn<QString>("text");
}

void parseColumns()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
}

void overflowColumns()
{
    QTest::addColumn<QString>("text");
}

QTestData &plainRow(const char *name)
{
    return QTest::newRow(name);
}

QString describe(double value)
{
    return QString::number(value, 'g', 17);
}

} // namespace

class TestNumberText : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void secondsText_data();
    void secondsText();
    void countText_data();
    void countText();
    void parseSeconds_data();
    void parseSeconds();
    void parseSecondsOverflow_data();
    void parseSecondsOverflow();
    void parseSecondsLongTexts();

    void secondsTextUnderLocales_data();
    void secondsTextUnderLocales();
    void countTextUnderLocales_data();
    void countTextUnderLocales();
    void parseSecondsUnderLocales_data();
    void parseSecondsUnderLocales();
    void parseSecondsOverflowUnderLocales_data();
    void parseSecondsOverflowUnderLocales();
};

// Every test that pins a locale starts with this: the locale must exist
// (it must on CI), and must really be in force, with a decimal comma for
// both Qt and the C library.
#define PIN_LOCALE(name)                                                                   \
    do {                                                                                   \
        if (!pinLocale(name.constData())) {                                                \
            const QByteArray why = "locale " + name + " is not installed on this system"; \
            if (qEnvironmentVariableIsSet("CI"))                                           \
                QFAIL(why.constData());                                                    \
            QSKIP(why.constData());                                                        \
        }                                                                                  \
        QCOMPARE(QLocale().decimalPoint(), QStringLiteral(","));                           \
        QCOMPARE(*std::localeconv()->decimal_point, ',');                                  \
    } while (false)

void TestNumberText::cleanup()
{
    pinLocale("C");
}

void TestNumberText::secondsText_data()
{
    secondsColumns();
    addSecondsRows(plainRow);
}

void TestNumberText::secondsText()
{
    QFETCH(double, value);
    QFETCH(QString, text);
    QCOMPARE(SecondsText(value), text);
}

void TestNumberText::countText_data()
{
    countColumns();
    addCountRows(plainRow);
}

void TestNumberText::countText()
{
    QFETCH(std::int32_t, count);
    QFETCH(QString, text);
    QCOMPARE(CountText(count), text);
}

void TestNumberText::parseSeconds_data()
{
    parseColumns();
    addParseRows(plainRow);
}

void TestNumberText::parseSeconds()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    double parsed = std::numeric_limits<double>::quiet_NaN();
    try {
        parsed = ParseSeconds(text);
    } catch (const Error &e) {
        QFAIL(qPrintable(QStringLiteral("unexpected error: ") + e.message()));
    }
    // Exact comparison: the result must be the correctly rounded double.
    QVERIFY2(parsed == value,
             qPrintable(QStringLiteral("got %1, expected %2").arg(describe(parsed), describe(value))));
}

void TestNumberText::parseSecondsOverflow_data()
{
    overflowColumns();
    addOverflowRows(plainRow);
}

void TestNumberText::parseSecondsOverflow()
{
    QFETCH(QString, text);
    try {
        const double parsed = ParseSeconds(text);
        QFAIL(qPrintable(QStringLiteral("no error, result %1").arg(describe(parsed))));
    } catch (const FloatOverflow &e) {
        QCOMPARE(e.message(), QStringLiteral("Débordement en virgule flottante"));
    } catch (const Error &e) {
        QFAIL(qPrintable(QStringLiteral("wrong kind of error: ") + e.message()));
    }
}

void TestNumberText::parseSecondsLongTexts()
{
    // Long mantissas and exponents far beyond any integer type.
    const QString hundredThousandDigits = QLatin1String("0.") + repeated('0', 99999)
                                          + QLatin1String("5e100000");
    const QString hugeExponent = QStringLiteral("7e-99999999999999999999");
    const QString longAndHuge = repeated('9', 100000) + QLatin1String("e-99999999999999999999");
    QCOMPARE(ParseSeconds(hundredThousandDigits), 5.0);
    QCOMPARE(ParseSeconds(hugeExponent), 0.0);
    QCOMPARE(ParseSeconds(longAndHuge), 0.0);
}

// The same tables again, under locales that write numbers with a decimal
// comma and group digits: the results must not change.

namespace {
template<typename AddRows>
void addRowsUnderLocales(AddRows addRows)
{
    for (const char *locale : PinnedLocales) {
        addRows([locale](const char *name) -> QTestData & {
            return QTest::addRow("%s: %s", locale, name) << QByteArray(locale);
        });
    }
}
} // namespace

void TestNumberText::secondsTextUnderLocales_data()
{
    QTest::addColumn<QByteArray>("locale");
    secondsColumns();
    addRowsUnderLocales(addSecondsRows);
}

void TestNumberText::secondsTextUnderLocales()
{
    QFETCH(QByteArray, locale);
    PIN_LOCALE(locale);
    secondsText();
}

void TestNumberText::countTextUnderLocales_data()
{
    QTest::addColumn<QByteArray>("locale");
    countColumns();
    addRowsUnderLocales(addCountRows);
}

void TestNumberText::countTextUnderLocales()
{
    QFETCH(QByteArray, locale);
    PIN_LOCALE(locale);
    countText();
}

void TestNumberText::parseSecondsUnderLocales_data()
{
    QTest::addColumn<QByteArray>("locale");
    parseColumns();
    addRowsUnderLocales(addParseRows);
}

void TestNumberText::parseSecondsUnderLocales()
{
    QFETCH(QByteArray, locale);
    PIN_LOCALE(locale);
    parseSeconds();
}

void TestNumberText::parseSecondsOverflowUnderLocales_data()
{
    QTest::addColumn<QByteArray>("locale");
    overflowColumns();
    addRowsUnderLocales(addOverflowRows);
}

void TestNumberText::parseSecondsOverflowUnderLocales()
{
    QFETCH(QByteArray, locale);
    PIN_LOCALE(locale);
    parseSecondsOverflow();
}

QTEST_GUILESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
