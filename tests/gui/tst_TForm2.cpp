// The multi ping properties dialog against the main window it writes to: every field applied at
// every keystroke and arrow step, the status texts as typed, restore, presets, and the fast-timer
// command on the range scan page, which reaches the scan through this dialog.
#include "FakeNetwork.h"
#include "TestMain.h"
#include "dialogs/Unit2.h"
#include "gui/PropertyFields.h"
#include "gui/WindowChecks.h"
#include "main/Forms.h"
#include "ping/Ping.h"

#include <memory>

class tst_TForm2 : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void designIsNotApplied();
    void opensCentredAndLaidOut();
    void fieldsApplyAsTypedAndStepped();
    void intervalZeroStopsTheTicks();
    void restoreAppliesOnlyWhatChanges();
    void storePresets();
    void fastTimerOnTheRangeScanPage();

private:
    FakeNetwork m_network;
    std::unique_ptr<WindowSeams> m_seams;
    std::unique_ptr<TForm1> m_form;
    TForm2 *m_dialog = nullptr;
};

void tst_TForm2::initTestCase()
{
    TFloatEdit::setDecimalSeparator('.');
}

void tst_TForm2::init()
{
    m_seams = std::make_unique<WindowSeams>();
    m_form = std::make_unique<TForm1>();
    m_dialog = new TForm2(m_form.get());
    Form2 = m_dialog;
    m_form->show();
}

void tst_TForm2::cleanup()
{
    m_form.reset();
    Form2 = nullptr;
    m_seams.reset();
}

// The scan keeps its own starting values, not the texts that the dialog shows.
void tst_TForm2::designIsNotApplied()
{
    QCOMPARE(m_dialog->velo->Text(), QString("500"));
    QCOMPARE(m_form->MipTimer1->interval(), 1000);
    QCOMPARE(m_form->statusPanel(4), QString("Timer: 500"));
    m_dialog->show();
    QTest::mouseClick(m_dialog->SpeedButton4, Qt::LeftButton);
    QVERIFY(!m_dialog->isVisible());
}

void tst_TForm2::opensCentredAndLaidOut()
{
    m_form->Tranton1->Click();
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog));
    QCOMPARE(m_dialog->size(), QSize(189, 246));
    QVERIFY(WindowChecks::centredOnScreen(m_dialog));
    const QStringList faults = WindowChecks::layoutFaults(m_dialog) + WindowChecks::accessibilityFaults(m_dialog);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
}

void tst_TForm2::fieldsApplyAsTypedAndStepped()
{
    TForm1 &form = *m_form;
    const QList<PropertyField> fields = {
        {m_dialog->etout, m_dialog->UpDown2, [&] { return form.Ping2->Timeout(); }, {10, 4000, 10, 500}, 2, "Delay : "},
        {m_dialog->esize, m_dialog->UpDown3, [&] { return form.Ping2->Size(); }, {10, 100, 1, 56}, 1, "Paket : "},
        {m_dialog->ettl, m_dialog->UpDown4, [&] { return form.Ping2->TTL(); }, {10, 100, 1, 64}, 3, "TTL : "},
        {m_dialog->velo,
         m_dialog->UpDown1,
         [&] { return form.MipTimer1->interval(); },
         {10, 4000, 10, 500},
         4,
         "Timer: "}};
    checkFields(fields, form, *m_seams);
}

// Not a busy loop: the timer stays switched on without ticks, and resumes with the next interval.
void tst_TForm2::intervalZeroStopsTheTicks()
{
    m_form->MipTimer1->SetEnabled(true);
    m_dialog->velo->SetText("0");
    QVERIFY(m_form->MipTimer1->Enabled());
    QVERIFY(!m_form->MipTimer1->isActive());
    m_dialog->velo->SetText("3000");
    QVERIFY(m_form->MipTimer1->isActive());
    QVERIFY(m_form->MipTimer1->remainingTime() > 2000);
    m_form->MipTimer1->SetEnabled(false);
    m_dialog->velo->SetText("20");
    QVERIFY(!m_form->MipTimer1->Enabled());
}

void tst_TForm2::restoreAppliesOnlyWhatChanges()
{
    m_dialog->etout->SetText("1000");
    m_dialog->esize->clear();
    m_form->tbutonClick();
    m_form->setStatusPanel(3, "three");

    QTest::mouseClick(m_dialog->SpeedButton2, Qt::LeftButton);
    QCOMPARE(m_dialog->etout->Text(), QString("500"));
    QCOMPARE(m_form->Ping2->Timeout(), 500);
    QCOMPARE(m_form->statusPanel(2), QString("Delay : 500"));
    QCOMPARE(m_form->statusPanel(1), QString("Paket : 56"));
    // ettl and velo showed their design texts already: the fast timer's interval stays.
    QCOMPARE(m_form->statusPanel(3), QString("three"));
    QCOMPARE(m_form->MipTimer1->interval(), 50);
}

void tst_TForm2::storePresets()
{
    m_dialog->etout->SetText("300");
    m_dialog->velo->SetText("20");
    const QString delay = m_form->statusPanel(2);
    QTest::mouseClick(m_dialog->SpeedButton3, Qt::LeftButton);
    QCOMPARE(m_form->fastTimeout, QString("300"));
    QCOMPARE(m_form->fastTimer, QString("20"));
    QCOMPARE(m_form->statusPanel(2), delay);

    m_dialog->etout->clear();
    m_dialog->velo->SetText("70");
    QTest::mouseClick(m_dialog->SpeedButton3, Qt::LeftButton);
    QCOMPARE(m_form->fastTimeout, QString("300"));
    QCOMPARE(m_form->fastTimer, QString("70"));
}

void tst_TForm2::fastTimerOnTheRangeScanPage()
{
    QTest::mouseClick(m_form->tbuton, Qt::LeftButton);
    QCOMPARE(m_dialog->etout->Text(), QString("50"));
    QCOMPARE(m_form->Ping2->Timeout(), 50);
    QCOMPARE(m_form->MipTimer1->interval(), 50);
    QCOMPARE(m_form->statusPanel(2), QString("Delay : 50"));
    QCOMPARE(m_form->statusPanel(4), QString("Timer: 50"));
    QCOMPARE(m_dialog->velo->Text(), QString("500"));

    m_form->fastTimer = "0";
    m_form->MipTimer1->SetEnabled(true);
    QTest::mouseClick(m_form->tbuton, Qt::LeftButton);
    QVERIFY(m_form->MipTimer1->Enabled() && !m_form->MipTimer1->isActive());
    QVERIFY(m_seams->reports.isEmpty());

    // A preset that is no whole number changes nothing and is reported once.
    m_form->fastTimeout = "70";
    m_form->fastTimer = "2.5";
    QTest::mouseClick(m_form->tbuton, Qt::LeftButton);
    QCOMPARE(m_seams->reports, QStringList{"'2.5' is not a valid integer value"});
    QCOMPARE(m_form->Ping2->Timeout(), 50);
    QCOMPARE(m_form->MipTimer1->interval(), 0);
    QCOMPARE(m_form->statusPanel(4), QString("Timer: 0"));
}

TOZELO_TEST_MAIN(tst_TForm2)
#include "tst_TForm2.moc"
