#include "Unit3.h"

#include "DialogParts.h"
#include "main/Unit1.h"
#include "ping/Ping.h"
#include "ui/IntervalTimer.h"
#include "ui/UpDown.h"
#include "widgets/FloatEdit.h"
#include "widgets/ScreenCentre.h"

#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <exception>

using DialogParts::addFieldRow;
using DialogParts::DefaultSize;
using DialogParts::DefaultTTL;
using DialogParts::Echo;
using DialogParts::newField;
using DialogParts::newLabel;

namespace {
QFont bookman(int points)
{
    return QFont("Bookman Old Style", points);
}
} // namespace

TForm3::TForm3(TForm1 *owner) : QDialog(owner), siprTimer1(new IntervalTimer(1000, this)), m_form(*owner)
{
    setObjectName("Form3");
    setWindowTitle("Single PinG");
    setWindowFlags(Qt::Dialog | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(DialogParts::designFont());
    siprTimer1->setObjectName("siprTimer1");

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(2, 0, 2, 0);
    column->setSpacing(0);
    column->addWidget(createRetry());
    column->addStretch(1);
    column->addWidget(createProperties());
    orderTabs();
    TScreenCentre::keepCentred(this, QSize(197, 344));

    DialogParts::bindField(this, siprt, &TForm3::siprtChange, UpDown4, &TForm3::UpDown4Click);
    DialogParts::bindField(this, spinto, &TForm3::spintoChange, UpDown1, &TForm3::UpDown1Click);
    DialogParts::bindField(this, sps, &TForm3::spsChange, UpDown2, &TForm3::UpDown2Click);
    DialogParts::bindField(this, spttl, &TForm3::spttlChange, UpDown3, &TForm3::UpDown3Click);
    connect(siprTimer1, &QTimer::timeout, this, [this] { reportExceptions(this, [this] { siprTimer1Timer(); }); });
    // Every way of closing ends in finished: the close box, Escape, the main window's page switch.
    connect(this, &QDialog::finished, this, [this] { reportExceptions(this, [this] { FormClose(); }); });
    FormCreate();
}

// One line each: the host, the interval, the commands.
QGroupBox *TForm3::createRetry()
{
    GroupBox2 = new QGroupBox("Retry PinG", this);
    GroupBox2->setObjectName("GroupBox2");
    GroupBox2->setFixedHeight(117);
    Label7 = newLabel(GroupBox2, "Label7", "Actual IP :");
    Label7->setFont(bookman(8));
    Label8 = newLabel(GroupBox2, "Label8", "000.000.000.000");
    Label8->setFont(bookman(8));
    QPalette blue = Label8->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    Label8->setPalette(blue);
    Label1 = newLabel(GroupBox2, "Label1", "Retry Time");
    newField(GroupBox2, Label1, {"siprt", "50", 0, "UpDown4", {1, 5000, 10, 50}}, siprt, UpDown4);
    Label1->setBuddy(siprt);
    Label9 = newLabel(GroupBox2, "Label9", "mSeg");

    BitBtn2 = DialogParts::newButton(this, GroupBox2, "BitBtn2", "Retry PinG", &TForm3::BitBtn2Click);
    BitBtn2->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    BitBtn2->setIconSize(DialogParts::GlyphSize);
    BitBtn2->setFixedSize(121, 41);
    BitBtn2->setFont(bookman(10));
    QPalette navy = BitBtn2->palette();
    navy.setColor(QPalette::ButtonText, QColor(0, 0, 128));
    BitBtn2->setPalette(navy);
    SpeedButton1 = new QToolButton(GroupBox2);
    SpeedButton1->setObjectName("SpeedButton1");
    SpeedButton1->setToolTip("Stop");
    SpeedButton1->setAccessibleName("Stop");
    SpeedButton1->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
    SpeedButton1->setFixedSize(41, 41);
    DialogParts::bindClick(this, SpeedButton1, &TForm3::SpeedButton1Click);

    const QList<QList<QWidget *>> lines = {{Label7, Label8}, {Label1, siprt, UpDown4, Label9}, {BitBtn2, SpeedButton1}};
    auto *column = new QVBoxLayout(GroupBox2);
    column->setContentsMargins(6, 2, 6, 4);
    column->setSpacing(2);
    for (const QList<QWidget *> &line : lines) {
        auto *row = new QHBoxLayout;
        row->setSpacing(4);
        for (QWidget *control : line)
            row->addWidget(control);
        row->addStretch(1);
        column->addLayout(row);
    }
    return GroupBox2;
}

QGroupBox *TForm3::createProperties()
{
    GroupBox1 = new QGroupBox("Propiedades de Single PinG", this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setFixedHeight(193);
    GroupBox1->setFont(bookman(8));
    Label2 = newLabel(GroupBox1, "Label2", "Time Out");
    Label3 = newLabel(GroupBox1, "Label3", "SiZe");
    Label4 = newLabel(GroupBox1, "Label4", "TLL");
    Label5 = newLabel(GroupBox1, "Label5", "mSeg");
    Label6 = newLabel(GroupBox1, "Label6", "Bytes");
    auto *grid = new QGridLayout(GroupBox1);
    DialogParts::tighten(grid);
    addFieldRow(grid, 0, Label2, {"spinto", "1000", 5, "UpDown1", {100, 4000, 100, 1000}}, spinto, UpDown1, Label5);
    addFieldRow(grid, 1, Label3, {"sps", DefaultSize, 3, "UpDown2", {10, 100, 1, EchoTerms::DefaultSize}}, sps, UpDown2,
                Label6);
    addFieldRow(grid, 2, Label4, {"spttl", DefaultTTL, 3, "UpDown3", {10, 100, 1, EchoTerms::DefaultTTL}}, spttl,
                UpDown3, nullptr);
    BitBtn1 = DialogParts::newButton(this, GroupBox1, "BitBtn1", "&Restore original valores", &TForm3::BitBtn1Click);
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_DialogResetButton));
    BitBtn1->setIconSize(DialogParts::GlyphSize);
    BitBtn1->setFixedWidth(165);
    grid->addWidget(BitBtn1, 3, 0, 1, 4);

    Panel1 = new QFrame(GroupBox1);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(2);
    BitBtn3 = DialogParts::newButton(this, Panel1, "BitBtn3", "load to ultraFast pinG", &TForm3::BitBtn3Click);
    BitBtn3->setIcon(style()->standardIcon(QStyle::SP_MediaSeekForward));
    BitBtn3->setIconSize(DialogParts::GlyphSize);
    BitBtn3->setFixedWidth(153);
    auto *inPanel = new QHBoxLayout(Panel1);
    inPanel->setContentsMargins(4, 4, 4, 4);
    inPanel->addWidget(BitBtn3);
    grid->addWidget(Panel1, 4, 0, 1, 4);
    grid->setRowStretch(5, 1);
    return GroupBox1;
}

// The host, then the retry, then the settings from the top down.
void TForm3::orderTabs()
{
    const QList<QWidget *> chain = {siprt, BitBtn2, SpeedButton1, spinto, sps, spttl, BitBtn1, BitBtn3};
    for (int i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
}

// A text that differs from the design's counts as a change and is applied.
void TForm3::FormCreate()
{
    spinto->SetText(QString::number(m_form.Ping1->Timeout()));
    sps->SetText(QString::number(m_form.Ping1->Size()));
    spttl->SetText(QString::number(m_form.Ping1->TTL()));
}

void TForm3::spintoChange()
{
    DialogParts::applyEchoed(
        m_form, spinto, [this](int value) { m_form.Ping1->SetTimeout(value); }, Echo::Delay);
}

void TForm3::spsChange()
{
    DialogParts::applyEchoed(
        m_form, sps, [this](int value) { m_form.Ping1->SetSize(value); }, Echo::Size);
}

void TForm3::spttlChange()
{
    DialogParts::applyEchoed(
        m_form, spttl, [this](int value) { m_form.Ping1->SetTTL(value); }, Echo::TTL);
}

void TForm3::siprtChange()
{
    DialogParts::applyEchoed(
        m_form, siprt, [this](int value) { siprTimer1->SetInterval(value); }, Echo::Timer);
}

void TForm3::UpDown1Click()
{
    spintoChange();
}

void TForm3::UpDown2Click()
{
    spsChange();
}

void TForm3::UpDown3Click()
{
    spttlChange();
}

void TForm3::UpDown4Click()
{
    siprtChange();
}

// The panels are set whatever changed; the retry interval is left alone.
void TForm3::BitBtn1Click()
{
    spinto->SetText("1000");
    sps->SetText(DefaultSize);
    spttl->SetText(DefaultTTL);
    DialogParts::echo(m_form, Echo::Size, DefaultSize);
    DialogParts::echo(m_form, Echo::Delay, "1000");
    DialogParts::echo(m_form, Echo::TTL, DefaultTTL);
}

void TForm3::BitBtn3Click()
{
    if (!spinto->Text().isEmpty())
        m_form.fastTimeout = spinto->Text();
    if (!siprt->Text().isEmpty())
        m_form.fastTimer = siprt->Text();
}

// The first request goes out at the first tick.
void TForm3::BitBtn2Click()
{
    if (!m_form.HostEdit->text().isEmpty())
        siprTimer1->SetEnabled(true);
}

void TForm3::SpeedButton1Click()
{
    siprTimer1->SetEnabled(false);
}

// The host is read at every tick, so editing it changes the host from the next tick on.
void TForm3::siprTimer1Timer()
{
    if (m_form.HostEdit->text().isEmpty()) {
        siprTimer1->SetEnabled(false);
        return;
    }
    try {
        m_form.PingButtonClick();
    } catch (const std::exception &e) {
        // The timer rests while the report is up, so that the ticks due meanwhile do not stack
        // reports; the next tick tries again.
        siprTimer1->SetEnabled(false);
        showStopMessage(this, QString::fromUtf8(e.what()));
        siprTimer1->SetEnabled(true);
    }
}

void TForm3::FormClose()
{
    siprTimer1->SetEnabled(false);
}
