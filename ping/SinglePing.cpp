#include "SinglePing.h"

#include <utility>

SinglePing::SinglePing(TPing &ping, View view) : m_ping(ping), m_view(std::move(view))
{
    m_ping.OnDnsLookupDone = [this](QObject *, uint16_t error) { lookupDone(error); };
    m_ping.SetOnEchoRequest([this](QObject *) { echoRequest(); });
    m_ping.SetOnEchoReply([this](QObject *, int replies) { echoReply(replies); });
    m_ping.SetOnDisplay([this](QObject *, const std::string &msg) { display(msg); });
}

void SinglePing::start()
{
    if (m_view.clearLog)
        m_view.clearLog();
    m_view.appendLine("Resolving host '" + host() + "'");
    m_view.setButtons(false, true);
    m_ping.SetFamily(m_view.family ? m_view.family() : Sockets::Family::Either);
    m_ping.LookupHost(host());
}

void SinglePing::cancel() { m_ping.CancelLookup(); }

void SinglePing::lookupDone(uint16_t error)
{
    m_view.setButtons(true, false);
    if (error != 0) {
        m_view.appendLine("Dominio desconocido '" + host() + "'");
        return;
    }
    m_view.appendLine("Host '" + host() + "' is " + m_ping.LookupResult());
    m_ping.SetAddress(m_ping.LookupResult());
    m_ping.SendPing();
}

void SinglePing::echoRequest()
{
    m_view.appendLine("Sending " + std::to_string(m_ping.Size()) + " bytes to " + m_ping.ResolvedName() + " (" +
                      m_ping.ResolvedIP() + ")");
}

void SinglePing::echoReply(int replies)
{
    const std::string ip = m_ping.ResolvedIP();
    status("current IP: " + ip);
    if (replies != 0) {
        const ICMP_ECHO_REPLY reply = m_ping.LastReply();
        m_view.appendLine("Received " + std::to_string(reply.DataSize) + " bytes from " + ip + " in " +
                          std::to_string(reply.RoundTripTime) + " mSecs");
        if (m_view.recordMachine)
            m_view.recordMachine(ip, reply.RoundTripTime);
        return;
    }
    m_view.appendLine("Cannot ping host (" + ip + ") : ");
    m_view.appendLine("==> " + m_ping.ErrorText() + " <==");
    status("ERROR: " + m_ping.ErrorText());
}

void SinglePing::display(const std::string &msg) { m_view.appendLine(msg); }

// Blanks typed or pasted around a name are no part of it.
std::string SinglePing::host() const
{
    const std::string text = m_view.hostText();
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

void SinglePing::status(const std::string &text)
{
    if (m_view.setStatus)
        m_view.setStatus(text);
}
