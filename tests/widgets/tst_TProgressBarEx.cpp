#include "TestMain.h"
#include "widgets/ProgBarEx.h"

#include <QtTest>
#include <stdexcept>

// The extended progress bar: the 32-bit range and its error, where the position goes when the
// range moves, and how much of the bar is filled.
class TestTProgressBarEx : public QObject {
    Q_OBJECT

private:
    static constexpr QRgb Green = 0xFF008000;

    // The re-ping dialog's bar: green on black, smooth, 182 x 17.
    static void makeStatusBar(TProgressBarEx &bar)
    {
        bar.resize(182, 17);
        bar.SetBarColor(colorGreen);
        bar.SetColor(colorBlack);
        bar.SetSmooth(true);
    }

    static int filledColumns(TProgressBarEx &bar)
    {
        const QImage &image = bar.image();
        int columns = 0;
        for (int x = 0; x < image.width(); ++x)
            columns += image.pixel(x, image.height() / 2) == Green;
        return columns;
    }

private slots:
    void maxBelowMinIsRefused()
    {
        TProgressBarEx bar;
        bar.SetPosition(30);
        try {
            bar.SetMax(-1);
            QFAIL("no range error");
        } catch (const std::logic_error &error) {
            QCOMPARE(QString(error.what()), QString("TProgressBarEx property out of range"));
        }
        QCOMPARE(bar.Min(), 0);
        QCOMPARE(bar.Max(), 100);
        QCOMPARE(bar.Position(), 30);
        QVERIFY_THROWS_EXCEPTION(std::logic_error, bar.SetMin(101));
    }

    void positionFollowsTheRange()
    {
        TProgressBarEx bar;
        bar.SetMax(20);
        bar.SetMin(10);
        QCOMPARE(bar.Position(), 10);
        bar.SetPosition(15);
        bar.SetMin(0);
        QCOMPARE(bar.Position(), 0);
        bar.SetPosition(18);
        bar.SetMax(12);
        QCOMPARE(bar.Position(), 12);
        bar.SetPosition(500);
        QCOMPARE(bar.Position(), 12);
        bar.SetPosition(-3);
        QCOMPARE(bar.Position(), 0);
    }

    void halfFilled_data()
    {
        QTest::addColumn<int>("max");
        QTest::addColumn<int>("position");
        QTest::newRow("0..100 at 50") << 100 << 50;
        QTest::newRow("full 32-bit range") << 2000000000 << 1000000000;
    }

    void halfFilled()
    {
        QFETCH(int, max);
        QFETCH(int, position);
        TProgressBarEx bar;
        makeStatusBar(bar);
        bar.SetMax(max);
        bar.SetPosition(position);
        QCOMPARE(bar.Position(), position);
        const QImage &image = bar.image();
        QCOMPARE(filledColumns(bar), 90); // half of the 180 pixels inside the edge
        QCOMPARE(image.pixel(1, 8), Green);
        QCOMPARE(image.pixel(90, 8), Green);
        QCOMPARE(image.pixel(91, 8), qRgb(0, 0, 0));
    }

    void blocksAndVertical()
    {
        TProgressBarEx bar;
        makeStatusBar(bar);
        bar.SetSmooth(false);
        bar.SetPosition(100);
        const QImage &image = bar.image();
        // Blocks of 10 (two thirds of 15) with gaps of 2.
        QCOMPARE(image.pixel(10, 8), Green);
        QCOMPARE(image.pixel(11, 8), qRgb(0, 0, 0));
        QCOMPARE(image.pixel(13, 8), Green);
        bar.resize(17, 102);
        bar.SetSmooth(true);
        bar.SetVertical(true);
        bar.SetPosition(25);
        const QImage &upright = bar.image();
        QCOMPARE(upright.pixel(8, 100), Green);
        QCOMPARE(upright.pixel(8, 76), Green);
        QCOMPARE(upright.pixel(8, 75), qRgb(0, 0, 0));
    }

    void restyleKeepsPosition()
    {
        QWidget dialog;
        auto *bar = new TProgressBarEx(&dialog);
        bar->SetPosition(40);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(bar->Position(), 40);
        const int renders = bar->renderCount();
        bar->SetBarColor(colorGreen);
        bar->SetBarColor(colorGreen);
        bar->repaint();
        QCOMPARE(bar->Position(), 40);
        QCOMPARE(bar->renderCount(), renders + 1);
        bar->repaint();
        QCOMPARE(bar->renderCount(), renders + 1);
    }
};

TOZELO_TEST_MAIN(TestTProgressBarEx)
#include "tst_TProgressBarEx.moc"
