#include "Unit2.h"

#include "DialogParts.h"
#include "main/Unit1.h"
#include "ping/Ping.h"
#include "ui/UpDown.h"
#include "widgets/FloatEdit.h"
#include "widgets/ScreenCentre.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

using DialogParts::addFieldRow;
using DialogParts::DefaultSize;
using DialogParts::DefaultTimeout;
using DialogParts::DefaultTTL;
using DialogParts::Echo;
using DialogParts::newField;
using DialogParts::newLabel;

TForm2::TForm2(TForm1 *owner) : QDialog(owner), m_form(*owner)
{
    setObjectName("Form2");
    setWindowTitle("MultiPinG");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    setFont(DialogParts::designFont());
    setFixedSize(189, 246);
    TScreenCentre::keepCentred(this);

    auto *panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto *column = new QVBoxLayout(panel);
    column->setContentsMargins(4, 4, 4, 4);
    column->addWidget(createButtonStrip());
    column->addWidget(createProperties());
    column->addWidget(createTimerSpeed());
    column->addStretch(1);
    auto *whole = new QVBoxLayout(this);
    whole->setContentsMargins(0, 0, 0, 0);
    whole->addWidget(panel);

    DialogParts::bindField(this, etout, &TForm2::etoutChange, UpDown2, &TForm2::UpDown2Click);
    DialogParts::bindField(this, esize, &TForm2::esizeChange, UpDown3, &TForm2::UpDown3Click);
    DialogParts::bindField(this, ettl, &TForm2::ettlChange, UpDown4, &TForm2::UpDown4Click);
    DialogParts::bindField(this, velo, &TForm2::veloChange, UpDown1, &TForm2::UpDown1Click);
    const QList<QWidget *> chain = {SpeedButton2, SpeedButton3, SpeedButton4, etout, esize, ettl, velo};
    for (int i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
}

QFrame *TForm2::createButtonStrip()
{
    Bevel1 = new QFrame(this);
    Bevel1->setObjectName("Bevel1");
    Bevel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Bevel1->setFixedHeight(32);
    auto button = [this](const char *name, const QString &hint, bool hintShown, QStyle::StandardPixmap glyph,
                         void (TForm2::*handler)()) {
        auto *b = new QToolButton(Bevel1);
        b->setObjectName(name);
        b->setAccessibleName(hint);
        if (hintShown)
            b->setToolTip(hint);
        b->setIcon(style()->standardIcon(glyph));
        DialogParts::bindClick(this, b, handler);
        return b;
    };
    SpeedButton2 =
        button("SpeedButton2", "Restore original valores", true, QStyle::SP_BrowserReload, &TForm2::SpeedButton2Click);
    SpeedButton3 = button("SpeedButton3", "load to fast Tozelo Buttom", true, QStyle::SP_MediaSeekForward,
                          &TForm2::SpeedButton3Click);
    SpeedButton4 = button("SpeedButton4", "close", false, QStyle::SP_DialogCloseButton, &TForm2::SpeedButton4Click);
    auto *row = new QHBoxLayout(Bevel1);
    row->setContentsMargins(3, 3, 3, 3);
    row->addWidget(SpeedButton2);
    row->addWidget(SpeedButton3);
    row->addStretch(1);
    row->addWidget(SpeedButton4);
    return Bevel1;
}

QGroupBox *TForm2::createProperties()
{
    GroupBox1 = new QGroupBox("Propiedades de Multi PinG", this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setFont(QFont("Bookman Old Style", 8));
    GroupBox1->setFixedHeight(132);
    Label2 = newLabel(GroupBox1, "Label2", "Time Out");
    Label3 = newLabel(GroupBox1, "Label3", "SiZe");
    Label4 = newLabel(GroupBox1, "Label4", "TLL");
    Label5 = newLabel(GroupBox1, "Label5", "mSeg");
    Label6 = newLabel(GroupBox1, "Label6", "Bytes");
    auto *grid = new QGridLayout(GroupBox1);
    addFieldRow(grid, 0, Label2, {"etout", DefaultTimeout, 5, "UpDown2", {10, 4000, 10, EchoTerms::DefaultTimeoutMs}},
                etout, UpDown2, Label5);
    addFieldRow(grid, 1, Label3, {"esize", DefaultSize, 3, "UpDown3", {10, 100, 1, EchoTerms::DefaultSize}}, esize,
                UpDown3, Label6);
    addFieldRow(grid, 2, Label4, {"ettl", DefaultTTL, 3, "UpDown4", {10, 100, 1, EchoTerms::DefaultTTL}}, ettl, UpDown4,
                nullptr);
    return GroupBox1;
}

QWidget *TForm2::createTimerSpeed()
{
    auto *area = new QWidget(this);
    Label7 = newLabel(area, "Label7", "Ultra Fast Timer PinG acelerator :");
    Label7->setAlignment(Qt::AlignCenter);
    Label7->setFont(QFont("Times New Roman", 10));
    QPalette blue = Label7->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    Label7->setPalette(blue);
    Label8 = newLabel(area, "Label8", "Timer PinG Turbo Velocity");
    Label9 = newLabel(area, "Label9", "MiliSeg");
    newField(area, Label8, {"velo", "500", 0, "UpDown1", {10, 4000, 10, 500}}, velo, UpDown1);
    Label8->setBuddy(velo);
    auto *row = new QHBoxLayout;
    row->addWidget(velo);
    row->addWidget(UpDown1);
    row->addWidget(Label9);
    row->addStretch(1);
    auto *column = new QVBoxLayout(area);
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(Label7);
    column->addWidget(Label8);
    column->addLayout(row);
    return area;
}

void TForm2::etoutChange()
{
    DialogParts::applyEchoed(
        m_form, etout, [this](int value) { m_form.Ping2->SetTimeout(value); }, Echo::Delay);
}

void TForm2::esizeChange()
{
    DialogParts::applyEchoed(
        m_form, esize, [this](int value) { m_form.Ping2->SetSize(value); }, Echo::Size);
}

void TForm2::ettlChange()
{
    DialogParts::applyEchoed(
        m_form, ettl, [this](int value) { m_form.Ping2->SetTTL(value); }, Echo::TTL);
}

void TForm2::veloChange()
{
    DialogParts::applyEchoed(
        m_form, velo, [this](int value) { m_form.MipTimer1->SetInterval(value); }, Echo::Timer);
}

void TForm2::UpDown2Click()
{
    etoutChange();
}

void TForm2::UpDown3Click()
{
    esizeChange();
}

void TForm2::UpDown4Click()
{
    ettlChange();
}

void TForm2::UpDown1Click()
{
    veloChange();
}

// A field that already shows its design text is not applied again.
void TForm2::SpeedButton2Click()
{
    etout->SetText(DefaultTimeout);
    ettl->SetText(DefaultTTL);
    esize->SetText(DefaultSize);
    velo->SetText("500");
}

void TForm2::SpeedButton3Click()
{
    if (!etout->Text().isEmpty())
        m_form.fastTimeout = etout->Text();
    if (!velo->Text().isEmpty())
        m_form.fastTimer = velo->Text();
}

void TForm2::SpeedButton4Click()
{
    hide();
}
