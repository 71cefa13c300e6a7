#pragma once
#include "EchoSocket.h"
#include "HelperProcess.h"
#include "HelperProtocol.h"

#include <deque>
#include <memory>
#include <vector>

// An echo socket held by the privileged helper (tozelo-icmp), for a user who may not open ICMP
// datagram sockets: each echo handle has a helper of its own, which holds a raw socket and sends
// what this side asks for over their channel. The helper sends the program's payload only, with its
// own identifier and sequence numbers, and hands back only packets that answer its requests.
class HelperSocket final : public EchoSocket {
public:
    // A helper started for the family and its channel opened; null with errno set where it cannot
    // be, or the helper cannot open its socket.
    static std::unique_ptr<HelperSocket> open(int family);
    ~HelperSocket() override;
    HelperSocket(const HelperSocket &) = delete;
    HelperSocket &operator=(const HelperSocket &) = delete;

    Kind kind() const override { return Kind::Helper; }
    uint16_t identifier() const override { return m_identifier; }
    // -1, the system's default, is the program's: 64.
    bool setTtl(int ttl) override;
    // The payload must be the program's own of that size: the helper sends no other. The helper
    // numbers the request and stamps when it went out.
    Sent sendEcho(const IpAddress &destination, uint16_t sequence, const uint8_t *payload, uint16_t size) override;
    Wake wait(int timeoutMs) override;
    // The helper hands errors over with the replies: there is no error queue.
    bool receive(bool errorQueue, Packet &packet) override;
    const uint8_t *data() const override { return m_message.data(); }
    void clearPendingError() override {}
    void discardQueued() override;
    Clock::time_point now() const override { return Clock::now(); }

private:
    explicit HelperSocket(int family);
    // Waits for the helper's next record of the given type; the packets that come before it are
    // kept for receive(): they may answer the request just sent.
    bool awaitRecord(HelperProtocol::Type type, size_t size);
    // One message from the helper into m_message, without waiting: its length, or 0 when none is
    // there. The channel is closed for good once the helper has gone.
    size_t readMessage();
    Packet packetOf(size_t length) const;

    const int m_family;
    HelperProcess m_process;
    int m_channel = -1;
    uint16_t m_identifier = 0;
    uint16_t m_ttl;
    bool m_closed = false;
    std::vector<uint8_t> m_message;
    std::deque<std::vector<uint8_t>> m_held;
};
