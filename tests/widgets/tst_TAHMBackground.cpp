#include "TestMain.h"
#include "widgets/AHMGradient.h"
#include "widgets/AHMTBackground.h"
#include "widgets/AHMTexture.h"

#include <QPainter>
#include <QtTest>

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
