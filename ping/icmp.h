#pragma once
#include "platform/IcmpApi.h"
#include "platform/IcmpTypes.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

class TICMPException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

using TICMPDisplay = std::function<void(QObject *Sender, const std::string &Msg)>;
using TNotifyEvent = std::function<void(QObject *Sender)>;
using TICMPReply = std::function<void(QObject *Sender, int Error)>;

// One ICMP echo session: its own echo handle, target and request settings.
class TICMP : public QObject {
    Q_OBJECT
public:
    static constexpr const char *PayloadText = "Pinging from Tozelo code written by T. Gorvan";
    static constexpr int MaxSize = 65500;

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
    std::string ErrorText() const { return ErrorTextOf(m_LastError); }
    static std::string ErrorTextOf(int code);

    const ICMP_ECHO_REPLY &LastReply() const { return m_LastReply; }
    const std::string &ResolvedName() const { return m_ResolvedName; }
    const std::string &ResolvedIP() const { return m_ResolvedIP; }
    int LastError() const { return m_LastError; }
    uint32_t IPAddress() const { return m_IPAddress; }
    bool AddressResolved() const { return m_AddressResolved; }
    IcmpApi::HANDLE EchoHandle() const { return m_hICMP; }

    // The request payload for a given size: the text, cut or padded with spaces.
    static std::vector<uint8_t> payloadOf(int size);

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
    int m_Size = 56;
    int m_Timeout = 4000;
    int m_TTL = 64;
    int m_LastError = 0;
    bool m_AddressResolved = false;
};
