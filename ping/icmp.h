#pragma once
#include "echo/EchoTerms.h"
#include "platform/IcmpApi.h"
#include "platform/IcmpTypes.h"
#include "platform/IpAddress.h"
#include "platform/Sockets.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <string>

using TICMPDisplay = std::function<void(QObject *Sender, const std::string &Msg)>;
using EchoRequestEvent = std::function<void(QObject *Sender)>;
using TICMPReply = std::function<void(QObject *Sender, int Error)>;

// One ICMP echo session: its own echo handles, target and request settings. An address is pinged
// over its own family; a name over the family asked for, IPv4 first when either will do.
class TICMP : public QObject {
    Q_OBJECT
public:
    TICMP(); // throws TICMPException
    ~TICMP() override;

    const std::string &Address() const { return m_Address; }
    void SetAddress(const std::string &value);
    int Size() const { return m_Size; }
    void SetSize(int value) { m_Size = value; }
    int Timeout() const { return m_Timeout; }
    void SetTimeout(int value) { m_Timeout = value; }
    int TTL() const { return m_TTL; } // or hop limit
    void SetTTL(int value) { m_TTL = value; }
    Sockets::Family Family() const { return m_Family; }
    void SetFamily(Sockets::Family value);

    int SendPing();
    void ResolveAddress();
    std::string ErrorText() const { return EchoTerms::errorText(m_LastError); }

    // For an IPv6 request, Address is 0 and ReplyAddress() tells who answered.
    const ICMP_ECHO_REPLY &LastReply() const { return m_LastReply; }
    const IpAddress &ReplyAddress() const { return m_ReplyAddress; }
    const std::string &ResolvedName() const { return m_ResolvedName; }
    const std::string &ResolvedIP() const { return m_ResolvedIP; }
    int LastError() const { return m_LastError; }
    bool AddressResolved() const { return m_AddressResolved; }
    IcmpApi::HANDLE EchoHandle() const { return m_hICMP; }

    // An IPv4 address (short forms such as 127.1 too) or an IPv6 one; null for anything else.
    static IpAddress literalAddress(const std::string &text);

    TICMPDisplay OnDisplay;
    EchoRequestEvent OnEchoRequest;
    TICMPReply OnEchoReply;

private:
    void setUp();
    void tearDown();
    void display(const std::string &msg);
    int failRequest(uint32_t status);
    IcmpApi::HANDLE handleFor(const IpAddress &address);
    uint32_t sendEcho(IcmpApi::HANDLE handle, const std::vector<uint8_t> &request, const IP_OPTION_INFORMATION &options,
                      uint32_t timeout);

    IcmpApi::HMODULE m_hICMPdll = nullptr;
    IcmpApi::IcmpCreateFileFn m_IcmpCreateFile = nullptr;
    IcmpApi::IcmpCloseHandleFn m_IcmpCloseHandle = nullptr;
    IcmpApi::IcmpSendEchoFn m_IcmpSendEcho = nullptr;
    IcmpApi::Icmp6CreateFileFn m_Icmp6CreateFile = nullptr;
    IcmpApi::Icmp6SendEchoFn m_Icmp6SendEcho = nullptr;
    IcmpApi::HANDLE m_hICMP = IcmpApi::INVALID_HANDLE_VALUE;
    IcmpApi::HANDLE m_hICMP6 = IcmpApi::INVALID_HANDLE_VALUE; // opened with the first IPv6 request
    ICMP_ECHO_REPLY m_LastReply;
    IpAddress m_ReplyAddress;
    std::string m_Address;
    std::string m_ResolvedName;
    std::string m_ResolvedIP;
    IpAddress m_IPAddress;
    int m_Size = EchoTerms::DefaultSize;
    int m_Timeout = 4000;
    int m_TTL = EchoTerms::DefaultTTL;
    Sockets::Family m_Family = Sockets::Family::Either;
    int m_LastError = 0;
    bool m_AddressResolved = false;
};
