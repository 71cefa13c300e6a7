#pragma once
#include "platform/FileDescriptor.h"
#include "platform/HardwareAddress.h"
#include "platform/HelperProtocol.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

// The helper's purpose for the hosts of one link: a packet socket on one Ethernet interface that is
// up, opened while the capability is there, that takes in ARP replies alone. Every request is built
// here, from the interface's own hardware address and its own IPv4 address in the target's subnet,
// both read here; a target outside the interface's subnets is refused, and a subnet's network or
// broadcast address, or the interface's own, is not asked. Only replies from that
// interface, by a target asked, to the address that asked, are handed over.
class ArpService {
public:
    // The settings of an Open for a link's hosts, in range; none where they are not.
    static std::optional<HelperProtocol::ArpOpen> settingsOf(const HelperProtocol::Open &open);

    ArpService(int channel, const HelperProtocol::ArpOpen &settings);
    // Checks the interface, reads its addresses and opens its socket: false, with what failed in
    // opened, where it cannot.
    bool open(HelperProtocol::Opened &opened);
    // Until the client closes its end: the program's exit status.
    int serve();
    // One message of the client's: false for one that breaks the protocol.
    bool answer(const uint8_t *message, size_t length);

private:
    using Clock = std::chrono::steady_clock;
    struct Subnet {
        uint32_t own;  // network order
        uint32_t mask; // network order
    };

    bool readInterface();
    bool openSocket();
    std::optional<uint32_t> sourceFor(uint32_t target) const;
    bool onSubnets(uint32_t target) const;
    bool plan(const HelperProtocol::ArpAsk &request);
    bool ask(const HelperProtocol::ArpAsk &request, HelperProtocol::ArpFound &found);
    bool readUntil(Clock::time_point deadline, HelperProtocol::ArpFound &found);
    void take(const uint8_t *frame, size_t length, HelperProtocol::ArpFound &found);
    void put(const void *record, size_t length);

    const int m_channel;
    const HelperProtocol::ArpOpen m_settings;
    std::optional<FileDescriptor> m_socket;
    HardwareAddress m_hardware;
    std::vector<Subnet> m_subnets;
    std::map<uint32_t, uint32_t> m_waiting; // targets not yet answered, each with the address asking
    bool m_clientGone = false;
};
