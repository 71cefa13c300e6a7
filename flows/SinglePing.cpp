#include "SinglePing.h"

#include <exception>

SinglePing::SinglePing(TPing &ping, View &view)
    : m_ping(ping), m_view(view), m_lines(ping, view, "Received %1 bytes from %2 in %3 mSecs")
{
    // A lookup ends in the event loop, where nothing may be thrown: what goes wrong is reported.
    m_ping.OnDnsLookupDone = [this](QObject *, uint16_t error) {
        try {
            Ping1DnsLookupDone(error);
        } catch (const std::exception &e) {
            m_view.reportError(QString::fromUtf8(e.what()));
        }
    };
}

SinglePing::~SinglePing()
{
    m_ping.OnDnsLookupDone = nullptr;
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
