#include "FakeNetwork.h"

#include "platform/IcmpApi.h"
#include "platform/IcmpPacket.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>
#include <map>

namespace {

constexpr int DefaultTtl = 64;
constexpr size_t IpHeaderSize = 20;
const uint32_t ThisMachine = htonl(INADDR_LOOPBACK);

void writeBigEndian16(uint8_t *bytes, size_t value)
{
    bytes[0] = uint8_t(value >> 8);
    bytes[1] = uint8_t(value);
}

FakeNetwork::Bytes ipPacket(uint32_t from, uint32_t to, int ttl, const FakeNetwork::Bytes &icmp)
{
    FakeNetwork::Bytes packet(IpHeaderSize);
    packet[0] = 0x45;
    writeBigEndian16(&packet[2], IpHeaderSize + icmp.size());
    packet[8] = uint8_t(ttl);
    packet[9] = 1; // ICMP
    std::memcpy(&packet[12], &from, 4);
    std::memcpy(&packet[16], &to, 4);
    writeBigEndian16(&packet[10], IcmpPacket::checksum(packet.data(), packet.size()));
    packet.insert(packet.end(), icmp.begin(), icmp.end());
    return packet;
}

void setTypeAndChecksum(FakeNetwork::Bytes &icmp, uint8_t type, uint8_t code)
{
    icmp[0] = type;
    icmp[1] = code;
    icmp[2] = icmp[3] = 0;
    writeBigEndian16(&icmp[2], IcmpPacket::checksum(icmp.data(), icmp.size()));
}

} // namespace

struct FakeNetwork::State {
    Clock::time_point start = Clock::time_point(std::chrono::hours(1));
    Clock::time_point now = start;
    std::map<uint32_t, Host> hosts;
    std::vector<Request> requests;
    uint16_t nextIdentifier = 0x7A00;

    Host hostFor(uint32_t destination) const
    {
        const auto scripted = hosts.find(destination);
        if (scripted != hosts.end())
            return scripted->second;
        return ntohl(destination) >> 24 == 127 ? answering() : silent();
    }
};

// Replies arrive in the order they are due, and only to the socket whose request they answer.
class FakeNetwork::Socket final : public EchoSocket {
public:
    Socket(std::shared_ptr<State> state, Kind kind)
        : m_state(std::move(state)), m_kind(kind), m_identifier(m_state->nextIdentifier++)
    {
    }

    Kind kind() const override { return m_kind; }
    uint16_t identifier() const override { return m_identifier; }

    bool setTtl(int ttl) override
    {
        m_ttl = ttl < 0 ? DefaultTtl : ttl;
        return true;
    }

    // A request whose checksum is wrong is dropped on its way, as a real host drops it.
    int send(uint32_t destination, const Bytes &packet, int) override
    {
        const IcmpPacket::Decoded decoded = IcmpPacket::decode(packet.data(), packet.size(), false);
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
        if (decoded.kind != IcmpPacket::Kind::EchoRequest || IcmpPacket::checksum(packet.data(), packet.size()) != 0)
            return 0;
        for (const Packet &answer : response.packets)
            m_queue.emplace(m_state->now + std::chrono::milliseconds(answer.delayMs), answer.bytes);
        return 0;
    }

    Wake wait(int timeoutMs) override
    {
        Wake wake;
        const Clock::time_point end = m_state->now + std::chrono::milliseconds(timeoutMs);
        wake.readable = !m_queue.empty() && m_queue.begin()->first <= end;
        m_state->now = wake.readable ? std::max(m_state->now, m_queue.begin()->first) : end;
        return wake;
    }

    bool receive(bool errorQueue, IcmpPacket::Decoded &decoded) override
    {
        if (errorQueue || !due())
            return false;
        m_packet = std::move(m_queue.begin()->second);
        m_queue.erase(m_queue.begin());
        decoded = IcmpPacket::decode(m_packet.data(), m_packet.size(), true);
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
    bool due() const { return !m_queue.empty() && m_queue.begin()->first <= m_state->now; }

    std::shared_ptr<State> m_state;
    Kind m_kind;
    uint16_t m_identifier;
    int m_ttl = DefaultTtl;
    std::multimap<Clock::time_point, Bytes> m_queue;
    Bytes m_packet;
};

FakeNetwork::FakeNetwork() : m_state(std::make_shared<State>())
{
    IcmpApi::Testing::sockets() = [state = m_state](bool allowDatagram) -> std::unique_ptr<EchoSocket> {
        return std::make_unique<Socket>(state, allowDatagram ? EchoSocket::Kind::Datagram : EchoSocket::Kind::Raw);
    };
}

FakeNetwork::~FakeNetwork()
{
    IcmpApi::Testing::sockets() = nullptr;
}

void FakeNetwork::setHost(const std::string &dottedAddress, Host host)
{
    m_state->hosts[address(dottedAddress)] = std::move(host);
}

FakeNetwork::Host FakeNetwork::answering(int afterMs)
{
    return [afterMs](const Request &request) { return Response{0, {{afterMs, echoReply(request)}}}; };
}

FakeNetwork::Host FakeNetwork::failing(int afterMs, uint8_t type, uint8_t code, const std::string &from)
{
    const uint32_t sender = address(from);
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

FakeNetwork::Bytes FakeNetwork::echoReply(const Request &request, uint32_t from)
{
    Bytes icmp = IcmpPacket::buildEchoRequest(request.identifier, request.sequence, request.payload.data(),
                                              request.payload.size());
    setTypeAndChecksum(icmp, IcmpPacket::EchoReply, 0);
    return ipPacket(from != 0 ? from : request.destination, ThisMachine, DefaultTtl, icmp);
}

// Routers quote the request's IP header and at least its first 8 bytes; only those are quoted here.
FakeNetwork::Bytes FakeNetwork::icmpError(const Request &request, uint8_t type, uint8_t code, uint32_t from)
{
    Bytes quote = ipPacket(ThisMachine, request.destination, request.ttl,
                           IcmpPacket::buildEchoRequest(request.identifier, request.sequence, request.payload.data(),
                                                        request.payload.size()));
    quote.resize(IpHeaderSize + IcmpPacket::HeaderSize);
    Bytes icmp(IcmpPacket::HeaderSize);
    icmp.insert(icmp.end(), quote.begin(), quote.end());
    setTypeAndChecksum(icmp, type, code);
    return ipPacket(from, ThisMachine, DefaultTtl, icmp);
}

uint32_t FakeNetwork::address(const std::string &dotted)
{
    in_addr parsed{};
    inet_pton(AF_INET, dotted.c_str(), &parsed);
    return parsed.s_addr;
}

const std::vector<FakeNetwork::Request> &FakeNetwork::requests() const
{
    return m_state->requests;
}

int FakeNetwork::elapsedMs() const
{
    return int(std::chrono::duration_cast<std::chrono::milliseconds>(m_state->now - m_state->start).count());
}
