#pragma once
#include "EchoSocket.h"
#include "IcmpPacket.h"

#include <cstdint>
#include <vector>

// One ICMP socket for echo requests, shared by every sender: an unprivileged datagram socket where
// the system allows it, else a raw one. Both kinds read back the same way: one packet at a time,
// decoded by the codec, with what only the socket knows (the peer, the TTL, the error queue of a
// datagram socket) filled in.
class IcmpSocket final : public EchoSocket {
public:
    IcmpSocket();
    ~IcmpSocket() override;
    IcmpSocket(const IcmpSocket &) = delete;
    IcmpSocket &operator=(const IcmpSocket &) = delete;

    // A datagram socket, or a raw one where this user may not open those (or !allowDatagram).
    // False with errno set when neither opens.
    bool open(bool allowDatagram = true);
    void close();
    int fd() const { return m_fd; }
    Kind kind() const override { return m_kind; }
    uint16_t identifier() const override { return m_identifier; }

    bool setTtl(int ttl) override;
    // Sets the don't-fragment bit on what this socket sends, whatever the path's MTU.
    bool setDontFragment();
    // Room for many answers at once; beyond the system's limit only where we may lift it.
    void setReceiveBuffer(int bytes);

    int send(uint32_t destination, const std::vector<uint8_t> &request, int flags = 0) override;

    struct Outgoing {
        uint32_t destination; // network byte order
        const std::vector<uint8_t> *request;
    };
    // Sends the first of count requests and as many after it as the socket takes, in one call: how
    // many went out, or -errno when the first did not.
    int sendMany(const Outgoing *requests, size_t count, int flags = 0);
    static uint32_t statusOfSendError(int error);

    Wake wait(int timeoutMs) override;
    // Kind::Other for what the codec cannot read.
    bool receive(bool errorQueue, IcmpPacket::Decoded &decoded) override;
    const uint8_t *data() const override { return m_packet.data(); }

    // A pending error would also fail the next send.
    void clearPendingError() override;
    void discardQueued() override;
    Clock::time_point now() const override { return Clock::now(); }

private:
    struct Received;

    bool openDatagram();
    bool openRaw();
    bool receivePacket(int flags, Received &packet);
    IcmpPacket::Decoded decodeQueuedError(const Received &packet) const;

    int m_fd = -1;
    Kind m_kind = Kind::Datagram;
    uint16_t m_identifier = 0;
    std::vector<uint8_t> m_packet;
    std::vector<char> m_control;
};
