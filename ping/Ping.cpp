#include "Ping.h"

#include "ping/AsyncLookup.h"
#include "platform/IcmpApi.h"
#include "platform/Sockets.h"

#include <QString>
#include <QtGlobal>

TPing::TPing(QObject *owner) : QObject(owner), m_session(std::make_unique<TICMP>())
{
    m_LookupWindow = std::make_unique<AsyncLookup>();
    m_LookupWindow->onDone = [this](uint32_t handle, uint16_t error, const Sockets::HostEntry &entry) {
        lookupDone(handle, error, entry);
    };
}

TPing::~TPing()
{
    // A pending lookup is reported as cancelled before the component goes; a refused cancellation
    // must not escape a destructor, and nothing is pending any more once the lookup object is gone.
    try {
        CancelLookup();
    } catch (const std::exception &e) {
        qWarning("%s", e.what());
        m_LookupHandle = 0;
    }
    m_LookupWindow.reset();
    m_session.reset();
}

std::string TPing::Address() const
{
    return m_session->Address();
}
void TPing::SetAddress(const std::string &value)
{
    m_session->SetAddress(value);
}
int TPing::Size() const
{
    return m_session->Size();
}
void TPing::SetSize(int value)
{
    m_session->SetSize(value);
}
int TPing::Timeout() const
{
    return m_session->Timeout();
}
void TPing::SetTimeout(int value)
{
    m_session->SetTimeout(value);
}
int TPing::TTL() const
{
    return m_session->TTL();
}
void TPing::SetTTL(int value)
{
    m_session->SetTTL(value);
}
Sockets::Family TPing::Family() const
{
    return m_session->Family();
}
void TPing::SetFamily(Sockets::Family value)
{
    m_session->SetFamily(value);
}
TICMPDisplay TPing::OnDisplay() const
{
    return m_session->OnDisplay;
}
void TPing::SetOnDisplay(TICMPDisplay handler)
{
    m_session->OnDisplay = std::move(handler);
}
EchoRequestEvent TPing::OnEchoRequest() const
{
    return m_session->OnEchoRequest;
}
void TPing::SetOnEchoRequest(EchoRequestEvent handler)
{
    m_session->OnEchoRequest = std::move(handler);
}
TICMPReply TPing::OnEchoReply() const
{
    return m_session->OnEchoReply;
}
void TPing::SetOnEchoReply(TICMPReply handler)
{
    m_session->OnEchoReply = std::move(handler);
}

int TPing::SendPing()
{
    return m_session->SendPing();
}
ICMP_ECHO_REPLY TPing::LastReply() const
{
    return m_session->LastReply();
}
std::string TPing::ErrorText() const
{
    return m_session->ErrorText();
}
std::string TPing::ResolvedName() const
{
    return m_session->ResolvedName();
}
std::string TPing::ResolvedIP() const
{
    return m_session->ResolvedIP();
}

void TPing::LookupHost(const std::string &HostName)
{
    if (m_LookupHandle != 0) {
        m_LookupWindow->cancel(m_LookupHandle);
        m_LookupHandle = 0;
    }
    m_LookupResult.clear();
    const IpAddress address = TICMP::literalAddress(HostName);
    if (!address.isNull()) {
        m_LookupResult = address.toString();
        reportLookup(0);
        return;
    }
    m_LookupHandle = m_LookupWindow->start(HostName, Family());
    if (m_LookupHandle == 0)
        throw std::runtime_error(QString::asprintf("%s: can't start DNS lookup, error #%d", HostName.c_str(),
                                                   static_cast<int>(Sockets::WSAGetLastError()))
                                     .toStdString());
}

void TPing::CancelLookup()
{
    if (m_LookupHandle == 0)
        return;
    if (m_LookupWindow->cancel(m_LookupHandle) != 0)
        throw std::runtime_error(
            QString::asprintf("WSACancelAsyncRequest failed, error #%d", static_cast<int>(Sockets::WSAGetLastError()))
                .toStdString());
    m_LookupHandle = 0;
    reportLookup(WSAEINTR);
}

void TPing::lookupDone(uint32_t handle, uint16_t error, const Sockets::HostEntry &entry)
{
    if (handle != m_LookupHandle)
        return;
    m_LookupHandle = 0;
    if (error == 0)
        m_LookupResult = entry.preferred().toString();
    reportLookup(error);
}

void TPing::reportLookup(uint16_t error)
{
    if (OnDnsLookupDone)
        OnDnsLookupDone(this, error);
}
