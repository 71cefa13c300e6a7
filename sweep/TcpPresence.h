#pragma once
#include "PresenceSearch.h"
#include "TcpProbe.h"

#include <cstdint>
#include <mutex>
#include <vector>

// The targets that answered neither echo nor an earlier search, asked by TCP: a host that drops ICMP
// still answers a connection attempt, with SYN-ACK or a reset.
class TcpPresence : public PresenceSearch {
public:
    // At the sweep's rate and time-out, as far as a probe takes them.
    TcpPresence(std::vector<uint16_t> ports, int rate, int timeoutMs);

    void run(const Sweep &sweep, SweepReport &report) override;
    void stop() override;
    std::vector<std::string> shortfalls() override;

private:
    const TcpProbe::Settings m_settings;
    std::mutex m_mutex; // over the probe under way, which a stop from another thread reaches
    TcpProbe *m_probe = nullptr;
    bool m_stopped = false;
    uint64_t m_refused = 0;
};
