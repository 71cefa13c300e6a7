#pragma once
#include "FramePaths.h"
#include "SocketChannel.h"
#include "SweepRequests.h"
#include "platform/FrameLink.h"
#include "platform/RouteWatch.h"
#include "platform/Routes.h"

#include <memory>
#include <vector>

// A sender's channel that sends its IPv4 requests routed through a gateway on an Ethernet link as
// frames (FrameLink), past this host's IP stack, and the rest, and every answer, through its sockets.
// Opening the link needs CAP_NET_RAW.
class FramedChannel final : public SweepChannel, private SweepSender {
public:
    // Opens the link, then the sockets as SocketChannel does. Throws std::runtime_error when this
    // user may not send frames or the link cannot be opened: before any socket is.
    FramedChannel(const SweepNetwork::ChannelSettings &wanted, bool allowDatagram);
    ~FramedChannel() override;

    SweepSender &sender() override { return *this; }
    SweepSource &source() override { return m_sockets->source(); }
    const SweepClock &clock() const override { return m_sockets->clock(); }
    EchoSocket::Kind kind() const override { return m_sockets->kind(); }

private:
    void send(const Request *requests, size_t count, Report &report) override;
    void beginPass(uint32_t pass) override;
    void passSent() override { m_paths.reset(); }
    void closeFrames() override { m_link.closeLater(); }

    const FrameLink::Path *pathOf(const Request &request);
    size_t sendThroughSockets(const Request *requests, size_t count, Report &report);
    size_t sendAsFrames(const Request *requests, size_t count, Report &report);

    const int m_ttl;
    SweepRequests m_requests;
    uint32_t m_pass = 0;
    FrameLink m_link;
    std::unique_ptr<SocketChannel> m_sockets;
    Routes m_routes;
    RouteWatch m_watch;
    std::unique_ptr<FramePaths> m_paths; // while frames go out in this pass
    std::vector<FrameLink::Path> m_framePaths;
    std::vector<std::vector<uint8_t>> m_packets;
    std::vector<FrameLink::Frame> m_frames;
    Report m_part;
};
