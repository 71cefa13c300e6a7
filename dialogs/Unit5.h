#pragma once
#include "flows/RePingWalk.h"

#include <QDialog>
#include <array>
#include <cstdint>
#include <memory>

class IntervalTimer;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class TBCBitmap;
class TFloatEdit;
class TForm1;
class TProgressBarEx;
class TUpDown;

// The re-ping of the found machines: walks a snapshot of the main window's summary, one machine
// per tick, and hands every result back to the main window's list. The walk belongs to the timer,
// so it goes on while the dialog is hidden.
class TForm5 : public QDialog, private RePingWalk::View {
    Q_OBJECT
public:
    explicit TForm5(TForm1 *owner); // throws TICMPException
    ~TForm5() override;

    void FormCreate();
    void rtoChange();
    void rpsChange();
    void rttlChange();
    void UpDown1Changing(bool &AllowChange);
    void UpDown2Changing(bool &AllowChange);
    void UpDown3Changing(bool &AllowChange);
    void rpingClick();
    void BitBtn1Click();
    void rTimer1Timer();
    void FormClose();

    QString infoPanel(int index) const;
    const RePingWalk &walk() const { return *m_walk; }
    void setDownAfter(int requests) { m_walk->setDownAfter(requests); }

    TPing *Ping3;
    IntervalTimer *rTimer1;
    QFrame *Panel1;
    TBCBitmap *BCBitmap1;
    QPlainTextEdit *Memo1;
    QGroupBox *GroupBox1;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label4;
    QLabel *Label5;
    TFloatEdit *rto;
    TFloatEdit *rps;
    TFloatEdit *rttl;
    TUpDown *UpDown1;
    TUpDown *UpDown2;
    TUpDown *UpDown3;
    QCheckBox *ciclo;
    QPushButton *rping;
    QPushButton *BitBtn1;
    QPushButton *BitBtn2;
    QLabel *SpeedButton1;
    QLabel *SpeedButton2;
    QLabel *SpeedButton3;
    TProgressBarEx *status;
    QStatusBar *info;

protected:
    // Escape presses "&Stop rPinG" rather than closing.
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void createPanel();
    QWidget *createPicture();
    QGroupBox *createOptions();
    void createBottom();
    void orderTabs();
    void bindWalk();

    QStringList machineLines() const override;
    bool cyclic() override;
    void setInterval(int ms) override;
    void setTimerEnabled(bool enabled) override;
    void setRetryEnabled(bool enabled) override;
    void clearLog() override;
    void appendLine(const QString &line) override;
    void removeFirstLines(int count) override;
    void setProgressMax(int max) override;
    void setProgress(int position) override;
    void setInfo(int panel, const QString &text) override;
    void recordMachine(const QString &ip, uint32_t rtt, bool answered) override;
    void reportError(const QString &text) override;
    void reportHistoryFailure(const HistoryError &failure) override;
    void reachabilityChanged(const std::vector<Reachability::Change> &changes) override;

    TForm1 &m_form;
    std::array<QLabel *, 2> m_info{};
    std::unique_ptr<RePingWalk> m_walk;
};
