#pragma once
#include "history/Reachability.h"
#include "ui/ExceptionReport.h"
#include "ui/IntervalTimer.h"
#include "widgets/Events.h"
#include "widgets/TransBtn.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>
#include <array>
#include <memory>
#include <vector>

class FastSweepPage;
class MachineListView;
class MachineMemo;
class MonitorPage;
class QAction;
class QFileDialog;
class RangeScanPage;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QStatusBar;
class QStackedWidget;
class QTimer;
class SinglePingPage;
class QCheckBox;
class TAHMMsgBox;
class TAHMSplashScreen;
class TBackground;
class TFloatEdit;
class TPing;
class ToxDockBar;
class ToxForm;
class ToxScrollPane;
class ToxSplit;

// The main window: single ping, range scan, fast sweep and Monitor pages, the found machines and the
// machine list file.
class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int StatusPanels = 5;

    explicit TForm1(QWidget *parent = nullptr); // throws TICMPException
    ~TForm1() override;

    QString statusPanel(int index) const;
    // Panels 1 to 4 echo the classic pages' settings; while the fast sweep page shows, they show its
    // own instead, and the classic texts written meanwhile wait for their pages.
    void setStatusPanel(int index, const QString &text);
    void showPageSettings();
    FastSweepPage &fastSweep() { return *m_fastSweep; }
    MonitorPage &monitor() { return *m_monitor; }

    // Start-up, pages, notification area and closing
    void FormCreate();
    void logoSplashDone();
    void Timer1Timer();
    void Sible1Click();
    void N3Click();
    void BarridoRapido1Click();
    void Monitor1Click();
    void tipoChange();
    void Tranton1Click();
    void Creditos2Click();
    void oxForm1ButtonClick();
    void stryClick();
    void MaximiZar1Click();
    void oxForm1TrayDblClk();
    void oxForm1TrayLost();
    void FormCloseQuery(bool &CanClose);
    void Exit1Click();
    void oxSplit1Resize();

    // Single ping page
    void PingButtonClick();
    void CancelButtonClick();
    void HostEditKeyUp();

    // Range scan page
    void MipPinGClick();
    void MipTimer1Timer();
    void mipHaltClick();
    void MipStopClick();
    void ip03KeyUp(bool typed);
    void ip02KeyUp();
    void ip01KeyUp();
    void iperrorOk(QObject *Sender);

    // Retry and fast-timer commands
    void rpingClick();
    void rspingClick();
    void tbutonClick();
    // Watched machines that went down or came back up in one pass of the re-ping walk: one notice
    // for all of them, in the tray where the window waits there, else on the status bar and, where
    // no tray host runs, on the desktop.
    void machinesChanged(const std::vector<Reachability::Change> &changes);

    // Found machines. answered false: the machine did not answer, which never adds it.
    void addico(const QString &Address, int Rtt, bool answered = true);
    void addtext(const QString &Address, int Rtt);
    // The summary of found machines, one line each, as the machine list file holds them.
    QStringList machineLines() const;
    void All1Click();
    void Iconos1Click();
    void pingrClick();
    void IpPinG1Click();
    void IpResumen1Click();
    void BorrarIcono1Click();
    void RePinG1Click();
    void CopiarIP1Click();
    void IconosGrandes1Click();
    void MenuItem2Click();
    void Listao1Click();
    void icoGandeClick();
    void icolistClick();
    void gClick();

    // Machine list file
    void salvarIPClick();
    void openIpClick();

    QString listFileName;
    QString fastTimeout;
    QString fastTimer;

    QStackedWidget *tipo;
    QWidget *TabSheet1;
    QWidget *TabSheet2;
    QWidget *TabSheet3;
    QWidget *TabSheet4;

    TBackground *Background1;
    QLabel *Label1;
    QLineEdit *HostEdit;
    QCheckBox *IPv6Box; // a name is pinged over IPv6
    TTransparentButton *PingButton;
    TTransparentButton *CancelButton;
    QPlainTextEdit *DisplayMemo;

    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label8;
    TFloatEdit *ip03;
    TFloatEdit *ip02;
    TFloatEdit *ip01;
    TFloatEdit *ip00;
    TFloatEdit *ip13;
    TFloatEdit *ip12;
    TFloatEdit *ip11;
    TFloatEdit *ip10;
    QLabel *cip3;
    QLabel *cip2;
    QLabel *cip1;
    QLabel *cip0;
    QLabel *cipf3;
    QLabel *cipf2;
    QLabel *cipf1;
    QLabel *cipf0;
    QLabel *lipo;
    TBackground *Background2;
    TTransparentButton *MipPinG;
    TTransparentButton *MipStop;
    TTransparentButton *mipHalt;
    QPlainTextEdit *MDisplayMemo;

    ToxDockBar *oxDockBar2;
    TTransparentButton *Tranton1;
    TTransparentButton *tbuton;
    TTransparentButton *del;
    TTransparentButton *icoGande;
    TTransparentButton *icolist;
    TTransparentButton *icopeq;
    TTransparentButton *rping;
    TTransparentButton *rsping;
    TTransparentButton *barrido;
    TTransparentButton *monitorButton;
    TTransparentButton *openIp;
    TTransparentButton *salvarIP;
    TTransparentButton *stry;

    ToxSplit *oxSplit1;
    ToxScrollPane *oxPane1;
    ToxScrollPane *oxPane2;
    MachineListView *ListView1;
    QLabel *Panel1;
    MachineMemo *ips;
    QStatusBar *fstate;

    QAction *SinglePing1;
    QAction *MultiPinG1;
    QAction *Sible1;
    QAction *N3;
    QAction *BarridoRapido1;
    QAction *Monitor1;
    QAction *propertiesItem;
    QAction *Exit1;
    QAction *Creditos2;
    QAction *All1;
    QAction *Iconos1;
    QAction *pingr;
    QAction *IpPinG1;
    QAction *IpResumen1;
    QAction *BorrarIcono1;
    QAction *RePinG1;
    QAction *CopiarIP1;
    QAction *IconosGrandes1;
    QAction *MenuItem2;
    QAction *Listao1;
    QAction *MaximiZar1;
    QMenu *clearM;
    QMenu *listIco;
    QMenu *tryM;

    ToxForm *oxForm1;
    TAHMSplashScreen *logo;
    QTimer *Timer1;
    IntervalTimer *MipTimer1;
    TPing *Ping1;
    TPing *Ping2;
    QFileDialog *GuardarD;
    QFileDialog *OpenD;
    TAHMMsgBox *iperror;
    TAHMMsgBox *ipferror;
    TAHMMsgBox *rpingerror;
    TAHMMsgBox *fastP;

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    friend class Form1Design;
    friend class RangeScanPage;

    // Every handler bound to a control runs through the exception report.
    template <typename Sender, typename Signal> void bind(Sender *sender, Signal signal, void (TForm1::*handler)())
    {
        connect(sender, signal, this,
                [this, handler] { reportExceptions(this, [this, handler] { (this->*handler)(); }); });
    }
    // The same for the events of the widget kit's components.
    TNotifyEvent notifier(void (TForm1::*handler)())
    {
        return [this, handler](QObject *) { reportExceptions(this, [this, handler] { (this->*handler)(); }); };
    }
    bool sweepShown() const;
    bool classicShown() const;
    // The fast sweep and Monitor pages: the multi-ping retry stays at hand, the properties go.
    void showNewerPage(QWidget *page);
    bool unsavedMachinesMayGo();
    bool saveMachineList();

    std::array<QLabel *, StatusPanels> m_panels{};
    std::array<QString, StatusPanels> m_panelTexts;
    std::unique_ptr<SinglePingPage> m_singlePing;
    std::unique_ptr<RangeScanPage> m_rangeScan;
    std::unique_ptr<FastSweepPage> m_fastSweep;
    std::unique_ptr<MonitorPage> m_monitor;
};
