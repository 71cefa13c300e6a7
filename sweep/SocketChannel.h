#pragma once
#include "SweepNetwork.h"
#include "SweepRequests.h"
#include "platform/IcmpSocket.h"
#include "platform/Routes.h"

#include <poll.h>

#include <memory>
#include <vector>

// A sender's channel through ICMP sockets of this process: one raw socket whose block holds all of its
// identifiers, or one datagram socket for each. Answers are timed by the kernel's time of arrival.
class SocketChannel final : public SweepChannel, private SweepSender, private SweepSource {
public:
    // Requests handed to the kernel in one call: few, so that a call takes a few tens of microseconds
    // and its requests are timed within that.
    static constexpr size_t CallBatch = 16;

    // Opens the sockets (raw ones only where !allowDatagram, or where datagram ones are refused).
    // Throws TICMPException when no ICMP socket opens, std::runtime_error when one cannot be set up.
    SocketChannel(const SweepNetwork::ChannelSettings &wanted, bool allowDatagram);
    ~SocketChannel() override;

    SweepSender &sender() override { return *this; }
    SweepSource &source() override { return *this; }
    const SweepClock &clock() const override { return m_clock; }
    EchoSocket::Kind kind() const override { return m_sockets.front()->kind(); }

    // The identifier of a slot's block.
    uint16_t identifierOf(uint32_t slot) const;

private:
    void send(const Request *requests, size_t count, Report &report) override;
    void beginPass(uint32_t pass) override { m_pass = pass; }
    size_t read(size_t limit, std::vector<Heard> &heard) override;
    int64_t readUntilNs() const override { return m_readUntilNs; }
    void wait(int64_t untilNs) override;
    uint64_t drops() const override;

    std::unique_ptr<IcmpSocket> openSocket(const SweepNetwork::ChannelSettings &wanted, bool allowDatagram,
                                           unsigned block);
    size_t socketOf(uint32_t slot) const;
    bool slotOf(size_t socket, uint16_t identifier, uint16_t sequence, uint32_t &slot) const;
    int sendCall(const Request *requests, size_t from, size_t count, Report &report);
    bool failedForItsOwnReason(size_t socket, int error, const IpAddress &address);
    static bool heardOf(const IcmpSocket::Received &packet, Heard &heard);

    const int m_family;
    const SweepClock &m_clock;
    const int m_stopFd;
    SweepRequests m_requests;
    uint32_t m_pass = 0;
    unsigned m_identifiers = 1;
    std::vector<std::unique_ptr<IcmpSocket>> m_sockets;
    Routes m_routes;
    std::vector<std::vector<uint8_t>> m_packets;
    std::vector<IcmpSocket::Outgoing> m_outgoing;
    std::vector<pollfd> m_polled; // the sockets, then the sweep's stop
    size_t m_reading = 0;         // the queue read next: socket * 2, + 1 for its error queue
    int64_t m_roundNs = 0;        // when the reads of every queue in turn began
    int64_t m_readUntilNs = 0;
};
