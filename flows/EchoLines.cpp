#include "EchoLines.h"

EchoLines::EchoLines(TPing &ping, View &view, const QString &replyLine)
    : m_ping(ping), m_view(view), m_replyLine(replyLine)
{
    m_ping.SetOnDisplay([this](QObject *, const std::string &msg) { display(msg); });
    m_ping.SetOnEchoRequest([this](QObject *) { request(); });
    m_ping.SetOnEchoReply([this](QObject *, int replies) { reply(replies); });
}

EchoLines::~EchoLines()
{
    m_ping.SetOnDisplay(nullptr);
    m_ping.SetOnEchoRequest(nullptr);
    m_ping.SetOnEchoReply(nullptr);
}

void EchoLines::display(const std::string &msg)
{
    m_view.appendLine(QString::fromStdString(msg));
}

void EchoLines::request()
{
    m_view.appendLine("Sending " + QString::number(m_ping.Size()) + " bytes to " +
                      QString::fromStdString(m_ping.ResolvedName()) + " (" +
                      QString::fromStdString(m_ping.ResolvedIP()) + ")");
}

// The three go into the reply's line at once, so that a % in the address (an IPv6 zone) is taken
// for no place holder.
void EchoLines::reply(int replies)
{
    const QString ip = QString::fromStdString(m_ping.ResolvedIP());
    m_view.setStatus("current IP: " + ip);
    if (replies != 0) {
        const ICMP_ECHO_REPLY reply = m_ping.LastReply();
        m_view.appendLine(m_replyLine.arg(QString::number(reply.DataSize), ip, QString::number(reply.RoundTripTime)));
        m_view.recordMachine(ip, reply.RoundTripTime);
        return;
    }
    const QString error = QString::fromStdString(m_ping.ErrorText());
    m_view.appendLine("Cannot ping host (" + ip + ") : ");
    m_view.appendLine("==> " + error + " <==");
    m_view.setStatus("ERROR: " + error);
}
