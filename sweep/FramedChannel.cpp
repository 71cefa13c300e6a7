#include "FramedChannel.h"

#include "platform/FramesPermission.h"

#include <arpa/inet.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

FramedChannel::FramedChannel(const SweepNetwork::ChannelSettings &wanted, bool allowDatagram)
    : m_ttl(wanted.ttl), m_requests(*wanted.requests)
{
    const std::string refusal = FramesPermission::refusalForThisProcess();
    if (!refusal.empty())
        throw std::runtime_error(refusal);
    if (!m_link.open())
        throw std::runtime_error(std::string("cannot open a packet socket to send frames: ") + std::strerror(errno));
    m_sockets = std::make_unique<SocketChannel>(wanted, allowDatagram);
}

FramedChannel::~FramedChannel() = default;

// The ring is made on a thread of its own, the first time: by then any capability is gone.
void FramedChannel::beginPass(uint32_t pass)
{
    m_pass = pass;
    m_sockets->sender().beginPass(pass);
    m_link.startRing();
    m_paths = m_link.isOpen() ? std::make_unique<FramePaths>(m_link, m_routes) : nullptr;
}

const FrameLink::Path *FramedChannel::pathOf(const Request &request)
{
    if (!m_paths || !request.address.isV4())
        return nullptr;
    return m_paths->pathTo(ntohl(request.address.v4()), SweepClock::monotonic().nowNs());
}

// The leading requests that go the same way, as frames or through the sockets, then the next ones.
// Paths are learnt again once the routes changed: no frame goes where the system no longer sends.
void FramedChannel::send(const Request *requests, size_t count, Report &report)
{
    report = Report();
    if (m_watch.changed() && m_paths) {
        m_routes.forget();
        m_paths = std::make_unique<FramePaths>(m_link, m_routes);
    }
    for (size_t done = 0; done < count && !report.blocked;) {
        const bool framed = pathOf(requests[done]) != nullptr;
        size_t alike = 1;
        while (done + alike < count && (pathOf(requests[done + alike]) != nullptr) == framed)
            ++alike;
        const size_t sent =
            framed ? sendAsFrames(requests + done, alike, report) : sendThroughSockets(requests + done, alike, report);
        if (!report.steps.empty() && report.steps.back().byRoute)
            return;
        done += sent;
    }
}

size_t FramedChannel::sendThroughSockets(const Request *requests, size_t count, Report &report)
{
    m_sockets->sender().send(requests, count, m_part);
    size_t done = 0;
    for (const Step &step : m_part.steps) {
        report.steps.push_back(step);
        done += step.count == 0 ? 1 : step.count;
    }
    report.blocked = m_part.blocked;
    return done;
}

// A link that fails otherwise than for want of room is given up for the pass: the sockets send the rest.
size_t FramedChannel::sendAsFrames(const Request *requests, size_t count, Report &report)
{
    m_framePaths.clear();
    m_frames.clear();
    if (m_packets.size() < count)
        m_packets.resize(count);
    for (size_t i = 0; i < count; ++i) {
        m_framePaths.push_back(*pathOf(requests[i]));
        const uint32_t slot = requests[i].slot;
        m_requests.build(m_packets[i], AF_INET, requests[i].target, m_sockets->identifierOf(slot),
                         uint16_t(slot % SlotsPerIdentifier), m_pass);
    }
    for (size_t i = 0; i < count; ++i)
        m_frames.push_back({&m_framePaths[i], requests[i].address.v4(), &m_packets[i]});
    size_t done = 0;
    while (done < count) {
        const int64_t startNs = SweepClock::monotonic().nowNs();
        const int result = m_link.sendMany(&m_frames[done], count - done, m_ttl);
        const int64_t endNs = SweepClock::monotonic().nowNs();
        if (result > 0) {
            report.steps.push_back({uint32_t(result), 0, false, startNs, endNs});
            done += size_t(result);
            continue;
        }
        if (result == -EAGAIN || result == -EWOULDBLOCK || result == -ENOBUFS) {
            report.blocked = true;
            return done;
        }
        m_paths.reset();
        return done + sendThroughSockets(requests + done, count - done, report);
    }
    return done;
}
