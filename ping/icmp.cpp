#include "icmp.h"

#include "platform/Sockets.h"

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
    if (!m_IcmpCreateFile || !m_IcmpCloseHandle || !m_IcmpSendEcho)
        throw TICMPException("Error loading dll functions");
    m_hICMP = m_IcmpCreateFile();
    if (m_hICMP == IcmpApi::INVALID_HANDLE_VALUE)
        throw TICMPException("Unable to get ping handle");
}

void TICMP::tearDown()
{
    if (m_hICMP != IcmpApi::INVALID_HANDLE_VALUE) {
        m_IcmpCloseHandle(m_hICMP);
        m_hICMP = IcmpApi::INVALID_HANDLE_VALUE;
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

void TICMP::display(const std::string &msg)
{
    if (OnDisplay)
        OnDisplay(this, msg);
}

void TICMP::ResolveAddress()
{
    m_IPAddress = Sockets::inet_addr(m_Address);
    if (m_IPAddress != INADDR_NONE_VALUE) {
        m_ResolvedName = m_Address;
    } else {
        Sockets::HostEntry entry;
        if (!Sockets::gethostbyname(m_Address, entry) || entry.addresses.empty()) {
            m_LastError = static_cast<int>(IcmpApi::GetLastError());
            display("Unable to resolve " + m_Address);
            return;
        }
        m_IPAddress = entry.addresses.front();
        m_ResolvedName = entry.officialName;
    }
    m_ResolvedIP = Sockets::inet_ntoa(m_IPAddress);
    m_AddressResolved = true;
}

// A request that cannot be sent as asked: nothing goes out and nothing of the asked size is
// allocated, but the caller sees an ordinary failed request with its reason.
int TICMP::failRequest(uint32_t status)
{
    m_LastReply = ICMP_ECHO_REPLY();
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
    if (m_IPAddress == INADDR_NONE_VALUE) {
        m_LastError = IP_BAD_DESTINATION;
        display("Invalid host address");
        return 0;
    }
    const int size = m_Size;
    if (size > EchoTerms::MaxSize)
        return failRequest(IP_PACKET_TOO_BIG);
    if (size < 0)
        return failRequest(IP_BAD_REQ);

    const std::vector<uint8_t> request = EchoTerms::payloadOf(size);
    std::vector<uint8_t> reply(static_cast<size_t>(size) + sizeof(ICMP_ECHO_REPLY), 0);
    if (OnEchoRequest)
        OnEchoRequest(this);

    IP_OPTION_INFORMATION options;
    options.Ttl = static_cast<uint8_t>(m_TTL & 0xFF);
    const uint32_t timeout = m_Timeout < 0 ? 0 : static_cast<uint32_t>(m_Timeout);
    const int result =
        static_cast<int>(m_IcmpSendEcho(m_hICMP, m_IPAddress, request.data(), static_cast<uint16_t>(size & 0xFFFF),
                                        &options, reply.data(), static_cast<uint32_t>(reply.size()), timeout));
    m_LastError = static_cast<int>(IcmpApi::GetLastError());
    std::memcpy(&m_LastReply, reply.data(), sizeof(ICMP_ECHO_REPLY));
    if (OnEchoReply)
        OnEchoReply(this, result);
    return result;
}
