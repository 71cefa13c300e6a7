#pragma once
#include <QDialog>

class QFrame;
class QGroupBox;
class QLabel;
class QToolButton;
class TFloatEdit;
class TForm1;
class TUpDown;

// The multi ping properties dialog. It keeps no settings of its own: each field, whenever its text
// changes, goes straight to the range scan's ping component or timer and to the status bar.
class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(TForm1 *owner);

    void etoutChange();
    void esizeChange();
    void ettlChange();
    void veloChange();
    void UpDown2Click();
    void UpDown3Click();
    void UpDown4Click();
    void UpDown1Click();
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();

    QFrame *Bevel1;
    QToolButton *SpeedButton2;
    QToolButton *SpeedButton3;
    QToolButton *SpeedButton4;
    QGroupBox *GroupBox1;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label4;
    QLabel *Label5;
    QLabel *Label6;
    QLabel *Label7;
    QLabel *Label8;
    QLabel *Label9;
    TFloatEdit *etout;
    TFloatEdit *esize;
    TFloatEdit *ettl;
    TFloatEdit *velo;
    TUpDown *UpDown1;
    TUpDown *UpDown2;
    TUpDown *UpDown3;
    TUpDown *UpDown4;

private:
    QFrame *createButtonStrip();
    QGroupBox *createProperties();
    QWidget *createTimerSpeed();

    TForm1 &m_form;
};
