#include "TestMain.h"
#include "widgets/Backgnd.h"
#include "widgets/BackgndObj.h"
#include "widgets/Gradient.h"

#include <QPainter>
#include <QtTest>

// Background descriptions and the double-buffered control that shows one: what each style paints
// and when the control renders again.
class TestTBackground : public QObject {
    Q_OBJECT

private:
    static constexpr QRgb Sentinel = 0xFF123456;

    // A 10 x 10 picture in which every pixel tells where it is.
    static QImage coordinatePicture()
    {
        QImage picture(10, 10, QImage::Format_RGB32);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x)
                picture.setPixel(x, y, qRgb(x * 20, y * 20, 7));
        return picture;
    }

    static QImage painted(const TBackgndObj &description, const QRect &rect)
    {
        QImage canvas(40, 40, QImage::Format_RGB32);
        canvas.fill(Sentinel);
        QPainter painter(&canvas);
        description.paint(painter, rect);
        return canvas;
    }

private slots:
    void tilesAnchoredAtCanvasOrigin_data()
    {
        QTest::addColumn<QRect>("rect");
        QTest::newRow("inside tiles") << QRect(5, 5, 30, 30);
        QTest::newRow("last row and column on a tile's first") << QRect(3, 7, 28, 24);
    }

    void tilesAnchoredAtCanvasOrigin()
    {
        QFETCH(QRect, rect);
        TBackgndObj description;
        description.SetBackStyle(bgTileBitmap);
        description.SetPicture(coordinatePicture());
        const QImage canvas = painted(description, rect);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                QCOMPARE(canvas.pixel(x, y),
                         rect.contains(x, y) ? coordinatePicture().pixel(x % 10, y % 10) : Sentinel);
        QCOMPARE(canvas.pixel(rect.topLeft()), qRgb(rect.left() % 10 * 20, rect.top() % 10 * 20, 7));
    }

    void singlePictureColourAndNothing()
    {
        TBackgndObj description;
        description.SetBackStyle(bgSingleBitmap);
        description.SetPicture(coordinatePicture());
        QImage canvas = painted(description, QRect(5, 5, 30, 30));
        QCOMPARE(canvas.pixel(5, 5), qRgb(100, 100, 7));
        QCOMPARE(canvas.pixel(4, 4), Sentinel);
        QCOMPARE(canvas.pixel(12, 12), Sentinel);
        description.SetBackStyle(bgTileBitmap);
        description.SetPicture(QImage());
        QCOMPARE(painted(description, QRect(0, 0, 40, 40)).pixel(20, 20), Sentinel);
        description.SetBackStyle(bgSingleColor);
        description.SetColor(colorNone);
        QCOMPARE(painted(description, QRect(0, 0, 40, 40)).pixel(20, 20), Sentinel);
        description.SetColor(colorGreen);
        QCOMPARE(painted(description, QRect(0, 0, 40, 40)).pixel(20, 20), qRgb(0, 128, 0));
    }

    void controlRendersOnlyWhenSomethingChanged()
    {
        TBackground background;
        background.BackObj()->SetBackStyle(bgGradient);
        background.BackObj()->Gradient()->SetColor1(colorBlue);
        background.show();
        QVERIFY(QTest::qWaitForWindowExposed(&background));
        const int afterShow = background.renderCount();
        QCOMPARE(afterShow, 1);
        background.repaint();
        background.repaint(10, 10, 20, 20);
        QCOMPARE(background.renderCount(), afterShow);

        background.BackObj()->Gradient()->SetColor1(colorBlue);
        background.repaint();
        QCOMPARE(background.renderCount(), afterShow);

        background.BackObj()->Gradient()->SetColor1(colorNavy);
        background.BackObj()->Gradient()->SetColor2(colorBlack);
        background.repaint();
        QCOMPARE(background.renderCount(), afterShow + 1);
        QCOMPARE(background.grab().toImage().pixel(0, 0), qRgb(0, 0, 128));

        background.resize(50, 60);
        QCOMPARE(background.image().size(), QSize(50, 60));
        QCOMPARE(background.renderCount(), afterShow + 2);
    }

    void clientAlignedFollowsItsParent()
    {
        QWidget page;
        page.resize(300, 200);
        auto *button = new QWidget(&page);
        auto *background = new TBackground(&page);
        background->SetAlign(alClient);
        QCOMPARE(background->geometry(), QRect(0, 0, 300, 200));
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        page.resize(320, 240);
        QCOMPARE(background->geometry(), QRect(0, 0, 320, 240));
        QCOMPARE(page.children().indexOf(background), 0);
        QCOMPARE(page.children().indexOf(button), 1);
    }
};

TOZELO_TEST_MAIN(TestTBackground)
#include "tst_TBackground.moc"
