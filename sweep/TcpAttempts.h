#pragma once
#include "platform/IpAddress.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <unordered_map>
#include <vector>

// TCP connection attempts in flight: each a non-blocking socket of this process, watched by one epoll
// set, closed as soon as it is answered or its deadline passes. A socket is closed with a reset
// (SO_LINGER 0), so that no TIME_WAIT is left behind for each host that answered.
class TcpAttempts {
public:
    enum class Outcome {
        Open,       // SYN-ACK: the connection was made
        Closed,     // RST: refused by the host itself
        Unanswered, // the deadline passed, or an ICMP error came back
        Refused,    // this system would not send it: no route, its own firewall
    };
    // Who was asked; portIndex: which of the probe's ports.
    struct Target {
        IpAddress address;
        size_t portIndex = 0;
    };
    struct Ended {
        Target target;
        Outcome outcome = Outcome::Unanswered;
    };

    // stopFd: readable once the probe is stopped; a wait returns at once then. std::runtime_error when
    // no epoll set can be had.
    explicit TcpAttempts(int stopFd);
    ~TcpAttempts();
    TcpAttempts(const TcpAttempts &) = delete;
    TcpAttempts &operator=(const TcpAttempts &) = delete;

    // Starts an attempt, or ends it at once into ended (a connection on this host, no route). False
    // when this process has no room for another socket; errno says why.
    bool start(const Target &target, uint16_t port, int64_t deadlineNs, std::vector<Ended> &ended);
    // Until an attempt ends, untilNs or stop, whichever is first; what ended goes into ended.
    void wait(int64_t nowNs, int64_t untilNs, std::vector<Ended> &ended);
    size_t size() const { return m_inFlight.size(); }

private:
    struct InFlight {
        Target target;
        uint64_t serial = 0;
    };
    struct Deadline {
        int64_t atNs;
        int fd;
        uint64_t serial;
    };

    static int openSocket(const IpAddress &address);
    static Outcome outcomeAtOnce(int error);
    static Outcome outcomeOf(int fd, int error);
    void finish(int fd, Outcome outcome, std::vector<Ended> &ended);
    void expire(int64_t nowNs, std::vector<Ended> &ended);

    int m_epoll = -1;
    std::unordered_map<int, InFlight> m_inFlight;
    // In the order the attempts started: every attempt has the same time-out.
    std::deque<Deadline> m_deadlines;
    uint64_t m_serial = 0;
};
