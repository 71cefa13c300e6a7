// The range scan page as a user drives it, over the scripted network (every 127.x address answers): the
// buttons through the states of the scan, the octets from the keyboard, the checks before a ping, and the log.
#include "FakeNetwork.h"
#include "TestMain.h"
#include "gui/WindowSeams.h"
#include "main/MachineListView.h"
#include "main/MachineMemo.h"
#include "main/Unit1.h"
#include "ping/Ping.h"
#include "widgets/FloatEdit.h"
#include "widgets/TNCButtonFocus.h"
#include "widgets/TransBtn.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QRegularExpression>
#include <QtTest>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace {
// As a keyboard delivers a key: the release goes to wherever the press left the focus.
void stroke(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QTest::keyPress(QApplication::focusWidget(), key, modifiers);
    QTest::keyRelease(QApplication::focusWidget(), key, modifiers);
}

QWidget *focus()
{
    return QApplication::focusWidget();
}
} // namespace

class tst_RangeScanPage : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void scanToAnInclusiveEnd_data();
    void scanToAnInclusiveEnd();
    void haltPausesAndResumes();
    void emptyFieldHoldsTheScan();
    void octetsFromTheKeyboard();
    void keyboardStartLeavesTheScanRunning();
    void wrongRangeSendsNothing_data();
    void wrongRangeSendsNothing();
    void pastedOctetSendsNothing_data();
    void pastedOctetSendsNothing();
    void endIsReadAtEveryTick_data();
    void endIsReadAtEveryTick();
    void haltShowsItsOwnDisabledPicture();
    void windowTurnsWhileAnEchoIsAwaited();

private:
    void type(const QString &start, const QString &end);
    QString state() const;
    QStringList found() const { return m_form->ips->list().lines(); }

    FakeNetwork m_network;
    std::unique_ptr<WindowSeams> m_seams;
    std::unique_ptr<TForm1> m_form;
};

void tst_RangeScanPage::init()
{
    m_seams = std::make_unique<WindowSeams>();
    m_form = std::make_unique<TForm1>();
    m_form->show();
    m_form->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
}

void tst_RangeScanPage::cleanup()
{
    m_form.reset();
    m_seams.reset();
}

void tst_RangeScanPage::type(const QString &start, const QString &end)
{
    const QStringList octets = start.split('.') + end.split('.');
    TFloatEdit *const fields[8] = {m_form->ip03, m_form->ip02, m_form->ip01, m_form->ip00,
                                   m_form->ip13, m_form->ip12, m_form->ip11, m_form->ip10};
    for (int i = 0; i < 8; ++i)
        fields[i]->SetText(octets.value(i));
}

// The state table of the page: Multi PinG, Halt, and whether the timer is switched on.
QString tst_RangeScanPage::state() const
{
    const QList<bool> seen = {m_form->MipPinG->isEnabled(), m_form->mipHalt->isEnabled(), m_form->MipTimer1->Enabled()};
    if (seen == QList<bool>{true, false, false})
        return "Idle";
    if (seen == QList<bool>{false, true, true})
        return "Running";
    if (seen == QList<bool>{false, true, false})
        return "Paused";
    return "?";
}

void tst_RangeScanPage::scanToAnInclusiveEnd_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QStringList>("pinged");
    QTest::newRow("across a /24") << "127.0.0.254"
                                  << "127.0.1.2" << QStringList{"127.0.0.254", "127.0.0.255", "127.0.1.1", "127.0.1.2"};
    QTest::newRow("start equals end") << "127.0.0.9"
                                      << "127.0.0.9" << QStringList{"127.0.0.9"};
}

// The real timer drives the scan; the last tick's log stays on the page.
void tst_RangeScanPage::scanToAnInclusiveEnd()
{
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QStringList, pinged);
    m_form->addico("127.0.0.50", 3);
    m_form->MipTimer1->SetInterval(5);
    type(start, end);
    QTest::mouseClick(m_form->MipPinG, Qt::LeftButton);
    QCOMPARE(state(), QString("Running"));
    QTRY_COMPARE(state(), QString("Idle"));
    QCOMPARE(found(), QStringList{"127.0.0.50"} + pinged);
    QCOMPARE(m_form->statusPanel(0), QString("Encontradas %1 Maquinas").arg(pinged.size() + 1));
    QCOMPARE(m_form->lipo->text(), end);
    const QStringList log = linesOf(m_form->MDisplayMemo);
    QCOMPARE(log.mid(0, 2), QStringList({"Resolving host :" + end, "Sending 56 bytes to " + end + " (" + end + ")"}));
    const QRegularExpression answer("^Recividos 56 bytes desde " + QRegularExpression::escape(end) + " en \\d+ mSecs$");
    QVERIFY2(log.size() == 3 && answer.match(log[2]).hasMatch(), qPrintable(log.join('|')));
    QVERIFY(m_seams->messages.isEmpty() && m_seams->reports.isEmpty());
}

void tst_RangeScanPage::haltPausesAndResumes()
{
    type("127.0.0.1", "127.0.0.5");
    m_form->MipTimer1->SetInterval(60000);
    m_form->mipHaltClick();
    QCOMPARE(state(), QString("Idle"));

    QTest::mouseClick(m_form->MipPinG, Qt::LeftButton);
    m_form->MipTimer1Timer();
    QTest::mouseClick(m_form->mipHalt, Qt::LeftButton);
    QCOMPARE(state(), QString("Paused"));
    QTest::mouseClick(m_form->mipHalt, Qt::LeftButton);
    QCOMPARE(state(), QString("Running"));
    m_form->MipTimer1Timer();
    QCOMPARE(m_form->lipo->text(), QString("127.0.0.2"));

    // The single ping page pauses the scan without the Stop steps; Halt resumes it.
    m_form->Sible1Click();
    m_form->N3Click();
    QCOMPARE(state(), QString("Paused"));
    QTest::mouseClick(m_form->mipHalt, Qt::LeftButton);
    m_form->MipTimer1Timer();
    QCOMPARE(m_form->lipo->text(), QString("127.0.0.3"));

    QTest::mouseClick(m_form->MipStop, Qt::LeftButton);
    QCOMPARE(state(), QString("Idle"));
    QCOMPARE(m_form->statusPanel(0), QString("Encontradas 3 Maquinas"));
}

void tst_RangeScanPage::emptyFieldHoldsTheScan()
{
    type("127.0.0.1", "127.0.0.5");
    m_form->MipTimer1->SetInterval(60000);
    QTest::mouseClick(m_form->MipPinG, Qt::LeftButton);
    m_form->MipTimer1Timer();
    const QStringList log = linesOf(m_form->MDisplayMemo);

    m_form->ip00->clear();
    m_form->MipTimer1Timer();
    QVERIFY(m_form->MipPinG->isEnabled() && m_form->MipTimer1->isActive());
    QCOMPARE(linesOf(m_form->MDisplayMemo), log);

    QTest::keyClick(m_form->ip00, Qt::Key_7);
    m_form->MipTimer1Timer();
    QCOMPARE(found(), QStringList({"127.0.0.1", "127.0.0.2"}));
}

// Tab and Shift+Tab run from the caption through every octet and back, full octets included; keys
// that only move the cursor leave a full octet where it is, and only the third digit typed moves on.
// The end address follows the start's first three octets as they are typed, and only then.
void tst_RangeScanPage::octetsFromTheKeyboard()
{
    TForm1 &form = *m_form;
    const QList<QWidget *> octets = {form.ip03, form.ip02, form.ip01, form.ip00,
                                     form.ip13, form.ip12, form.ip11, form.ip10};
    form.ip03->setFocus(Qt::TabFocusReason);
    stroke(Qt::Key_Backtab, Qt::ShiftModifier);
    QWidget *caption = focus();
    QVERIFY(qobject_cast<TNCButtonFocus *>(caption));
    QList<QWidget *> visited;
    for (int i = 0; i < octets.size(); ++i) {
        stroke(Qt::Key_Tab);
        visited << focus();
    }
    QCOMPARE(visited, octets);
    visited.clear();
    for (int i = 0; i < octets.size(); ++i) {
        stroke(Qt::Key_Backtab, Qt::ShiftModifier);
        visited << focus();
    }
    QCOMPARE(visited, QList<QWidget *>(octets.rbegin() + 1, octets.rend()) << caption);

    QTest::mouseClick(form.ip03, Qt::LeftButton);
    for (Qt::Key key : {Qt::Key_End, Qt::Key_Home, Qt::Key_Right, Qt::Key_Left, Qt::Key_Up, Qt::Key_Down}) {
        stroke(key);
        QVERIFY2(focus() == form.ip03, qPrintable(QKeySequence(key).toString()));
    }
    QCOMPARE(form.ip03->Text(), QString("192"));
    stroke(Qt::Key_End);
    stroke(Qt::Key_Backspace);
    stroke(Qt::Key_Backspace);
    QCOMPARE(form.ip13->Text(), QString("1"));
    stroke(Qt::Key_0);
    QCOMPARE(focus(), form.ip03);
    stroke(Qt::Key_7);
    QCOMPARE(form.ip13->Text(), QString("107"));
    QCOMPARE(focus(), form.ip02);

    form.ip02->clear();
    stroke(Qt::Key_7);
    QCOMPARE(form.ip12->Text(), QString("7"));
    QCOMPARE(focus(), form.ip02);
    form.ip01->clear();
    QTest::keyClicks(form.ip01, "123");
    QCOMPARE(form.ip11->Text(), QString("123"));
    form.ip00->clear();
    QTest::keyClicks(form.ip00, "9");
    QCOMPARE(form.ip10->Text(), QString("255"));
    form.ip03->SetText("10");
    QCOMPARE(form.ip13->Text(), QString("107"));
}

// Multi PinG pressed from the keyboard hands the keyboard to the range, not to Stop: a second Space
// leaves the scan running. Once the scan ends the keyboard is back on Multi PinG, unless the user
// typed meanwhile.
void tst_RangeScanPage::keyboardStartLeavesTheScanRunning()
{
    type("127.0.0.1", "127.0.0.2");
    m_form->MipTimer1->SetInterval(60000);
    m_form->MipPinG->setFocus(Qt::TabFocusReason);
    stroke(Qt::Key_Space);
    QCOMPARE(state(), QString("Running"));
    QCOMPARE(focus(), m_form->ip10);
    stroke(Qt::Key_Space);
    QCOMPARE(state(), QString("Running"));
    QCOMPARE(m_form->ip10->Text(), QString("2"));
    m_form->MipTimer1Timer();
    m_form->MipTimer1Timer();
    QCOMPARE(state(), QString("Idle"));
    QCOMPARE(focus(), m_form->MipPinG);

    stroke(Qt::Key_Space);
    QCOMPARE(focus(), m_form->ip10);
    stroke(Qt::Key_Backspace);
    QTest::mouseClick(m_form->MipStop, Qt::LeftButton);
    QCOMPARE(state(), QString("Idle"));
    QCOMPARE(focus(), m_form->ip10);
}

void tst_RangeScanPage::wrongRangeSendsNothing_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("end");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("octet above 255") << "127.0.0.1"
                                     << "127.0.0.300"
                                     << QStringList{"Error : Su Ip es erronea . Un number is superior to 255"};
    QTest::newRow("start above end") << "127.0.0.100"
                                     << "127.0.0.50"
                                     << QStringList{"El Ip de inicio es superior a de destino  .",
                                                    "Si Ud quiere que esto funcione entonces",
                                                    "El Ip de inicio debe ser menor que el de inicio OK?",
                                                    "( the Ip of beginning should be minor that the of destination )"};
}

void tst_RangeScanPage::wrongRangeSendsNothing()
{
    QFETCH(QString, start);
    QFETCH(QString, end);
    QFETCH(QStringList, lines);
    type(start, end);
    m_form->MipTimer1->SetInterval(5);
    QTest::mouseClick(m_form->MipPinG, Qt::LeftButton);
    QTRY_COMPARE(m_seams->messages.size(), 1);
    const WindowSeams::Message &message = m_seams->messages[0];
    QCOMPARE(message.title, QString("Error"));
    QCOMPARE(message.icon, QMessageBox::Critical);
    QCOMPARE(message.sound, 0x10u);
    QCOMPARE(message.lines, lines);
    QCOMPARE(state(), QString("Idle"));
    QCOMPARE(m_form->statusPanel(0), QString("Encontradas 0 Maquinas"));
    QVERIFY(linesOf(m_form->MDisplayMemo).isEmpty());
    QVERIFY(found().isEmpty());
}

void tst_RangeScanPage::pastedOctetSendsNothing_data()
{
    QTest::addColumn<QString>("pasted");
    QTest::addColumn<QStringList>("message");
    QTest::addColumn<QStringList>("reports");
    QTest::newRow("negative") << "-5" << QStringList{"Error : Su Ip es erronea . Un number is superior to 255"}
                              << QStringList{};
    QTest::newRow("decimal") << "1.5" << QStringList{} << QStringList{"'1.5' is not a valid integer value"};
    QTest::newRow("letters") << "7a" << QStringList{} << QStringList{"'7a' is not a valid integer value"};
}

// The context menu's Paste puts any text into an octet field; the scan refuses it once, with its
// message, before it makes an address of it.
void tst_RangeScanPage::pastedOctetSendsNothing()
{
    QFETCH(QString, pasted);
    QFETCH(QStringList, message);
    QFETCH(QStringList, reports);
    type("127.0.0.1", "127.0.0.3");
    QApplication::clipboard()->setText(pasted);
    m_form->ip00->selectAll();
    m_form->ip00->paste();
    QCOMPARE(m_form->ip00->Text(), pasted);
    m_form->MipTimer1->SetInterval(5);
    QTest::mouseClick(m_form->MipPinG, Qt::LeftButton);
    QTRY_COMPARE(state(), QString("Idle"));
    QCOMPARE(m_seams->messages.size(), message.isEmpty() ? 0 : 1);
    if (!message.isEmpty())
        QCOMPARE(m_seams->messages[0].lines, message);
    QCOMPARE(m_seams->reports, reports);
    QCOMPARE(m_form->lipo->text(), QString("Zarvo SoftWare"));
    QVERIFY(linesOf(m_form->MDisplayMemo).isEmpty());
    QVERIFY(found().isEmpty());
}

void tst_RangeScanPage::endIsReadAtEveryTick_data()
{
    QTest::addColumn<QString>("end");
    QTest::addColumn<int>("last");
    QTest::addColumn<int>("messages");
    QTest::addColumn<QStringList>("reports");
    QTest::newRow("below the next address") << "3" << 3 << 0 << QStringList();
    QTest::newRow("at the next address") << "4" << 4 << 0 << QStringList();
    QTest::newRow("raised") << "7" << 7 << 0 << QStringList();
    QTest::newRow("above 255") << "300" << 3 << 1 << QStringList();
    QTest::newRow("no number") << "1.5" << 3 << 0 << QStringList{"'1.5' is not a valid integer value"};
}

// The end typed while a scan runs counts from the next tick on: below the next address the scan
// ends with its count; a wrong value stops it as it would at the start.
void tst_RangeScanPage::endIsReadAtEveryTick()
{
    QFETCH(QString, end);
    QFETCH(int, last);
    QFETCH(int, messages);
    QFETCH(QStringList, reports);
    type("127.0.0.1", "127.0.0.5");
    m_form->MipTimer1->SetInterval(60000);
    QTest::mouseClick(m_form->MipPinG, Qt::LeftButton);
    for (int i = 0; i < 3; ++i)
        m_form->MipTimer1Timer();
    m_form->ip10->SetText(end);
    for (int i = 0; i < 10 && state() != "Idle"; ++i)
        m_form->MipTimer1Timer();
    QCOMPARE(state(), QString("Idle"));
    QStringList pinged;
    for (int octet = 1; octet <= last; ++octet)
        pinged << QString("127.0.0.%1").arg(octet);
    QCOMPARE(found(), pinged);
    QCOMPARE(m_form->statusPanel(0), QString("Encontradas %1 Maquinas").arg(last));
    QCOMPARE(m_seams->messages.size(), messages);
    QCOMPARE(m_seams->reports, reports);
}

// Halt, disabled until a scan starts, carries a second picture for that state and shows it then.
void tst_RangeScanPage::haltShowsItsOwnDisabledPicture()
{
    TTransparentButton *halt = m_form->mipHalt;
    QCOMPARE(halt->Caption(), QString("Halt"));
    QCOMPARE(halt->NumGlyphs(), 2);
    const auto glyphShown = [halt](const QImage &cell) {
        const QImage shown = halt->image();
        const QPoint at(halt->Spacing(), (halt->height() - cell.height()) / 2);
        int opaque = 0;
        for (int y = 0; y < cell.height(); ++y) {
            for (int x = 0; x < cell.width(); ++x) {
                if (qAlpha(cell.pixel(x, y)) < 255)
                    continue;
                ++opaque;
                if (shown.pixel(at + QPoint(x, y)) != cell.pixel(x, y))
                    return false;
            }
        }
        return opaque > 0;
    };
    const QImage disabledCell = halt->glyphImages()[1];
    QVERIFY(glyphShown(disabledCell));
    type("127.0.0.1", "127.0.0.5");
    m_form->MipTimer1->SetInterval(60000);
    QTest::mouseClick(m_form->MipPinG, Qt::LeftButton);
    QVERIFY(halt->isEnabled());
    QVERIFY(!glyphShown(disabledCell));
}

TOZELO_TEST_MAIN(tst_RangeScanPage)
namespace {
// When, on the scripted network's clock, the window first handled each kind of event watched.
class TurnWatch : public QObject {
public:
    TurnWatch(QWidget *window, const FakeNetwork &network) : m_network(network) { window->installEventFilter(this); }
    std::map<QEvent::Type, int> firstMs;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        firstMs.emplace(event->type(), m_network.elapsedMs());
        return false;
    }

private:
    const FakeNetwork &m_network;
};
} // namespace

// A silent host keeps an echo waiting for its whole time-out: meanwhile the window repaints, moves
// and closes at once, and a tick of the scan waits for the echo's end rather than starting one
// inside it.
void tst_RangeScanPage::windowTurnsWhileAnEchoIsAwaited()
{
    constexpr int TimeoutMs = 2000;
    std::vector<int> sentMs;
    std::function<void()> whileAwaited;
    for (const char *host : {"198.18.0.1", "198.18.0.2"})
        m_network.setHost(host, [&](const FakeNetwork::Request &) {
            sentMs.push_back(m_network.elapsedMs());
            if (whileAwaited)
                QTimer::singleShot(0, m_form.get(), std::exchange(whileAwaited, nullptr));
            return FakeNetwork::Response{};
        });
    m_form->Ping2->SetTimeout(TimeoutMs);
    m_form->MipTimer1->SetInterval(5);
    type("198.18.0.1", "198.18.0.2");
    const QPoint moved = m_form->pos() + QPoint(9, 7);
    whileAwaited = [&] {
        m_form->update();
        m_form->move(moved);
        QTimerEvent tick(m_form->MipTimer1->timerId());
        QCoreApplication::sendEvent(m_form->MipTimer1, &tick);
    };
    TurnWatch watch(m_form.get(), m_network);

    QTest::mouseClick(m_form->MipPinG, Qt::LeftButton);
    QTRY_COMPARE(state(), QString("Idle"));
    QCOMPARE(sentMs.size(), size_t(2));
    for (QEvent::Type handled : {QEvent::Paint, QEvent::Move})
        QVERIFY2(watch.firstMs[handled] < sentMs[0] + 100, qPrintable(QString::number(watch.firstMs[handled])));
    QCOMPARE(m_form->pos(), moved);
    QVERIFY(sentMs[1] >= sentMs[0] + TimeoutMs);
    QCOMPARE(linesOf(m_form->MDisplayMemo).last(), QString("==> Request timed out <=="));

    whileAwaited = [&] { m_form->close(); };
    QTest::mouseClick(m_form->MipPinG, Qt::LeftButton);
    QTRY_COMPARE(state(), QString("Idle"));
    QCOMPARE(sentMs.size(), size_t(4));
    QVERIFY(watch.firstMs.count(QEvent::Close) && watch.firstMs[QEvent::Close] < sentMs[2] + 100);
    QVERIFY(!m_form->isVisible());
}

#include "tst_RangeScanPage.moc"
