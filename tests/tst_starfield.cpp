// SPDX-FileCopyrightText: 2026 The Velmaris developers
// SPDX-License-Identifier: GPL-2.0-or-later
#include "main_window/starfield.h"
#include "main_window/unit1vars.h"
#include "testsupport.h"

#include <QPixmap>
#include <QtTest>

namespace {

const QRgb Black = qRgb(0, 0, 0);
const QRgb White = qRgb(255, 255, 255);

/// Pixels of the picture that are not of the given colour, as points.
QList<QPoint> pixelsOtherThan(const QImage &picture, QRgb colour)
{
    QList<QPoint> found;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (picture.pixel(x, y) != colour)
                found.append(QPoint(x, y));
    return found;
}

bool allOfColour(const QImage &picture, QRgb colour)
{
    return pixelsOtherThan(picture, colour).isEmpty();
}

} // namespace

class TestStarField : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void firstPaintCreatesBlackPicture();
    void firstDrawingDecidesFill_data();
    void firstDrawingDecidesFill();
    void geometry_data();
    void geometry();
    void starStaysInItsSquare_data();
    void starStaysInItsSquare();
    void eraseRemovesStar();
    void fieldRectBoundsTheErase_data();
    void fieldRectBoundsTheErase();
    void pictureKeepsSizeFixedAtCreation();
    void shownAtTopLeftUnscaled();
    void drawingOnlyMarksForRepaint();
    void starShownFollowsLastStep();
};

void TestStarField::init()
{
    StarX = 0;
    StarY = 0;
    FieldRect = TRect();
}

void TestStarField::firstPaintCreatesBlackPicture()
{
    StarImage image;
    image.resize(105, 105);
    image.fixPictureSize();
    QVERIFY(image.picture().isNull());

    // FieldRect is still empty: the fill covers nothing, but the picture
    // comes into being, black in every pixel.
    image.eraseField();
    QCOMPARE(image.picture().size(), QSize(105, 105));
    QVERIFY(allOfColour(image.picture(), Black));
    QVERIFY(!image.starShown());
}

void TestStarField::firstDrawingDecidesFill_data()
{
    QTest::addColumn<bool>("starFirst");
    QTest::addColumn<QRgb>("fill");

    QTest::newRow("erase first: black field") << false << Black;
    QTest::newRow("star first: white field") << true << White;
}

void TestStarField::firstDrawingDecidesFill()
{
    QFETCH(bool, starFirst);
    QFETCH(QRgb, fill);

    StarImage image;
    image.resize(105, 105);
    image.fixPictureSize();
    image.computeGeometry();
    if (starFirst)
        image.drawStar();
    else
        image.eraseField();

    // Row and column 104 lie outside every later drawing: they keep the
    // colour of the picture's creation.
    for (int i = 0; i < 105; ++i) {
        QCOMPARE(image.picture().pixel(104, i), fill);
        QCOMPARE(image.picture().pixel(i, 104), fill);
    }
}

void TestStarField::geometry_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("starX");
    QTest::addColumn<int>("starY");
    QTest::addColumn<QRect>("field"); // left, top, right, bottom as x1, y1, x2, y2

    QTest::newRow("stored 105 x 105: halves truncated")
        << QSize(105, 105) << 52 << 52 << QRect(QPoint(0, 0), QPoint(104, 104));
    QTest::newRow("even square 106 x 106")
        << QSize(106, 106) << 53 << 53 << QRect(QPoint(0, 0), QPoint(106, 106));
    QTest::newRow("wide 121 x 81: across from the height")
        << QSize(121, 81) << 40 << 60 << QRect(QPoint(0, 0), QPoint(80, 120));
    QTest::newRow("tall 81 x 121: down from the width")
        << QSize(81, 121) << 60 << 40 << QRect(QPoint(0, 0), QPoint(120, 80));
}

void TestStarField::geometry()
{
    QFETCH(QSize, size);
    QFETCH(int, starX);
    QFETCH(int, starY);
    QFETCH(QRect, field);

    StarImage image;
    image.resize(size);
    image.computeGeometry();
    QCOMPARE(StarX, starX);
    QCOMPARE(StarY, starY);
    QCOMPARE(FieldRect.Left, field.left());
    QCOMPARE(FieldRect.Top, field.top());
    QCOMPARE(FieldRect.Right, field.right());
    QCOMPARE(FieldRect.Bottom, field.bottom());
}

void TestStarField::starStaysInItsSquare_data()
{
    QTest::addColumn<QSize>("size");

    QTest::newRow("stored 105 x 105") << QSize(105, 105);
    QTest::newRow("wide 121 x 81") << QSize(121, 81);
    QTest::newRow("tall 81 x 121") << QSize(81, 121);
}

void TestStarField::starStaysInItsSquare()
{
    QFETCH(QSize, size);

    StarImage image;
    image.resize(size);
    image.fixPictureSize();
    image.eraseField(); // first paint
    image.computeGeometry();
    image.eraseField();
    image.drawStar();
    QVERIFY(image.starShown());

    // Only the 5 x 5 square at (StarX, StarY) may differ from black, and
    // its centre is the white dot.
    const QRect square(StarX, StarY, 5, 5);
    const QList<QPoint> lit = pixelsOtherThan(image.picture(), Black);
    QVERIFY(!lit.isEmpty());
    for (const QPoint &pixel : lit)
        QVERIFY2(square.contains(pixel),
                 qPrintable(QStringLiteral("pixel (%1, %2) lit outside the star's square")
                                .arg(pixel.x())
                                .arg(pixel.y())));
    QCOMPARE(image.picture().pixel(StarX + 2, StarY + 2), White);
    // The dot is centred in its square: mirrored either way it is the same.
    const QImage &picture = image.picture();
    for (const QPoint &pixel : lit) {
        const QPoint acrossMirror(2 * (StarX + 2) - pixel.x(), pixel.y());
        const QPoint downMirror(pixel.x(), 2 * (StarY + 2) - pixel.y());
        QCOMPARE(picture.pixel(acrossMirror), picture.pixel(pixel));
        QCOMPARE(picture.pixel(downMirror), picture.pixel(pixel));
    }
    // A round dot with a black outline: the square's corners stay black.
    QCOMPARE(picture.pixel(square.topLeft()), Black);
    QCOMPARE(picture.pixel(square.bottomRight()), Black);
}

void TestStarField::eraseRemovesStar()
{
    StarImage image;
    image.resize(105, 105);
    image.fixPictureSize();
    image.eraseField();
    image.computeGeometry();
    image.eraseField();
    image.drawStar();
    QCOMPARE(image.picture().pixel(54, 54), White);

    image.eraseField();
    QVERIFY(allOfColour(image.picture(), Black));
    QVERIFY(!image.starShown());
    const QImage once = image.picture().copy();
    image.eraseField();
    QCOMPARE(image.picture(), once);

    // Starting again draws the same picture at the same place.
    image.eraseField();
    image.drawStar();
    const QImage first = image.picture().copy();
    image.computeGeometry();
    image.eraseField();
    image.drawStar();
    QCOMPARE(image.picture(), first);
}

void TestStarField::fieldRectBoundsTheErase_data()
{
    QTest::addColumn<QSize>("size");

    QTest::newRow("stored 105 x 105") << QSize(105, 105);
    QTest::newRow("wide 121 x 81") << QSize(121, 81);
    QTest::newRow("tall 81 x 121") << QSize(81, 121);
}

void TestStarField::fieldRectBoundsTheErase()
{
    QFETCH(QSize, size);

    // A star draw as the first drawing makes a white picture, so that the
    // erase shows exactly which pixels FieldRect covers.
    StarImage image;
    image.resize(size);
    image.fixPictureSize();
    image.computeGeometry();
    image.drawStar();
    image.eraseField();

    const QRect field(FieldRect.Left, FieldRect.Top, FieldRect.Right - FieldRect.Left,
                      FieldRect.Bottom - FieldRect.Top);
    const QImage &picture = image.picture();
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (picture.pixel(x, y) != (field.contains(x, y) ? Black : White))
                QFAIL(qPrintable(QStringLiteral("pixel (%1, %2) wrong after the erase")
                                     .arg(x)
                                     .arg(y)));
}

void TestStarField::pictureKeepsSizeFixedAtCreation()
{
    StarImage image;
    image.resize(105, 105);
    image.fixPictureSize();
    image.resize(150, 90);
    image.eraseField();
    QCOMPARE(image.picture().size(), QSize(105, 105));
}

void TestStarField::shownAtTopLeftUnscaled()
{
    StarImage image;
    image.resize(105, 105);
    image.fixPictureSize();
    image.eraseField();
    image.computeGeometry();
    image.drawStar();

    // A larger control shows the picture at its top-left corner, pixel for
    // pixel.
    image.resize(140, 130);
    const QImage shown = image.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(shown.copy(0, 0, 105, 105), image.picture());
}

void TestStarField::drawingOnlyMarksForRepaint()
{
    StarImage image;
    image.resize(105, 105);
    image.fixPictureSize();
    image.eraseField();
    image.show();
    QVERIFY(QTest::qWaitForWindowExposed(&image));
    QCoreApplication::processEvents();

    EventCounter counter(QEvent::Paint);
    image.installEventFilter(&counter);
    image.computeGeometry();
    image.eraseField();
    image.drawStar();
    QCOMPARE(counter.count, 0);
    QTRY_VERIFY(counter.count > 0);
    QCOMPARE(image.grab().toImage().convertToFormat(QImage::Format_RGB32).pixel(54, 54), White);
}

void TestStarField::starShownFollowsLastStep()
{
    StarImage image;
    image.resize(105, 105);
    image.fixPictureSize();
    QSignalSpy changes(&image, &StarImage::starShownChanged);

    image.eraseField();
    image.computeGeometry();
    image.drawStar();
    image.drawStar();
    image.eraseField();
    image.eraseField();

    QCOMPARE(changes.count(), 2);
    QCOMPARE(changes.at(0).at(0).toBool(), true);
    QCOMPARE(changes.at(1).at(0).toBool(), false);
}

QTEST_MAIN(TestStarField)
#include "tst_starfield.moc"
