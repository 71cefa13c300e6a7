#include "SinglePing.h"

#include <exception>

SinglePing::SinglePing(TPing &ping, View &view) : m_ping(ping), m_view(view)
{
    // A lookup ends in the event loop, where nothing may be thrown: what goes wrong is reported.
    m_ping.OnDnsLookupDone = [this](QObject *, uint16_t error) {
        try {
            Ping1DnsLookupDone(error);
        } catch (const std::exception &e) {
            m_view.reportError(QString::fromUtf8(e.what()));
        }
    };
    m_ping.SetOnEchoRequest([this](QObject *) { Ping1EchoRequest(); });
    m_ping.SetOnEchoReply([this](QObject *, int replies) { Ping1EchoReply(replies); });
    m_ping.SetOnDisplay([this](QObject *, const std::string &msg) { Ping1Display(msg); });
}

SinglePing::~SinglePing()
{
    m_ping.OnDnsLookupDone = nullptr;
    m_ping.SetOnEchoRequest(nullptr);
    m_ping.SetOnEchoReply(nullptr);
    m_ping.SetOnDisplay(nullptr);
}

void SinglePing::start()
{
    m_view.clearLog();
    m_view.appendLine("Resolving host '" + host() + "'");
    m_view.setButtons(false, true);
    m_ping.SetFamily(m_view.family());
    m_ping.LookupHost(host().toStdString());
}

void SinglePing::cancel()
{
    m_ping.CancelLookup();
}

void SinglePing::Ping1DnsLookupDone(uint16_t error)
{
    m_view.setButtons(true, false);
    if (error != 0) {
        m_view.appendLine("Dominio desconocido '" + host() + "'");
        return;
    }
    m_view.appendLine("Host '" + host() + "' is " + QString::fromStdString(m_ping.LookupResult()));
    m_ping.SetAddress(m_ping.LookupResult());
    m_ping.SendPing();
}

void SinglePing::Ping1EchoRequest()
{
    m_view.appendLine("Sending " + QString::number(m_ping.Size()) + " bytes to " +
                      QString::fromStdString(m_ping.ResolvedName()) + " (" +
                      QString::fromStdString(m_ping.ResolvedIP()) + ")");
}

void SinglePing::Ping1EchoReply(int replies)
{
    const QString ip = QString::fromStdString(m_ping.ResolvedIP());
    m_view.setStatus("current IP: " + ip);
    if (replies != 0) {
        const ICMP_ECHO_REPLY reply = m_ping.LastReply();
        m_view.appendLine("Received " + QString::number(reply.DataSize) + " bytes from " + ip + " in " +
                          QString::number(reply.RoundTripTime) + " mSecs");
        m_view.recordMachine(ip, reply.RoundTripTime);
        return;
    }
    const QString error = QString::fromStdString(m_ping.ErrorText());
    m_view.appendLine("Cannot ping host (" + ip + ") : ");
    m_view.appendLine("==> " + error + " <==");
    m_view.setStatus("ERROR: " + error);
}

void SinglePing::Ping1Display(const std::string &msg)
{
    m_view.appendLine(QString::fromStdString(msg));
}

// Blanks typed or pasted around a name are no part of it.
QString SinglePing::host() const
{
    const QString text = m_view.hostText();
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && (text[first] == u' ' || text[first] == u'\t'))
        ++first;
    while (last > first && (text[last - 1] == u' ' || text[last - 1] == u'\t'))
        --last;
    return text.mid(first, last - first);
}
