#include "TestMain.h"
#include "widgets/BackgndObj.h"
#include "widgets/DFBevel.h"
#include "widgets/DFCtrls.h"
#include "widgets/Gradient.h"

#include <QPainter>
#include <QtTest>

// The picture control: its bevel shades, the background inside, where the picture goes and how
// its outline is softened against the background.
class TestTBCBitmap : public QObject {
    Q_OBJECT

private:
    static constexpr QRgb Key = 0xFFFF00FF;
    static constexpr QRgb Red = 0xFFFF0000;
    static constexpr QRgb Green = 0xFF00FF00;
    static constexpr QRgb Ground = 0xFF000064;

    // A 48 x 48 picture of the transparent colour with a few opaque pixels.
    static QImage sparsePicture(const QList<QPair<QPoint, QRgb>> &pixels)
    {
        QImage picture(48, 48, QImage::Format_RGB32);
        picture.fill(Key);
        for (const auto &[at, color] : pixels)
            picture.setPixel(at, color);
        return picture;
    }

    // The re-ping dialog's control, over one flat colour so that blends can be worked out.
    static void makeDialogBitmap(TBCBitmap &bitmap)
    {
        bitmap.resize(105, 73);
        bitmap.SetDrawStyle(dsCentered);
        bitmap.SetColorOption(coSmoothed);
        bitmap.Bevel()->SetColor(colorSilver);
        bitmap.Background()->SetColor(rgbColor(0, 0, 100));
    }

private slots:
    // Without a picture: bevel and background only.
    void windows95BevelFromSilver()
    {
        TBCBitmap bitmap;
        makeDialogBitmap(bitmap);
        const QImage &image = bitmap.image();
        const QRgb outerDark = qRgb(142, 142, 142);
        const QRgb innerDark = qRgb(72, 72, 72);
        const QRgb innerLight = qRgb(192, 192, 192);
        const QRgb outerLight = qRgb(255, 255, 255);
        QCOMPARE(image.pixel(0, 30), outerDark);
        QCOMPARE(image.pixel(50, 0), outerDark);
        QCOMPARE(image.pixel(0, 0), outerDark);
        QCOMPARE(image.pixel(104, 30), outerLight);
        QCOMPARE(image.pixel(50, 72), outerLight);
        QCOMPARE(image.pixel(104, 0), outerLight);
        QCOMPARE(image.pixel(0, 72), outerLight);
        QCOMPARE(image.pixel(1, 30), innerDark);
        QCOMPARE(image.pixel(50, 1), innerDark);
        QCOMPARE(image.pixel(103, 30), innerLight);
        QCOMPARE(image.pixel(50, 71), innerLight);
        QCOMPARE(image.pixel(2, 2), Ground);
        QCOMPARE(image.pixel(102, 70), Ground);
    }

    void dialogPictureCentredAt28And12()
    {
        TBCBitmap bitmap;
        makeDialogBitmap(bitmap);
        bitmap.SetPicture(sparsePicture({{{0, 0}, Red}, {{47, 46}, Red}}));
        QCOMPARE(bitmap.placement(QRect(2, 2, 101, 69)), QRect(28, 12, 48, 48));
        const QImage &image = bitmap.image();
        QCOMPARE(image.pixel(28, 12), Red);
        QCOMPARE(image.pixel(75, 58), Red);
        QCOMPARE(image.pixel(50, 30), Ground);
        QCOMPARE(image.pixel(28, 59), Ground);
    }

    void outlineIsSoftened()
    {
        TBCBitmap bitmap;
        makeDialogBitmap(bitmap);
        // Red and green two apart: the pixel between them is blended twice, red first.
        bitmap.SetPicture(sparsePicture({{{5, 5}, Red}, {{7, 5}, Green}, {{0, 20}, Red}}));
        const QImage &image = bitmap.image();
        const QPoint origin(28, 12);
        const QRgb redOverGround = qRgb(204, 0, 20);
        QCOMPARE(image.pixel(origin + QPoint(5, 5)), Red);
        QCOMPARE(image.pixel(origin + QPoint(4, 5)), redOverGround);
        QCOMPARE(image.pixel(origin + QPoint(5, 4)), redOverGround);
        QCOMPARE(image.pixel(origin + QPoint(5, 6)), redOverGround);
        QCOMPARE(image.pixel(origin + QPoint(4, 4)), Ground);
        QCOMPARE(image.pixel(origin + QPoint(6, 5)), qRgb(41, 204, 4));
        QCOMPARE(image.pixel(origin + QPoint(8, 5)), qRgb(0, 204, 20));
        // Just outside the picture's left edge.
        QCOMPARE(image.pixel(origin + QPoint(-1, 20)), redOverGround);
    }

    void gradientBehindThePicture()
    {
        TBCBitmap bitmap;
        makeDialogBitmap(bitmap);
        bitmap.Background()->SetBackStyle(bgGradient);
        TGradient *gradient = bitmap.Background()->Gradient();
        gradient->SetLineSize(1);
        gradient->SetColorCount(2);
        gradient->SetColor1(colorBlue);
        gradient->SetColor2(rgbColor(0, 0, 160));
        gradient->SetColor3(colorBlack);
        const QImage &image = bitmap.image();
        QCOMPARE(image.pixel(2, 2), qRgb(0, 0, 255));
        QCOMPARE(image.pixel(2, 70), qRgb(0, 0, 0));
        for (int x = 2; x <= 102; ++x)
            QCOMPARE(image.pixel(x, 40), image.pixel(2, 40));
    }

    void noneStyleCutsALargePicture()
    {
        QImage picture(100, 100, QImage::Format_RGB32);
        for (int y = 0; y < 100; ++y)
            for (int x = 0; x < 100; ++x)
                picture.setPixel(x, y, qRgb(x, y, 1));
        TBCBitmap bitmap;
        bitmap.Bevel()->SetColor(colorSilver);
        bitmap.SetPicture(picture);
        const QImage &image = bitmap.image();
        QCOMPARE(image.size(), QSize(64, 64));
        QCOMPARE(image.pixel(2, 2), qRgb(0, 0, 1));
        QCOMPARE(image.pixel(61, 61), qRgb(59, 59, 1));
        QCOMPARE(image.pixel(62, 62), qRgb(192, 192, 192));
        QCOMPARE(image.pixel(1, 1), qRgb(72, 72, 72));
    }

    void autoSizeAddsTheBevel()
    {
        TBCBitmap bitmap;
        bitmap.SetPicture(sparsePicture({}));
        QCOMPARE(bitmap.size(), QSize(64, 64));
        bitmap.SetAutoSize(true);
        QCOMPARE(bitmap.size(), QSize(52, 52));
        bitmap.SetPicture(QImage(20, 10, QImage::Format_RGB32));
        QCOMPARE(bitmap.size(), QSize(24, 14));
    }

    void invertedWhileHeld()
    {
        TBCBitmap bitmap;
        bitmap.SetPicture(sparsePicture({{{0, 0}, Red}}));
        bitmap.SetInvertImageOnMouseDown(true);
        bitmap.show();
        QVERIFY(QTest::qWaitForWindowExposed(&bitmap));
        QCOMPARE(bitmap.image().pixel(2, 2), Red);
        QTest::mousePress(&bitmap, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(bitmap.image().pixel(2, 2), qRgb(0, 255, 255));
        QTest::mouseRelease(&bitmap, Qt::LeftButton, {}, QPoint(10, 10));
        QCOMPARE(bitmap.image().pixel(2, 2), Red);
    }

    void unchangedPropertiesDoNotRender()
    {
        TBCBitmap bitmap;
        makeDialogBitmap(bitmap);
        const QImage picture = sparsePicture({{{3, 3}, Red}});
        bitmap.SetPicture(picture);
        bitmap.image();
        const int renders = bitmap.renderCount();
        bitmap.SetPicture(picture);
        bitmap.SetDrawStyle(dsCentered);
        bitmap.Bevel()->SetBevelType(btWindows95);
        bitmap.Background()->SetColor(rgbColor(0, 0, 100));
        bitmap.image();
        QCOMPARE(bitmap.renderCount(), renders);
        bitmap.Bevel()->SetBevelType(btFlat3D);
        bitmap.image();
        QCOMPARE(bitmap.renderCount(), renders + 1);
    }
};

TOZELO_TEST_MAIN(TestTBCBitmap)
#include "tst_TBCBitmap.moc"
