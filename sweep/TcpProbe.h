#pragma once
#include "SweepTargets.h"
#include "SweepThrottle.h"
#include "TcpAttempts.h"
#include "TcpPorts.h"
#include "platform/IpAddress.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

// Which hosts answer TCP, for those that drop ICMP: a connection attempt to each target, one port after
// the other until one answers, with SYN-ACK (open) or RST (closed: the host is there all the same). A
// time-out, an ICMP error or no route is no answer. Unprivileged: non-blocking connect() of this
// process, each socket closed as soon as it is answered. Attempts are paced by a token bucket and held
// to a number in flight, itself held well under the descriptors this process may have.
class TcpProbe {
public:
    struct Settings {
        // Beyond these a probe is a mistake: the front ends hold their users to them.
        static constexpr int MaxRate = 100000;
        static constexpr int MaxInFlight = 16384;
        static constexpr int MaxTimeoutMs = 60000;

        std::vector<uint16_t> ports = TcpPorts::defaults(); // tried in this order
        int rate = 1000;                                    // attempts a second
        int inFlight = 256;
        int timeoutMs = 1000;
    };

    // A host that answered: the first of the ports that did.
    struct Answer {
        IpAddress address;
        uint16_t port = 0;
        bool open = false; // SYN-ACK; else RST
    };

    struct Progress {
        uint64_t addresses = 0;
        uint64_t attempts = 0;
        uint64_t refused = 0; // attempts this system would not send: no route, its own firewall
    };

    // std::invalid_argument for settings beyond their bounds or no ports, std::runtime_error when the
    // probe cannot be made stoppable.
    TcpProbe(const SweepTargets &targets, const Settings &settings);
    ~TcpProbe();
    TcpProbe(const TcpProbe &) = delete;
    TcpProbe &operator=(const TcpProbe &) = delete;

    // Probes to the end. std::runtime_error when no TCP socket can be had.
    void run();
    // From any thread, before or while it runs: run() returns within a few milliseconds with what was
    // heard so far.
    void stop();

    // In address order once run() has returned.
    const std::vector<Answer> &answers() const { return m_answers; }
    const Progress &progress() const { return m_progress; }
    // The attempts in flight at once: the settings', unless the descriptor limit holds it lower.
    size_t inFlightBound() const { return m_bound; }

private:
    // The next address of the targets, IPv4 first.
    struct Walk {
        size_t range = 0;
        uint64_t offset = 0;
        bool v6 = false;
    };

    bool nextTarget(TcpAttempts::Target &target);
    // Whether the walk is past the last address.
    bool walked() const;
    IpAddress walkAddress() const;
    void advance();
    void settleWalk();
    bool offsetInRange() const;
    // Starts what the bucket and the bound allow.
    void startAttempts(TcpAttempts &attempts, std::vector<TcpAttempts::Ended> &ended, int64_t nowNs);
    bool startOne(TcpAttempts &attempts, const TcpAttempts::Target &target, std::vector<TcpAttempts::Ended> &ended);
    void settle(std::vector<TcpAttempts::Ended> &ended);
    static size_t boundOf(int inFlight);

    const SweepTargets &m_targets;
    const Settings m_settings;
    size_t m_bound;
    std::atomic<bool> m_stopped{false};
    int m_stopFd = -1;
    Walk m_walk;
    SweepThrottle m_throttle;
    // Hosts that did not answer a port, waiting to be asked the next: before any new one.
    std::deque<TcpAttempts::Target> m_nextPorts;
    std::vector<Answer> m_answers;
    Progress m_progress;
};
