// The re-ping dialog against the testbed: an answering host, a silent one that was found earlier
// and a name the testbed cannot resolve, walked cyclically behind the closed dialog. A walk once:
// gui/tst_TForm5 and net/tst_ScanCli; a forger's replies for a silent host: net/tst_Cli.
#include "dialogs/Unit5.h"
#include "gui/WindowSeams.h"
#include "main/Forms.h"
#include "main/MachineListView.h"
#include "main/MachineMemo.h"
#include "main/Unit1.h"
#include "net/TestbedMain.h"
#include "widgets/FloatEdit.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

class tst_GuiRePing : public QObject {
    Q_OBJECT
private slots:
    void cyclicWalkBehindTheClosedDialog();
};

namespace {
bool isPass(const QStringList &lines)
{
    return lines.size() == 3 && QRegularExpression("^198\\.18\\.2\\.1\\(\\d+mSeg\\)$").match(lines[0]).hasMatch() &&
           lines[1] == "198.18.4.1(error)" && lines[2] == "Dominio desconocido ";
}
} // namespace

// Started and closed through the retry command, a cyclic walk goes on behind the closed dialog;
// reopened, it shows the walk under way, and Stop ends it.
void tst_GuiRePing::cyclicWalkBehindTheClosedDialog()
{
    WindowSeams seams;
    TForm1 form;
    TForm5 *dialog = new TForm5(&form);
    Form5 = dialog;
    const auto forget = qScopeGuard([] { Form5 = nullptr; });
    form.show();
    // The silent host answered once; the name never did.
    form.addico("198.18.2.1", 1);
    form.addico("198.18.4.1", 1);
    form.ips->addLine("nosuch.tozelo.test");
    dialog->rto->SetText("200");

    QTimer::singleShot(0, dialog, [&] {
        QTest::mouseClick(dialog->rping, Qt::LeftButton);
        QTest::mouseClick(dialog->BitBtn2, Qt::LeftButton);
    });
    QTest::mouseClick(form.rping, Qt::LeftButton);
    QVERIFY(!dialog->isVisible());
    QVERIFY(form.MipPinG->isEnabled() && form.MipStop->isEnabled());
    form.addico("198.18.2.1", 99999);
    QTRY_VERIFY_WITH_TIMEOUT(linesOf(dialog->Memo1).size() >= 6, 10000);
    QVERIFY(!form.ListView1->itemOf("198.18.2.1")->text().contains("99999"));

    bool retryEnabled = true;
    QTimer::singleShot(0, dialog, [&] {
        retryEnabled = dialog->rping->isEnabled();
        QTest::mouseClick(dialog->BitBtn1, Qt::LeftButton);
        dialog->close();
    });
    QTest::mouseClick(form.rping, Qt::LeftButton);
    QVERIFY(!retryEnabled);
    QVERIFY(!dialog->rTimer1->Enabled());
    QCOMPARE(dialog->infoPanel(1), QString("InActivo"));
    // A name lookup under way when Stop came still ends with its line.
    QTRY_COMPARE(linesOf(dialog->Memo1).size() % 3, 0);
    const QStringList log = linesOf(dialog->Memo1);
    for (int pass = 0; pass < log.size() / 3; ++pass)
        QVERIFY2(isPass(log.mid(pass * 3, 3)), qPrintable(dialog->Memo1->toPlainText()));
}

TOZELO_TESTBED_WINDOW_TEST_MAIN(tst_GuiRePing)

#include "tst_GuiRePing.moc"
