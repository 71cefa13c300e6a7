#pragma once
#include "EchoTerms.h"
#include "platform/IcmpApi.h"
#include "platform/IcmpTypes.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <string>

using TICMPDisplay = std::function<void(QObject *Sender, const std::string &Msg)>;
using TNotifyEvent = std::function<void(QObject *Sender)>;
using TICMPReply = std::function<void(QObject *Sender, int Error)>;

// One ICMP echo session: its own echo handle, target and request settings.
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
    int TTL() const { return m_TTL; }
    void SetTTL(int value) { m_TTL = value; }

    int SendPing();
    void ResolveAddress();
    std::string ErrorText() const { return EchoTerms::errorText(m_LastError); }

    const ICMP_ECHO_REPLY &LastReply() const { return m_LastReply; }
    const std::string &ResolvedName() const { return m_ResolvedName; }
    const std::string &ResolvedIP() const { return m_ResolvedIP; }
    int LastError() const { return m_LastError; }
    uint32_t IPAddress() const { return m_IPAddress; }
    bool AddressResolved() const { return m_AddressResolved; }
    IcmpApi::HANDLE EchoHandle() const { return m_hICMP; }

    TICMPDisplay OnDisplay;
    TNotifyEvent OnEchoRequest;
    TICMPReply OnEchoReply;

private:
    void setUp();
    void tearDown();
    void display(const std::string &msg);
    int failRequest(uint32_t status);

    IcmpApi::HMODULE m_hICMPdll = nullptr;
    IcmpApi::IcmpCreateFileFn m_IcmpCreateFile = nullptr;
    IcmpApi::IcmpCloseHandleFn m_IcmpCloseHandle = nullptr;
    IcmpApi::IcmpSendEchoFn m_IcmpSendEcho = nullptr;
    IcmpApi::HANDLE m_hICMP = IcmpApi::INVALID_HANDLE_VALUE;
    ICMP_ECHO_REPLY m_LastReply;
    std::string m_Address;
    std::string m_ResolvedName;
    std::string m_ResolvedIP;
    uint32_t m_IPAddress = INADDR_NONE_VALUE;
    int m_Size = EchoTerms::DefaultSize;
    int m_Timeout = 4000;
    int m_TTL = EchoTerms::DefaultTTL;
    int m_LastError = 0;
    bool m_AddressResolved = false;
};
