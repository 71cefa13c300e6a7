#include "Unit1.h"

#include "FastSweepPage.h"
#include "Form1Design.h"
#include "Forms.h"
#include "MachineListView.h"
#include "MachineMemo.h"
#include "MonitorPage.h"
#include "RangeScanPage.h"
#include "SinglePingPage.h"
#include "dialogs/Unit2.h"
#include "dialogs/Unit3.h"
#include "dialogs/Unit4.h"
#include "dialogs/Unit5.h"
#include "echo/EchoTerms.h"
#include "ping/EchoWait.h"
#include "ping/Ping.h"
#include "platform/IpAddress.h"
#include "ui/DesktopNotice.h"
#include "ui/IntegerText.h"
#include "ui/TestSeams.h"
#include "widgets/AHMTMessages.h"
#include "widgets/AHMTSplashScreen.h"
#include "widgets/FloatEdit.h"
#include "widgets/oxForm.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QTimer>

namespace {
const QString StartPanelTexts[TForm1::StatusPanels] = {"Zarvo SoftWare",
                                                       "Paket : " + QString::number(EchoTerms::DefaultSize),
                                                       "Delay : " + QString::number(EchoTerms::DefaultTimeoutMs),
                                                       "TTL : " + QString::number(EchoTerms::DefaultTTL), "Timer: 500"};
const QString NoMachineSelected = "SELECIONE UN PC !!";
const QString NoTray = "Sin System Tray: minimizada";

QString caption(const QString &address, int rtt)
{
    return address + " (" + QString::number(rtt) + "mSeg)";
}
} // namespace

TForm1::TForm1(QWidget *parent)
    : QMainWindow(parent), Timer1(new QTimer(this)), MipTimer1(new IntervalTimer(1000, this)), Ping1(new TPing(this)),
      Ping2(new TPing(this))
{
    setObjectName("Form1");
    setWindowTitle("Tozelo 99 version 1.1");
    QFont font("MS Sans Serif");
    font.setPixelSize(11);
    setFont(font);
    resize(486, 437);
    move(screen()->availableGeometry().center() - rect().center());

    Timer1->setObjectName("Timer1");
    Timer1->setInterval(1000);
    MipTimer1->setObjectName("MipTimer1");
    for (TPing *ping : {Ping1, Ping2}) {
        ping->SetSize(EchoTerms::DefaultSize);
        ping->SetTimeout(EchoTerms::DefaultTimeoutMs);
        ping->SetTTL(EchoTerms::DefaultTTL);
    }
    Ping1->setObjectName("Ping1");
    Ping2->setObjectName("Ping2");

    Form1Design::build(*this);
    m_singlePing = std::make_unique<SinglePingPage>(*this);
    m_rangeScan = std::make_unique<RangeScanPage>(*this);
    m_fastSweep = std::make_unique<FastSweepPage>(*this, TabSheet3);
    m_monitor = std::make_unique<MonitorPage>(*this, TabSheet4);
    Form1Design::orderTabs(*this);
    Form1Design::colourScrollBars(*this);
    Form1Design::setLeastSize(*this);
    bind(tipo, &QStackedWidget::currentChanged, &TForm1::tipoChange);
    bind(Timer1, &QTimer::timeout, &TForm1::Timer1Timer);
    bind(MipTimer1, &QTimer::timeout, &TForm1::MipTimer1Timer);
    // The windows repaint, move and answer their window manager while a page's echo is awaited.
    EchoWait::keepEventsTurning();
    FormCreate();
}

// The pages let go of the ping components' events before the components go, so that a lookup
// still pending is cancelled without writing into a window on its way out.
TForm1::~TForm1()
{
    m_singlePing.reset();
    m_rangeScan.reset();
    m_monitor.reset();
    delete Ping1;
    delete Ping2;
}

QString TForm1::statusPanel(int index) const
{
    return m_panels.at(index)->text();
}

void TForm1::setStatusPanel(int index, const QString &text)
{
    m_panelTexts.at(index) = text;
    if (index == 0 || !sweepShown())
        m_panels.at(index)->setText(text);
}

void TForm1::showPageSettings()
{
    const QStringList sweep = sweepShown() ? m_fastSweep->settingsTexts() : QStringList();
    for (int i = 1; i < StatusPanels; ++i)
        m_panels.at(i)->setText(sweepShown() ? sweep.value(i - 1) : m_panelTexts.at(i));
}

bool TForm1::sweepShown() const
{
    return tipo->currentWidget() == TabSheet3;
}

void TForm1::closeEvent(QCloseEvent *event)
{
    bool canClose = false;
    reportExceptions(this, [&] { FormCloseQuery(canClose); });
    event->setAccepted(canClose);
}

bool TForm1::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == HostEdit && event->type() == QEvent::KeyRelease)
        reportExceptions(this, [this] { HostEditKeyUp(); });
    return QMainWindow::eventFilter(watched, event);
}

// Start-up, pages, notification area and closing

void TForm1::FormCreate()
{
    fastTimeout = "50";
    fastTimer = "50";
    HostEdit->clear();
    DisplayMemo->clear();
    MDisplayMemo->clear();
    CancelButton->setEnabled(false);
    for (int i = 0; i < StatusPanels; ++i)
        setStatusPanel(i, StartPanelTexts[i]);
    listFileName = "ip`s.dat";
    if (const std::optional<int> delay = TestSeams::instance().splashDelayMs)
        logo->SetDelayInMsec(*delay);
    logo->Execute();
}

void TForm1::logoSplashDone()
{
    Timer1->start();
}

void TForm1::Timer1Timer()
{
    m_singlePing->setPingEnabled(!HostEdit->text().isEmpty());
}

void TForm1::Sible1Click()
{
    Timer1->start();
    MipTimer1->SetEnabled(false);
    tipo->setCurrentWidget(TabSheet1);
    rsping->setEnabled(true);
    rping->setEnabled(false);
    SinglePing1->setEnabled(true);
    MultiPinG1->setEnabled(false);
    if (Form2 && Form2->isVisible())
        Form2->close();
}

void TForm1::N3Click()
{
    Timer1->stop();
    tipo->setCurrentWidget(TabSheet2);
    rsping->setEnabled(false);
    rping->setEnabled(true);
    SinglePing1->setEnabled(false);
    MultiPinG1->setEnabled(true);
    if (Form3 && Form3->isVisible())
        Form3->close();
}

void TForm1::BarridoRapido1Click()
{
    showNewerPage(TabSheet3);
}

void TForm1::Monitor1Click()
{
    showNewerPage(TabSheet4);
}

void TForm1::showNewerPage(QWidget *page)
{
    Timer1->stop();
    tipo->setCurrentWidget(page);
    rsping->setEnabled(false);
    rping->setEnabled(true);
    SinglePing1->setEnabled(false);
    MultiPinG1->setEnabled(true);
    for (QDialog *properties : {static_cast<QDialog *>(Form2), static_cast<QDialog *>(Form3)})
        if (properties && properties->isVisible())
            properties->close();
}

bool TForm1::classicShown() const
{
    return tipo->currentWidget() == TabSheet1 || tipo->currentWidget() == TabSheet2;
}

// The property dialogs and the fast timer set the classic pages' echo; the sweep's settings are
// on its page, and the Monitor pings nothing, so there they have nothing to act on.
void TForm1::tipoChange()
{
    for (TTransparentButton *button : {Tranton1, tbuton})
        button->setEnabled(classicShown());
    propertiesItem->setEnabled(classicShown());
    showPageSettings();
}

void TForm1::Tranton1Click()
{
    QDialog *properties = tipo->currentWidget() == TabSheet2 ? static_cast<QDialog *>(Form2) : Form3;
    if (properties)
        properties->show();
}

void TForm1::Creditos2Click()
{
    if (Form4)
        Form4->show();
}

void TForm1::oxForm1ButtonClick()
{
    Creditos2Click();
}

// Hidden without a tray the window could never be brought back; it is minimised instead.
void TForm1::stryClick()
{
    if (!ToxForm::TrayAvailable()) {
        setStatusPanel(0, NoTray);
        showMinimized();
        return;
    }
    hide();
    oxForm1->SetTrayEnabled(true);
}

void TForm1::MaximiZar1Click()
{
    oxForm1->SetTrayEnabled(false);
    show();
}

void TForm1::oxForm1TrayDblClk()
{
    MaximiZar1Click();
}

// The tray went away with the icon that stood in for the hidden window.
void TForm1::oxForm1TrayLost()
{
    MaximiZar1Click();
}

void TForm1::FormCloseQuery(bool &CanClose)
{
    CanClose = unsavedMachinesMayGo();
}

void TForm1::Exit1Click()
{
    if (close())
        QCoreApplication::quit();
}

void TForm1::oxSplit1Resize()
{
    ListView1->viewport()->update();
}

// Single ping page

void TForm1::PingButtonClick()
{
    m_singlePing->sequence().start();
}

void TForm1::CancelButtonClick()
{
    m_singlePing->sequence().cancel();
}

void TForm1::HostEditKeyUp()
{
    if (Form3)
        Form3->Label8->setText(HostEdit->text());
}

// Range scan page

void TForm1::MipPinGClick()
{
    m_rangeScan->scan().MipPinGClick();
}

void TForm1::MipTimer1Timer()
{
    m_rangeScan->scan().MipTimer1Timer();
}

void TForm1::mipHaltClick()
{
    m_rangeScan->scan().mipHaltClick();
}

void TForm1::MipStopClick()
{
    m_rangeScan->scan().MipStopClick();
}

void TForm1::ip03KeyUp(bool typed)
{
    m_rangeScan->scan().ip03KeyUp(typed);
}

void TForm1::ip02KeyUp()
{
    m_rangeScan->scan().ip02KeyUp();
}

void TForm1::ip01KeyUp()
{
    m_rangeScan->scan().ip01KeyUp();
}

void TForm1::iperrorOk(QObject *) {}

// Retry and fast-timer commands

// The scan stands where it is; closing the dialog gives back Multi PinG and Stop, not Halt.
void TForm1::rpingClick()
{
    if (ips->list().isEmpty()) {
        rpingerror->Execute();
        return;
    }
    if (!Form5)
        return;
    MipTimer1->SetEnabled(false);
    for (TTransparentButton *button : {MipPinG, MipStop, mipHalt})
        button->setEnabled(false);
    Form5->exec();
}

void TForm1::rspingClick()
{
    tipo->setCurrentWidget(TabSheet1);
    if (Form3)
        Form3->show();
}

// Both presets are read before anything is applied: one that is no whole number changes nothing
// and is reported once.
void TForm1::tbutonClick()
{
    integerOf(fastTimeout);
    const int interval = integerOf(fastTimer);
    if (tipo->currentWidget() == TabSheet2) {
        if (Form2)
            Form2->etout->SetText(fastTimeout);
        MipTimer1->SetInterval(interval);
        setStatusPanel(4, "Timer: " + fastTimer);
        return;
    }
    const QString size = QString::number(EchoTerms::DefaultSize);
    const QString ttl = QString::number(EchoTerms::DefaultTTL);
    if (Form3) {
        Form3->spinto->SetText(fastTimeout);
        Form3->sps->SetText(size);
        Form3->spttl->SetText(ttl);
        Form3->siprt->SetText(fastTimer);
    }
    setStatusPanel(1, "Paket : " + size);
    setStatusPanel(2, "Delay : " + fastTimeout);
    setStatusPanel(3, "TTL : " + ttl);
    setStatusPanel(4, "Timer: " + fastTimer);
}

void TForm1::machinesChanged(const std::vector<Reachability::Change> &changes)
{
    QStringList lines;
    for (const Reachability::Change &change : changes) {
        const QString at = QDateTime::fromMSecsSinceEpoch(change.atMs).toString("HH:mm:ss");
        const QString machine = QString::fromStdString(change.machine);
        lines << (change.state == Reachability::State::Down ? machine + " no responde desde las " + at
                                                            : machine + " responde de nuevo desde las " + at);
    }
    const QString notice = lines.join("; ");
    if (oxForm1->TrayEnabled() && ToxForm::TrayAvailable()) {
        oxForm1->trayIcon()->showMessage(ApplicationTitle, notice, QSystemTrayIcon::Warning);
    } else {
        // Without a tray host the desktop tells it too, for a window left behind others.
        if (!ToxForm::TrayAvailable() && DesktopNotice::available())
            DesktopNotice::show(ApplicationTitle, notice);
        setStatusPanel(0, notice);
    }
    m_monitor->machinesChanged();
}

// Found machines

// An IPv6 address is one machine however it was written: it is recorded and shown in its one form.
void TForm1::addico(const QString &Written, int Rtt, bool answered)
{
    const QString Address = QString::fromStdString(IpAddress::canonicalText(Written.toStdString()));
    if (QListWidgetItem *item = ListView1->itemOf(Address)) {
        ListView1->markFocused(item);
        item->setText(caption(Address, answered ? Rtt : 0));
        setStatusPanel(0, "REPING a " + Address);
        return;
    }
    if (!answered)
        return;
    ListView1->addMachine(Address, caption(Address, Rtt));
    addtext(Address, Rtt);
}

void TForm1::addtext(const QString &Address, int)
{
    ips->addLine(Address);
}

QStringList TForm1::machineLines() const
{
    return ips->list().lines();
}

void TForm1::All1Click()
{
    if (!unsavedMachinesMayGo())
        return;
    ListView1->clearMachines();
    HostEdit->clear();
    DisplayMemo->clear();
    MDisplayMemo->clear();
    ips->clearLines();
}

void TForm1::Iconos1Click()
{
    ListView1->clearMachines();
}

void TForm1::pingrClick()
{
    DisplayMemo->clear();
    MDisplayMemo->clear();
}

void TForm1::IpPinG1Click()
{
    HostEdit->clear();
}

void TForm1::IpResumen1Click()
{
    if (!unsavedMachinesMayGo())
        return;
    ips->clearLines();
}

// The list hands the selection to the next item when the selected one goes; a second "Borrar PC"
// would then delete a machine nobody chose.
void TForm1::BorrarIcono1Click()
{
    QListWidgetItem *item = ListView1->selectedMachine();
    if (!item) {
        setStatusPanel(0, "SELECIONE UN PC para borrarlo ..");
        return;
    }
    ListView1->removeMachine(item);
    ListView1->clearSelection();
}

void TForm1::RePinG1Click()
{
    Sible1Click();
    QListWidgetItem *item = ListView1->selectedMachine();
    if (!item) {
        setStatusPanel(0, NoMachineSelected);
        return;
    }
    HostEdit->setText(item->text());
    PingButtonClick();
}

void TForm1::CopiarIP1Click()
{
    if (QListWidgetItem *item = ListView1->selectedMachine())
        HostEdit->setText(item->text());
    else
        setStatusPanel(0, NoMachineSelected);
}

void TForm1::IconosGrandes1Click()
{
    ListView1->setViewStyle(MachineListView::ViewStyle::LargeIcons);
}

void TForm1::MenuItem2Click()
{
    ListView1->setViewStyle(MachineListView::ViewStyle::SmallIcons);
}

void TForm1::Listao1Click()
{
    ListView1->setViewStyle(MachineListView::ViewStyle::List);
}

void TForm1::icoGandeClick()
{
    IconosGrandes1Click();
}

void TForm1::icolistClick()
{
    Listao1Click();
}

void TForm1::gClick()
{
    MenuItem2Click();
}

// Machine list file

void TForm1::salvarIPClick()
{
    saveMachineList();
}

// Whatever gives up the found machines asks first if some were never saved: Yes goes on only once
// they are safely saved, No goes on, Cancel (and Escape) keeps them.
bool TForm1::unsavedMachinesMayGo()
{
    if (!ips->isModified())
        return true;
    QMessageBox question(QMessageBox::Question, "Confirmar",
                         "desea guardar los IP encontrados en " + listFileName + "?",
                         QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, this);
    question.setEscapeButton(QMessageBox::Cancel);
    const int answer = execMessageBox(question);
    return answer == QMessageBox::No || (answer == QMessageBox::Yes && saveMachineList());
}

// False when the user cancelled; a file that cannot be written throws and changes nothing.
bool TForm1::saveMachineList()
{
    GuardarD->selectFile(listFileName);
    const QString fileName = execFileDialog(*GuardarD);
    if (fileName.isEmpty())
        return false;
    ips->list().write(fileName);
    listFileName = fileName;
    ips->setModified(false);
    return true;
}

// The whole file is read before anything changes, so a failed load loses no found machines.
void TForm1::openIpClick()
{
    if (!unsavedMachinesMayGo())
        return;
    const QString fileName = execFileDialog(*OpenD);
    if (fileName.isEmpty())
        return;
    MachineListFile list = MachineListFile::read(fileName);
    listFileName = fileName;
    ips->setList(std::move(list));
}
