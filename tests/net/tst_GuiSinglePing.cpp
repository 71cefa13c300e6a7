// The single ping page against the suite's own hosts: answering by name, silent (while a forger
// sprays replies for it) and unknown, and Stop of a pending look-up. By address: gui/tst_TForm1.
#include "TextMatch.h"
#include "gui/WindowSeams.h"
#include "main/MachineListView.h"
#include "main/MachineMemo.h"
#include "main/Unit1.h"
#include "net/TestbedMain.h"
#include "ping/Ping.h"
#include "platform/IcmpAccess.h"
#include "testbed/BlindForger.h"
#include "ui/TestSeams.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QtTest>
#include <memory>

class tst_GuiSinglePing : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void answeringHostByName();
    void ipv6BoxPingsANameOverIpv6();
    void silentHost_data();
    void silentHost();
    void unknownName();
    void stopPendingLookup();

private:
    void ping(const QString &host);

    std::unique_ptr<TForm1> m_form;
};

void tst_GuiSinglePing::initTestCase()
{
    TestSeams::instance().splashDelayMs = 0;
    TestSeams::instance().messageBox = [](QMessageBox &) -> int { qFatal("no message box expected"); };
}

void tst_GuiSinglePing::init()
{
    m_form = std::make_unique<TForm1>();
    m_form->show();
    m_form->Sible1Click();
}

void tst_GuiSinglePing::cleanup()
{
    m_form.reset();
    IcmpAccess::Testing::helperOnly() = false;
}

void tst_GuiSinglePing::ping(const QString &host)
{
    m_form->HostEdit->setText(host);
    QTest::mouseClick(m_form->PingButton, Qt::LeftButton);
}

void tst_GuiSinglePing::answeringHostByName()
{
    ping("answering.tozelo.test");
    QCOMPARE(linesOf(m_form->DisplayMemo), QStringList{"Resolving host 'answering.tozelo.test'"});
    QVERIFY(!m_form->PingButton->isEnabled());
    QVERIFY(m_form->CancelButton->isEnabled());
    // The lines written when the look-up ends name the host field as it stands then.
    m_form->HostEdit->setText("renamed");
    QTRY_COMPARE(linesOf(m_form->DisplayMemo).size(), 4);
    const QStringList log = linesOf(m_form->DisplayMemo);
    QCOMPARE(log[1], QString("Host 'renamed' is 198.18.2.1"));
    QCOMPARE(log[2], QString("Sending 56 bytes to 198.18.2.1 (198.18.2.1)"));
    QVERIFY2(matches("Received 56 bytes from 198\\.18\\.2\\.1 in \\d+ mSecs", log[3]), qPrintable(log[3]));
    QCOMPARE(m_form->statusPanel(0), QString("current IP: 198.18.2.1"));
    QCOMPARE(m_form->ips->list().lines(), QStringList{"198.18.2.1"});
    QVERIFY(m_form->PingButton->isEnabled());
    QVERIFY(!m_form->CancelButton->isEnabled());
}

// Ticked, the box has a name of both families pinged over IPv6; the log and the found machine
// carry the IPv6 address. An address goes by its own family whatever the box says.
void tst_GuiSinglePing::ipv6BoxPingsANameOverIpv6()
{
    QTest::mouseClick(m_form->IPv6Box, Qt::LeftButton);
    QVERIFY(m_form->IPv6Box->isChecked());
    ping("answering.tozelo.test");
    QTRY_COMPARE(linesOf(m_form->DisplayMemo).size(), 4);
    const QStringList log = linesOf(m_form->DisplayMemo);
    QCOMPARE(log[1], QString("Host 'answering.tozelo.test' is fd00:198:18:2::1"));
    QCOMPARE(log[2], QString("Sending 56 bytes to fd00:198:18:2::1 (fd00:198:18:2::1)"));
    QVERIFY2(matches("Received 56 bytes from fd00:198:18:2::1 in \\d+ mSecs", log[3]), qPrintable(log[3]));
    QCOMPARE(m_form->statusPanel(0), QString("current IP: fd00:198:18:2::1"));
    ping("198.18.2.1");
    QCOMPARE(linesOf(m_form->DisplayMemo).size(), 4);
    QCOMPARE(m_form->ips->list().lines(), QStringList({"fd00:198:18:2::1", "198.18.2.1"}));
    QVERIFY(matches("fd00:198:18:2::1 \\(\\d+mSeg\\)", m_form->ListView1->item(0)->text()));
}

void tst_GuiSinglePing::silentHost_data()
{
    BlindForger::addSocketKinds();
}

// A host that never answers, while a forger sprays replies for every identifier with the first
// sequence numbers and the public payload from it: none of them is its answer, on either kind of
// socket.
void tst_GuiSinglePing::silentHost()
{
    QFETCH(bool, helper);
    IcmpAccess::Testing::helperOnly() = helper;
    m_form = std::make_unique<TForm1>();
    m_form->show();
    m_form->Sible1Click();
    m_form->Ping1->SetTimeout(2000);
    BlindForger forger;
    QVERIFY2(forger.ready(), "the forger did not start");
    ping("198.18.4.1");
    QCOMPARE(linesOf(m_form->DisplayMemo),
             QStringList({"Resolving host '198.18.4.1'", "Host '198.18.4.1' is 198.18.4.1",
                          "Sending 56 bytes to 198.18.4.1 (198.18.4.1)",
                          "Cannot ping host (198.18.4.1) : ", "==> Request timed out <=="}));
    QCOMPARE(m_form->statusPanel(0), QString("ERROR: Request timed out"));
    QCOMPARE(m_form->ListView1->count(), 0);
    QVERIFY(m_form->ips->list().isEmpty());
    QVERIFY(!m_form->ips->isModified());
}

void tst_GuiSinglePing::unknownName()
{
    ping("nowhere.tozelo.test");
    QTRY_COMPARE(linesOf(m_form->DisplayMemo),
                 QStringList({"Resolving host 'nowhere.tozelo.test'", "Dominio desconocido 'nowhere.tozelo.test'"}));
    QVERIFY(m_form->PingButton->isEnabled());
    QVERIFY(!m_form->CancelButton->isEnabled());
    QCOMPARE(m_form->statusPanel(0), QString("Zarvo SoftWare"));
    QCOMPARE(m_form->ListView1->count(), 0);
}

void tst_GuiSinglePing::stopPendingLookup()
{
    ping("answering.tozelo.test");
    QTest::mouseClick(m_form->CancelButton, Qt::LeftButton);
    const QStringList stopped = {"Resolving host 'answering.tozelo.test'",
                                 "Dominio desconocido 'answering.tozelo.test'"};
    QCOMPARE(linesOf(m_form->DisplayMemo), stopped);
    QVERIFY(m_form->PingButton->isEnabled());
    QVERIFY(!m_form->CancelButton->isEnabled());
    // Stop with nothing pending does nothing.
    m_form->CancelButtonClick();
    QCOMPARE(linesOf(m_form->DisplayMemo), stopped);
    QCOMPARE(m_form->ListView1->count(), 0);
}

TOZELO_TESTBED_WINDOW_TEST_MAIN(tst_GuiSinglePing)

#include "tst_GuiSinglePing.moc"
