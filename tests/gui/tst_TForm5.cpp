// The re-ping dialog and the retry-multi-ping command over the scripted network (every 127.x address
// answers): its fields, the blocked scan page, the walk's log, progress and panels, what reaches the main
// window's list, Escape, and the log's bound. Silent hosts and hidden walks: net/tst_GuiRePing.
#include "FakeNetwork.h"
#include "TestMain.h"
#include "TextMatch.h"
#include "dialogs/Unit5.h"
#include "flows/RePingWalk.h"
#include "gui/PropertyFields.h"
#include "gui/WindowChecks.h"
#include "main/Forms.h"
#include "main/MachineListView.h"
#include "main/Unit1.h"
#include "ping/Ping.h"
#include "widgets/DFCtrls.h"
#include "widgets/FloatEdit.h"
#include "widgets/ProgBarEx.h"

#include <QCheckBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTextBlock>
#include <QToolButton>
#include <QtTest>
#include <memory>

class tst_TForm5 : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void designAndCreation();
    void pictureRunsFromBlueThroughDarkBlueToBlack();
    void opensLaidOutWithTheKeyboardOnItsCommand();
    void fieldsApplyToPingAndTimer();
    void retryCommandWithAnEmptySummary();
    void retryCommandBlocksTheScanPage();
    void walkOnceTickByTick();
    void cyclicWalkStoppedByEscape();
    void logKeepsItsLastLines();

private:
    void list(const QStringList &addresses);
    // Runs the retry command; whileOpen acts on the modal dialog and should close it.
    void retryCommand(const std::function<void()> &whileOpen);
    QString caption(const QString &address) const { return m_form->ListView1->itemOf(address)->text(); }

    FakeNetwork m_network;
    std::unique_ptr<WindowSeams> m_seams;
    std::unique_ptr<TForm1> m_form;
    TForm5 *m_dialog = nullptr;
};

void tst_TForm5::initTestCase()
{
    TFloatEdit::setDecimalSeparator('.');
}

void tst_TForm5::init()
{
    m_seams = std::make_unique<WindowSeams>();
    m_form = std::make_unique<TForm1>();
    m_dialog = new TForm5(m_form.get());
    Form5 = m_dialog;
    m_form->show();
}

void tst_TForm5::cleanup()
{
    m_form.reset();
    Form5 = nullptr;
    m_seams.reset();
}

void tst_TForm5::list(const QStringList &addresses)
{
    for (const QString &address : addresses)
        m_form->addico(address, 1);
}

void tst_TForm5::retryCommand(const std::function<void()> &whileOpen)
{
    QTimer::singleShot(0, m_dialog, [&] {
        QVERIFY(m_dialog->isVisible() && m_dialog->isModal());
        whileOpen();
    });
    QTest::mouseClick(m_form->rping, Qt::LeftButton);
    QVERIFY(!m_dialog->isVisible());
}

void tst_TForm5::designAndCreation()
{
    QCOMPARE(QList<int>({m_dialog->Ping3->Timeout(), m_dialog->Ping3->Size(), m_dialog->Ping3->TTL()}),
             QList<int>({200, 56, 64}));
    QCOMPARE(m_dialog->rTimer1->interval(), 200);
    QVERIFY(!m_dialog->rTimer1->Enabled());
    QVERIFY(m_dialog->ciclo->isChecked());
    QCOMPARE(m_dialog->infoPanel(1), QString("Inactivo"));
    QCOMPARE(linesOf(m_dialog->Memo1).size(), 5);
}

// Inside the bevel, left of the computers: one colour a row, a line of its own each, from blue
// through (0, 0, 160) halfway down to black.
void tst_TForm5::pictureRunsFromBlueThroughDarkBlueToBlack()
{
    const QImage &image = m_dialog->BCBitmap1->image();
    QList<int> blues;
    for (int y = 2; y <= 70; ++y) {
        const QRgb colour = image.pixel(2, y);
        for (int x = 3; x < 27; ++x)
            QCOMPARE(image.pixel(x, y), colour);
        QCOMPARE(qRed(colour), 0);
        QCOMPARE(qGreen(colour), 0);
        blues << qBlue(colour);
    }
    for (int row = 1; row < blues.size(); ++row)
        QVERIFY2(blues[row] < blues[row - 1], qPrintable(QString("row %1").arg(row)));
    // 95 steps of blue over the first 34 rows, 160 over the next 34.
    QCOMPARE(blues.size(), 69);
    QCOMPARE(blues.mid(0, 2), QList<int>({255, 252}));
    QCOMPARE(blues.mid(33, 3), QList<int>({163, 160, 155}));
    QCOMPARE(blues.mid(67), QList<int>({5, 0}));
}

// At its design place and size nothing is cut or covered, nothing that does nothing can be pressed,
// and the first keys go to "&Retry PinG", or to "&Stop rPinG" while a walk runs, never into the log;
// Tab runs through the settings and the commands, and leaves the log.
void tst_TForm5::opensLaidOutWithTheKeyboardOnItsCommand()
{
    list({"127.0.0.1"});
    QWidget *focus = nullptr;
    QStringList faults;
    QStringList pressable;
    retryCommand([&] {
        focus = m_dialog->focusWidget();
        faults = WindowChecks::layoutFaults(m_dialog) + WindowChecks::accessibilityFaults(m_dialog);
        pressable = WindowChecks::pressableNames(m_dialog);
        m_dialog->close();
    });
    QCOMPARE(focus, m_dialog->rping);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    // The pictures at the bottom do nothing, and are no buttons; each arrow names its field.
    pressable.sort();
    QCOMPARE(pressable,
             QStringList({"Aumentar Paket Size", "Aumentar TTL", "Aumentar Time Out", "Close", "Disminuir Paket Size",
                          "Disminuir TTL", "Disminuir Time Out", "Retry PinG", "Stop rPinG"}));
    QCOMPARE(QAccessible::queryAccessibleInterface(m_dialog->SpeedButton1)->role(), QAccessible::Graphic);
    QCOMPARE(m_dialog->frameGeometry().topLeft(), QPoint(191, 285));
    QCOMPARE(m_dialog->size(), QSize(281, 242));

    m_dialog->show();
    QVERIFY(QTest::qWaitForWindowActive(m_dialog));
    m_dialog->rto->setFocus();
    QList<QWidget *> visited;
    for (int i = 0; i < 8; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget();
    }
    QCOMPARE(visited, QList<QWidget *>({m_dialog->rps, m_dialog->rttl, m_dialog->ciclo, m_dialog->rping,
                                        m_dialog->BitBtn1, m_dialog->BitBtn2, m_dialog->Memo1, m_dialog->rto}));
    QTest::keyClicks(m_dialog->Memo1, "typed");
    QVERIFY(m_dialog->Memo1->toPlainText().contains("typed"));

    m_dialog->rto->SetText("3000");
    QTest::mouseClick(m_dialog->rping, Qt::LeftButton);
    m_dialog->close();
    retryCommand([&] {
        focus = m_dialog->focusWidget();
        m_dialog->close();
    });
    QVERIFY(m_dialog->rTimer1->Enabled());
    QCOMPARE(focus, m_dialog->BitBtn1);
}

void tst_TForm5::fieldsApplyToPingAndTimer()
{
    TForm5 &dialog = *m_dialog;
    const QList<PropertyField> fields = {
        {dialog.rto, dialog.UpDown1, [&] { return dialog.rTimer1->interval(); }, {10, 3000, 10, 200}, -1, ""},
        {dialog.rps, dialog.UpDown2, [&] { return dialog.Ping3->Size(); }, {10, 300, 10, 56}, -1, ""},
        {dialog.rttl, dialog.UpDown3, [&] { return dialog.Ping3->TTL(); }, {32, 100, 1, 64}, -1, ""}};
    checkFields(fields, *m_form, *m_seams);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(dialog.Ping3->Timeout(), dialog.rTimer1->interval());

    // Before a step the text as it stands is applied, and reported when it is no number.
    dialog.rto->SetText("1.");
    QTest::mouseClick(dialog.UpDown1->upButton(), Qt::LeftButton);
    QCOMPARE(m_seams->reports, QStringList(2, "'1.' is not a valid integer value"));
    QCOMPARE(dialog.Ping3->Timeout(), dialog.rto->Text().toInt());

    // 0 pauses a walk that stays active.
    list({"127.0.0.1"});
    QTest::mouseClick(dialog.rping, Qt::LeftButton);
    dialog.rto->SetText("0");
    QVERIFY(dialog.rTimer1->Enabled() && !dialog.rTimer1->isActive());
    dialog.rto->SetText("20");
    QTRY_COMPARE(dialog.infoPanel(1), QString("Activo.."));
}

void tst_TForm5::retryCommandWithAnEmptySummary()
{
    QTest::mouseClick(m_form->rping, Qt::LeftButton);
    QCOMPARE(m_seams->messages.size(), 1);
    const WindowSeams::Message &message = m_seams->messages[0];
    QCOMPARE(message.title, QString("Error"));
    QCOMPARE(message.icon, QMessageBox::Critical);
    QCOMPARE(message.sound, 0x10u);
    QCOMPARE(message.lines, QStringList({"El resumen de maquinas esta vacio . Esta opcion",
                                         "solo funciona al existir al menos 1 en el listado .."}));
    QVERIFY(!m_dialog->isVisible());
    QVERIFY(m_form->MipPinG->isEnabled() && m_form->MipStop->isEnabled());
}

void tst_TForm5::retryCommandBlocksTheScanPage()
{
    list({"127.0.0.1"});
    for (TFloatEdit *octet : {m_form->ip03, m_form->ip13})
        octet->SetText("127");
    m_form->MipTimer1->SetInterval(60000);
    m_form->MipPinGClick();
    QList<bool> blocked;
    retryCommand([&] {
        blocked = {m_form->MipPinG->isEnabled(), m_form->MipStop->isEnabled(), m_form->mipHalt->isEnabled(),
                   m_form->MipTimer1->Enabled()};
        QTest::mouseClick(m_dialog->BitBtn2, Qt::LeftButton);
    });
    QCOMPARE(blocked, QList<bool>({false, false, false, false}));
    QVERIFY(m_form->MipPinG->isEnabled());
    QVERIFY(m_form->MipStop->isEnabled());
    QVERIFY(!m_form->mipHalt->isEnabled());
    QVERIFY(!m_form->MipTimer1->Enabled());

    // The menu item is the same command.
    QTimer::singleShot(0, m_dialog, [&] { m_dialog->close(); });
    m_form->MultiPinG1->trigger();
    QVERIFY(!m_dialog->isVisible());
}

void tst_TForm5::walkOnceTickByTick()
{
    list({"127.0.0.1", "127.0.0.2", "127.0.0.3"});
    m_dialog->ciclo->setChecked(false);
    m_dialog->rto->SetText("3000");
    m_dialog->show();
    QTest::mouseClick(m_dialog->rping, Qt::LeftButton);
    QVERIFY(!m_dialog->rping->isEnabled());
    QVERIFY(m_dialog->rTimer1->isActive());
    QVERIFY(linesOf(m_dialog->Memo1).isEmpty());
    QCOMPARE(m_dialog->status->Max(), 3);

    for (int i = 0; i < 3; ++i) {
        const QString address = QString("127.0.0.%1").arg(i + 1);
        m_dialog->rTimer1Timer();
        QCOMPARE(m_dialog->status->Position(), i);
        QCOMPARE(m_dialog->infoPanel(0), "Actual IP: " + address);
        QCOMPARE(m_dialog->infoPanel(1), QString("Activo.."));
        QVERIFY2(matches(QRegularExpression::escape(address) + "\\(\\d+mSeg\\)", linesOf(m_dialog->Memo1).value(i)),
                 qPrintable(linesOf(m_dialog->Memo1).value(i)));
        QVERIFY(matches(QRegularExpression::escape(address) + " \\(\\d+mSeg\\)", caption(address)));
        QCOMPARE(m_form->statusPanel(0), "REPING a " + address);
    }
    m_dialog->rTimer1Timer();
    QVERIFY(m_dialog->rping->isEnabled());
    QVERIFY(!m_dialog->rTimer1->Enabled());
    QCOMPARE(m_dialog->infoPanel(0), QString());
    QCOMPARE(m_dialog->infoPanel(1), QString("InActivo"));
    QCOMPARE(m_dialog->status->Position(), 0);
    QCOMPARE(linesOf(m_dialog->Memo1).size(), 3);
    QCOMPARE(m_form->ListView1->count(), 3);
}

void tst_TForm5::cyclicWalkStoppedByEscape()
{
    list({"127.0.0.1", "127.0.0.2"});
    m_dialog->rto->SetText("10");
    m_dialog->show();
    QTest::mouseClick(m_dialog->rping, Qt::LeftButton);
    QTRY_VERIFY(linesOf(m_dialog->Memo1).size() >= 5);
    QTest::keyClick(m_dialog->rto, Qt::Key_Escape);
    QVERIFY(m_dialog->isVisible());
    QVERIFY(!m_dialog->rTimer1->Enabled());
    QVERIFY(m_dialog->rping->isEnabled());
    QCOMPARE(m_dialog->infoPanel(1), QString("InActivo"));
    QCOMPARE(m_dialog->status->Position(), 0);
    QVERIFY(m_dialog->infoPanel(0).startsWith("Actual IP: 127.0.0."));
    const QStringList log = linesOf(m_dialog->Memo1);
    for (int i = 0; i < log.size(); ++i)
        QVERIFY2(matches(QString("127\\.0\\.0\\.%1\\(\\d+mSeg\\)").arg(i % 2 + 1), log[i]), qPrintable(log[i]));
}

void tst_TForm5::logKeepsItsLastLines()
{
    list({"127.0.0.1"});
    m_dialog->rto->SetText("3000");
    QTest::mouseClick(m_dialog->rping, Qt::LeftButton);
    const int lines = RePingWalk::MaxLogLines + 5;
    for (int i = 0; i < 2 * lines; ++i)
        m_dialog->rTimer1Timer();
    QCOMPARE(m_dialog->Memo1->document()->blockCount(), RePingWalk::MaxLogLines);
    const QString first = m_dialog->Memo1->document()->firstBlock().text();
    QVERIFY2(matches("127\\.0\\.0\\.1\\(\\d+mSeg\\)", first), qPrintable(first));
}

TOZELO_TEST_MAIN(tst_TForm5)
#include "tst_TForm5.moc"
