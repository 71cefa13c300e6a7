#include "Unit5.h"

#include "DialogParts.h"
#include "main/MonitorPage.h"
#include "main/Unit1.h"
#include "ping/Ping.h"
#include "ui/Artwork.h"
#include "ui/HistoryFile.h"
#include "ui/IntegerText.h"
#include "ui/IntervalTimer.h"
#include "ui/TestSeams.h"
#include "ui/UpDown.h"
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
#include <QShowEvent>
#include <QStatusBar>
#include <QStyle>
#include <QTextCursor>
#include <tuple>

using DialogParts::addFieldRow;
using DialogParts::newLabel;

namespace {
const QStringList Description = {"Reescanea las Ips de las", "maquinas detectadas por ", "PinG de acuerdo al listado ",
                                 "principal. Resultado :", "Refresh de  Iconos"};
} // namespace

TForm5::TForm5(TForm1 *owner)
    : QDialog(owner), Ping3(new TPing(this)), rTimer1(new IntervalTimer(10, this)), m_form(*owner)
{
    setObjectName("Form5");
    setWindowTitle("Multi PinG99");
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    setFont(DialogParts::designFont());
    setFixedSize(281, 242);
    move(191, 285);
    Ping3->setObjectName("Ping3");
    rTimer1->setObjectName("rTimer1");

    createPanel();
    createBottom();
    orderTabs();

    bindWalk();
    FormCreate();
}

// The walk lets go of the ping component's events before the component goes, so that a lookup
// still pending is cancelled without writing into a dialog on its way out.
TForm5::~TForm5()
{
    m_walk.reset();
    delete Ping3;
}

// The design's sizes leave no room for layouts to share out: every control has its place. The
// picture and the options fill the panel's height but for the bevel.
void TForm5::createPanel()
{
    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setGeometry(0, 0, 281, 193);
    createPicture()->setGeometry(4, 1, 105, 73);

    Memo1 = new QPlainTextEdit(Panel1);
    Memo1->setObjectName("Memo1");
    Memo1->setAccessibleName("Resultado");
    Memo1->setGeometry(112, 1, 165, 73);
    Memo1->setFont(QFont("Arial", 8));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setTabChangesFocus(true);
    Memo1->setPlainText(Description.join('\n'));

    createOptions()->setGeometry(4, 74, 169, 117);

    rping = DialogParts::newButton(this, Panel1, "rping", "&Retry PinG", &TForm5::rpingClick);
    rping->setIcon(style()->standardIcon(QStyle::SP_BrowserReload));
    rping->setGeometry(188, 80, 89, 33);
    BitBtn1 = DialogParts::newButton(this, Panel1, "BitBtn1", "&Stop rPinG", &TForm5::BitBtn1Click);
    BitBtn1->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
    BitBtn1->setGeometry(188, 117, 89, 33);
    BitBtn2 = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), "&Close", Panel1);
    BitBtn2->setObjectName("BitBtn2");
    BitBtn2->setAutoDefault(false);
    BitBtn2->setGeometry(188, 163, 89, 25);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::close);
    for (QPushButton *button : {rping, BitBtn1, BitBtn2})
        button->setIconSize(DialogParts::GlyphSize);
}

QWidget *TForm5::createPicture()
{
    BCBitmap1 = new TBCBitmap(Panel1);
    BCBitmap1->setObjectName("BCBitmap1");
    BCBitmap1->setAccessibleName("Maquinas en red");
    BCBitmap1->SetDrawStyle(dsCentered);
    BCBitmap1->SetColorOption(coSmoothed);
    BCBitmap1->Bevel()->SetSize(2);
    TGradient gradient;
    gradient.SetColorCount(2);
    gradient.SetColor1(colorBlue);
    gradient.SetColor2(rgbColor(0, 0, 160));
    gradient.SetColor3(colorBlack);
    gradient.SetLineDirection(diHorizonal);
    gradient.SetLineSize(1);
    BCBitmap1->Background()->SetGradient(gradient);
    BCBitmap1->Background()->SetBackStyle(bgGradient);
    BCBitmap1->SetPicture(Artwork::computers(48));
    return BCBitmap1;
}

QGroupBox *TForm5::createOptions()
{
    GroupBox1 = new QGroupBox("Opciones", Panel1);
    GroupBox1->setObjectName("GroupBox1");
    Label1 = newLabel(GroupBox1, "Label1", "Time Out");
    Label2 = newLabel(GroupBox1, "Label2", "Paket Size");
    Label3 = newLabel(GroupBox1, "Label3", "TTL");
    Label4 = newLabel(GroupBox1, "Label4", "mSeg");
    Label5 = newLabel(GroupBox1, "Label5", "Bytes");
    auto *grid = new QGridLayout(GroupBox1);
    DialogParts::tighten(grid);
    addFieldRow(grid, 0, Label1,
                {"rto",
                 QString::number(EchoTerms::DefaultRePingTimeoutMs),
                 0,
                 "UpDown1",
                 {10, 3000, 10, EchoTerms::DefaultRePingTimeoutMs}},
                rto, UpDown1, Label4);
    addFieldRow(grid, 1, Label2, {"rps", DialogParts::DefaultSize, 0, "UpDown2", {10, 300, 10, EchoTerms::DefaultSize}},
                rps, UpDown2, Label5);
    addFieldRow(grid, 2, Label3, {"rttl", DialogParts::DefaultTTL, 0, "UpDown3", {32, 100, 1, EchoTerms::DefaultTTL}},
                rttl, UpDown3, nullptr);
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

// Three pictures framed as buttons that do nothing: assistive tools read them as the pictures they
// are, and neither the keyboard nor the mouse can press them; the progress bar; the status bar along
// the bottom edge.
void TForm5::createBottom()
{
    const std::array<std::tuple<QLabel **, QStyle::StandardPixmap, const char *>, 3> pictures = {
        {{&SpeedButton1, QStyle::SP_ComputerIcon, "Equipo"},
         {&SpeedButton2, QStyle::SP_DriveNetIcon, "Red"},
         {&SpeedButton3, QStyle::SP_MessageBoxInformation, "Informacion"}}};
    for (int i = 0; i < 3; ++i) {
        const auto &[picture, icon, name] = pictures[i];
        QLabel *&p = *picture;
        p = new QLabel(this);
        p->setObjectName(QString("SpeedButton%1").arg(i + 1));
        p->setAccessibleName(name);
        p->setFrameStyle(QFrame::Panel | QFrame::Raised);
        p->setAlignment(Qt::AlignCenter);
        p->setPixmap(style()->standardIcon(icon).pixmap(16, 16));
        p->setGeometry(4 + 27 * i, 195, 25, 25);
    }
    status = new TProgressBarEx(this);
    status->setObjectName("status");
    status->setAccessibleName("Progreso");
    status->setGeometry(95, 199, 182, 17);
    status->SetStep(1);
    status->SetBarColor(colorGreen);
    status->SetParentColor(false);
    status->SetColor(colorBlack);
    status->SetSmooth(true);

    info = new QStatusBar(this);
    info->setObjectName("info");
    info->setAccessibleName("Estado");
    info->setSizeGripEnabled(false);
    info->setGeometry(0, 222, 281, 20);
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
}

// The settings, then the commands; the log, which takes typed text too, comes last.
void TForm5::orderTabs()
{
    const QList<QWidget *> chain = {rto, rps, rttl, ciclo, rping, BitBtn1, BitBtn2, Memo1};
    for (int i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
}

// The first keys go to the walk's command, or to its stop while a walk runs.
void TForm5::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    (rping->isEnabled() ? rping : BitBtn1)->setFocus(Qt::TabFocusReason);
}

void TForm5::bindWalk()
{
    m_walk = std::make_unique<RePingWalk>(*Ping3, static_cast<RePingWalk::View &>(*this), windowClock());
    m_walk->setHistoryFile(HistoryFile::path().toStdString());
    m_walk->setDownAfter(m_form.monitor().downAfter());
    connect(rTimer1, &QTimer::timeout, this, [this] { reportExceptions(this, [this] { rTimer1Timer(); }); });
    connect(this, &QDialog::finished, this, [this] { reportExceptions(this, [this] { FormClose(); }); });
}

QStringList TForm5::machineLines() const
{
    return m_form.machineLines();
}

bool TForm5::cyclic()
{
    return ciclo->isChecked();
}

void TForm5::setInterval(int ms)
{
    rTimer1->SetInterval(ms);
}

void TForm5::setTimerEnabled(bool enabled)
{
    rTimer1->SetEnabled(enabled);
}

void TForm5::setRetryEnabled(bool enabled)
{
    rping->setEnabled(enabled);
}

void TForm5::clearLog()
{
    Memo1->clear();
}

void TForm5::appendLine(const QString &line)
{
    Memo1->appendPlainText(line);
}

void TForm5::setProgressMax(int max)
{
    status->SetMax(max);
    status->SetMin(0);
}

void TForm5::setProgress(int position)
{
    status->SetPosition(position);
}

void TForm5::setInfo(int panel, const QString &text)
{
    m_info.at(panel)->setText(text);
}

void TForm5::recordMachine(const QString &ip, uint32_t rtt, bool answered)
{
    m_form.addico(ip, static_cast<int>(rtt), answered);
}

void TForm5::reportError(const QString &text)
{
    showStopMessage(this, text);
}

void TForm5::reportHistoryFailure(const HistoryError &failure)
{
    showStopMessage(this, HistoryFile::failureText(failure) + "\nEl re-ping sigue sin guardar sus respuestas.");
}

void TForm5::reachabilityChanged(const std::vector<Reachability::Change> &changes)
{
    m_form.machinesChanged(changes);
}

void TForm5::removeFirstLines(int count)
{
    QTextCursor cursor(Memo1->document());
    cursor.movePosition(QTextCursor::Start);
    cursor.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor, count);
    cursor.removeSelectedText();
}

QString TForm5::infoPanel(int index) const
{
    return m_info.at(index)->text();
}

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
void TForm5::UpDown1Changing(bool &)
{
    rtoChange();
}

void TForm5::UpDown2Changing(bool &)
{
    rpsChange();
}

void TForm5::UpDown3Changing(bool &)
{
    rttlChange();
}

void TForm5::rpingClick()
{
    m_walk->rpingClick();
}

void TForm5::BitBtn1Click()
{
    m_walk->BitBtn1Click();
}

void TForm5::rTimer1Timer()
{
    m_walk->rTimer1Timer();
}

// Closing does not stop a walk; the range scan page gets its start and stop back.
void TForm5::FormClose()
{
    m_form.MipPinG->setEnabled(true);
    m_form.MipStop->setEnabled(true);
}
