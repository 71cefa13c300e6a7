#include "RangeScanPage.h"

#include "MachineListView.h"
#include "PageLook.h"
#include "Unit1.h"
#include "widgets/AHMTMessages.h"
#include "widgets/FloatEdit.h"
#include "widgets/TransBtn.h"

#include <QGridLayout>
#include <QLabel>
#include <QPlainTextEdit>

namespace {
using Edit = MultiPingScan::Edit;
using Caption = MultiPingScan::Caption;
using Button = MultiPingScan::Button;

// Only a start and an end address to show at first; nothing is pinged before a click.
const char *const StartOctets[4] = {"192", "168", "1", "1"};
const char *const EndOctets[4] = {"192", "168", "1", "255"};
} // namespace

RangeScanPage::RangeScanPage(TForm1 &form) : m_form(form)
{
    m_form.Background2 = newPageBackground(m_form.TabSheet2, "Background2", 5);
    createAddressFields();
    createCaptions();
    createButtons();
    createMessages();
    layOut();
    // The end's last octet comes just before Multi PinG in the tab order.
    m_startFocus.emplace(m_form.MipPinG, m_form.ip10);
    m_scan = std::make_unique<MultiPingScan>(*m_form.Ping2, static_cast<MultiPingScan::View &>(*this));
}

RangeScanPage::~RangeScanPage() = default;

TFloatEdit *RangeScanPage::newOctetField(const char *name, const QString &text)
{
    auto *edit = new TFloatEdit(m_form.TabSheet2);
    edit->setObjectName(name);
    edit->SetMaxLength(3);
    edit->SetText(text);
    edit->setFixedWidth(33);
    return edit;
}

void RangeScanPage::createAddressFields()
{
    m_form.Label2 = new QLabel("Ip de Inicio", m_form.TabSheet2);
    m_form.Label2->setObjectName("Label2");
    m_form.Label3 = new QLabel("ip Final", m_form.TabSheet2);
    m_form.Label3->setObjectName("Label3");
    TFloatEdit **start[4] = {&m_form.ip03, &m_form.ip02, &m_form.ip01, &m_form.ip00};
    TFloatEdit **end[4] = {&m_form.ip13, &m_form.ip12, &m_form.ip11, &m_form.ip10};
    for (int i = 0; i < 4; ++i) {
        *start[i] = newOctetField(qPrintable(QString("ip0%1").arg(3 - i)), StartOctets[i]);
        *end[i] = newOctetField(qPrintable(QString("ip1%1").arg(3 - i)), EndOctets[i]);
        (*start[i])->setAccessibleName(m_form.Label2->text() + ", octeto " + QString::number(i + 1));
        (*end[i])->setAccessibleName(m_form.Label3->text() + ", octeto " + QString::number(i + 1));
    }
    // The end address follows the start's first octets as they are typed.
    TForm1 *form = &m_form;
    m_form.ip03->OnKeyUp = [form](QObject *, int &, Qt::KeyboardModifiers) {
        reportExceptions(form, [form] { form->ip03KeyUp(form->ip03->ReleaseTyped()); });
    };
    const std::pair<TFloatEdit *, void (TForm1::*)()> keyUps[2] = {{m_form.ip02, &TForm1::ip02KeyUp},
                                                                   {m_form.ip01, &TForm1::ip01KeyUp}};
    for (const auto &[edit, handler] : keyUps)
        edit->OnKeyUp = [form, handler = handler](QObject *, int &, Qt::KeyboardModifiers) {
            reportExceptions(form, [form, handler] { (form->*handler)(); });
        };
}

QLabel *RangeScanPage::newCaption(const char *name, const QString &text, Qt::GlobalColor color)
{
    auto *label = new QLabel(text, m_form.TabSheet2);
    label->setObjectName(name);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    return label;
}

// The scan keeps its state in these captions; only lipo is ever shown.
void RangeScanPage::createCaptions()
{
    QLabel **current[4] = {&m_form.cip3, &m_form.cip2, &m_form.cip1, &m_form.cip0};
    QLabel **limit[4] = {&m_form.cipf3, &m_form.cipf2, &m_form.cipf1, &m_form.cipf0};
    for (int i = 0; i < 4; ++i) {
        *current[i] = newCaption(qPrintable(QString("cip%1").arg(3 - i)), "206", Qt::red);
        *limit[i] = newCaption(qPrintable(QString("cipf%1").arg(3 - i)), "255", Qt::yellow);
        (*current[i])->setVisible(false);
        (*limit[i])->setVisible(false);
    }
    m_form.Label8 = newCaption("Label8", "Curret Ip :", Qt::white);
    m_form.lipo = newCaption("lipo", "Zarvo SoftWare", Qt::white);
    // Read as the address it shows, under its heading.
    m_form.lipo->setAccessibleDescription(m_form.Label8->text());
}

// Halt's picture has a second cell, shown while it is disabled.
void RangeScanPage::createButtons()
{
    QWidget *page = m_form.TabSheet2;
    m_form.MipPinG = newPageButton(page, "MipPinG", "Multi PinG", QStyle::SP_MediaSeekForward);
    m_form.mipHalt = newPageButton(page, "mipHalt", "Halt", QStyle::SP_MediaPause, GlyphCells::withDisabled);
    m_form.mipHalt->setEnabled(false);
    m_form.MipStop = newPageButton(page, "MipStop", "Stop", QStyle::SP_MediaStop);
    m_form.MipPinG->OnClick = m_form.notifier(&TForm1::MipPinGClick);
    m_form.mipHalt->OnClick = m_form.notifier(&TForm1::mipHaltClick);
    m_form.MipStop->OnClick = m_form.notifier(&TForm1::MipStopClick);

    m_form.MDisplayMemo = new QPlainTextEdit(m_form.TabSheet2);
    m_form.MDisplayMemo->setObjectName("MDisplayMemo");
    m_form.MDisplayMemo->setAccessibleName("Registro de Multi PinG");
    // Typed text is welcome, but Tab moves on.
    m_form.MDisplayMemo->setTabChangesFocus(true);
    QPalette palette;
    palette.setColor(QPalette::Text, Qt::white);
    palette.setColor(QPalette::Base, Qt::black);
    m_form.MDisplayMemo->setPalette(palette);
}

TAHMMsgBox *RangeScanPage::newMessage(const char *name, MultiPingScan::Message message)
{
    auto *box = new TAHMMsgBox(&m_form);
    box->setObjectName(name);
    box->SetCaption(MultiPingScan::linesOf(message));
    box->SetMessageType(mtError);
    box->SetButtons({mbOK});
    box->SetSound(bCriticalStop);
    return box;
}

void RangeScanPage::createMessages()
{
    m_form.iperror = newMessage("iperror", MultiPingScan::Message::iperror);
    TForm1 *form = &m_form;
    m_form.iperror->OnOk = [form](QObject *sender) { form->iperrorOk(sender); };
    m_form.ipferror = newMessage("ipferror", MultiPingScan::Message::ipferror);
}

void RangeScanPage::layOut()
{
    auto *grid = new QGridLayout;
    grid->setSpacing(4);
    grid->addWidget(m_form.Label2, 0, 0, 1, 4);
    grid->addWidget(m_form.Label3, 2, 0, 1, 4);
    TFloatEdit *const start[4] = {m_form.ip03, m_form.ip02, m_form.ip01, m_form.ip00};
    TFloatEdit *const end[4] = {m_form.ip13, m_form.ip12, m_form.ip11, m_form.ip10};
    for (int i = 0; i < 4; ++i) {
        grid->addWidget(start[i], 1, i);
        grid->addWidget(end[i], 3, i);
    }
    auto *current = new QHBoxLayout;
    current->addWidget(m_form.Label8);
    current->addWidget(m_form.lipo, 1);
    grid->addLayout(current, 4, 0, 1, 5);
    auto *buttons = new QVBoxLayout;
    for (TTransparentButton *b : {m_form.MipPinG, m_form.mipHalt, m_form.MipStop})
        buttons->addWidget(b);
    grid->addLayout(buttons, 0, 4, 4, 1);

    auto *row = new QHBoxLayout(m_form.TabSheet2);
    row->setContentsMargins(8, 4, 4, 4);
    row->addLayout(grid);
    row->addWidget(m_form.MDisplayMemo, 1);
}

TFloatEdit *RangeScanPage::field(Edit edit) const
{
    TFloatEdit *const fields[8] = {m_form.ip00, m_form.ip01, m_form.ip02, m_form.ip03,
                                   m_form.ip10, m_form.ip11, m_form.ip12, m_form.ip13};
    return fields[static_cast<int>(edit)];
}

QLabel *RangeScanPage::label(Caption caption) const
{
    QLabel *const captions[9] = {m_form.cip0,  m_form.cip1,  m_form.cip2,  m_form.cip3, m_form.cipf0,
                                 m_form.cipf1, m_form.cipf2, m_form.cipf3, m_form.lipo};
    return captions[static_cast<int>(caption)];
}

TTransparentButton *RangeScanPage::button(Button button) const
{
    return button == Button::MipPinG ? m_form.MipPinG : m_form.mipHalt;
}

QString RangeScanPage::editText(Edit edit) const
{
    return field(edit)->Text();
}

void RangeScanPage::setEditText(Edit edit, const QString &text)
{
    field(edit)->SetText(text);
}

void RangeScanPage::focusEdit(Edit edit)
{
    field(edit)->setFocus();
}

QString RangeScanPage::caption(Caption which) const
{
    return label(which)->text();
}

void RangeScanPage::setCaption(Caption which, const QString &text)
{
    label(which)->setText(text);
}

bool RangeScanPage::isEnabled(Button which) const
{
    return button(which)->isEnabled();
}

void RangeScanPage::setEnabled(Button which, bool enabled)
{
    if (which == Button::MipPinG)
        m_startFocus->setEnabled(enabled);
    else
        button(which)->setEnabled(enabled);
}

bool RangeScanPage::timerEnabled() const
{
    return m_form.MipTimer1->Enabled();
}

void RangeScanPage::setTimerEnabled(bool enabled)
{
    m_form.MipTimer1->SetEnabled(enabled);
}

void RangeScanPage::clearLog()
{
    m_form.MDisplayMemo->clear();
}

void RangeScanPage::appendLine(const QString &line)
{
    m_form.MDisplayMemo->appendPlainText(line);
}

void RangeScanPage::setStatus(const QString &text)
{
    m_form.setStatusPanel(0, text);
}

void RangeScanPage::recordMachine(const QString &ip, uint32_t rtt)
{
    m_form.addico(ip, static_cast<int>(rtt));
}

int RangeScanPage::machineCount() const
{
    return m_form.ListView1->count();
}

void RangeScanPage::showMessage(MultiPingScan::Message message)
{
    (message == MultiPingScan::Message::iperror ? m_form.iperror : m_form.ipferror)->Execute();
}

void RangeScanPage::reportError(const QString &text)
{
    showStopMessage(&m_form, text);
}
