#pragma once
#include "SweepFindings.h"
#include "SweepNetwork.h"
#include "SweepSettings.h"
#include "SweepSignature.h"
#include "SweepTargets.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

// What the workers of one sweep share. Fixed while they run, but for the bits of heard: each
// worker's part of the targets starts on a multiple of 64, so that every word has one writer.
//
// The targets are numbered IPv4 first, each family in address order; those of this sweep's shard
// are its members. The IPv4 members are numbered from 0, the IPv6 ones from firstIpv6, the IPv4
// count rounded up to 64, so that no word of heard holds both families.
struct SweepPlan {
    using HandOver = std::function<void(const SweepFindings::Answer *, size_t)>;

    // A range of the targets: size addresses from first, numbered from firstTarget.
    struct Run {
        uint64_t firstTarget;
        uint64_t size;
        bool v6;
        uint32_t scope; // an IPv6 range's link, 0 for none
        SweepTargets::Wide first;
    };

    SweepPlan(const SweepTargets &targets, const SweepSettings &settings, SweepNetwork &network,
              std::atomic<bool> &stop, int stopFd, const HandOver &handOver);

    // run: where to look first (the run of the last member asked for), and where it was found.
    IpAddress addressOf(uint64_t member, size_t &run) const;
    IpAddress addressOf(uint64_t member) const;
    // The IPv4 members whose addresses lie from first to last (host order): [begin, end).
    std::pair<uint64_t, uint64_t> membersWithin(uint32_t first, uint32_t last) const;
    bool wasHeard(uint64_t member) const { return (heard[member / 64] >> (member % 64) & 1) != 0; }
    // Only by the worker whose part holds the member.
    void markHeard(uint64_t member) { heard[member / 64] |= uint64_t(1) << (member % 64); }

    const SweepSettings settings;
    SweepNetwork &network;
    const std::vector<uint8_t> payload;
    const int64_t timeoutNs;
    const SweepSignature signature;
    std::vector<Run> runs; // IPv4 first
    size_t runs4 = 0;
    uint64_t members4 = 0; // the IPv4 members
    uint64_t firstIpv6 = 0;
    uint64_t end = 0;            // past the last member's number
    std::vector<uint64_t> heard; // one bit a member
    uint32_t pass = 0;
    std::atomic<bool> &stop;  // asked for, or a worker failed: every worker leaves its pass
    const int stopFd;         // readable once stop is set
    const HandOver &handOver; // the answers as they come, when set
    // Called on a worker's thread once it has sent all of its pass.
    std::function<void()> sentPass = [] {};
};
