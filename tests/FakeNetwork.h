#pragma once
#include "platform/EchoSocket.h"
#include "platform/IpAddress.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// A network for the echo module, scripted and on a simulated clock: while one is alive, every echo
// handle that opens gets a socket of it, of the handle's family. Nothing leaves the process; each
// destination answers as its script says, every packet after its delay, and waiting costs no real
// time: a wait moves the clock to the next packet due, or to the wait's end. Unscripted destinations
// behave as this machine does without a network: 127.0.0.0/8 and ::1 answer at once, every other
// address is silent. Used from one thread.
class FakeNetwork {
public:
    using Clock = EchoSocket::Clock;
    using Bytes = std::vector<uint8_t>;

    // An echo request as it went out.
    struct Request {
        IpAddress destination;
        uint16_t identifier = 0;
        uint16_t sequence = 0;
        int ttl = 0; // or hop limit
        Bytes payload;
    };

    // A packet as it arrives, IPv4 or IPv6 header first, delayMs after its request. The sockets hand
    // it over as the real ones do: an ICMPv6 packet without its header.
    struct Packet {
        int delayMs = 0;
        Bytes bytes;
    };

    // What a request meets: the errno its send fails with (and then nothing comes back), or packets.
    struct Response {
        int sendError = 0;
        std::vector<Packet> packets;
    };
    using Host = std::function<Response(const Request &)>;

    FakeNetwork();
    ~FakeNetwork();
    FakeNetwork(const FakeNetwork &) = delete;
    FakeNetwork &operator=(const FakeNetwork &) = delete;

    // address: a literal of either family.
    void setHost(const std::string &address, Host host);

    // Echoes the request's payload after afterMs.
    static Host answering(int afterMs = 0);
    // Sends an error of the request's family (ICMP or ICMPv6 type and code) from the given address
    // after afterMs, quoting the request.
    static Host failing(int afterMs, uint8_t type, uint8_t code, const std::string &from);
    static Host silent();
    static Host refusingToSend(int error);

    // The echo reply to request from its destination (or from), carrying the request's payload.
    static Bytes echoReply(const Request &request, const IpAddress &from = IpAddress());
    // An error of the request's family sent from the given address that quotes request as a router
    // quotes it.
    static Bytes icmpError(const Request &request, uint8_t type, uint8_t code, const IpAddress &from);
    static IpAddress ip(const std::string &text);

    // Waits take the real time they stand for as well, for a test that must see it pass.
    void setPaced(bool paced);

    // Every request sent since this network was made, oldest first.
    const std::vector<Request> &requests() const;
    int elapsedMs() const; // since this network was made

private:
    struct State;
    class Socket;

    std::shared_ptr<State> m_state;
};
