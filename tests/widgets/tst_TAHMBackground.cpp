#include "TestMain.h"
#include "widgets/AHMGradient.h"
#include "widgets/AHMTBackground.h"
#include "widgets/AHMTexture.h"

#include <QPainter>
#include <QtTest>

Q_DECLARE_METATYPE(TFillStyle)

// The background component a splash screen links: each style's painting and its notifications.
class TestTAHMBackground : public QObject {
    Q_OBJECT

private:
    static constexpr QRgb Sentinel = 0xFF123456;

    static QImage painted(const TAHMBackground &background, int width = 40, int height = 30)
    {
        QImage canvas(40, 30, QImage::Format_RGB32);
        canvas.fill(Sentinel);
        QPainter painter(&canvas);
        background.paint(painter, width, height);
        return canvas;
    }

    static QImage twoColourTile()
    {
        QImage tile(16, 12, QImage::Format_RGB32);
        tile.fill(qRgb(255, 0, 0));
        tile.setPixel(0, 0, qRgb(0, 255, 0));
        return tile;
    }

private slots:
    void gradientStepsAndBounds()
    {
        TAHMBackground background;
        TAHMGradient *gradient = background.Gradient();
        QCOMPARE(gradient->NoOfColors(), 32);
        gradient->SetNoOfColors(1);
        gradient->SetNoOfColors(300);
        QCOMPARE(gradient->NoOfColors(), 32);
        gradient->SetNoOfColors(255);
        gradient->SetNoOfColors(256);
        QCOMPARE(gradient->NoOfColors(), 255);
        gradient->SetNoOfColors(2);
        gradient->SetBeginColor(colorBlack);
        gradient->SetEndColor(colorWhite);
        const QImage canvas = painted(background);
        QCOMPARE(canvas.pixel(5, 0), qRgb(0, 0, 0));
        QCOMPARE(canvas.pixel(5, 29), qRgb(255, 255, 255));
        gradient->SetColorsInbetween({"#ff0000"});
        gradient->SetNoOfColors(3);
        QCOMPARE(painted(background).pixel(5, 15), qRgb(255, 0, 0));
    }

    void gradientReachesItsEnds_data()
    {
        QTest::addColumn<TFillStyle>("style");
        QTest::addColumn<QList<QPoint>>("first"); // the pixels of the begin colour
        QTest::addColumn<QList<QPoint>>("last");  // of the end colour
        const auto line = [](QPoint from, QPoint step, int count) {
            QList<QPoint> points;
            for (int i = 0; i < count; ++i)
                points << from + step * i;
            return points;
        };
        const QList<QPoint> corners{{0, 0}, {8, 0}, {0, 6}, {8, 6}};
        QTest::newRow("top to bottom") << TFillStyle::Horizontal << line({0, 0}, {1, 0}, 9) << line({0, 6}, {1, 0}, 9);
        QTest::newRow("left to right") << TFillStyle::Vertical << line({0, 0}, {0, 1}, 7) << line({8, 0}, {0, 1}, 7);
        QTest::newRow("corner to corner") << TFillStyle::LeftBottom << QList<QPoint>{{8, 0}} << QList<QPoint>{{0, 6}};
        QTest::newRow("circle") << TFillStyle::Circle << QList<QPoint>{{4, 3}} << corners;
        QTest::newRow("bar in the middle")
            << TFillStyle::MiddleVBar << line({0, 0}, {0, 1}, 7) + line({8, 0}, {0, 1}, 7) << line({4, 0}, {0, 1}, 7);
    }

    // More steps than pixels: the first and the last pixel of the way show the begin and the end
    // colour exactly, and nothing beyond the size is painted.
    void gradientReachesItsEnds()
    {
        QFETCH(TFillStyle, style);
        QFETCH(QList<QPoint>, first);
        QFETCH(QList<QPoint>, last);
        TAHMBackground background;
        TAHMGradient *gradient = background.Gradient();
        gradient->SetFillStyle(style);
        gradient->SetNoOfColors(255);
        gradient->SetBeginColor(colorBlack);
        gradient->SetEndColor(colorWhite);
        const QImage canvas = painted(background, 9, 7);
        for (const QPoint &at : first)
            QCOMPARE(canvas.pixel(at), qRgb(0, 0, 0));
        for (const QPoint &at : last)
            QCOMPARE(canvas.pixel(at), qRgb(255, 255, 255));
        int unpainted = 0;
        for (int y = 0; y < canvas.height(); ++y)
            for (int x = 0; x < canvas.width(); ++x)
                unpainted += canvas.pixel(x, y) == Sentinel ? 1 : 0;
        QCOMPARE(unpainted, canvas.width() * canvas.height() - 9 * 7);
    }

    void textureTilesFromTheOriginWithTransparency()
    {
        TAHMBackground background;
        background.SetBackgroundStyle(bTexture);
        QCOMPARE(painted(background).pixel(0, 0), Sentinel);
        background.Texture()->SetImage(twoColourTile());
        QImage canvas = painted(background);
        QCOMPARE(canvas.pixel(0, 0), qRgb(0, 255, 0));
        QCOMPARE(canvas.pixel(32, 24), qRgb(0, 255, 0));
        QCOMPARE(canvas.pixel(33, 24), qRgb(255, 0, 0));
        background.Texture()->SetTransparentColor(rgbColor(255, 0, 0));
        background.Texture()->SetTransparentBackground(colorBlue);
        canvas = painted(background);
        QCOMPARE(canvas.pixel(33, 24), qRgb(0, 0, 255));
    }

    void everyPartNotifiesTheLinkedDrawers()
    {
        TAHMBackground background;
        int changed = 0;
        int onChanged = 0;
        connect(&background, &TAHMBackground::changed, this, [&] { ++changed; });
        background.OnChanged = [&](QObject *sender) {
            QCOMPARE(sender, &background);
            ++onChanged;
        };
        background.Gradient()->SetFillStyle(TFillStyle::Circle);
        background.Texture()->SetImageStyle(isCenter);
        background.SetSolidColor(colorBtnFace);
        background.SetBackgroundStyle(bTexture);
        QCOMPARE(changed, 3);
        QCOMPARE(onChanged, 3);
    }
};

TOZELO_TEST_MAIN(TestTAHMBackground)
#include "tst_TAHMBackground.moc"
