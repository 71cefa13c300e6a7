#pragma once
#include "EchoSocket.h"
#include "Icmp6Packet.h"

#include <cstdint>
#include <deque>
#include <vector>

struct msghdr;

// One ICMPv6 socket for echo requests: an unprivileged datagram socket where the system allows it
// (the same net.ipv4.ping_group_range rules both families), else a raw one. Neither kind hands over
// the IPv6 header: the source comes as the peer address, the hop limit as ancillary data. A datagram
// socket reports errors on its error queue, a raw one as packets among the replies.
class Icmp6Socket final : public EchoSocket {
public:
    Icmp6Socket();
    ~Icmp6Socket() override;
    Icmp6Socket(const Icmp6Socket &) = delete;
    Icmp6Socket &operator=(const Icmp6Socket &) = delete;

    // A datagram socket, or a raw one where this user may not open those (or !allowDatagram); a raw
    // socket's identifier is drawn at random. False with errno set when neither opens.
    bool open(bool allowDatagram = true);
    void close();
    int fd() const { return m_fd; }
    Kind kind() const override { return m_kind; }
    uint16_t identifier() const override { return m_identifier; }

    // The hop limit.
    bool setTtl(int ttl) override;
    // Each packet read from now on carries its time of arrival.
    bool setReceiveStamps();

    int send(const IpAddress &destination, const std::vector<uint8_t> &request, int flags = 0) override;
    // A local firewall that refuses with EPERM may have queued an ICMPv6 error quoting the request:
    // that error then says why.
    uint32_t statusOfSendError(int error, const IpAddress &destination, uint16_t identifier,
                               uint16_t sequence) override;

    Wake wait(int timeoutMs) override;
    bool receive(bool errorQueue, Packet &packet) override;
    const uint8_t *data() const override { return m_packet.data(); }
    void clearPendingError() override;
    void discardQueued() override;
    Clock::time_point now() const override { return Clock::now(); }

private:
    struct Message;
    // A packet read ahead of its turn, while looking for the error that explains a refused send.
    struct Held {
        bool errorQueue = false;
        std::vector<uint8_t> bytes;
        Packet packet;
    };

    bool openDatagram();
    bool openRaw();
    bool receivePacket(int flags, Message &message);
    void readControl(msghdr &msg, Message &message) const;
    Packet decode(bool errorQueue, const Message &message) const;
    bool takeHeld(bool errorQueue, Packet &packet);

    int m_fd = -1;
    Kind m_kind = Kind::Datagram;
    uint16_t m_identifier = 0;
    std::vector<uint8_t> m_packet;
    std::vector<char> m_control;
    std::deque<Held> m_held;
};
