#pragma once
#include "IcmpPacket.h"

#include <cstdint>
#include <vector>

// One ICMP socket for echo requests, shared by every sender: an unprivileged datagram socket where
// the system allows it, else a raw one. Both kinds read back the same way: one packet at a time,
// decoded by the codec, with what only the socket knows (the peer, the TTL, the error queue of a
// datagram socket) filled in.
class IcmpSocket {
public:
    enum class Kind { Datagram, Raw };

    IcmpSocket();
    ~IcmpSocket();
    IcmpSocket(const IcmpSocket &) = delete;
    IcmpSocket &operator=(const IcmpSocket &) = delete;

    // A datagram socket, or a raw one where this user may not open those (or !allowDatagram).
    // False with errno set when neither opens.
    bool open(bool allowDatagram = true);
    void close();
    int fd() const { return m_fd; }
    Kind kind() const { return m_kind; }
    // The identifier that echo replies to this socket carry.
    uint16_t identifier() const { return m_identifier; }

    // -1 gives the socket the system's default back.
    bool setTtl(int ttl);
    // Sets the don't-fragment bit on what this socket sends, whatever the path's MTU.
    bool setDontFragment();
    // Room for many answers at once; beyond the system's limit only where we may lift it.
    void setReceiveBuffer(int bytes);

    // 0 when request went out, else errno.
    int send(uint32_t destination, const std::vector<uint8_t> &request, int flags = 0);

    struct Outgoing {
        uint32_t destination; // network byte order
        const std::vector<uint8_t> *request;
    };
    // Sends the first of count requests and as many after it as the socket takes, in one call: how
    // many went out, or -errno when the first did not.
    int sendMany(const Outgoing *requests, size_t count, int flags = 0);
    static uint32_t statusOfSendError(int error);

    // One queued packet, decoded, without waiting; false when that queue is empty. Kind::Other for
    // what the codec cannot read. The decoded data offset points into data().
    bool receive(bool errorQueue, IcmpPacket::Decoded &decoded);
    const uint8_t *data() const { return m_packet.data(); }

    // Reading the pending error clears it; it would otherwise wake poll at once and fail the next send.
    void clearPendingError();
    // Answers to requests that were given up on, of no use to the next one.
    void discardQueued();

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
