#include "FakeSweepNetwork.h"

#include "sweep/SweepRequests.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <algorithm>

namespace {

constexpr uint16_t FirstIdentifier = 0x5000;
constexpr size_t CallBatch = 16;
constexpr size_t IcmpHeader = 8;
// What a router quotes of a request's payload.
constexpr size_t QuotedPayload = 8;

} // namespace

class FakeSweepNetwork::Channel final : public SweepChannel, private SweepSender, private SweepSource {
public:
    Channel(FakeSweepNetwork &network, const ChannelSettings &wanted)
        : m_network(network), m_spec(wanted), m_requests(*wanted.requests), m_due(network.m_injected),
          m_room(network.m_roomPerWait)
    {
    }

    SweepSender &sender() override { return *this; }
    SweepSource &source() override { return *this; }
    const SweepClock &clock() const override { return m_clock; }
    EchoSocket::Kind kind() const override { return m_network.m_kind; }

private:
    void beginPass(uint32_t pass) override { m_pass = pass; }

    // Requests go out CallBatch to a call, each call taking the network's call time; a call's first
    // request leaves at its start, the others at its end: both edges a call's requests can meet.
    void send(const Request *requests, size_t count, Report &report) override
    {
        report = Report();
        for (size_t done = 0; done < count;) {
            if (m_room == 0 || (m_clock.now >= m_network.m_noRoomFromNs && m_clock.now < m_network.m_noRoomUntilNs)) {
                report.blocked = true;
                return;
            }
            const int64_t startNs = m_clock.now;
            const int64_t endNs = startNs + m_network.m_callNs;
            uint32_t sent = 0;
            for (; done < count && sent < CallBatch && m_room > 0; ++done) {
                const Response response = goOut(requests[done], sent == 0 ? startNs : endNs);
                if (response.refusedStatus != 0) {
                    flush(report, sent, startNs, endNs);
                    report.steps.push_back({0, response.refusedStatus, response.refusedByRoute, startNs, startNs});
                    sent = 0;
                    if (response.refusedByRoute)
                        return;
                    continue;
                }
                ++sent;
                --m_room;
            }
            flush(report, sent, startNs, endNs);
        }
    }

    void flush(Report &report, uint32_t sent, int64_t startNs, int64_t endNs)
    {
        if (sent == 0)
            return;
        report.steps.push_back({sent, 0, false, startNs, endNs});
        advanceTo(endNs);
    }

    Response goOut(const SweepSender::Request &request, int64_t leavesNs)
    {
        const auto identifier = uint16_t(FirstIdentifier + request.slot / SlotsPerIdentifier);
        const auto sequence = uint16_t(request.slot % SlotsPerIdentifier);
        m_requests.build(m_packet, m_spec.family, request.target, identifier, sequence, m_pass);
        const FakeSweepNetwork::Request out{request.address, identifier, sequence,
                                            Bytes(m_packet.begin() + IcmpHeader, m_packet.end()), leavesNs};
        Response response = m_network.respond(out);
        if (response.refusedStatus != 0)
            return response;
        for (const Delivery &delivery : response.deliveries) {
            if (delivery.dropped)
                ++m_drops;
            else
                m_due.emplace(leavesNs + delivery.delayNs, delivery);
        }
        return response;
    }

    // What is due by now; one sent to an identifier this sender does not hold is read and passed over.
    size_t read(size_t limit, std::vector<Heard> &heard) override
    {
        m_arrived.clear();
        while (m_arrived.size() < limit && !m_due.empty() && m_due.begin()->first <= m_clock.now) {
            m_arrived.emplace_back(m_due.begin()->first, m_due.begin()->second);
            m_due.erase(m_due.begin());
        }
        for (const auto &[arrivedNs, delivery] : m_arrived) {
            const auto block = uint16_t(delivery.identifier - FirstIdentifier);
            if (block < m_spec.identifiers && (delivery.about.isV6() == (m_spec.family == AF_INET6)))
                heard.push_back({delivery.reply, delivery.identifier, delivery.sequence,
                                 uint32_t(block) * SlotsPerIdentifier + delivery.sequence, delivery.from,
                                 delivery.reply ? delivery.from : delivery.about, delivery.status, arrivedNs,
                                 delivery.echoed.data(), delivery.echoed.size()});
        }
        return m_arrived.size();
    }

    int64_t readUntilNs() const override { return m_clock.now; }

    void wait(int64_t untilNs) override
    {
        m_room = m_network.m_roomPerWait;
        if (m_spec.stopped && m_spec.stopped->load())
            return;
        advanceTo((m_due.empty() ? untilNs : std::min(untilNs, m_due.begin()->first)) + m_network.m_wakeLateNs);
    }

    void advanceTo(int64_t ns)
    {
        m_clock.now = std::max(m_clock.now, ns);
        m_network.reached(m_clock.now);
    }

    uint64_t drops() const override { return m_drops; }

    FakeSweepNetwork &m_network;
    const ChannelSettings m_spec;
    SweepRequests m_requests;
    uint32_t m_pass = 0;
    Clock m_clock;
    std::multimap<int64_t, Delivery> m_due; // by arrival
    size_t m_room;
    uint64_t m_drops = 0;
    Bytes m_packet;
    std::vector<std::pair<int64_t, Delivery>> m_arrived; // by the last read
};

FakeSweepNetwork::FakeSweepNetwork(EchoSocket::Kind kind) : m_kind(kind) {}

FakeSweepNetwork::~FakeSweepNetwork() = default;

void FakeSweepNetwork::setHost(const std::string &address, Host host)
{
    m_hosts[ip(address)] = std::move(host);
}

void FakeSweepNetwork::setRoutedBlock(const std::string &first, const std::string &last)
{
    m_blocks.push_back({ntohl(ip(first).v4()), ntohl(ip(last).v4())});
}

void FakeSweepNetwork::inject(int64_t atNs, const Delivery &delivery)
{
    m_injected.emplace(atNs, delivery);
}

std::unique_ptr<SweepChannel> FakeSweepNetwork::open(const ChannelSettings &wanted)
{
    return std::make_unique<Channel>(*this, wanted);
}

void FakeSweepNetwork::reached(int64_t nowNs)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_latestNs = std::max(m_latestNs, nowNs);
}

Routes::Block FakeSweepNetwork::routedAlike(uint32_t address)
{
    for (const Routes::Block &block : m_blocks)
        if (block.first <= address && address <= block.last)
            return block;
    return {address, address};
}

FakeSweepNetwork::Response FakeSweepNetwork::respond(const Request &request)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_requests.push_back(request);
    const auto host = m_hosts.find(request.address);
    return host == m_hosts.end() ? Response() : host->second(request);
}

FakeSweepNetwork::Delivery FakeSweepNetwork::replyTo(const Request &request, int64_t delayNs)
{
    return {delayNs,         true, request.address, request.address, request.identifier, request.sequence, 0,
            request.payload, false};
}

FakeSweepNetwork::Host FakeSweepNetwork::answering(int delayMs)
{
    return [delayMs](const Request &request) {
        Response response;
        response.deliveries.push_back(replyTo(request, delayMs * Millisecond));
        return response;
    };
}

FakeSweepNetwork::Host FakeSweepNetwork::failing(int delayMs, uint32_t status, const std::string &from)
{
    const IpAddress sender = ip(from);
    return [delayMs, status, sender](const Request &request) {
        Response response;
        const size_t quoted = std::min(QuotedPayload, request.payload.size());
        response.deliveries.push_back({delayMs * Millisecond, false, sender, request.address, request.identifier,
                                       request.sequence, status,
                                       Bytes(request.payload.begin(), request.payload.begin() + long(quoted)), false});
        return response;
    };
}

FakeSweepNetwork::Host FakeSweepNetwork::refusing(uint32_t status, bool byRoute)
{
    return [status, byRoute](const Request &) {
        Response response;
        response.refusedStatus = status;
        response.refusedByRoute = byRoute;
        return response;
    };
}

IpAddress FakeSweepNetwork::ip(const std::string &text)
{
    return IpAddress::parse(text).value();
}
