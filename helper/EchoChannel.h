#pragma once
#include "platform/EchoSocket.h"
#include "platform/HelperProtocol.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The helper's echo purpose: one client's requests over one ICMP socket. The helper builds every
// request itself from the client's narrow Send: the program's payload of the size asked for, its
// own identifier, and its own sequence numbers, counted up from one drawn at random. It hands back
// only the packets that answer its requests: echo replies that carry its identifier, and errors
// that quote a request of its own.
class EchoChannel {
public:
    EchoChannel(EchoSocket &socket, int family, uint16_t firstSequence);

    // The answer to one message of the client. Anything but a whole Send of this version, to an
    // address of the channel's family, of a size and a time-to-live in range, is refused as
    // IP_BAD_REQ before anything is sent.
    HelperProtocol::Sent answer(const uint8_t *message, size_t length);
    // Reads one queued packet; false when none is left. record: what to hand the client, a Packet
    // record and the echoed data; empty when the packet answers none of our requests.
    bool nextPacket(std::vector<uint8_t> &record);

private:
    std::optional<IpAddress> destinationOf(const HelperProtocol::Send &request) const;
    bool ours(const EchoSocket::Packet &packet) const;

    EchoSocket &m_socket;
    const int m_family;
    uint16_t m_nextSequence;
    uint16_t m_ttl = 0;
};
