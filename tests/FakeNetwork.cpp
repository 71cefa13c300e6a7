#include "FakeNetwork.h"

#include "platform/ArrivalClock.h"
#include "platform/Icmp6Packet.h"
#include "platform/IcmpApi.h"
#include "platform/IcmpPacket.h"
#include "platform/IcmpTypes.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <thread>

namespace {

constexpr int DefaultTtl = 64;
constexpr size_t IpHeaderSize = 20;
constexpr size_t Ipv6HeaderSize = Icmp6Packet::Ipv6HeaderSize;
constexpr uint8_t Icmp6 = 58;

void writeBigEndian16(uint8_t *bytes, size_t value)
{
    bytes[0] = uint8_t(value >> 8);
    bytes[1] = uint8_t(value);
}

IpAddress thisMachine(const IpAddress &peer)
{
    return peer.isV6() ? IpAddress::v6(in6addr_loopback.s6_addr) : IpAddress::v4(htonl(INADDR_LOOPBACK));
}

Icmp6Packet::Address bytesOf(const IpAddress &address)
{
    Icmp6Packet::Address bytes{};
    std::copy_n(address.bytes(), bytes.size(), bytes.begin());
    return bytes;
}

FakeNetwork::Bytes ipPacket(const IpAddress &from, const IpAddress &to, int ttl, const FakeNetwork::Bytes &icmp)
{
    if (from.isV6()) {
        FakeNetwork::Bytes packet(Ipv6HeaderSize);
        packet[0] = 0x60;
        writeBigEndian16(&packet[4], icmp.size());
        packet[6] = Icmp6;
        packet[7] = uint8_t(ttl);
        std::copy_n(from.bytes(), 16, &packet[8]);
        std::copy_n(to.bytes(), 16, &packet[24]);
        packet.insert(packet.end(), icmp.begin(), icmp.end());
        return packet;
    }
    FakeNetwork::Bytes packet(IpHeaderSize);
    packet[0] = 0x45;
    writeBigEndian16(&packet[2], IpHeaderSize + icmp.size());
    packet[8] = uint8_t(ttl);
    packet[9] = 1; // ICMP
    std::copy_n(from.bytes(), 4, &packet[12]);
    std::copy_n(to.bytes(), 4, &packet[16]);
    writeBigEndian16(&packet[10], IcmpPacket::checksum(packet.data(), packet.size()));
    packet.insert(packet.end(), icmp.begin(), icmp.end());
    return packet;
}

// An ICMPv6 checksum covers the addresses, as the kernel computes it.
void setTypeAndChecksum(FakeNetwork::Bytes &icmp, uint8_t type, uint8_t code, const IpAddress &from,
                        const IpAddress &to)
{
    icmp[0] = type;
    icmp[1] = code;
    icmp[2] = icmp[3] = 0;
    writeBigEndian16(&icmp[2], from.isV6() ? Icmp6Packet::checksum(bytesOf(from), bytesOf(to), icmp.data(), icmp.size())
                                           : IcmpPacket::checksum(icmp.data(), icmp.size()));
}

FakeNetwork::Bytes echoRequest(const FakeNetwork::Request &request)
{
    const std::vector<uint8_t> &payload = request.payload;
    if (request.destination.isV6())
        return Icmp6Packet::buildEchoRequest(request.identifier, request.sequence, payload.data(), payload.size());
    return IcmpPacket::buildEchoRequest(request.identifier, request.sequence, payload.data(), payload.size());
}

} // namespace

struct FakeNetwork::State {
    Clock::time_point start = Clock::time_point(std::chrono::hours(1));
    Clock::time_point now = start;
    std::map<IpAddress, Host> hosts;
    std::vector<Request> requests;
    uint16_t nextIdentifier = 0x7A00;
    bool paced = false;

    Host hostFor(const IpAddress &destination) const
    {
        const auto scripted = hosts.find(destination);
        if (scripted != hosts.end())
            return scripted->second;
        const bool loopback =
            destination.isV6() ? destination == thisMachine(destination) : ntohl(destination.v4()) >> 24 == 127;
        return loopback ? answering() : silent();
    }
};

// Replies arrive in the order they are due, and only to the socket whose request they answer.
class FakeNetwork::Socket final : public EchoSocket {
public:
    Socket(std::shared_ptr<State> state, Kind kind, int family)
        : m_state(std::move(state)), m_kind(kind), m_family(family), m_identifier(m_state->nextIdentifier++)
    {
    }

    Kind kind() const override { return m_kind; }
    uint16_t identifier() const override { return m_identifier; }

    bool setTtl(int ttl) override
    {
        m_ttl = ttl < 0 ? DefaultTtl : ttl;
        return true;
    }

    Sent sendEcho(const IpAddress &destination, uint16_t sequence, const uint8_t *payload, uint16_t size) override
    {
        const Clock::time_point at = m_state->now;
        const int error = send(destination, echoRequest(m_family, m_identifier, sequence, payload, size));
        return {error == 0 ? uint32_t(IP_SUCCESS) : statusOfErrno(error), sequence, at};
    }

    Wake wait(int timeoutMs) override
    {
        Wake wake;
        const Clock::time_point end = m_state->now + std::chrono::milliseconds(timeoutMs);
        wake.readable = !m_queue.empty() && m_queue.begin()->first <= end;
        const Clock::time_point woken = wake.readable ? std::max(m_state->now, m_queue.begin()->first) : end;
        if (m_state->paced)
            std::this_thread::sleep_for(woken - m_state->now);
        m_state->now = woken;
        return wake;
    }

    bool receive(bool errorQueue, EchoSocket::Packet &packet) override
    {
        if (errorQueue || !due())
            return false;
        const Clock::time_point arrived = m_queue.begin()->first;
        m_packet = std::move(m_queue.begin()->second);
        m_queue.erase(m_queue.begin());
        if (m_family == AF_INET6) {
            packet = received6();
        } else {
            packet = packetOf(IcmpPacket::decode(m_packet.data(), m_packet.size(), true));
        }
        // A packet read after it came carries the time it came, as the kernel stamps it.
        if (arrived < m_state->now)
            packet.arrivedNs =
                std::chrono::nanoseconds(arrived.time_since_epoch()).count() + ArrivalClock::realtimeOffsetNs();
        return true;
    }

    const uint8_t *data() const override { return m_packet.data(); }
    void clearPendingError() override {}

    void discardQueued() override
    {
        while (due())
            m_queue.erase(m_queue.begin());
    }

    Clock::time_point now() const override { return m_state->now; }

private:
    // An IPv4 request whose checksum is wrong is dropped on its way, as a real host drops it; the
    // kernel fills in an ICMPv6 request's.
    int send(const IpAddress &destination, const Bytes &packet)
    {
        if (destination.addressFamily() != m_family)
            return EAFNOSUPPORT;
        const bool v6 = destination.isV6();
        const EchoSocket::Packet decoded = v6 ? packetOf6(packet.data(), packet.size())
                                              : packetOf(IcmpPacket::decode(packet.data(), packet.size(), false));
        Request request;
        request.destination = destination;
        request.identifier = decoded.identifier;
        request.sequence = decoded.sequence;
        request.ttl = m_ttl;
        request.payload.assign(packet.begin() + long(decoded.dataOffset), packet.end());
        m_state->requests.push_back(request);
        const Response response = m_state->hostFor(destination)(request);
        if (response.sendError != 0)
            return response.sendError;
        if (decoded.kind != IcmpPacket::Kind::EchoRequest ||
            (!v6 && IcmpPacket::checksum(packet.data(), packet.size()) != 0))
            return 0;
        for (const FakeNetwork::Packet &answer : response.packets)
            m_queue.emplace(m_state->now + std::chrono::milliseconds(answer.delayMs), answer.bytes);
        return 0;
    }

    bool due() const { return !m_queue.empty() && m_queue.begin()->first <= m_state->now; }

    static EchoSocket::Packet packetOf6(const uint8_t *icmp, size_t len)
    {
        return packetOf(Icmp6Packet::decode(icmp, len));
    }

    // The IPv6 header tells what a real socket gives beside the packet: its source and hop limit.
    EchoSocket::Packet received6() const
    {
        if (m_packet.size() < Ipv6HeaderSize)
            return {};
        EchoSocket::Packet packet = packetOf6(m_packet.data() + Ipv6HeaderSize, m_packet.size() - Ipv6HeaderSize);
        packet.source = IpAddress::v6(&m_packet[8]);
        packet.ttl = m_packet[7];
        packet.dataOffset += Ipv6HeaderSize;
        return packet;
    }

    std::shared_ptr<State> m_state;
    Kind m_kind;
    int m_family;
    uint16_t m_identifier;
    int m_ttl = DefaultTtl;
    std::multimap<Clock::time_point, Bytes> m_queue;
    Bytes m_packet;
};

FakeNetwork::FakeNetwork() : m_state(std::make_shared<State>())
{
    IcmpApi::Testing::sockets() = [state = m_state](int family, bool allowDatagram) -> std::unique_ptr<EchoSocket> {
        return std::make_unique<Socket>(state, allowDatagram ? EchoSocket::Kind::Datagram : EchoSocket::Kind::Raw,
                                        family);
    };
}

FakeNetwork::~FakeNetwork()
{
    IcmpApi::Testing::sockets() = nullptr;
}

void FakeNetwork::setHost(const std::string &address, Host host)
{
    m_state->hosts[ip(address)] = std::move(host);
}

FakeNetwork::Host FakeNetwork::answering(int afterMs)
{
    return [afterMs](const Request &request) { return Response{0, {{afterMs, echoReply(request)}}}; };
}

FakeNetwork::Host FakeNetwork::failing(int afterMs, uint8_t type, uint8_t code, const std::string &from)
{
    const IpAddress sender = ip(from);
    return [=](const Request &request) { return Response{0, {{afterMs, icmpError(request, type, code, sender)}}}; };
}

FakeNetwork::Host FakeNetwork::silent()
{
    return [](const Request &) { return Response(); };
}

FakeNetwork::Host FakeNetwork::refusingToSend(int error)
{
    return [error](const Request &) { return Response{error, {}}; };
}

FakeNetwork::Bytes FakeNetwork::echoReply(const Request &request, const IpAddress &from)
{
    const IpAddress source = from.isNull() ? request.destination : from;
    const IpAddress to = thisMachine(source);
    Bytes icmp = echoRequest(request);
    setTypeAndChecksum(icmp, source.isV6() ? Icmp6Packet::EchoReply : IcmpPacket::EchoReply, 0, source, to);
    return ipPacket(source, to, DefaultTtl, icmp);
}

// Routers quote the request's IP header and at least its first 8 bytes; only those are quoted here.
FakeNetwork::Bytes FakeNetwork::icmpError(const Request &request, uint8_t type, uint8_t code, const IpAddress &from)
{
    const IpAddress here = thisMachine(request.destination);
    Bytes quote = ipPacket(here, request.destination, request.ttl, echoRequest(request));
    quote.resize((request.destination.isV6() ? Ipv6HeaderSize : IpHeaderSize) + IcmpPacket::HeaderSize);
    Bytes icmp(IcmpPacket::HeaderSize);
    icmp.insert(icmp.end(), quote.begin(), quote.end());
    setTypeAndChecksum(icmp, type, code, from, here);
    return ipPacket(from, here, DefaultTtl, icmp);
}

IpAddress FakeNetwork::ip(const std::string &text)
{
    return IpAddress::parse(text).value_or(IpAddress());
}

void FakeNetwork::setPaced(bool paced)
{
    m_state->paced = paced;
}

const std::vector<FakeNetwork::Request> &FakeNetwork::requests() const
{
    return m_state->requests;
}

int FakeNetwork::elapsedMs() const
{
    return int(std::chrono::duration_cast<std::chrono::milliseconds>(m_state->now - m_state->start).count());
}
