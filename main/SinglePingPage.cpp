#include "SinglePingPage.h"

#include "Unit1.h"
#include "ui/ExceptionReport.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>

SinglePingPage::SinglePingPage(TForm1 &form)
    : m_form(form), m_pingFocus(form.PingButton, form.HostEdit), m_sequence(*form.Ping1, *this)
{
}

QString SinglePingPage::hostText() const
{
    return m_form.HostEdit->text();
}

Sockets::Family SinglePingPage::family() const
{
    return m_form.IPv6Box->isChecked() ? Sockets::Family::IPv6 : Sockets::Family::Either;
}

void SinglePingPage::clearLog()
{
    m_form.DisplayMemo->clear();
}

void SinglePingPage::appendLine(const QString &line)
{
    m_form.DisplayMemo->appendPlainText(line);
}

void SinglePingPage::setButtons(bool pingEnabled, bool cancelEnabled)
{
    m_pingFocus.setEnabled(pingEnabled);
    m_form.CancelButton->setEnabled(cancelEnabled);
}

void SinglePingPage::setStatus(const QString &text)
{
    m_form.setStatusPanel(0, text);
}

void SinglePingPage::recordMachine(const QString &ip, uint32_t rtt)
{
    m_form.addico(ip, static_cast<int>(rtt));
}

void SinglePingPage::reportError(const QString &text)
{
    showStopMessage(&m_form, text);
}
