#include "TestMain.h"
#include "widgets/AHMClasses.h"

#include <QPainter>
#include <QtTest>
#include <array>

using Ring = std::array<QRgb, 4>;
using Rings = std::array<Ring, 4>;
Q_DECLARE_METATYPE(Rings)

// The frame styles as rings of one pixel: which colour lands on which edge, who owns the corners,
// and how far each style moves the rectangle in.
class TestTAHMFrame : public QObject {
    Q_OBJECT

private:
    static constexpr QRgb Sentinel = 0xFF123456;
    static constexpr QRgb H = 0xFFFFFF00; // Highlight
    static constexpr QRgb S = 0xFF008080; // Shadow
    static constexpr QRgb X = 0xFFFF0000; // Solid
    static constexpr QRgb K = 0xFF000000; // black
    static constexpr QRgb U = Sentinel;   // untouched

    static void useTestColours(TAHMFrame &frame)
    {
        frame.SetHighlight(rgbColor(255, 255, 0));
        frame.SetShadow(rgbColor(0, 128, 128));
        frame.SetSolid(rgbColor(255, 0, 0));
    }

    static QImage drawn(const TAHMFrame &frame, QRect &rect)
    {
        QImage image(10, 10, QImage::Format_RGB32);
        image.fill(Sentinel);
        QPainter canvas(&image);
        frame.draw(canvas, rect);
        return image;
    }

private slots:
    // Per ring, from the outside in: the colour at the middle of the left, top, right and bottom
    // edges of a 10 x 10 frame with FrameWidth 1 and Offset 1.
    void styleDrawsItsRings_data()
    {
        QTest::addColumn<int>("style");
        QTest::addColumn<Rings>("rings");
        QTest::addColumn<int>("shrink");
        const Ring none{U, U, U, U};
        QTest::newRow("solid") << int(frameSolid) << Rings{Ring{X, X, X, X}, none, none, none} << 1;
        QTest::newRow("raised") << int(frameRaised) << Rings{Ring{H, H, S, S}, none, none, none} << 1;
        QTest::newRow("lowered") << int(frameLowered) << Rings{Ring{S, S, H, H}, none, none, none} << 1;
        QTest::newRow("none") << int(frameNone) << Rings{none, none, none, none} << 0;
        QTest::newRow("framed up") << int(frameFramedUp) << Rings{Ring{H, H, S, S}, none, Ring{S, S, H, H}, none} << 3;
        QTest::newRow("framed down") << int(frameFramedDown) << Rings{Ring{S, S, H, H}, none, Ring{H, H, S, S}, none}
                                     << 3;
        QTest::newRow("panel up") << int(framePanelUp) << Rings{Ring{H, H, K, K}, Ring{U, U, S, S}, none, none} << 2;
        QTest::newRow("panel down") << int(framePanelDown) << Rings{Ring{S, S, U, U}, Ring{K, K, H, H}, none, none}
                                    << 2;
        QTest::newRow("light bordered") << int(frameLightBordered)
                                        << Rings{Ring{U, U, S, S}, Ring{H, H, H, H}, none, none} << 2;
    }

    void styleDrawsItsRings()
    {
        QFETCH(int, style);
        QFETCH(Rings, rings);
        QFETCH(int, shrink);
        TAHMFrame frame;
        useTestColours(frame);
        frame.SetOffset(1);
        frame.SetFrameStyle(TAHMFrameStyle(style));
        QRect rect(0, 0, 10, 10);
        const QImage image = drawn(frame, rect);
        for (int ring = 0; ring < 4; ++ring) {
            const QString where = QString("ring %1").arg(ring);
            QVERIFY2(image.pixel(ring, 5) == rings[ring][0], qPrintable(where + " left"));
            QVERIFY2(image.pixel(5, ring) == rings[ring][1], qPrintable(where + " top"));
            QVERIFY2(image.pixel(9 - ring, 5) == rings[ring][2], qPrintable(where + " right"));
            QVERIFY2(image.pixel(5, 9 - ring) == rings[ring][3], qPrintable(where + " bottom"));
        }
        QCOMPARE(image.pixel(5, 5), Sentinel);
        QCOMPARE(rect, QRect(0, 0, 10, 10).adjusted(shrink, shrink, -shrink, -shrink));
    }

    void bottomColourOwnsTheOffCorners()
    {
        TAHMFrame frame;
        useTestColours(frame);
        QRect rect(0, 0, 10, 10);
        const QImage image = drawn(frame, rect);
        QCOMPARE(image.pixel(0, 0), H);
        QCOMPARE(image.pixel(9, 0), S);
        QCOMPARE(image.pixel(0, 9), S);
        QCOMPARE(image.pixel(9, 9), S);
    }

    void panelDownPixelByPixel()
    {
        TAHMFrame frame;
        useTestColours(frame);
        frame.SetFrameStyle(framePanelDown);
        QRect rect(0, 0, 10, 10);
        const QImage image = drawn(frame, rect);
        for (int y = 0; y < 10; ++y) {
            for (int x = 0; x < 10; ++x) {
                const bool innerRing = QRect(1, 1, 8, 8).contains(x, y);
                QRgb expected = Sentinel;
                if (x == 0 || (y == 0 && x < 9))
                    expected = S; // the left line starts at the bottom-left pixel; the top one stops short
                else if (innerRing && (x == 8 || y == 8))
                    expected = H;
                else if (innerRing && (x == 1 || y == 1))
                    expected = K;
                QVERIFY2(image.pixel(x, y) == expected, qPrintable(QString("(%1, %2)").arg(x).arg(y)));
            }
        }
        QCOMPARE(rect, QRect(2, 2, 6, 6));
    }

    void frameWidthRepeatsTheRings()
    {
        TAHMFrame frame;
        useTestColours(frame);
        frame.SetFrameWidth(2);
        frame.SetFrameWidth(0);
        frame.SetOffset(-1);
        QCOMPARE(frame.FrameWidth(), 2);
        QCOMPARE(frame.Offset(), 0);
        QRect rect(0, 0, 10, 10);
        const QImage image = drawn(frame, rect);
        QCOMPARE(image.pixel(1, 5), H);
        QCOMPARE(image.pixel(8, 5), S);
        QCOMPARE(image.pixel(2, 5), Sentinel);
        QCOMPARE(rect, QRect(2, 2, 6, 6));
    }
};

TOZELO_TEST_MAIN(TestTAHMFrame)
#include "tst_TAHMFrame.moc"
