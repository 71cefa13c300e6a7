#pragma once
#include "platform/EchoSocket.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// A network for the echo module, scripted and on a simulated clock: while one is alive, every echo
// handle that opens gets a socket of it. Nothing leaves the process; each destination answers as
// its script says, every packet after its delay, and waiting costs no real time: a wait moves the
// clock to the next packet due, or to the wait's end. Unscripted destinations behave as this
// machine does without a network: 127.0.0.0/8 answers at once, every other address is silent.
// Used from one thread.
class FakeNetwork {
public:
    using Clock = EchoSocket::Clock;
    using Bytes = std::vector<uint8_t>;

    // An echo request as it went out; addresses in network order, as the module has them.
    struct Request {
        uint32_t destination = 0;
        uint16_t identifier = 0;
        uint16_t sequence = 0;
        int ttl = 0;
        Bytes payload;
    };

    // A packet as a raw socket reads it, IPv4 header first, arriving delayMs after its request.
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

    void setHost(const std::string &dottedAddress, Host host);

    // Echoes the request's payload after afterMs.
    static Host answering(int afterMs = 0);
    // Sends ICMP type and code from the given address after afterMs, quoting the request.
    static Host failing(int afterMs, uint8_t type, uint8_t code, const std::string &from);
    static Host silent();
    static Host refusingToSend(int error);

    // The echo reply to request from its destination (or from), carrying the request's payload.
    static Bytes echoReply(const Request &request, uint32_t from = 0);
    // An ICMP error sent from the given address that quotes request as a router quotes it.
    static Bytes icmpError(const Request &request, uint8_t type, uint8_t code, uint32_t from);
    static uint32_t address(const std::string &dotted);

    // Every request sent since this network was made, oldest first.
    const std::vector<Request> &requests() const;
    int elapsedMs() const; // since this network was made

private:
    struct State;
    class Socket;

    std::shared_ptr<State> m_state;
};
