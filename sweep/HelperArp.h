#pragma once
#include "platform/HardwareAddress.h"
#include "platform/HelperProcess.h"
#include "platform/IpAddress.h"

#include <atomic>
#include <optional>
#include <utility>
#include <vector>

// The hosts of one Ethernet link of this host's, asked by ARP requests that the helper sends itself
// on that link: at once and exactly, with no neighbour table to fill or read. For a user who may
// send frames (root, the group tozelo-frames), whom the helper checks again.
class HelperArp {
public:
    using Found = std::vector<std::pair<IpAddress, HardwareAddress>>;

    // Starts the helper for the link's interface, at most rate requests a second. Throws
    // std::runtime_error with the reason where the helper cannot be started or refuses the link.
    HelperArp(int link, int rate);
    ~HelperArp();
    HelperArp(const HelperArp &) = delete;
    HelperArp &operator=(const HelperArp &) = delete;

    // The targets of batch (IPv4, each in a subnet of the link's, at most MaxBatch) that replied
    // within waitMs of the last request; none when the helper refused them, failed, or stopped was
    // set. unsent counts the requests the link would not take, error the first one's errno.
    std::optional<Found> ask(const std::vector<IpAddress> &batch, int waitMs, const std::atomic<bool> &stopped,
                             uint64_t &unsent, int &error);

    static constexpr size_t MaxBatch = 256;

private:
    HelperProcess m_process;
    int m_channel = -1;
    const int m_rate;
};
