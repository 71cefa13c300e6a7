#pragma once
#include "icmp.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

class AsyncLookup;

using TDnsLookupDone = std::function<void(QObject *Sender, uint16_t Error)>;

// The ping component: one echo session plus an asynchronous host lookup whose completion arrives
// through the event loop, so that the windows never wait for name resolution.
class TPing : public QObject {
    Q_OBJECT
public:
    explicit TPing(QObject *owner = nullptr); // throws TICMPException
    ~TPing() override;

    std::string Address() const;
    void SetAddress(const std::string &value);
    int Size() const;
    void SetSize(int value);
    int Timeout() const;
    void SetTimeout(int value);
    int TTL() const;
    void SetTTL(int value);
    // The family a name is looked up and pinged in; an address goes by its own.
    Sockets::Family Family() const;
    void SetFamily(Sockets::Family value);
    TICMPDisplay OnDisplay() const;
    void SetOnDisplay(TICMPDisplay handler);
    EchoRequestEvent OnEchoRequest() const;
    void SetOnEchoRequest(EchoRequestEvent handler);
    TICMPReply OnEchoReply() const;
    void SetOnEchoReply(TICMPReply handler);

    virtual void LookupHost(const std::string &HostName); // throws std::runtime_error
    void CancelLookup();                                  // throws std::runtime_error
    int SendPing();

    ICMP_ECHO_REPLY LastReply() const;
    std::string ErrorText() const;
    std::string ResolvedName() const;
    std::string ResolvedIP() const;
    const std::string &LookupResult() const { return m_LookupResult; }
    bool LookupPending() const { return m_LookupHandle != 0; }
    TICMP *session() const { return m_session.get(); }

    TDnsLookupDone OnDnsLookupDone;

private:
    void lookupDone(uint32_t handle, uint16_t error, const Sockets::HostEntry &entry);
    void reportLookup(uint16_t error);

    std::unique_ptr<TICMP> m_session;
    std::unique_ptr<AsyncLookup> m_LookupWindow;
    uint32_t m_LookupHandle = 0;
    std::string m_LookupResult;
};
