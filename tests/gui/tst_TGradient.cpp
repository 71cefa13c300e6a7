#include "TestMain.h"
#include "widgets/BandGradient.h"
#include "widgets/Gradient.h"

#include <QPainter>
#include <QtTest>

// The line gradient of the page backgrounds and the 128-band gradient of caption bars, checked
// pixel by pixel.
class TestTGradient : public QObject {
    Q_OBJECT

private:
    static constexpr QRgb Sentinel = 0xFF123456;

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

    void lineSizeMakesBandsThatWide()
    {
        TGradient gradient;
        makePageGradient(gradient, 5);
        const QImage image = painted(gradient, QSize(241, 9), QRect(0, 0, 241, 9));
        QCOMPARE(image.pixel(0, 0), qRgb(0, 0, 255));
        for (int x = 0; x < 241; ++x)
            QCOMPARE(image.pixel(x, 0), image.pixel(x - x % 5, 0));
        for (int band = 1; band < 20; ++band)
            QVERIFY(image.pixel(5 * band, 0) != image.pixel(5 * band - 1, 0));
    }

    void oneTransitionBetweenEqualColoursIsFlat()
    {
        TGradient gradient;
        makePageGradient(gradient, 3);
        gradient.SetColorCount(1);
        gradient.SetColor2(colorBlue);
        const QImage image = painted(gradient, QSize(100, 20), QRect(0, 0, 100, 20));
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 100; ++x)
                QCOMPARE(image.pixel(x, y), qRgb(0, 0, 255));
    }

    void paintsOnlyInsideItsRect_data()
    {
        QTest::addColumn<QRect>("rect");
        QTest::newRow("no width") << QRect(3, 3, 0, 10);
        QTest::newRow("no height") << QRect(3, 3, 10, 0);
        QTest::newRow("inner") << QRect(10, 5, 30, 20);
    }

    void paintsOnlyInsideItsRect()
    {
        QFETCH(QRect, rect);
        TGradient gradient;
        makePageGradient(gradient, 1);
        const QImage image = painted(gradient, QSize(50, 40), rect);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                QCOMPARE(image.pixel(x, y) == Sentinel, !rect.contains(x, y));
        if (!rect.isEmpty())
            QCOMPARE(image.pixel(rect.topLeft()), qRgb(0, 0, 255));
    }

    void bandGradientOf256Pixels()
    {
        TBandGradient bands;
        bands.SetStartColor(colorBlack);
        bands.SetEndColor(colorNavy);
        QImage image(256, 4, QImage::Format_RGB32);
        image.fill(Sentinel);
        QPainter canvas(&image);
        bands.fillHorizontal(canvas, image.rect());
        canvas.end();
        // Band i starts at 2i and is 3 wide, so every even pixel shows its own band.
        for (int i = 0; i < 128; ++i) {
            QCOMPARE(image.pixel(2 * i, 0), qRgb(0, 0, i));
            QCOMPARE(image.pixel(2 * i + 1, 3), qRgb(0, 0, i));
        }
        QCOMPARE(image.pixel(255, 0), qRgb(0, 0, 127));
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
