#include "icmp.h"

#include "ping/EchoWait.h"
#include "platform/Sockets.h"

#include <netinet/in.h>

#include <algorithm>
#include <cstring>
#include <vector>

TICMP::TICMP()
{
    try {
        setUp();
    } catch (...) {
        tearDown();
        throw;
    }
}

TICMP::~TICMP()
{
    tearDown();
}

void TICMP::setUp()
{
    if (Sockets::WSAStartup(0x0101) != 0)
        throw TICMPException("Error initialising Winsock");
    m_hICMPdll = IcmpApi::LoadLibraryA(IcmpApi::LibraryName);
    if (!m_hICMPdll)
        throw TICMPException("Unable to register icmp.dll");
    m_IcmpCreateFile =
        reinterpret_cast<IcmpApi::IcmpCreateFileFn>(IcmpApi::GetProcAddress(m_hICMPdll, "IcmpCreateFile"));
    m_IcmpCloseHandle =
        reinterpret_cast<IcmpApi::IcmpCloseHandleFn>(IcmpApi::GetProcAddress(m_hICMPdll, "IcmpCloseHandle"));
    m_IcmpSendEcho = reinterpret_cast<IcmpApi::IcmpSendEchoFn>(IcmpApi::GetProcAddress(m_hICMPdll, "IcmpSendEcho"));
    m_Icmp6CreateFile =
        reinterpret_cast<IcmpApi::Icmp6CreateFileFn>(IcmpApi::GetProcAddress(m_hICMPdll, "Icmp6CreateFile"));
    m_Icmp6SendEcho = reinterpret_cast<IcmpApi::Icmp6SendEchoFn>(IcmpApi::GetProcAddress(m_hICMPdll, "Icmp6SendEcho"));
    if (!m_IcmpCreateFile || !m_IcmpCloseHandle || !m_IcmpSendEcho || !m_Icmp6CreateFile || !m_Icmp6SendEcho)
        throw TICMPException("Error loading dll functions");
    m_hICMP = m_IcmpCreateFile();
    if (m_hICMP == IcmpApi::INVALID_HANDLE_VALUE)
        throw TICMPException("Unable to get ping handle");
}

void TICMP::tearDown()
{
    for (IcmpApi::HANDLE *handle : {&m_hICMP, &m_hICMP6}) {
        if (*handle != IcmpApi::INVALID_HANDLE_VALUE) {
            m_IcmpCloseHandle(*handle);
            *handle = IcmpApi::INVALID_HANDLE_VALUE;
        }
    }
    if (m_hICMPdll) {
        IcmpApi::FreeLibrary(m_hICMPdll);
        m_hICMPdll = nullptr;
    }
    Sockets::WSACleanup();
}

void TICMP::SetAddress(const std::string &value)
{
    if (value == m_Address)
        return;
    m_Address = value;
    m_AddressResolved = false;
}

void TICMP::SetFamily(Sockets::Family value)
{
    if (value == m_Family)
        return;
    m_Family = value;
    m_AddressResolved = false;
}

void TICMP::display(const std::string &msg)
{
    if (OnDisplay)
        OnDisplay(this, msg);
}

// An address stands for itself, in its own family, whatever family a name would be looked up for.
void TICMP::ResolveAddress()
{
    m_IPAddress = literalAddress(m_Address);
    if (!m_IPAddress.isNull()) {
        m_ResolvedName = m_Address;
    } else {
        Sockets::HostEntry entry;
        if (!Sockets::gethostbyname(m_Address, entry, m_Family)) {
            m_LastError = static_cast<int>(IcmpApi::GetLastError());
            display("Unable to resolve " + m_Address);
            return;
        }
        m_IPAddress = entry.preferred();
        m_ResolvedName = entry.officialName;
    }
    m_ResolvedIP = m_IPAddress.toString();
    m_AddressResolved = true;
}

IpAddress TICMP::literalAddress(const std::string &text)
{
    const uint32_t v4 = Sockets::inet_addr(text);
    if (v4 != INADDR_NONE_VALUE)
        return IpAddress::v4(v4);
    const std::optional<IpAddress> v6 = IpAddress::parse(text);
    return v6 && v6->isV6() ? *v6 : IpAddress();
}

// A request that cannot be sent as asked: nothing goes out and nothing of the asked size is
// allocated, but the caller sees an ordinary failed request with its reason.
int TICMP::failRequest(uint32_t status)
{
    m_LastReply = ICMP_ECHO_REPLY();
    m_ReplyAddress = IpAddress();
    if (OnEchoRequest)
        OnEchoRequest(this);
    IcmpApi::SetLastError(status);
    m_LastError = static_cast<int>(status);
    if (OnEchoReply)
        OnEchoReply(this, 0);
    return 0;
}

int TICMP::SendPing()
{
    m_LastError = 0;
    if (!m_AddressResolved)
        ResolveAddress();
    // The all-ones address a name may stand for is no target either.
    if (m_IPAddress.isNull() || (m_IPAddress.isV4() && m_IPAddress.v4() == INADDR_NONE_VALUE)) {
        m_LastError = IP_BAD_DESTINATION;
        display("Invalid host address");
        return 0;
    }
    const int size = m_Size;
    if (size > EchoTerms::MaxSize)
        return failRequest(IP_PACKET_TOO_BIG);
    if (size < 0)
        return failRequest(IP_BAD_REQ);
    const IcmpApi::HANDLE handle = handleFor(m_IPAddress);
    if (handle == IcmpApi::INVALID_HANDLE_VALUE)
        return failRequest(IcmpApi::GetLastError());

    const std::vector<uint8_t> request = EchoTerms::payloadOf(size);
    if (OnEchoRequest)
        OnEchoRequest(this);
    IP_OPTION_INFORMATION options;
    options.Ttl = static_cast<uint8_t>(m_TTL & 0xFF);
    const uint32_t timeout = m_Timeout < 0 ? 0 : static_cast<uint32_t>(m_Timeout);
    const int result = static_cast<int>(sendEcho(handle, request, options, timeout));
    m_LastError = static_cast<int>(IcmpApi::GetLastError());
    if (OnEchoReply)
        OnEchoReply(this, result);
    return result;
}

// The IPv6 handle is opened for the first IPv6 request, so that a system without IPv6 still pings
// over IPv4.
IcmpApi::HANDLE TICMP::handleFor(const IpAddress &address)
{
    if (address.isV4())
        return m_hICMP;
    if (m_hICMP6 == IcmpApi::INVALID_HANDLE_VALUE)
        m_hICMP6 = m_Icmp6CreateFile();
    return m_hICMP6;
}

// Both families' records come back as the IPv4 one, the replying address aside.
uint32_t TICMP::sendEcho(IcmpApi::HANDLE handle, const std::vector<uint8_t> &request,
                         const IP_OPTION_INFORMATION &options, uint32_t timeout)
{
    const EchoWait::Scope awaited;
    const auto size = static_cast<uint16_t>(request.size() & 0xFFFF);
    if (m_IPAddress.isV4()) {
        std::vector<uint8_t> reply(request.size() + sizeof(ICMP_ECHO_REPLY), 0);
        const uint32_t result = m_IcmpSendEcho(handle, m_IPAddress.v4(), request.data(), size, &options, reply.data(),
                                               static_cast<uint32_t>(reply.size()), timeout);
        std::memcpy(&m_LastReply, reply.data(), sizeof m_LastReply);
        m_ReplyAddress = IpAddress::v4(m_LastReply.Address);
        return result;
    }
    std::vector<uint8_t> reply(request.size() + sizeof(ICMPV6_ECHO_REPLY), 0);
    const sockaddr_in6 destination = m_IPAddress.toSockaddr6();
    const uint32_t result = m_Icmp6SendEcho(handle, &destination, request.data(), size, &options, reply.data(),
                                            static_cast<uint32_t>(reply.size()), timeout);
    ICMPV6_ECHO_REPLY record;
    std::memcpy(&record, reply.data(), sizeof record);
    m_LastReply = ICMP_ECHO_REPLY();
    m_LastReply.Status = record.Status;
    m_LastReply.RoundTripTime = record.RoundTripTime;
    m_LastReply.DataSize = record.DataSize;
    m_LastReply.Options = record.Options;
    m_ReplyAddress = IpAddress::v6(record.Address, record.ScopeId);
    return result;
}
