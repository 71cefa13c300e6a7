#pragma once
#include "EchoSocket.h"

#include <sys/socket.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

struct msghdr;

// One ICMP or ICMPv6 socket for echo requests, shared by every sender: an unprivileged datagram
// socket where the system allows it, else a raw one. Every kind reads back the same way, one packet
// or a batch at a time, decoded by its family's codec, with what only the socket knows (the peer,
// the TTL or hop limit, the error queue of a datagram socket, the kernel's time of arrival) filled in.
// Neither kind of ICMPv6 socket hands over the IPv6 header: its source comes as the peer address,
// its hop limit as ancillary data.
class IcmpSocket final : public EchoSocket {
public:
    // A packet as read, and its bytes; packet.arrivedNs is 0 unless setReceiveStamps() was called.
    struct Received {
        Packet packet;
        const uint8_t *bytes = nullptr;
    };

    // AF_INET or AF_INET6.
    explicit IcmpSocket(int family = AF_INET);
    ~IcmpSocket() override;
    IcmpSocket(const IcmpSocket &) = delete;
    IcmpSocket &operator=(const IcmpSocket &) = delete;

    // A datagram socket, or a raw one where this user may not open those (or !allowDatagram).
    // A raw socket takes identifierBlock consecutive identifiers (a power of two up to 256), chosen
    // at random; a datagram socket always has one, also chosen at random. False with errno set
    // when neither opens.
    bool open(bool allowDatagram = true, unsigned identifierBlock = 1);
    // A datagram socket alone; false with errno set where this user may not open one.
    bool openDatagram();
    void close();
    int fd() const { return m_fd; }
    int family() const { return m_family; }
    Kind kind() const override { return m_kind; }
    // The first identifier that echo replies to this socket carry.
    uint16_t identifier() const override { return m_identifier; }

    // The TTL, or the hop limit.
    bool setTtl(int ttl) override;
    // Nothing this socket sends is fragmented, whatever the path's MTU.
    bool setDontFragment();
    // Room for many answers at once; beyond the system's limit only where we may lift it.
    void setReceiveBuffer(int bytes);
    // Each packet read from now on carries its time of arrival.
    bool setReceiveStamps();
    // Packets the socket had to drop so far for want of room.
    uint32_t drops() const;

    Sent sendEcho(const IpAddress &destination, uint16_t sequence, const uint8_t *payload, uint16_t size) override;
    // 0 when request went out, else errno.
    int send(const IpAddress &destination, const std::vector<uint8_t> &request, int flags = 0);

    struct Outgoing {
        IpAddress destination;
        const std::vector<uint8_t> *request;
    };
    // Sends the first of count requests and as many after it as the socket takes, in one call: how
    // many went out, or -errno when the first did not.
    int sendMany(const Outgoing *requests, size_t count, int flags = 0);
    // The IP_STATUS of a request to destination that the system refused to send with errno error. A
    // local firewall that refuses with EPERM may have queued an ICMP error quoting the request: that
    // error then says why.
    uint32_t statusOfSendError(int error, const IpAddress &destination, uint16_t identifier, uint16_t sequence);

    Wake wait(int timeoutMs) override;
    // Kind::Other for what the codec cannot read.
    bool receive(bool errorQueue, Packet &packet) override;
    const uint8_t *data() const override { return m_packet.data(); }
    // Up to max(1, limit) queued packets in one call, without waiting; valid until the next read.
    const std::vector<Received> &receiveMany(bool errorQueue, size_t limit);

    // Reads the error queue ahead, keeping what it holds for the next reads: whether it was read to its
    // end (errorPendingPossibly() then tells whether an error came).
    bool readAheadErrors();
    // A pending error would also fail the next send.
    void clearPendingError() override;
    // An ICMP error read since the last clearPendingError() may have left its errno pending, to fail
    // the next send with it. While this is false, a failed send failed for its own reason.
    bool errorPendingPossibly() const { return m_errorsRead; }
    void discardQueued() override;
    Clock::time_point now() const override { return Clock::now(); }

private:
    struct Message;
    struct Batch;
    // A packet read ahead of its turn, while looking for the error that explains a refused send.
    struct Held {
        bool errorQueue = false;
        std::vector<uint8_t> bytes;
        Packet packet;
    };

    bool bindRandomIdentifier();
    bool openRaw();
    bool filterRaw();
    void readControl(msghdr &msg, Message &message) const;
    Packet decode(bool errorQueue, const Message &message, const uint8_t *bytes);
    Packet decodeQueuedError(const Message &message, const uint8_t *bytes) const;
    bool receivePacket(int flags, Message &message);
    bool takeHeld(bool errorQueue, Packet &packet);
    const Packet *holdNext(bool errorQueue);

    const int m_family;
    int m_fd = -1;
    Kind m_kind = Kind::Datagram;
    uint16_t m_identifier = 0;
    unsigned m_identifierCount = 1;
    bool m_errorsRead = false;
    std::vector<uint8_t> m_packet;
    std::vector<char> m_control;
    std::deque<Held> m_held;
    std::vector<Held> m_handedOut;
    std::unique_ptr<Batch> m_batch;
};
