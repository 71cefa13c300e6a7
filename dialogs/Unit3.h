#pragma once
#include <QDialog>

class IntervalTimer;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QToolButton;
class TFloatEdit;
class TForm1;
class TUpDown;

// The single ping properties and retry dialog: its fields go straight to the single ping page's
// ping component and to the status bar, and its timer pings the page's host again and again.
class TForm3 : public QDialog {
    Q_OBJECT
public:
    explicit TForm3(TForm1 *owner);

    void FormCreate();
    void spintoChange();
    void spsChange();
    void spttlChange();
    void siprtChange();
    void UpDown1Click();
    void UpDown2Click();
    void UpDown3Click();
    void UpDown4Click();
    void BitBtn1Click();
    void BitBtn3Click();
    void BitBtn2Click();
    void SpeedButton1Click();
    void siprTimer1Timer();
    void FormClose();

    QGroupBox *GroupBox2;
    QLabel *Label7;
    QLabel *Label8; // the host as typed on the single ping page
    QLabel *Label1;
    TFloatEdit *siprt;
    TUpDown *UpDown4;
    QLabel *Label9;
    QPushButton *BitBtn2;
    QToolButton *SpeedButton1;
    QGroupBox *GroupBox1;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label4;
    TFloatEdit *spinto;
    TFloatEdit *sps;
    TFloatEdit *spttl;
    TUpDown *UpDown1;
    TUpDown *UpDown2;
    TUpDown *UpDown3;
    QLabel *Label5;
    QLabel *Label6;
    QPushButton *BitBtn1;
    QFrame *Panel1;
    QPushButton *BitBtn3;
    IntervalTimer *siprTimer1;

private:
    QGroupBox *createRetry();
    QGroupBox *createProperties();
    void orderTabs();

    TForm1 &m_form;
};
