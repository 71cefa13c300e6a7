// The main window under a real window manager (openbox) and tray host (trayer), worked with the X
// server's own pointer and keyboard: what the offscreen platform cannot show.
#include "FakeNetwork.h"
#include "TestMain.h"
#include "desktop/Desktop.h"
#include "gui/WindowSeams.h"
#include "main/MachineListView.h"
#include "main/Unit1.h"
#include "ping/Ping.h"
#include "widgets/FloatEdit.h"
#include "widgets/TNCButton.h"
#include "widgets/TransBtn.h"
#include "widgets/oxForm.h"

#include <QElapsedTimer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <memory>
#include <vector>

class tst_DesktopTForm1 : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void pinKeepsTheKeyboardAndTheMaximisedState();
    void captionTapMovesNothingAndDoubleClickMaximises();
    void trayHostGoingAwayShowsTheWindow();
    void stopPressedDuringAnEchoEndsTheScanThere();
    void rolledUpMaximisedAndRestoredComesBackWhole();

private:
    QPoint onScreen(const TNCButton *button) const { return m_form->mapToGlobal(button->Bounds().center()); }
    void clickPin() { Desktop::clickAt(onScreen(m_form->oxForm1->onTopButton())); }
    bool above() const { return Desktop::hasState(m_form.get(), "_NET_WM_STATE_ABOVE"); }

    // The window's ping components take their sockets from it, so that it opens for any user.
    FakeNetwork m_network;
    std::unique_ptr<WindowSeams> m_seams;
    std::unique_ptr<TForm1> m_form;
};

void tst_DesktopTForm1::init()
{
    m_seams = std::make_unique<WindowSeams>();
    m_form = std::make_unique<TForm1>();
    m_form->show();
    QVERIFY(Desktop::activate(m_form.get()));
}

void tst_DesktopTForm1::cleanup()
{
    m_form.reset();
    m_seams.reset();
}

// Each click of the pin leaves the keyboard with Tozelo, although another window was active before
// it; pinned while maximised the window stays maximised and comes back to its earlier size.
void tst_DesktopTForm1::pinKeepsTheKeyboardAndTheMaximisedState()
{
    QWidget other;
    other.setWindowTitle("other");
    other.resize(200, 100);
    other.show();
    QVERIFY(Desktop::activate(&other));
    QVERIFY(Desktop::activate(m_form.get()));
    m_form->ip03->clear();
    m_form->ip03->setFocus();

    clickPin();
    QTRY_VERIFY(above());
    QCOMPARE(Desktop::activeWindow(), m_form->winId());
    Desktop::key("7");
    QTRY_COMPARE(m_form->ip03->Text(), QString("7"));
    clickPin();
    QTRY_VERIFY(!above());
    QCOMPARE(Desktop::activeWindow(), m_form->winId());
    Desktop::key("8");
    QTRY_COMPARE(m_form->ip03->Text(), QString("78"));

    const QRect normal = m_form->geometry();
    m_form->showMaximized();
    QTRY_VERIFY(Desktop::hasState(m_form.get(), "_NET_WM_STATE_MAXIMIZED_VERT"));
    QTRY_VERIFY(m_form->isMaximized());
    QTRY_VERIFY(m_form->width() > normal.width());
    clickPin();
    QTRY_VERIFY(above());
    QVERIFY(Desktop::hasState(m_form.get(), "_NET_WM_STATE_MAXIMIZED_HORZ"));
    QVERIFY(m_form->isMaximized());
    m_form->showNormal();
    QTRY_COMPARE(m_form->geometry().size(), normal.size());
    QVERIFY(above());
}

// A press and release without delay moves nothing, whatever the pointer does next; two quick clicks
// maximise, two more restore.
void tst_DesktopTForm1::captionTapMovesNothingAndDoubleClickMaximises()
{
    ToxForm *caption = m_form->oxForm1;
    const QRect start = m_form->geometry();
    const QPoint title = m_form->mapToGlobal(caption->captionRect().center());
    Desktop::xdotool({"mousemove", QString::number(title.x()), QString::number(title.y()), "mousedown", "1", "mouseup",
                      "1", "mousemove", QString::number(title.x() + 60), QString::number(title.y() + 50)});
    // The pin answers only once the window manager has let go of the pointer.
    clickPin();
    QTRY_VERIFY(above());
    QCOMPARE(m_form->geometry(), start);

    Desktop::clickAt(title, 2);
    QTRY_VERIFY(m_form->isMaximized());
    QTRY_VERIFY(m_form->width() > start.width());
    Desktop::clickAt(m_form->mapToGlobal(caption->captionRect().center()), 2);
    QTRY_VERIFY(!m_form->isMaximized());
    QTRY_COMPARE(m_form->geometry().size(), start.size());
}

// Hidden in the tray, the window comes back when the tray host goes away, as nothing else could
// bring it back.
void tst_DesktopTForm1::trayHostGoingAwayShowsTheWindow()
{
    QProcess trayer;
    trayer.start("trayer", {"--edge", "top", "--align", "right", "--width", "10", "--height", "24"});
    QVERIFY2(trayer.waitForStarted(), qPrintable(trayer.errorString()));
    QTRY_VERIFY(QSystemTrayIcon::isSystemTrayAvailable());
    QTest::mouseClick(m_form->stry, Qt::LeftButton);
    QTRY_VERIFY(!m_form->isVisible());
    QVERIFY(m_form->oxForm1->trayIcon()->isVisible());

    trayer.kill();
    QVERIFY(trayer.waitForFinished());
    QTRY_VERIFY(m_form->isVisible());
    QVERIFY(!m_form->oxForm1->TrayEnabled());
}

// An echo to a silent host waits out its time-out in real time: meanwhile the window follows the
// window manager's move, and a click waits for the echo's end, so that Stop pressed during the
// first echo of a scan ends it after that echo's lines and before a second request.
void tst_DesktopTForm1::stopPressedDuringAnEchoEndsTheScanThere()
{
    constexpr int TimeoutMs = 3000;
    m_network.setPaced(true);
    m_form->N3Click();
    m_form->Ping2->SetTimeout(TimeoutMs);
    m_form->MipTimer1->SetInterval(5);
    QElapsedTimer clock;
    clock.start();
    qint64 movedMs = -1;
    std::vector<qint64> sentMs;
    const QPoint moved = m_form->pos() + QPoint(40, 30);
    m_network.setHost("198.18.0.1", [&](const FakeNetwork::Request &) {
        sentMs.push_back(clock.elapsed());
        Desktop::clickAt(m_form->MipStop->mapToGlobal(m_form->MipStop->rect().center()));
        Desktop::xdotool(
            {"windowmove", QString::number(m_form->winId()), QString::number(moved.x()), QString::number(moved.y())});
        return FakeNetwork::Response{};
    });
    m_network.setHost("198.18.0.2", [&](const FakeNetwork::Request &) {
        sentMs.push_back(clock.elapsed());
        return FakeNetwork::Response{};
    });
    const QPoint start = m_form->pos();
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (movedMs < 0 && m_form->pos() != start)
            movedMs = clock.elapsed();
    });
    watch.start(5);
    const QStringList octets = {"198", "18", "0", "1", "198", "18", "0", "2"};
    TFloatEdit *const fields[8] = {m_form->ip03, m_form->ip02, m_form->ip01, m_form->ip00,
                                   m_form->ip13, m_form->ip12, m_form->ip11, m_form->ip10};
    for (int i = 0; i < 8; ++i)
        fields[i]->SetText(octets[i]);

    QTest::mouseClick(m_form->MipPinG, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(m_form->MipPinG->isEnabled() && !m_form->MipTimer1->Enabled(), 4 * TimeoutMs);
    QCOMPARE(sentMs.size(), size_t(1));
    QVERIFY2(movedMs >= 0 && movedMs < sentMs[0] + TimeoutMs, qPrintable(QString::number(movedMs - sentMs[0])));
    QCOMPARE(linesOf(m_form->MDisplayMemo).last(), QString("==> Request timed out <=="));
}

// Maximised by the window manager while rolled up, the window rolls down; restored, it comes back
// at the size it had before the roll-up, not at the rolled one the window manager kept, and with
// its content whole.
void tst_DesktopTForm1::rolledUpMaximisedAndRestoredComesBackWhole()
{
    ToxForm *caption = m_form->oxForm1;
    const QSize normal = m_form->size();
    Desktop::clickAt(onScreen(caption->rollUpButton()));
    QTRY_VERIFY(caption->RollUp());
    QTRY_COMPARE(m_form->height(), 2 * caption->frameWidth() + caption->captionHeight());

    const QPoint title = m_form->mapToGlobal(caption->captionRect().center());
    Desktop::clickAt(title, 2);
    QTRY_VERIFY(Desktop::hasState(m_form.get(), "_NET_WM_STATE_MAXIMIZED_VERT"));
    QTRY_VERIFY(m_form->height() > normal.height());
    QVERIFY(!caption->RollUp());
    QTRY_VERIFY(m_form->ListView1->isVisible());

    Desktop::clickAt(m_form->mapToGlobal(caption->captionRect().center()), 2);
    QTRY_VERIFY(!Desktop::hasState(m_form.get(), "_NET_WM_STATE_MAXIMIZED_VERT"));
    QTRY_COMPARE(m_form->size(), normal);
    QVERIFY(!caption->RollUp());
    QVERIFY(m_form->ListView1->height() > 0);
}

TOZELO_TEST_MAIN(tst_DesktopTForm1)
#include "tst_TForm1.moc"
