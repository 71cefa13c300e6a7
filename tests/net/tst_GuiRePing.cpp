// The re-ping dialog against the testbed: an answering host, a silent one that was found earlier
// and a name the testbed cannot resolve, walked once, and cyclically behind the closed dialog; the
// silent one while a forger sprays replies for it.
#include "dialogs/Unit5.h"
#include "flows/RePingWalk.h"
#include "gui/WindowSeams.h"
#include "main/Forms.h"
#include "main/MachineListView.h"
#include "main/MachineMemo.h"
#include "main/Unit1.h"
#include "net/TestbedMain.h"
#include "ping/Ping.h"
#include "platform/IcmpAccess.h"
#include "testbed/BlindForger.h"
#include "widgets/FloatEdit.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QToolButton>
#include <QtTest>
#include <memory>

class tst_GuiRePing : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void walkOnce();
    void walkOverBothFamilies();
    void cyclicWalkBehindTheClosedDialog();
    void blindForgery_data();
    void blindForgery();

private:
    bool isPass(const QStringList &lines) const;
    QString caption(const QString &address) const { return m_form->ListView1->itemOf(address)->text(); }

    std::unique_ptr<WindowSeams> m_seams;
    std::unique_ptr<TForm1> m_form;
    TForm5 *m_dialog = nullptr;
};

void tst_GuiRePing::init()
{
    m_seams = std::make_unique<WindowSeams>();
    m_form = std::make_unique<TForm1>();
    m_dialog = new TForm5(m_form.get());
    Form5 = m_dialog;
    m_form->show();
    // The silent host answered once; the name never did.
    m_form->addico("198.18.2.1", 1);
    m_form->addico("198.18.4.1", 1);
    m_form->ips->addLine("nosuch.tozelo.test");
    m_dialog->rto->SetText("200");
}

void tst_GuiRePing::cleanup()
{
    m_form.reset();
    Form5 = nullptr;
    m_seams.reset();
    IcmpAccess::Testing::helperOnly() = false;
}

bool tst_GuiRePing::isPass(const QStringList &lines) const
{
    return lines.size() == 3 && QRegularExpression("^198\\.18\\.2\\.1\\(\\d+mSeg\\)$").match(lines[0]).hasMatch() &&
           lines[1] == "198.18.4.1(error)" && lines[2] == "Dominio desconocido ";
}

void tst_GuiRePing::walkOnce()
{
    m_dialog->ciclo->setChecked(false);
    m_dialog->show();
    QTest::mouseClick(m_dialog->rping, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(m_dialog->rping->isEnabled(), 10000);
    QTRY_COMPARE(linesOf(m_dialog->Memo1).size(), 3);
    QVERIFY2(isPass(linesOf(m_dialog->Memo1)), qPrintable(m_dialog->Memo1->toPlainText()));
    QCOMPARE(m_dialog->infoPanel(1), QString("InActivo"));
    QVERIFY(QRegularExpression("^198\\.18\\.2\\.1 \\(\\d+mSeg\\)$").match(caption("198.18.2.1")).hasMatch());
    QCOMPARE(caption("198.18.4.1"), QString("198.18.4.1 (0mSeg)"));
    QCOMPARE(m_form->ListView1->count(), 2);
    QCOMPARE(m_form->ips->list().lines(), QStringList({"198.18.2.1", "198.18.4.1", "nosuch.tozelo.test"}));
}

// Each line by its family: an IPv6 address in any written form, a name of IPv6 alone, an IPv4
// address. The IPv6 machine found is one item however its line writes it.
void tst_GuiRePing::walkOverBothFamilies()
{
    m_form->ListView1->clearMachines();
    m_form->ips->setList(MachineListFile::fromBytes("FD00:198:18:2:0:0:0:1\r\nanswering.v6.tozelo.test\r\n"
                                                    "silent.v6.tozelo.test\r\n198.18.2.1\r\n"));
    m_form->addico("fd00:198:18:2::1", 1);
    m_dialog->ciclo->setChecked(false);
    m_dialog->show();
    QTest::mouseClick(m_dialog->rping, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(m_dialog->rping->isEnabled(), 10000);
    const QStringList lines = linesOf(m_dialog->Memo1);
    QCOMPARE(lines.size(), 4);
    for (const QString &line : lines.mid(0, 2))
        QVERIFY2(QRegularExpression("^fd00:198:18:2::1\\(\\d+mSeg\\)$").match(line).hasMatch(), qPrintable(line));
    QCOMPARE(lines[2], QString("fd00:198:18:4::1(error)"));
    QVERIFY2(lines[3].startsWith("198.18.2.1("), qPrintable(lines[3]));
    QCOMPARE(m_form->ListView1->count(), 2);
    QVERIFY(QRegularExpression("^fd00:198:18:2::1 \\(\\d+mSeg\\)$").match(caption("fd00:198:18:2::1")).hasMatch());
    QCOMPARE(m_form->ips->list().lines().size(), 4);
}

// Started and closed through the retry command, a cyclic walk goes on behind the closed dialog;
// reopened, it shows the walk under way, and Stop ends it.
void tst_GuiRePing::cyclicWalkBehindTheClosedDialog()
{
    QTimer::singleShot(0, m_dialog, [&] {
        QTest::mouseClick(m_dialog->rping, Qt::LeftButton);
        QTest::mouseClick(m_dialog->BitBtn2, Qt::LeftButton);
    });
    QTest::mouseClick(m_form->rping, Qt::LeftButton);
    QVERIFY(!m_dialog->isVisible());
    QVERIFY(m_form->MipPinG->isEnabled() && m_form->MipStop->isEnabled());
    m_form->addico("198.18.2.1", 99999);
    QTRY_VERIFY_WITH_TIMEOUT(linesOf(m_dialog->Memo1).size() >= 6, 10000);
    QVERIFY(!caption("198.18.2.1").contains("99999"));

    bool retryEnabled = true;
    QTimer::singleShot(0, m_dialog, [&] {
        retryEnabled = m_dialog->rping->isEnabled();
        QTest::mouseClick(m_dialog->BitBtn1, Qt::LeftButton);
        m_dialog->close();
    });
    QTest::mouseClick(m_form->rping, Qt::LeftButton);
    QVERIFY(!retryEnabled);
    QVERIFY(!m_dialog->rTimer1->Enabled());
    QCOMPARE(m_dialog->infoPanel(1), QString("InActivo"));
    // A name lookup under way when Stop came still ends with its line.
    QTRY_COMPARE(linesOf(m_dialog->Memo1).size() % 3, 0);
    const QStringList log = linesOf(m_dialog->Memo1);
    for (int pass = 0; pass < log.size() / 3; ++pass)
        QVERIFY2(isPass(log.mid(pass * 3, 3)), qPrintable(m_dialog->Memo1->toPlainText()));
}

void tst_GuiRePing::blindForgery_data()
{
    BlindForger::addSocketKinds();
}

// Replies sprayed for every identifier, with the first sequence numbers and the public payload, from
// a host that never answers: the walk finds it silent, on either kind of socket.
void tst_GuiRePing::blindForgery()
{
    QFETCH(bool, helper);
    IcmpAccess::Testing::helperOnly() = helper;
    m_form = std::make_unique<TForm1>();
    m_dialog = new TForm5(m_form.get());
    Form5 = m_dialog;
    m_form->ips->setList(MachineListFile::fromBytes("198.18.4.1\r\n"));
    m_dialog->rto->SetText("2000");
    m_dialog->ciclo->setChecked(false);
    m_dialog->show();
    BlindForger forger;
    QVERIFY2(forger.ready(), "the forger did not start");
    QTest::mouseClick(m_dialog->rping, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(m_dialog->rping->isEnabled(), 10000);
    QCOMPARE(linesOf(m_dialog->Memo1), QStringList{"198.18.4.1(error)"});
}

TOZELO_TESTBED_WINDOW_TEST_MAIN(tst_GuiRePing)

#include "tst_GuiRePing.moc"
