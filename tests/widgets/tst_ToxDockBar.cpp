#include "TestMain.h"
#include "widgets/BandGradient.h"
#include "widgets/TDockForm.h"
#include "widgets/TDockTracker.h"
#include "widgets/ToxDockBack.h"
#include "widgets/ToxSpace.h"
#include "widgets/oxDockBr.h"

#include <QLabel>
#include <QSettings>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QtTest>
#include <memory>

// The dock bar: its line-up at every edge and floating, auto-size, moving between its site and
// the floating window by property, double click and drag, the lock, painting and the position file.
class TestToxDockBar : public QObject {
    Q_OBJECT

private:
    static QWidget *control(ToxDockBar *bar, int width, int height)
    {
        auto *widget = new QWidget(bar);
        widget->resize(width, height);
        return widget;
    }

    // A shown window without a layout; the bar places itself along its edges.
    static std::unique_ptr<QWidget> siteWindow()
    {
        auto site = std::make_unique<QWidget>();
        site->setGeometry(100, 100, 400, 300);
        return site;
    }

    static void show(QWidget &window)
    {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }

    static QPoint globalIn(const QWidget &window, int x, int y) { return window.mapToGlobal(QPoint(x, y)); }

    static void drag(ToxDockBar *bar, const QPoint &from, const QPoint &to)
    {
        QTest::mousePress(bar, Qt::LeftButton, {}, from);
        QTest::mouseMove(bar, bar->mapFromGlobal(to));
    }

private slots:
    // The main window's command bar: 478 wide, tallest button 27, border 4.
    void mainWindowBarLinesUpBetweenRightAlignedButtons()
    {
        QWidget site;
        site.resize(478, 200);
        auto *column = new QVBoxLayout(&site);
        column->setContentsMargins(0, 0, 0, 0);
        auto *bar = new ToxDockBar;
        bar->SetOptions(opAutoAlign | opAutoSize | opCloseBox | opLock | opSizeable | opDblClkDock);
        bar->SetDockHeight(35);
        column->addWidget(bar);
        column->addStretch(1);
        const QList<QWidget *> lined{control(bar, 89, 27), control(bar, 25, 25), control(bar, 2, 25),
                                     new ToxSpace(bar),    control(bar, 25, 25), new ToxSpace(bar),
                                     control(bar, 25, 25), control(bar, 25, 25), control(bar, 2, 25),
                                     control(bar, 25, 25), control(bar, 25, 25)};
        const QList<QWidget *> right{control(bar, 25, 25), control(bar, 25, 25), control(bar, 30, 25)};
        for (QWidget *button : right)
            bar->setControlAlign(button, caRight);
        show(site);

        QTRY_COMPARE(bar->geometry(), QRect(0, 0, 478, 35));
        QCOMPARE(bar->DockHeight(), 35);
        QCOMPARE(right[2]->geometry(), QRect(444, 4, 30, 27));
        QCOMPARE(right[1]->geometry(), QRect(419, 4, 25, 27));
        QCOMPARE(right[0]->geometry(), QRect(394, 4, 25, 27));
        int x = 4;
        for (QWidget *button : lined) {
            QCOMPARE(button->pos(), QPoint(x, 4 + (27 - button->height()) / 2));
            x += button->width();
        }
        QVERIFY(x <= right[0]->x());
    }

    void spacesSizeResizesEverySpacerAndLinesUpAgain()
    {
        ToxDockBar bar;
        QWidget *first = control(&bar, 20, 20);
        auto *space = new ToxSpace(&bar);
        auto *other = new ToxSpace(&bar);
        QWidget *last = control(&bar, 20, 20);
        bar.realign();
        QCOMPARE(space->size(), QSize(10, 10));
        space->resize(40, 3);
        QCOMPARE(space->size(), QSize(10, 10));
        QCOMPARE(last->x(), 4 + 20 + 10 + 10);

        bar.SetSpacesSize(16);
        QCOMPARE(space->size(), QSize(16, 16));
        QCOMPARE(other->size(), QSize(16, 16));
        QCOMPARE(space->pos(), QPoint(24, 4 + 2));
        QCOMPARE(last->x(), 4 + 20 + 16 + 16);
        QCOMPARE(first->x(), 4);

        space->setParent(nullptr);
        space->resize(40, 3);
        QCOMPARE(space->size(), QSize(40, 3));
        delete space;
    }

    // Moving to a side turns the row into a column in the same order; the order is the one the
    // controls last stood in, not the order they were made in.
    void sidesKeepTheLineUpOrder()
    {
        auto site = siteWindow();
        auto *bar = new ToxDockBar(site.get());
        QWidget *a = control(bar, 20, 10);
        QWidget *b = control(bar, 30, 12);
        QWidget *c = control(bar, 26, 14);
        show(*site);
        bar->realign();
        QCOMPARE(bar->geometry(), QRect(0, 0, 400, 14 + 8));
        c->move(0, c->y());
        bar->realign();
        QCOMPARE(c->x(), 4);
        QCOMPARE(a->x(), 30);
        QCOMPARE(b->x(), 50);

        int docked = 0;
        bar->OnDocked = [&docked](QObject *) { ++docked; };
        bar->SetDock(dkLeft);
        bar->SetDock(dkLeft);
        QCOMPARE(docked, 1);
        QCOMPARE(bar->geometry(), QRect(0, 0, 30 + 8, 300));
        QCOMPARE(bar->DockWidth(), 38);
        QCOMPARE(c->geometry(), QRect(4 + 2, 4, 26, 14));
        QCOMPARE(a->geometry(), QRect(4 + 5, 18, 20, 10));
        QCOMPARE(b->geometry(), QRect(4, 28, 30, 12));

        bar->SetDock(dkRight);
        QCOMPARE(bar->geometry(), QRect(400 - 38, 0, 38, 300));
        bar->SetDock(dkBottom);
        QCOMPARE(bar->geometry(), QRect(0, 300 - 22, 400, 22));
        QCOMPARE(c->x(), 4);
        QCOMPARE(a->x(), 30);
        site->resize(500, 350);
        QTRY_COMPARE(bar->geometry(), QRect(0, 350 - 22, 500, 22));
    }

    // Floating rows wrap at the bar's width; a spacer that would start a row is hidden instead,
    // and shows again once the row is wide enough.
    void floatingRowsWrapAndHideTheSpacerAtARowStart()
    {
        auto site = siteWindow();
        auto *bar = new ToxDockBar(site.get());
        bar->SetOptions(bar->Options() & ~opAutoSize);
        QWidget *a = control(bar, 40, 20);
        new ToxSpace(bar);
        QWidget *b = control(bar, 40, 20);
        auto *space = new ToxSpace(bar);
        QWidget *c = control(bar, 40, 16);
        show(*site);
        // Frame 4 and caption 16 around the bar, border 4 inside it: a 95-pixel row.
        bar->SetFloatLeft(150);
        bar->SetFloatTop(160);
        bar->SetFloatWidth(95 + 16);
        bar->SetFloatHeight(80);
        bar->SetDock(dkFloat);
        TDockForm *form = bar->dockForm();
        QVERIFY(form);
        QTRY_VERIFY(form->isVisible());
        QCOMPARE(form->geometry(), QRect(150, 160, 111, 80));
        QCOMPARE(bar->parentWidget(), form);
        QCOMPARE(bar->geometry(), QRect(4, 20, 103, 56));
        QCOMPARE(a->pos(), QPoint(4, 4));
        QCOMPARE(b->pos(), QPoint(54, 4));
        QVERIFY(space->isHidden());
        QCOMPARE(c->pos(), QPoint(4, 4 + 2 + 24));

        bar->SetFloatWidth(200);
        QVERIFY(!space->isHidden());
        QCOMPARE(space->pos(), QPoint(94, 4 + 5));
        QCOMPARE(c->pos(), QPoint(104, 4 + 2));
    }

    void floatingWindowFitsTheLineUpWithAutoSize()
    {
        auto site = siteWindow();
        auto *bar = new ToxDockBar(site.get());
        control(bar, 40, 20);
        control(bar, 30, 20);
        control(bar, 50, 20);
        show(*site);
        bar->SetDock(dkFloat);
        // One row: widths 120 and height 4 + 20, the bar's border around it, then frame and caption.
        QCOMPARE(QSize(bar->FloatWidth(), bar->FloatHeight()), QSize(120 + 8 + 8, 24 + 8 + 8 + 16));

        // Sizing the window narrower snaps it to two rows.
        TDockForm *form = bar->dockForm();
        QTRY_VERIFY(form->isVisible());
        const QPoint edge(form->width() - 2, form->height() / 2);
        QTest::mousePress(form, Qt::LeftButton, {}, edge);
        QTest::mouseMove(form, edge - QPoint(50, 0));
        QTest::mouseRelease(form, Qt::LeftButton, {}, edge - QPoint(50, 0));
        QCOMPARE(QSize(bar->FloatWidth(), bar->FloatHeight()), QSize(70 + 16, 48 + 8 + 8 + 16));
        QCOMPARE(form->size(), QSize(86, 80));
    }

    void dockingMovesTheBarOutOfItsLayoutSlotAndBack()
    {
        QWidget site;
        auto *column = new QVBoxLayout(&site);
        column->addWidget(new QLabel("above"));
        auto *bar = new ToxDockBar;
        column->addWidget(bar);
        column->addWidget(new QLabel("below"), 1);
        control(bar, 30, 20);
        show(site);
        QTRY_COMPARE(bar->height(), 28);

        bar->SetDock(dkFloat);
        QCOMPARE(column->indexOf(bar), -1);
        QTRY_VERIFY(bar->dockForm()->isVisible());
        QVERIFY(bar->isVisible());

        bar->SetDock(dkTop);
        QCOMPARE(bar->parentWidget(), &site);
        QCOMPARE(column->indexOf(bar), 1);
        QVERIFY(!bar->dockForm()->isVisible());
        QTRY_VERIFY(bar->isVisible());
        QCOMPARE(bar->height(), 28);
    }

    // The floating window hides and shows with its owner; closing it hides the bar.
    void floatingWindowFollowsItsOwnerAndItsCloseBox()
    {
        auto site = siteWindow();
        auto *bar = new ToxDockBar(site.get());
        bar->SetCaption("Herramientas");
        control(bar, 30, 20);
        show(*site);
        bar->SetDock(dkFloat);
        TDockForm *form = bar->dockForm();
        QTRY_VERIFY(form->isVisible());

        site->hide();
        QVERIFY(!form->isVisible());
        site->show();
        QTRY_VERIFY(form->isVisible());
        site->showMinimized();
        QTRY_VERIFY(!form->isVisible());
        site->showNormal();
        QTRY_VERIFY(form->isVisible());

        const QPoint box = form->closeBoxRect().center();
        QTest::mouseClick(form, Qt::LeftButton, {}, box);
        QVERIFY(!form->isVisible());
        QVERIFY(bar->isHidden());
        bar->show();
        QVERIFY(form->isVisible());
    }

    void autoHideShowsTheFloatingWindowOnlyWhileTheOwnerIsActive()
    {
        auto site = siteWindow();
        auto *bar = new ToxDockBar(site.get());
        bar->SetOptions(bar->Options() | opAutoHide);
        control(bar, 30, 20);
        show(*site);
        site->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(site.get()));
        bar->SetDock(dkFloat);
        QTRY_VERIFY(bar->dockForm()->isVisible());

        QWidget elsewhere;
        elsewhere.setGeometry(600, 100, 100, 100);
        show(elsewhere);
        elsewhere.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
        QTRY_VERIFY(!bar->dockForm()->isVisible());
        site->activateWindow();
        QTRY_VERIFY(bar->dockForm()->isVisible());
    }

    void doubleClickFloatsAndReturnsToTheLastEdgeUnlessLocked()
    {
        auto site = siteWindow();
        auto *bar = new ToxDockBar(site.get());
        control(bar, 30, 20);
        show(*site);
        bar->SetDock(dkRight);
        QTest::mouseDClick(bar, Qt::LeftButton, {}, QPoint(1, 1));
        QCOMPARE(bar->Dock(), dkFloat);
        TDockForm *form = bar->dockForm();
        QTest::mouseDClick(form, Qt::LeftButton, {}, form->captionRect().topLeft() + QPoint(5, 5));
        QCOMPARE(bar->Dock(), dkRight);

        // Locked, it neither floats nor drags.
        bar->SetOptions(bar->Options() | opLock);
        QTest::mouseDClick(bar, Qt::LeftButton, {}, QPoint(1, 1));
        QCOMPARE(bar->Dock(), dkRight);
        drag(bar, QPoint(1, 1), globalIn(*site, 200, 30));
        QVERIFY(!bar->dragging());
        QVERIFY(bar->dragOutline().isEmpty());
        QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->mapFromGlobal(globalIn(*site, 200, 30)));
        QCOMPARE(bar->Dock(), dkRight);
        bar->SetOptions(bar->Options() & ~(opLock | opAllowFloat));
        QTest::mouseDClick(bar, Qt::LeftButton, {}, QPoint(1, 1));
        QCOMPARE(bar->Dock(), dkRight);
    }

    void draggingDocksOverAZoneAndFloatsElsewhere()
    {
        auto site = siteWindow();
        auto *bar = new ToxDockBar(site.get());
        control(bar, 30, 20);
        show(*site);
        bar->realign();

        // Inside the double-click box the drag has not started.
        drag(bar, QPoint(1, 1), bar->mapToGlobal(QPoint(3, 3)));
        QVERIFY(!bar->dragging());
        QVERIFY(bar->dragOutline().isEmpty());

        QTest::mouseMove(bar, bar->mapFromGlobal(globalIn(*site, 10, 150)));
        QVERIFY(bar->dragging());
        QCOMPARE(bar->dragOutline(), QRect(globalIn(*site, 0, 0), QSize(38, 300)));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->mapFromGlobal(globalIn(*site, 10, 150)));
        QCOMPARE(bar->Dock(), dkLeft);
        QCOMPARE(bar->geometry(), QRect(0, 0, 38, 300));
        QVERIFY(bar->dragOutline().isEmpty());

        // Pressed 5 pixels into the bar, the floating outline keeps that grip.
        const QPoint middle = globalIn(*site, 200, 150);
        drag(bar, QPoint(5, 5), middle);
        QCOMPARE(bar->dragOutline().topLeft(), middle - QPoint(5, 5));
        QTest::mouseRelease(bar, Qt::LeftButton, {}, bar->mapFromGlobal(middle));
        QCOMPARE(bar->Dock(), dkFloat);
        QCOMPARE(QPoint(bar->FloatLeft(), bar->FloatTop()), middle - QPoint(5, 5));

        // Back by the floating window's caption into the top zone, 25 to 60 pixels down.
        TDockForm *form = bar->dockForm();
        const QPoint caption = form->captionRect().topLeft() + QPoint(5, 5);
        QTest::mousePress(form, Qt::LeftButton, {}, caption);
        QTest::mouseMove(form, form->mapFromGlobal(globalIn(*site, 200, 30)));
        QCOMPARE(bar->dragOutline(), QRect(globalIn(*site, 0, 0), QSize(400, 28)));
        QTest::mouseRelease(form, Qt::LeftButton, {}, form->mapFromGlobal(globalIn(*site, 200, 30)));
        QCOMPARE(bar->Dock(), dkTop);
        QCOMPARE(bar->parentWidget(), site.get());
    }

    void zonesFollowTheOptions()
    {
        const QRect window(100, 100, 400, 300);
        const auto zone = [&window](int x, int y, ToxDockOptions options = opAllowTopBtmDock | opAllowSideDock) {
            const std::optional<TDockAlign> found = TDockTracker::zoneAt(window, QPoint(x, y), options);
            return found ? int(*found) : -1;
        };
        QCOMPARE(zone(300, 124), -1);
        QCOMPARE(zone(300, 125), int(dkTop));
        QCOMPARE(zone(300, 159), int(dkTop));
        QCOMPARE(zone(110, 160), int(dkLeft));
        QCOMPARE(zone(110, 124), -1);
        QCOMPARE(zone(480, 200), int(dkRight));
        QCOMPARE(zone(300, 380), int(dkBottom));
        QCOMPARE(zone(300, 250), -1);
        QCOMPARE(zone(300, 130, opAllowSideDock), -1);
        QCOMPARE(zone(110, 160, opAllowTopBtmDock), -1);
        QCOMPARE(zone(90, 160), -1);
    }

    // Caption colour at the left fading to the bar's button-face colour at the right, inside a
    // ring (shadow, highlight) and a ring (highlight, shadow).
    void gradientBackgroundAndDockedFrame()
    {
        ToxDockBar bar;
        bar.resize(256, 35);
        bar.Background()->SetStyle(oxdGradient);
        bar.Background()->SetGradient(colorActiveCaption);
        TBandGradient expected;
        expected.SetStartColor(toRgbColor(colorActiveCaption));
        expected.SetEndColor(toRgbColor(colorBtnFace));
        const QImage &image = bar.image();
        QCOMPARE(image.pixel(2, 17), expected.colorTable()[1]);
        QCOMPARE(image.pixel(200, 17), expected.colorTable()[100]);
        QCOMPARE(image.pixel(253, 17), expected.colorTable()[126]);
        QCOMPARE(image.pixel(0, 17), toQColor(colorBtnShadow).rgb());
        QCOMPARE(image.pixel(255, 17), toQColor(colorBtnHighlight).rgb());
        QCOMPARE(image.pixel(1, 17), toQColor(colorBtnHighlight).rgb());
        QCOMPARE(image.pixel(254, 17), toQColor(colorBtnShadow).rgb());

        bar.SetStyle(oxdWin31);
        QCOMPARE(bar.image().pixel(0, 17), toQColor(colorWindowFrame).rgb());
        bar.Background()->SetStyle(oxdSolid);
        bar.SetColor(colorBlue);
        QCOMPARE(bar.image().pixel(100, 17), qRgb(0, 0, 255));
    }

    void win97EtchesASeparatorAtEverySpacer()
    {
        ToxDockBar bar;
        bar.resize(200, 40);
        bar.SetStyle(oxdWin97);
        bar.SetColor(colorBlack);
        control(&bar, 20, 24);
        new ToxSpace(&bar);
        bar.realign();
        QCOMPARE(bar.height(), 24 + 8);
        const QImage &image = bar.image();
        // The spacer covers 24..33; the lines stand at 28 and 29, as tall as the row.
        QCOMPARE(image.pixel(28, 4), toQColor(colorBtnShadow).rgb());
        QCOMPARE(image.pixel(29, 4), toQColor(colorBtnHighlight).rgb());
        QCOMPARE(image.pixel(28, 27), toQColor(colorBtnShadow).rgb());
        QCOMPARE(image.pixel(28, 28), qRgb(0, 0, 0));
        QCOMPARE(image.pixel(27, 8), qRgb(0, 0, 0));
        QCOMPARE(image.pixel(30, 8), qRgb(0, 0, 0));
    }

    void positionFileIsReadOnLoadAndWrittenOnDestruction()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath("tozelo.ini");
        {
            QSettings file(path, QSettings::IniFormat);
            file.beginGroup("oxDockBar9");
            file.setValue("FloatLeft", "0x20");
            file.setValue("FloatTop", "-50");
            file.setValue("FloatWidth", "120");
            file.setValue("FloatHeight", "bad");
            file.setValue("Dock", 3);
        }
        auto site = siteWindow();
        auto *bar = new ToxDockBar(site.get());
        bar->setObjectName("oxDockBar9");
        bar->setIniFileName(path);
        bar->SetOptions(bar->Options() | opAutoSave);
        bar->SetFloatHeight(60);
        control(bar, 30, 20);
        show(*site);
        bar->Loaded();
        QCOMPARE(bar->Dock(), dkLeft);
        QCOMPARE(QRect(bar->FloatLeft(), bar->FloatTop(), bar->FloatWidth(), bar->FloatHeight()),
                 QRect(32, 0, 120, 60));

        bar->SetFloatLeft(5000);
        bar->SetDock(dkBottom);
        delete bar;
        QSettings file(path, QSettings::IniFormat);
        file.beginGroup("oxDockBar9");
        QCOMPARE(file.value("FloatLeft").toInt(), 5000);
        QCOMPARE(file.value("Dock").toInt(), int(dkBottom));

        // Back on the screen when read again.
        auto *again = new ToxDockBar(site.get());
        again->setObjectName("oxDockBar9");
        again->setIniFileName(path);
        again->SetOptions(again->Options() | opAutoSave);
        again->Loaded();
        QCOMPARE(again->FloatLeft(), QGuiApplication::primaryScreen()->geometry().width() - 120);
        QCOMPARE(again->Dock(), dkBottom);
    }

    void withoutAutoSaveNoFileIsTouched()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath("tozelo.ini");
        {
            ToxDockBar bar;
            bar.setObjectName("oxDockBar2");
            bar.setIniFileName(path);
            bar.Loaded();
        }
        QVERIFY(!QFile::exists(path));
    }

    // A floating bar deleted with its window, or on its own, takes the floating window along.
    void floatingBarDiesCleanly()
    {
        auto site = siteWindow();
        auto *bar = new ToxDockBar(site.get());
        control(bar, 30, 20);
        show(*site);
        bar->SetDock(dkFloat);
        QPointer<TDockForm> form = bar->dockForm();
        delete bar;
        QVERIFY(form.isNull());

        auto *other = new ToxDockBar(site.get());
        other->SetDock(dkFloat);
        QPointer<ToxDockBar> watched = other;
        site.reset();
        QVERIFY(watched.isNull());
    }
};

TOZELO_TEST_MAIN(TestToxDockBar)
#include "tst_ToxDockBar.moc"
