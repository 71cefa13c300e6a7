#include "TestMain.h"
#include "widgets/ToxScrollPane.h"
#include "widgets/oxSplits.h"

#include <QtTest>
#include <memory>

// The split panes of the main window's lower half: bar positions, pane rectangles, dragging and
// the frames around the panes.
class TestToxSplit : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<ToxSplit> m_split;
    ToxScrollPane *m_left = nullptr;
    ToxScrollPane *m_right = nullptr;

    // Left and right edges of a pane, the right one excluded.
    static QPair<int, int> edges(const QWidget *pane) { return {pane->x(), pane->x() + pane->width()}; }

    static void hover(QWidget *widget, const QPoint &point)
    {
        QMouseEvent move(QEvent::MouseMove, point, widget->mapToGlobal(point), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(widget, &move);
    }

    void dragBar(int fromX, int toX)
    {
        QTest::mousePress(m_split.get(), Qt::LeftButton, {}, QPoint(fromX, 50));
        QTest::mouseMove(m_split.get(), QPoint(toX, 50));
        QTest::mouseRelease(m_split.get(), Qt::LeftButton, {}, QPoint(toX, 50));
    }

private slots:
    // The main window's settings, at the width it opens with.
    void init()
    {
        m_split = std::make_unique<ToxSplit>();
        m_left = new ToxScrollPane(m_split.get());
        m_right = new ToxScrollPane(m_split.get());
        m_split->SetBorderStyle(bsNone);
        m_split->SetColor(colorWhite);
        m_split->SetPercentX(76);
        m_split->SetPercentY(18);
        m_split->SetOptions(oxsSaveAsPercent);
        m_split->resize(478, 200);
        m_split->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_split.get()));
    }

    void cleanup() { m_split.reset(); }

    void panesKeepTheirShareWhenTheSplitGrows()
    {
        QCOMPARE(m_split->Panes().size(), std::size_t(2));
        QCOMPARE(m_split->PositionX(), 355);
        QCOMPARE(edges(m_left), qMakePair(2, 355));
        QCOMPARE(edges(m_right), qMakePair(361, 476));
        QCOMPARE(m_left->y(), 2);
        QCOMPARE(m_left->height(), 196);

        m_split->resize(878, 200);
        QTRY_COMPARE(m_split->PositionX(), 659);
        QCOMPARE(m_split->PercentX(), 76);
        QCOMPARE(edges(m_right), qMakePair(665, 876));
    }

    void dragToTheFarRightMovesOnlyTheLineUntilRelease()
    {
        int changes = 0;
        m_split->OnChange = [&changes](QObject *) { ++changes; };
        const QImage before = m_split->grab().toImage();
        QTest::mousePress(m_split.get(), Qt::LeftButton, {}, QPoint(358, 50));
        QTest::mouseMove(m_split.get(), QPoint(2000, 50));
        QCOMPARE(m_split->PositionX(), 355);
        // The mouse stops at 473 and the grab point is 1 pixel into the bar: the line covers 472 to 477.
        const QImage tracking = m_split->grab().toImage();
        QCOMPARE(tracking.pixel(474, 100), before.pixel(474, 100) ^ 0x00FFFFFF);
        QCOMPARE(tracking.pixel(477, 100), before.pixel(477, 100) ^ 0x00FFFFFF);
        QCOMPARE(tracking.pixel(471, 100), before.pixel(471, 100));
        QTest::mouseRelease(m_split.get(), Qt::LeftButton, {}, QPoint(2000, 50));

        QCOMPARE(m_split->PositionX(), 470);
        QCOMPARE(m_split->PercentX(), 100);
        QCOMPARE(changes, 1);
        // The line is gone: what shows there is the split's own painting.
        QCOMPARE(m_split->grab().toImage().pixel(474, 100), m_split->image().pixel(474, 100));

        m_split->resize(479, 200);
        QTRY_COMPARE(m_split->PositionX(), 469);
    }

    void autoUpdateMovesThePanesWhileDragging()
    {
        m_split->SetAutoUpdate(true);
        QTest::mousePress(m_split.get(), Qt::LeftButton, {}, QPoint(358, 50));
        QTest::mouseMove(m_split.get(), QPoint(208, 50));
        QCOMPARE(m_split->PositionX(), 205);
        QCOMPARE(edges(m_right), qMakePair(211, 476));
        QTest::mouseRelease(m_split.get(), Qt::LeftButton, {}, QPoint(208, 50));
        QCOMPARE(m_split->PercentX(), 205 * 100 / 468);
    }

    void barShowsTheSplitCursorUnlessLocked()
    {
        hover(m_split.get(), QPoint(358, 50));
        QCOMPARE(m_split->cursor().shape(), Qt::SplitHCursor);
        hover(m_split.get(), QPoint(100, 50));
        QCOMPARE(m_split->cursor().shape(), Qt::ArrowCursor);

        m_split->SetLocked(true);
        hover(m_split.get(), QPoint(358, 50));
        QCOMPARE(m_split->cursor().shape(), Qt::ArrowCursor);
        dragBar(358, 100);
        QCOMPARE(m_split->PositionX(), 355);
    }

    void onePaneFillsTheSplitWithoutBars()
    {
        delete m_right;
        QCOMPARE(m_split->Panes().size(), std::size_t(1));
        QCOMPARE(m_left->geometry(), QRect(2, 2, 474, 196));
        hover(m_split.get(), QPoint(358, 50));
        QCOMPARE(m_split->cursor().shape(), Qt::ArrowCursor);
        dragBar(358, 100);
        QCOMPARE(m_split->PositionX(), 355);
    }

    void hiddenPaneGivesWayOnlyWithHideInvisible()
    {
        m_left->hide();
        QCOMPARE(edges(m_right), qMakePair(361, 476));
        m_split->SetOptions(oxsSaveAsPercent | oxsHideInvisible);
        QCOMPARE(m_right->geometry(), QRect(2, 2, 474, 196));
        m_left->show();
        QCOMPARE(edges(m_right), qMakePair(361, 476));
    }

    void paneIndexReordersThePanes()
    {
        m_right->SetPaneIndex(0);
        QCOMPARE(m_right->PaneIndex(), 0);
        QCOMPARE(edges(m_right), qMakePair(2, 355));
        m_right->SetPaneIndex(7);
        QCOMPARE(m_right->PaneIndex(), 1);
    }

    void positionsAndPercentsFollowEachOther()
    {
        m_split->SetPositionX(-5);
        QCOMPARE(m_split->PositionX(), 0);
        QCOMPARE(m_split->PercentX(), 0);
        m_split->SetPercentX(50);
        QCOMPARE(m_split->PositionX(), 234);
        m_split->SetOptions(oxsVer1Compat);
        m_split->SetPositionX(900);
        QCOMPARE(m_split->PositionX(), 468);
    }

    void onResizeIsNotReentered()
    {
        int calls = 0;
        m_split->OnResize = [this, &calls](QObject *) {
            ++calls;
            m_split->SetPositionX(m_split->PositionX() + 1);
        };
        m_split->SetPositionX(100);
        QCOMPARE(calls, 1);
        QCOMPARE(m_split->PositionX(), 101);
    }

    void threePanesStackOnTheRightOfTheVerticalBar()
    {
        auto *third = new ToxScrollPane(m_split.get());
        third->show();
        // maxY = 200 - 4 - 6 = 190; 18 % of it is 34.
        QCOMPARE(m_split->PositionY(), 34);
        QCOMPARE(m_left->geometry(), QRect(2, 2, 353, 196));
        QCOMPARE(m_right->geometry(), QRect(361, 2, 115, 32));
        QCOMPARE(third->geometry(), QRect(361, 40, 115, 158));
        hover(m_split.get(), QPoint(400, 37));
        QCOMPARE(m_split->cursor().shape(), Qt::SplitVCursor);
        hover(m_split.get(), QPoint(358, 37));
        QCOMPARE(m_split->cursor().shape(), Qt::SizeAllCursor);
    }

    void win95FramesEachPaneWithTwoRings()
    {
        const QImage image = m_split->image();
        const QRgb shadow = toQColor(colorBtnShadow).rgb();
        const QRgb highlight = toQColor(colorBtnHighlight).rgb();
        const QRgb frame = toQColor(colorWindowFrame).rgb();
        const QRgb face = toQColor(colorBtnFace).rgb();
        QCOMPARE(image.pixel(0, 100), shadow);
        QCOMPARE(image.pixel(1, 100), frame);
        QCOMPARE(image.pixel(356, 100), highlight);
        QCOMPARE(image.pixel(355, 100), face);
        QCOMPARE(image.pixel(357, 100), qRgb(255, 255, 255));
        QCOMPARE(image.pixel(359, 100), shadow);
        QCOMPARE(image.pixel(100, 199), highlight);
    }
};

TOZELO_TEST_MAIN(TestToxSplit)
#include "tst_ToxSplit.moc"
