// The range scan page against the testbed. The host namespace answers for every address of
// 198.18.6.0/25 and the router drops 198.18.6.128/25 (TestbedNamespaces::scanRange), so a range across
// both halves has a known truth; the pace and time-out come from the multi ping properties dialog as
// a user types them. A silent host stays silent while a forger sprays replies for it.
#include "dialogs/Unit2.h"
#include "gui/WindowSeams.h"
#include "main/Forms.h"
#include "main/MachineListView.h"
#include "main/MachineMemo.h"
#include "main/Unit1.h"
#include "net/TestbedMain.h"
#include "ping/Ping.h"
#include "platform/IcmpAccess.h"
#include "testbed/BlindForger.h"
#include "testbed/TestbedNamespaces.h"
#include "widgets/FloatEdit.h"

#include <QApplication>
#include <QLabel>
#include <QtTest>
#include <memory>

class tst_GuiRangeScan : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void scanFindsTheAnsweringHosts();
    void blindForgery_data();
    void blindForgery();

private:
    static void setRange(TForm1 &form, const QStringList &start, const QStringList &end);
};

void tst_GuiRangeScan::setRange(TForm1 &form, const QStringList &start, const QStringList &end)
{
    TFloatEdit *const starts[4] = {form.ip03, form.ip02, form.ip01, form.ip00};
    TFloatEdit *const ends[4] = {form.ip13, form.ip12, form.ip11, form.ip10};
    for (int i = 0; i < 4; ++i) {
        starts[i]->SetText(start[i]);
        ends[i]->SetText(end[i]);
    }
}

void tst_GuiRangeScan::initTestCase()
{
    QVERIFY2(TestbedNamespaces::scanRange("add"), "cannot add the scan's routes to the testbed");
}

void tst_GuiRangeScan::cleanupTestCase()
{
    TestbedNamespaces::scanRange("del");
}

void tst_GuiRangeScan::scanFindsTheAnsweringHosts()
{
    WindowSeams seams;
    TForm1 form;
    Form2 = new TForm2(&form);
    form.show();
    Form2->etout->SetText("100");
    Form2->velo->SetText("20");
    setRange(form, {"198", "18", "6", "120"}, {"198", "18", "6", "135"});
    QTest::mouseClick(form.MipPinG, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(form.MipPinG->isEnabled(), 20000);
    Form2 = nullptr;

    QStringList truth;
    for (int i = 120; i <= 127; ++i)
        truth << QString("198.18.6.%1").arg(i);
    QCOMPARE(form.ips->list().lines(), truth);
    QCOMPARE(form.ListView1->count(), truth.size());
    for (const QString &address : truth)
        QVERIFY(form.ListView1->itemOf(address)->text().startsWith(address + " ("));
    QCOMPARE(form.statusPanel(0), QString("Encontradas 8 Maquinas"));
    QCOMPARE(form.lipo->text(), QString("198.18.6.135"));
    QCOMPARE(linesOf(form.MDisplayMemo),
             QStringList({"Resolving host :198.18.6.135", "Sending 56 bytes to 198.18.6.135 (198.18.6.135)",
                          "Cannot ping host (198.18.6.135) : ", "==> Request timed out <=="}));
    QVERIFY(seams.messages.isEmpty() && seams.reports.isEmpty());
}

void tst_GuiRangeScan::blindForgery_data()
{
    BlindForger::addSocketKinds();
}

// Replies sprayed for every identifier, with the first sequence numbers and the public payload, from
// a host that never answers: the scan finds no machine, on either kind of socket.
void tst_GuiRangeScan::blindForgery()
{
    QFETCH(bool, helper);
    IcmpAccess::Testing::helperOnly() = helper;
    WindowSeams seams;
    TForm1 form;
    Form2 = new TForm2(&form);
    form.show();
    Form2->etout->SetText("2000");
    setRange(form, {"198", "18", "4", "1"}, {"198", "18", "4", "1"});
    BlindForger forger;
    QVERIFY2(forger.ready(), "the forger did not start");
    QTest::mouseClick(form.MipPinG, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(form.MipPinG->isEnabled(), 20000);
    Form2 = nullptr;
    IcmpAccess::Testing::helperOnly() = false;
    QCOMPARE(form.statusPanel(0), QString("Encontradas 0 Maquinas"));
    QVERIFY(form.ips->list().isEmpty());
}

TOZELO_TESTBED_WINDOW_TEST_MAIN(tst_GuiRangeScan)

#include "tst_GuiRangeScan.moc"
