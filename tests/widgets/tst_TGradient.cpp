#include "TestMain.h"
#include "widgets/BandGradient.h"
#include "widgets/Gradient.h"

#include <QPainter>
#include <QtTest>
#include <algorithm>
#include <array>
#include <cmath>

// The line gradient of the page backgrounds and the 128-band gradient of caption bars, checked
// pixel by pixel.
using Stops = std::array<QRgb, 5>;
using Colours = QList<QRgb>;
Q_DECLARE_METATYPE(Stops)

class TestTGradient : public QObject {
    Q_OBJECT

private:
    static constexpr QRgb Sentinel = 0xFF123456;

    static TColor colorOf(QRgb rgb) { return rgbColor(qRed(rgb), qGreen(rgb), qBlue(rgb)); }

    // The colours of a strip whose transitions are `segment` pixels long, straight lines from stop to
    // stop, each band showing the colour where it starts.
    static Colours along(const Stops &stops, int transitions, int segment, int lineSize, int length)
    {
        Colours colours;
        for (int pos = 0; pos < length; ++pos) {
            const int start = pos - pos % lineSize;
            const int k = std::min(start / segment, transitions - 1);
            const double t = double(start - k * segment) / segment;
            const auto mix = [t](int a, int b) { return int(std::lround(a + (b - a) * t)); };
            const QRgb from = stops[size_t(k)], to = stops[size_t(k) + 1];
            colours << qRgb(mix(qRed(from), qRed(to)), mix(qGreen(from), qGreen(to)), mix(qBlue(from), qBlue(to)));
        }
        return colours;
    }

    // The main window's page gradient: blue through navy to black, left to right.
    static void makePageGradient(TGradient &gradient, int lineSize)
    {
        gradient.SetGradientStyle(gsLine);
        gradient.SetColorCount(2);
        gradient.SetColor1(colorBlue);
        gradient.SetColor2(colorNavy);
        gradient.SetColor3(colorBlack);
        gradient.SetLineDirection(diVertical);
        gradient.SetLineSize(lineSize);
    }

    static QImage painted(TGradient &gradient, QSize size, const QRect &rect)
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(Sentinel);
        QPainter canvas(&image);
        gradient.paint(canvas, rect);
        return image;
    }

    static int sentinels(const QImage &image)
    {
        int count = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                count += image.pixel(x, y) == Sentinel ? 1 : 0;
        return count;
    }

    static bool rowsIdentical(const QImage &image)
    {
        for (int y = 1; y < image.height(); ++y)
            if (memcmp(image.constScanLine(0), image.constScanLine(y), size_t(image.bytesPerLine())) != 0)
                return false;
        return true;
    }

private slots:
    void pageGradientRunsBlueNavyBlack()
    {
        TGradient gradient;
        makePageGradient(gradient, 1);
        const QImage image = painted(gradient, QSize(241, 19), QRect(0, 0, 241, 19));
        QCOMPARE(image.pixel(0, 0), qRgb(0, 0, 255));
        QCOMPARE(image.pixel(120, 0), qRgb(0, 0, 128));
        QCOMPARE(image.pixel(240, 0), qRgb(0, 0, 0));
        QVERIFY(rowsIdentical(image));
        for (int x = 1; x < 241; ++x) {
            QCOMPARE(qRed(image.pixel(x, 0)) + qGreen(image.pixel(x, 0)), 0);
            QVERIFY2(qBlue(image.pixel(x, 0)) <= qBlue(image.pixel(x - 1, 0)), qPrintable(QString::number(x)));
        }
    }

    void lineSizeMakesBandsThatWide_data()
    {
        QTest::addColumn<int>("direction");
        QTest::newRow("left to right") << int(diVertical);
        QTest::newRow("top to bottom") << int(diHorizonal);
    }

    // Every pixel of a band of five shows the colour where the band starts, to the last row and
    // column of the rect and of each band, and the next band shows another.
    void lineSizeMakesBandsThatWide()
    {
        QFETCH(int, direction);
        TGradient gradient;
        makePageGradient(gradient, 5);
        gradient.SetLineDirection(TLineDirection(direction));
        const bool leftToRight = direction == diVertical;
        const QRect rect = leftToRight ? QRect(2, 1, 241, 9) : QRect(1, 2, 9, 241);
        const QImage image = painted(gradient, rect.size() + QSize(3, 3), rect);
        const auto at = [&](int pos, int across) {
            return image.pixel(rect.topLeft() + (leftToRight ? QPoint(pos, across) : QPoint(across, pos)));
        };
        QCOMPARE(at(0, 0), qRgb(0, 0, 255));
        for (int pos = 0; pos < 241; ++pos)
            for (int across = 0; across < 9; ++across)
                QCOMPARE(at(pos, across), at(pos - pos % 5, 0));
        for (int band = 1; band <= 48; ++band)
            QVERIFY(at(5 * band, 0) != at(5 * band - 1, 0));
        QCOMPARE(sentinels(image), image.width() * image.height() - 241 * 9);
    }

    void bandByBand_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("lineSize");
        QTest::addColumn<int>("direction");
        QTest::addColumn<Stops>("stops");
        QTest::addColumn<int>("length");
        QTest::addColumn<Colours>("expected"); // one colour per pixel along the strip

        const Stops rgb{qRgb(250, 0, 0), qRgb(0, 250, 0), qRgb(0, 0, 250), qRgb(50, 100, 150), qRgb(0, 0, 0)};
        const Colours redGreenBlue = along(rgb, 2, 5, 1, 11);
        QTest::newRow("two transitions, left to right") << 2 << 1 << int(diVertical) << rgb << 11 << redGreenBlue;
        QTest::newRow("two transitions, top to bottom") << 2 << 1 << int(diHorizonal) << rgb << 11 << redGreenBlue;
        QTest::newRow("one transition stays on the first stop")
            << 1 << 1 << int(diVertical) << rgb << 11 << Colours(11, rgb[0]);
        const Stops five{qRgb(0, 0, 0), qRgb(250, 0, 0), qRgb(250, 250, 0), qRgb(250, 250, 250), qRgb(0, 0, 250)};
        QTest::newRow("four transitions, the most")
            << 4 << 1 << int(diHorizonal) << five << 21 << along(five, 4, 5, 1, 21);
        QTest::newRow("above the most counts as four")
            << 5 << 1 << int(diVertical) << five << 21 << along(five, 4, 5, 1, 21);
        QTest::newRow("below one counts as three")
            << 0 << 1 << int(diVertical) << five << 16 << along(five, 3, 5, 1, 16);
        const Stops up{qRgb(0, 0, 0), qRgb(240, 120, 60), qRgb(0, 0, 0), qRgb(0, 0, 0), qRgb(0, 0, 0)};
        QTest::newRow("two pixels a band, left to right")
            << 2 << 2 << int(diVertical) << up << 13 << along(up, 2, 6, 2, 13);
        QTest::newRow("two pixels a band, top to bottom")
            << 2 << 2 << int(diHorizonal) << up << 13 << along(up, 2, 6, 2, 13);
        // Shorter than its transitions: a pixel each, to the last that fits.
        QTest::newRow("three pixels for four transitions")
            << 4 << 1 << int(diVertical) << five << 3 << Colours{five[0], five[1], five[2]};
        QTest::newRow("two pixels for two transitions, top to bottom")
            << 2 << 1 << int(diHorizonal) << rgb << 2 << Colours{rgb[0], rgb[1]};
        QTest::newRow("one band longer than the strip") << 2 << 5 << int(diVertical) << up << 4 << Colours(4, up[0]);
    }

    // Every pixel of small strips whose colours are whole numbers: the first band shows the first
    // stop, each transition ends on its stop, and the bands run along the chosen direction only, to
    // the rect's last row and column, which is one past a whole number of the strips painted across.
    void bandByBand()
    {
        QFETCH(int, count);
        QFETCH(int, lineSize);
        QFETCH(int, direction);
        QFETCH(Stops, stops);
        QFETCH(int, length);
        QFETCH(Colours, expected);
        TGradient gradient;
        gradient.SetColorCount(count);
        gradient.SetLineSize(lineSize);
        gradient.SetLineDirection(TLineDirection(direction));
        gradient.SetColor1(colorOf(stops[0]));
        gradient.SetColor2(colorOf(stops[1]));
        gradient.SetColor3(colorOf(stops[2]));
        gradient.SetColor4(colorOf(stops[3]));
        gradient.SetColor5(colorOf(stops[4]));
        const bool leftToRight = direction == diVertical;
        const int across = 17;
        const QRect rect(QPoint(1, 2), leftToRight ? QSize(length, across) : QSize(across, length));
        const QImage image = painted(gradient, rect.size() + QSize(3, 3), rect);
        for (int pos = 0; pos < length; ++pos)
            for (int side = 0; side < across; ++side) {
                const QPoint at = rect.topLeft() + (leftToRight ? QPoint(pos, side) : QPoint(side, pos));
                QVERIFY2(image.pixel(at) == expected[pos], qPrintable(QString("pixel %1 across %2: %3, not %4")
                                                                          .arg(pos)
                                                                          .arg(side)
                                                                          .arg(image.pixel(at), 0, 16)
                                                                          .arg(expected[pos], 0, 16)));
            }
        QCOMPARE(sentinels(image), image.width() * image.height() - length * across);
    }

    void emptyRectPaintsNothing()
    {
        TGradient gradient;
        makePageGradient(gradient, 1);
        for (const QRect &rect : {QRect(3, 3, 0, 10), QRect(3, 3, 10, 0)})
            QCOMPARE(sentinels(painted(gradient, QSize(20, 20), rect)), 400);
    }

    // 128 bands over 256 pixels start at 2i and are 3 wide; over 200 at trunc(i * 1.5625), 2 wide;
    // over 50, fewer pixels than bands, at trunc(i * 0.390625), 1 wide. Either way every pixel of the
    // rect, to its last row and column, shows the last band that starts at or before it, whichever
    // way the colour runs, and nothing outside is painted.
    void bandGradientOfFractionalSteps()
    {
        TBandGradient bands;
        bands.SetStartColor(rgbColor(0, 255, 0));
        bands.SetEndColor(rgbColor(128, 0, 255));
        const std::vector<QRgb> table = bands.colorTable();
        QCOMPARE(table.front(), qRgb(0, 255, 0));
        QCOMPARE(table.back(), qRgb(127, 2, 253));
        for (const int length : {256, 200, 50})
            for (const bool horizontal : {true, false}) {
                const QRect rect(QPoint(2, 1), horizontal ? QSize(length, 3) : QSize(3, length));
                QImage image(rect.size() + QSize(4, 3), QImage::Format_RGB32);
                image.fill(Sentinel);
                QPainter canvas(&image);
                horizontal ? bands.fillHorizontal(canvas, rect) : bands.fillVertical(canvas, rect);
                canvas.end();
                const double step = length / 128.0;
                int band = 0;
                for (int pos = 0; pos < length; ++pos) {
                    while (band + 1 < 128 && int((band + 1) * step) <= pos)
                        ++band;
                    for (int across = 0; across < 3; ++across)
                        QCOMPARE(image.pixel(rect.topLeft() + (horizontal ? QPoint(pos, across) : QPoint(across, pos))),
                                 table[size_t(band)]);
                }
                QCOMPARE(band, 127);
                QCOMPARE(sentinels(image), image.width() * image.height() - length * 3);
            }
    }

    // One step paints the start colour alone; fewer are refused.
    void bandStepsAtTheirBound()
    {
        TBandGradient bands;
        bands.SetStartColor(colorBlue);
        bands.SetSteps(0);
        bands.SetSteps(-3);
        QCOMPARE(bands.Steps(), 128);
        bands.SetSteps(1);
        QCOMPARE(bands.colorTable(), std::vector<QRgb>{qRgb(0, 0, 255)});
        QImage image(7, 5, QImage::Format_RGB32);
        image.fill(Sentinel);
        QPainter canvas(&image);
        bands.fillVertical(canvas, image.rect());
        canvas.end();
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 7; ++x)
                QCOMPARE(image.pixel(x, y), qRgb(0, 0, 255));
    }

    void bandTableRebuiltAfterAChange()
    {
        TBandGradient bands;
        QCOMPARE(bands.colorTable()[127], qRgb(2, 2, 2));
        bands.SetStartColor(colorBlue);
        QCOMPARE(bands.colorTable()[0], qRgb(0, 0, 255));
        QCOMPARE(bands.colorTable()[64], qRgb(0, 0, 128));
    }

    // A property set to the value it has tells nobody; another value tells the drawers and the program
    // once each.
    void changesAreToldOnce()
    {
        TGradient gradient;
        int signalled = 0;
        int told = 0;
        connect(&gradient, &TGradient::changed, this, [&] { ++signalled; });
        gradient.OnChange = [&](QObject *sender) {
            QCOMPARE(sender, &gradient);
            ++told;
        };
        gradient.SetLineSize(gradient.LineSize());
        gradient.SetColor3(gradient.Color3());
        QCOMPARE(signalled + told, 0);
        gradient.SetLineSize(gradient.LineSize() + 1);
        gradient.SetColor3(colorBlue);
        QCOMPARE(signalled, 2);
        QCOMPARE(told, 2);
    }
};

TOZELO_TEST_MAIN(TestTGradient)
#include "tst_TGradient.moc"
