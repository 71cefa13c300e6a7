#include "TestMain.h"
#include "widgets/AHMClasses.h"
#include "widgets/AHMTBackground.h"
#include "widgets/AHMTSplashScreen.h"
#include "widgets/SplashForm.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>
#include <stdexcept>
#include <typeinfo>

// The splash screen: the composed picture, the run with its events and its wait, and the owner
// it accepts.
class TestTAHMSplashScreen : public QObject {
    Q_OBJECT

private:
    static constexpr QRgb Red = 0xFFFF0000;

    static QImage redImage(int width, int height)
    {
        QImage image(width, height, QImage::Format_RGB32);
        image.fill(Red);
        return image;
    }

    static QRect redArea(const QImage &picture)
    {
        QRect area;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                if (picture.pixel(x, y) == Red)
                    area |= QRect(x, y, 1, 1);
        return area;
    }

    static void noFrames(TAHMSplashScreen &splash)
    {
        splash.OutsideFrame()->SetFrameStyle(frameNone);
        splash.InsideFrame()->SetFrameStyle(frameNone);
    }

private slots:
    void imageIsCentredHalvesToEven_data()
    {
        QTest::addColumn<QSize>("splashSize");
        QTest::addColumn<QSize>("imageSize");
        QTest::addColumn<QRect>("shown");
        QTest::newRow("same size") << QSize(350, 262) << QSize(350, 262) << QRect(0, 0, 350, 262);
        QTest::newRow("74.5 to 74") << QSize(300, 200) << QSize(100, 51) << QRect(100, 74, 100, 51);
        QTest::newRow("larger is clipped") << QSize(300, 200) << QSize(400, 120) << QRect(0, 40, 300, 120);
    }

    void imageIsCentredHalvesToEven()
    {
        QFETCH(QSize, splashSize);
        QFETCH(QSize, imageSize);
        QFETCH(QRect, shown);
        TAHMSplashScreen splash;
        noFrames(splash);
        splash.SetSplashWidth(splashSize.width());
        splash.SetSplashHeight(splashSize.height());
        splash.SetImage(redImage(imageSize.width(), imageSize.height()));
        const QImage picture = splash.composePicture();
        QCOMPARE(picture.size(), splashSize);
        QCOMPARE(redArea(picture), shown);
    }

    void panelDownOutsideNothingInside()
    {
        TAHMSplashScreen splash;
        splash.SetImage(redImage(300, 200));
        splash.OutsideFrame()->SetFrameStyle(framePanelDown);
        splash.OutsideFrame()->SetHighlight(rgbColor(255, 255, 0));
        splash.OutsideFrame()->SetShadow(rgbColor(0, 128, 128));
        splash.InsideFrame()->SetFrameStyle(frameNone);
        QCOMPARE(splash.Borderwidth(), 2);
        const QImage picture = splash.composePicture();
        const QRgb shadow = qRgb(0, 128, 128);
        const QRgb highlight = qRgb(255, 255, 0);
        QCOMPARE(picture.pixel(0, 100), shadow);
        QCOMPARE(picture.pixel(150, 0), shadow);
        QCOMPARE(picture.pixel(299, 0), Red);
        QCOMPARE(picture.pixel(299, 100), Red);
        QCOMPARE(picture.pixel(150, 199), Red);
        QCOMPARE(picture.pixel(1, 100), qRgb(0, 0, 0));
        QCOMPARE(picture.pixel(150, 1), qRgb(0, 0, 0));
        QCOMPARE(picture.pixel(298, 100), highlight);
        QCOMPARE(picture.pixel(150, 198), highlight);
        for (int y = 0; y < 200; ++y)
            QCOMPARE(picture.pixel(299, y), Red);
        for (int x = 1; x < 300; ++x)
            QCOMPARE(picture.pixel(x, 199), Red);
        QCOMPARE(redArea(picture.copy(2, 2, 296, 196)), QRect(0, 0, 296, 196));
    }

    void insideFrameSitsBorderwidthFurtherIn()
    {
        TAHMSplashScreen splash;
        splash.SetImage(redImage(300, 200));
        splash.InsideFrame()->SetShadow(rgbColor(0, 128, 128));
        splash.SetBorderwidth(3);
        splash.SetBorderwidth(-1);
        const QImage picture = splash.composePicture();
        QCOMPARE(picture.pixel(3, 100), Red);
        QCOMPARE(picture.pixel(4, 100), qRgb(0, 128, 128));
    }

    void linkedBackgroundPaintsUnderneathUntilDestroyed()
    {
        TAHMSplashScreen splash;
        noFrames(splash);
        auto *background = new TAHMBackground;
        background->SetBackgroundStyle(bSolidcolor);
        background->SetSolidColor(colorGreen);
        splash.SetBackground(background);
        splash.SetImage(redImage(10, 10));
        QImage picture = splash.composePicture();
        QCOMPARE(picture.pixel(0, 0), qRgb(0, 128, 0));
        QCOMPARE(picture.pixel(150, 100), Red);
        delete background;
        QCOMPARE(splash.Background(), nullptr);
        picture = splash.composePicture();
        QCOMPARE(picture.pixel(0, 0), qRgb(255, 255, 255));
    }

    void runShowsPictureThenClosesOnce()
    {
        TAHMSplashScreen splash;
        splash.SetImage(redImage(20, 20));
        QStringList events;
        TSplashForm *shown = nullptr;
        splash.OnRun = [&](QObject *sender) {
            shown = qobject_cast<TSplashForm *>(sender);
            QVERIFY(shown && shown->isVisible());
            QCOMPARE(shown->size(), QSize(300, 200));
            QCOMPARE(shown->picture(), splash.composePicture());
            QVERIFY(shown->windowFlags() & Qt::WindowStaysOnTopHint);
            events << "run";
        };
        splash.OnSplashDone = [&](QObject *sender) {
            QCOMPARE(sender, shown);
            QVERIFY(!shown->isVisible());
            events << "done";
        };
        bool posted = false;
        QTimer::singleShot(0, this, [&] { posted = true; });
        QVERIFY(splash.Execute());
        QVERIFY(posted);
        QCOMPARE(events, QStringList({"run", "done"}));
    }

    void waitKeepsEventsFlowing()
    {
        TAHMSplashScreen splash;
        splash.SetDelayInMsec(150);
        splash.SetDelayInMsec(-5);
        QCOMPARE(splash.DelayInMsec(), 150);
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&] { ++ticks; });
        timer.start(10);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(splash.Execute());
        QVERIFY(clock.elapsed() >= 150);
        QVERIFY(ticks >= 3);
    }

    void failingRunStillCloses()
    {
        TAHMSplashScreen splash;
        QPointer<QWidget> form;
        int done = 0;
        splash.OnRun = [&](QObject *sender) {
            form = qobject_cast<QWidget *>(sender);
            throw std::runtime_error("no");
        };
        splash.OnSplashDone = [&](QObject *) {
            QVERIFY(!form->isVisible());
            ++done;
        };
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, splash.Execute());
        QCOMPARE(done, 1);
        QVERIFY(form.isNull());
    }

    void ownerMustBeAWindow()
    {
        QWidget window;
        auto *control = new QWidget(&window);
        QObject plain;
        TAHMSplashScreen owned(&window);
        QCOMPARE(owned.parent(), &window);
        QVERIFY_THROWS_EXCEPTION(std::bad_cast, TAHMSplashScreen{control});
        QVERIFY_THROWS_EXCEPTION(std::bad_cast, TAHMSplashScreen{&plain});
    }
};

TOZELO_TEST_MAIN(TestTAHMSplashScreen)
#include "tst_TAHMSplashScreen.moc"
