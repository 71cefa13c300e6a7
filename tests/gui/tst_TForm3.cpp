// The single ping properties and retry dialog against the main window: creation from Ping1, every
// field applied as typed and stepped, restore, presets, the retry over loopback with its stop and
// closing rules, and the retry-single-ping and fast-timer commands on the single ping page.
#include "FakeNetwork.h"
#include "TestMain.h"
#include "dialogs/Unit3.h"
#include "gui/PropertyFields.h"
#include "gui/WindowChecks.h"
#include "main/Forms.h"
#include "main/MachineMemo.h"
#include "ping/Ping.h"
#include "platform/Sockets.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QStackedWidget>
#include <memory>

class tst_TForm3 : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void creationFillsFromPing1();
    void opensCentredAtItsDesignSize();
    void fieldsApplyAsTypedAndStepped();
    void restoreSetsThePanels();
    void storePresets();
    void retryPingsAgainUntilStopped();
    void closingEndsTheRetry();
    void lookupThatCannotStartRestsTheTimer();
    void retrySinglePingCommand();
    void fastTimerOnTheSinglePingPage();

private:
    FakeNetwork m_network;
    std::unique_ptr<WindowSeams> m_seams;
    std::unique_ptr<TForm1> m_form;
    TForm3 *m_dialog = nullptr;
};

void tst_TForm3::initTestCase()
{
    TFloatEdit::setDecimalSeparator('.');
}

void tst_TForm3::init()
{
    m_seams = std::make_unique<WindowSeams>();
    m_form = std::make_unique<TForm1>();
    m_dialog = new TForm3(m_form.get());
    Form3 = m_dialog;
    m_form->show();
}

void tst_TForm3::cleanup()
{
    m_form.reset();
    Form3 = nullptr;
    m_seams.reset();
    Sockets::Testing::faults() = {};
}

// The retry ticks at its design interval until siprt changes, whatever siprt shows.
void tst_TForm3::creationFillsFromPing1()
{
    QCOMPARE(m_dialog->siprt->Text(), QString("50"));
    QCOMPARE(m_dialog->siprTimer1->interval(), 1000);
    QVERIFY(!m_dialog->siprTimer1->Enabled());
    QCOMPARE(m_dialog->spinto->Text(), QString("500"));
    m_form->Ping1->SetTimeout(700);
    auto *other = new TForm3(m_form.get());
    QCOMPARE(other->spinto->Text(), QString("700"));
    QCOMPARE(m_form->statusPanel(2), QString("Delay : 700"));
}

// 197 pixels wide with its frame, in the middle of the screen and so below the main window's menu
// bar; nothing cut or covered, every control named, and Tab from the retry down the settings.
void tst_TForm3::opensCentredAtItsDesignSize()
{
    m_form->Sible1->trigger();
    m_form->Tranton1->Click();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog));
    QCOMPARE(m_dialog->frameGeometry().size(), QSize(197, 344));
    QVERIFY(WindowChecks::centredOnScreen(m_dialog));
    const QMenuBar *menu = m_form->menuBar();
    QVERIFY(m_dialog->frameGeometry().top() > menu->mapToGlobal(QPoint(0, menu->height())).y());
    const QStringList faults = WindowChecks::layoutFaults(m_dialog) + WindowChecks::accessibilityFaults(m_dialog);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));

    QVERIFY(QTest::qWaitForWindowActive(m_dialog));
    m_dialog->siprt->setFocus();
    QList<QWidget *> visited;
    for (int i = 0; i < 8; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget();
    }
    QCOMPARE(visited, QList<QWidget *>({m_dialog->BitBtn2, m_dialog->SpeedButton1, m_dialog->spinto, m_dialog->sps,
                                        m_dialog->spttl, m_dialog->BitBtn1, m_dialog->BitBtn3, m_dialog->siprt}));
}

void tst_TForm3::fieldsApplyAsTypedAndStepped()
{
    TForm1 &form = *m_form;
    TForm3 &dialog = *m_dialog;
    const QList<PropertyField> fields = {
        {dialog.spinto, dialog.UpDown1, [&] { return form.Ping1->Timeout(); }, {100, 4000, 100, 1000}, 2, "Delay : "},
        {dialog.sps, dialog.UpDown2, [&] { return form.Ping1->Size(); }, {10, 100, 1, 56}, 1, "Paket : "},
        {dialog.spttl, dialog.UpDown3, [&] { return form.Ping1->TTL(); }, {10, 100, 1, 64}, 3, "TTL : "},
        {dialog.siprt, dialog.UpDown4, [&] { return dialog.siprTimer1->interval(); }, {1, 5000, 10, 50}, 4, "Timer: "}};
    checkFields(fields, form, *m_seams);
}

void tst_TForm3::restoreSetsThePanels()
{
    m_dialog->spinto->SetText("300");
    m_dialog->siprt->SetText("70");
    QTest::mouseClick(m_dialog->BitBtn1, Qt::LeftButton);
    QCOMPARE(m_dialog->spinto->Text(), QString("1000"));
    QCOMPARE(m_form->Ping1->Timeout(), 1000);
    QCOMPARE(m_dialog->siprt->Text(), QString("70"));

    // With nothing to change the panels are still set.
    for (int panel = 1; panel <= 3; ++panel)
        m_form->setStatusPanel(panel, "");
    QTest::mouseClick(m_dialog->BitBtn1, Qt::LeftButton);
    QCOMPARE(m_form->statusPanel(1), QString("Paket : 56"));
    QCOMPARE(m_form->statusPanel(2), QString("Delay : 1000"));
    QCOMPARE(m_form->statusPanel(3), QString("TTL : 64"));
    QCOMPARE(m_form->statusPanel(4), QString("Timer: 70"));
}

void tst_TForm3::storePresets()
{
    m_dialog->spinto->SetText("300");
    m_dialog->siprt->SetText("20");
    QTest::mouseClick(m_dialog->BitBtn3, Qt::LeftButton);
    QCOMPARE(m_form->fastTimeout, QString("300"));
    QCOMPARE(m_form->fastTimer, QString("20"));
    m_dialog->spinto->SetText("400");
    m_dialog->siprt->clear();
    QTest::mouseClick(m_dialog->BitBtn3, Qt::LeftButton);
    QCOMPARE(m_form->fastTimeout, QString("400"));
    QCOMPARE(m_form->fastTimer, QString("20"));
}

void tst_TForm3::retryPingsAgainUntilStopped()
{
    m_form->Sible1Click();
    m_dialog->siprt->SetText("20");
    QTest::mouseClick(m_dialog->BitBtn2, Qt::LeftButton);
    QVERIFY(!m_dialog->siprTimer1->Enabled());

    int ticks = 0;
    connect(m_dialog->siprTimer1, &QTimer::timeout, this, [&] { ++ticks; });
    m_form->HostEdit->setText("127.0.0.1");
    QTest::mouseClick(m_dialog->BitBtn2, Qt::LeftButton);
    QVERIFY(linesOf(m_form->DisplayMemo).isEmpty());
    QTRY_VERIFY(ticks >= 3);
    // Each tick clears the log and writes one attempt.
    const QStringList log = linesOf(m_form->DisplayMemo);
    QCOMPARE(log.size(), 4);
    QCOMPARE(log[0], QString("Resolving host '127.0.0.1'"));
    QVERIFY2(log[3].startsWith("Received 56 bytes from 127.0.0.1 in "), qPrintable(log[3]));
    QCOMPARE(m_form->ips->list().lines(), QStringList{"127.0.0.1"});
    QTest::mouseClick(m_dialog->SpeedButton1, Qt::LeftButton);
    QVERIFY(!m_dialog->siprTimer1->Enabled());

    // An emptied host stops the retry at the next tick.
    QTest::mouseClick(m_dialog->BitBtn2, Qt::LeftButton);
    m_form->HostEdit->clear();
    QTRY_VERIFY(!m_dialog->siprTimer1->Enabled());
}

void tst_TForm3::closingEndsTheRetry()
{
    m_form->HostEdit->setText("127.0.0.1");
    m_dialog->show();
    QTest::mouseClick(m_dialog->BitBtn2, Qt::LeftButton);
    QVERIFY(m_dialog->close());
    QVERIFY(!m_dialog->siprTimer1->Enabled());
    m_dialog->show();
    QVERIFY(!m_dialog->siprTimer1->Enabled());

    QTest::mouseClick(m_dialog->BitBtn2, Qt::LeftButton);
    m_form->N3Click();
    QVERIFY(!m_dialog->isVisible());
    QVERIFY(!m_dialog->siprTimer1->Enabled());
}

// The report is up with the timer at rest, so the ticks behind it stack no reports.
void tst_TForm3::lookupThatCannotStartRestsTheTimer()
{
    QList<bool> timerDuringReport;
    TestSeams::instance().messageBox = [&](QMessageBox &box) {
        timerDuringReport << m_dialog->siprTimer1->isActive();
        m_seams->reports << box.text();
        return int(QMessageBox::Ok);
    };
    Sockets::Testing::faults().failAsyncStart = true;
    m_dialog->siprt->SetText("5");
    m_form->HostEdit->setText("nohost.invalid");
    QTest::mouseClick(m_dialog->BitBtn2, Qt::LeftButton);
    QTRY_VERIFY(m_seams->reports.size() >= 2);
    QVERIFY(m_seams->reports[0].startsWith("nohost.invalid: can't start DNS lookup, error #"));
    QCOMPARE(timerDuringReport, QList<bool>(timerDuringReport.size(), false));
    QVERIFY(m_dialog->siprTimer1->isActive());
    QTest::mouseClick(m_dialog->SpeedButton1, Qt::LeftButton);
}

void tst_TForm3::retrySinglePingCommand()
{
    QVERIFY(!m_form->rsping->isEnabled());
    m_form->Sible1Click();
    QTest::mouseClick(m_form->rsping, Qt::LeftButton);
    QCOMPARE(m_form->tipo->currentWidget(), m_form->TabSheet1);
    QVERIFY(m_dialog->isVisible());
    m_form->N3Click();
    QVERIFY(!m_dialog->isVisible());
    QVERIFY(!m_form->rsping->isEnabled());

    m_form->Sible1Click();
    m_form->SinglePing1->trigger();
    QVERIFY(m_dialog->isVisible());
}

void tst_TForm3::fastTimerOnTheSinglePingPage()
{
    m_form->Sible1Click();
    m_dialog->sps->SetText("70");
    m_form->fastTimeout = "300";
    m_form->fastTimer = "20";
    QTest::mouseClick(m_form->tbuton, Qt::LeftButton);
    const QStringList panels = {m_form->statusPanel(1), m_form->statusPanel(2), m_form->statusPanel(3),
                                m_form->statusPanel(4)};
    QCOMPARE(panels, QStringList({"Paket : 56", "Delay : 300", "TTL : 64", "Timer: 20"}));
    QCOMPARE(m_dialog->siprt->Text(), QString("20"));
    QCOMPARE(m_dialog->siprTimer1->interval(), 20);
    QCOMPARE(m_form->Ping1->Timeout(), 300);
    QCOMPARE(m_form->Ping1->Size(), 56);
    QCOMPARE(m_form->MipTimer1->interval(), 1000);

    m_form->fastTimeout = "3,5";
    QTest::mouseClick(m_form->tbuton, Qt::LeftButton);
    QCOMPARE(m_seams->reports, QStringList{"'3,5' is not a valid integer value"});
    QCOMPARE(m_dialog->spinto->Text(), QString("300"));
}

TOZELO_TEST_MAIN(tst_TForm3)
#include "tst_TForm3.moc"
