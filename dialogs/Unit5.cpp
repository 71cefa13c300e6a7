#include "Unit5.h"

#include "DialogParts.h"
#include "UpDown.h"
#include "main/Artwork.h"
#include "main/IntegerText.h"
#include "main/IntervalTimer.h"
#include "main/MachineMemo.h"
#include "main/Unit1.h"
#include "ping/Ping.h"
#include "ping/RePingWalk.h"
#include "widgets/BackgndObj.h"
#include "widgets/DFBevel.h"
#include "widgets/DFCtrls.h"
#include "widgets/FloatEdit.h"
#include "widgets/Gradient.h"
#include "widgets/ProgBarEx.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTextCursor>
#include <QToolButton>
#include <QVBoxLayout>

using DialogParts::addFieldRow;
using DialogParts::newLabel;

namespace {
const QStringList Description = {"Reescanea las Ips de las", "maquinas detectadas por ", "PinG de acuerdo al listado ",
                                 "principal. Resultado :", "Refresh de  Iconos"};

// The summary's lines are 8-bit text, as the machine list file holds them.
QString qText(const std::string &text) { return QString::fromLatin1(text.c_str(), qsizetype(text.size())); }
} // namespace

TForm5::TForm5(TForm1 *owner)
    : QDialog(owner), Ping3(new TPing(this)), rTimer1(new IntervalTimer(10, this)), m_form(*owner)
{
    setObjectName("Form5");
    setWindowTitle("Multi PinG99");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    setFixedSize(281, 242);
    move(191, 285);
    Ping3->setObjectName("Ping3");
    rTimer1->setObjectName("rTimer1");

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(createPanel());
    column->addWidget(createBottom());

    bindWalk();
    FormCreate();
}

// The ping component goes first: a lookup still pending is reported to the walk, which logs it.
TForm5::~TForm5() { delete Ping3; }


QFrame *TForm5::createPanel()
{
    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setFixedHeight(193);
    Memo1 = new QPlainTextEdit(Panel1);
    Memo1->setObjectName("Memo1");
    Memo1->setFixedSize(165, 73);
    Memo1->setFont(QFont("Arial", 8));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setPlainText(Description.join('\n'));

    rping = DialogParts::newButton(this, Panel1, "rping", "&Retry PinG", &TForm5::rpingClick);
    rping->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    rping->setFixedSize(89, 33);
    BitBtn1 = DialogParts::newButton(this, Panel1, "BitBtn1", "&Stop rPinG", &TForm5::BitBtn1Click);
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
    BitBtn1->setFixedWidth(89);
    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), "&Close", Panel1);
    BitBtn2->setObjectName("BitBtn2");
    BitBtn2->setAccessibleName("&Close");
    BitBtn2->setAutoDefault(false);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::close);

    auto *buttons = new QVBoxLayout;
    buttons->addWidget(rping);
    buttons->addWidget(BitBtn1);
    buttons->addStretch(1);
    buttons->addWidget(BitBtn2);
    auto *grid = new QGridLayout(Panel1);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->addWidget(createPicture(), 0, 0);
    grid->addWidget(Memo1, 0, 1);
    grid->addWidget(createOptions(), 1, 0);
    grid->addLayout(buttons, 1, 1);
    return Panel1;
}

QWidget *TForm5::createPicture()
{
    BCBitmap1 = new TBCBitmap(Panel1);
    BCBitmap1->setObjectName("BCBitmap1");
    BCBitmap1->setFixedSize(105, 73);
    BCBitmap1->SetDrawStyle(dsCentered);
    BCBitmap1->SetColorOption(coSmoothed);
    BCBitmap1->Bevel()->SetSize(2);
    TGradient gradient;
    gradient.SetColorCount(3);
    gradient.SetColor1(colorBlue);
    gradient.SetColor2(colorNavy);
    gradient.SetColor3(colorBlack);
    gradient.SetLineDirection(diHorizonal);
    BCBitmap1->Background()->SetGradient(gradient);
    BCBitmap1->Background()->SetBackStyle(bgGradient);
    BCBitmap1->SetPicture(Artwork::computers(48));
    return BCBitmap1;
}

QGroupBox *TForm5::createOptions()
{
    GroupBox1 = new QGroupBox("Opciones", Panel1);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setFixedSize(169, 117);
    Label1 = newLabel(GroupBox1, "Label1", "Time Out");
    Label2 = newLabel(GroupBox1, "Label2", "Paket Size");
    Label3 = newLabel(GroupBox1, "Label3", "TTL");
    Label4 = newLabel(GroupBox1, "Label4", "mSeg");
    Label5 = newLabel(GroupBox1, "Label5", "Bytes");
    auto *grid = new QGridLayout(GroupBox1);
    addFieldRow(grid, 0, Label1, {"rto", "200", 0, "UpDown1", {10, 3000, 10, 200}}, rto, UpDown1, Label4);
    addFieldRow(grid, 1, Label2, {"rps", "56", 0, "UpDown2", {10, 300, 10, 56}}, rps, UpDown2, Label5);
    addFieldRow(grid, 2, Label3, {"rttl", "64", 0, "UpDown3", {32, 100, 1, 64}}, rttl, UpDown3, nullptr);
    ciclo = new QCheckBox("PinG Ciclico", GroupBox1);
    ciclo->setObjectName("ciclo");
    ciclo->setChecked(true);
    grid->addWidget(ciclo, 3, 0, 1, 4);

    DialogParts::bindEvent(this, rto->OnChange, &TForm5::rtoChange);
    DialogParts::bindEvent(this, rps->OnChange, &TForm5::rpsChange);
    DialogParts::bindEvent(this, rttl->OnChange, &TForm5::rttlChange);
    const std::array<std::pair<TUpDown *, void (TForm5::*)(bool &)>, 3> changing = {
        {{UpDown1, &TForm5::UpDown1Changing},
         {UpDown2, &TForm5::UpDown2Changing},
         {UpDown3, &TForm5::UpDown3Changing}}};
    for (const auto &[arrows, handler] : changing)
        arrows->OnChanging = [this, handler = handler](QObject *, bool &allow) {
            reportExceptions(this, [&] { (this->*handler)(allow); });
        };
    return GroupBox1;
}

QWidget *TForm5::createBottom()
{
    auto *bottom = new QWidget(this);
    auto *row = new QHBoxLayout;
    row->setContentsMargins(2, 2, 2, 2);
    const std::array<std::pair<QToolButton **, QStyle::StandardPixmap>, 3> pictures = {
        {{&SpeedButton1, QStyle::SP_ComputerIcon},
         {&SpeedButton2, QStyle::SP_DriveNetIcon},
         {&SpeedButton3, QStyle::SP_MessageBoxInformation}}};
    for (int i = 0; i < 3; ++i) {
        QToolButton *&b = *pictures[i].first;
        b = new QToolButton(bottom);
        b->setObjectName(QString("SpeedButton%1").arg(i + 1));
        b->setIcon(style()->standardIcon(pictures[i].second));
        b->setFixedSize(25, 25);
        row->addWidget(b);
    }
    status = new TProgressBarEx(bottom);
    status->setObjectName("status");
    status->setFixedSize(182, 17);
    status->SetStep(1);
    status->SetBarColor(colorGreen);
    status->SetParentColor(false);
    status->SetColor(colorBlack);
    status->SetSmooth(true);
    row->addWidget(status);

    info = new QStatusBar(bottom);
    info->setObjectName("info");
    info->setSizeGripEnabled(false);
    const int widths[2] = {180, 50};
    for (int i = 0; i < 2; ++i) {
        m_info[i] = new QLabel(info);
        m_info[i]->setObjectName(QString("infoPanel%1").arg(i));
        m_info[i]->setFixedWidth(widths[i]);
        m_info[i]->setFrameShape(QFrame::Panel);
        m_info[i]->setFrameShadow(i == 1 ? QFrame::Raised : QFrame::Sunken);
        info->addWidget(m_info[i]);
    }
    m_info[1]->setAlignment(Qt::AlignCenter);
    m_info[1]->setText("Inactivo");

    auto *column = new QVBoxLayout(bottom);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addLayout(row);
    column->addWidget(info);
    return bottom;
}

void TForm5::bindWalk()
{
    RePingWalk::View view;
    view.machineLines = [this] {
        std::vector<std::string> lines;
        for (const QString &line : m_form.ips->list().lines())
            lines.push_back(line.toLatin1().toStdString());
        return lines;
    };
    view.cyclic = [this] { return ciclo->isChecked(); };
    view.setInterval = [this](int ms) { rTimer1->SetInterval(ms); };
    view.setTimerEnabled = [this](bool enabled) { rTimer1->SetEnabled(enabled); };
    view.setRetryEnabled = [this](bool enabled) { rping->setEnabled(enabled); };
    view.clearLog = [this] { Memo1->clear(); };
    view.appendLine = [this](const std::string &line) { Memo1->appendPlainText(qText(line)); };
    view.removeFirstLines = [this](int count) { removeFirstLines(count); };
    view.setProgressMax = [this](int max) {
        status->SetMax(max);
        status->SetMin(0);
    };
    view.setProgress = [this](int position) { status->SetPosition(position); };
    view.setInfo = [this](int panel, const std::string &text) { m_info.at(panel)->setText(qText(text)); };
    view.recordMachine = [this](const std::string &ip, uint32_t rtt, bool answered) {
        m_form.addico(qText(ip), static_cast<int>(rtt), answered);
    };
    view.reportError = [this](const std::string &text) { showStopMessage(this, QString::fromUtf8(text.c_str())); };
    m_walk = std::make_unique<RePingWalk>(*Ping3, std::move(view));

    // The dialog's handlers stand between Ping3 and the walk; a lookup that ends in the event
    // loop is an entry point of its own.
    Ping3->OnDnsLookupDone = [this](QObject *sender, uint16_t error) {
        reportExceptions(this, [&] { Ping3DnsLookupDone(sender, error); });
    };
    Ping3->SetOnEchoReply([this](QObject *sender, int error) { Ping3EchoReply(sender, error); });
    connect(rTimer1, &QTimer::timeout, this, [this] { reportExceptions(this, [this] { rTimer1Timer(); }); });
    connect(this, &QDialog::finished, this, [this] { reportExceptions(this, [this] { FormClose(); }); });
}

void TForm5::removeFirstLines(int count)
{
    QTextCursor cursor(Memo1->document());
    cursor.movePosition(QTextCursor::Start);
    cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, count);
    cursor.removeSelectedText();
}

QString TForm5::infoPanel(int index) const { return m_info.at(index)->text(); }

void TForm5::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        BitBtn1->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

// The time-out and the timer's interval are one setting.
void TForm5::FormCreate()
{
    Ping3->SetTimeout(integerOf(rto->Text()));
    Ping3->SetSize(integerOf(rps->Text()));
    Ping3->SetTTL(integerOf(rttl->Text()));
    rTimer1->SetInterval(Ping3->Timeout());
}

void TForm5::rtoChange()
{
    applyInteger(rto->Text(), [this](int value) { m_walk->setTimeout(value); });
}

void TForm5::rpsChange()
{
    applyInteger(rps->Text(), [this](int value) { Ping3->SetSize(value); });
}

void TForm5::rttlChange()
{
    applyInteger(rttl->Text(), [this](int value) { Ping3->SetTTL(value); });
}

// Before a step the text as it stands is applied; the step's new text is applied as a change.
void TForm5::UpDown1Changing(bool &) { rtoChange(); }

void TForm5::UpDown2Changing(bool &) { rpsChange(); }

void TForm5::UpDown3Changing(bool &) { rttlChange(); }

void TForm5::rpingClick() { m_walk->rpingClick(); }

void TForm5::BitBtn1Click() { m_walk->BitBtn1Click(); }

void TForm5::rTimer1Timer() { m_walk->rTimer1Timer(); }

void TForm5::Ping3DnsLookupDone(QObject *, uint16_t Error) { m_walk->Ping3DnsLookupDone(Error); }

void TForm5::Ping3EchoReply(QObject *, int Error) { m_walk->Ping3EchoReply(Error); }

// Closing does not stop a walk; the range scan page gets its start and stop back.
void TForm5::FormClose()
{
    m_form.MipPinG->setEnabled(true);
    m_form.MipStop->setEnabled(true);
}
