#pragma once
#include <cstdint>
#include <map>
#include <mutex>

// Every raw socket sees every ICMP packet of its family on the machine: the identifier is what keeps
// the replies of one socket from another's, and from a forger who cannot see our requests. It is
// drawn at random, so that nothing outside (a process id, a counter) tells it. Each family has its
// own set: an ICMPv6 socket never sees ICMP packets.
class RawIdentifiers {
public:
    static RawIdentifiers &forIcmp();
    static RawIdentifiers &forIcmp6();

    // The first of count identifiers (a power of two), aligned on count, that no other raw socket of
    // this family here holds.
    uint16_t acquire(unsigned count);
    void release(uint16_t first);

private:
    RawIdentifiers() = default;
    bool take(uint16_t first, unsigned count);

    std::mutex m_mutex;
    std::map<uint16_t, unsigned> m_inUse;
};
