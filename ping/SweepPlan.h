#pragma once
#include "Sweep.h"
#include "SweepSignature.h"
#include "SweepTargets.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

// What the workers of one sweep share. Fixed while they run, but for the bits of heard: each
// worker's part of the targets starts on a multiple of 64, so that every word has one writer.
//
// Each target has its number: the IPv4 ones from 0 in address order, then the IPv6 ones from
// firstIpv6, the IPv4 count rounded up to 64, so that no word of heard holds both families.
struct SweepPlan {
    using HandOver = std::function<void(const Sweep::Answer *, size_t)>;

    // A range of the targets: size addresses from first, numbered from firstTarget.
    struct Run {
        uint64_t firstTarget;
        uint64_t size;
        bool v6;
        SweepTargets::Wide first;
    };

    SweepPlan(const SweepTargets &targets, const Sweep::Settings &settings, std::atomic<bool> &stop, int stopFd,
              const HandOver &handOver);

    IpAddress addressOf(uint64_t target) const;
    IpAddress addressIn(const Run &run, uint64_t offset) const;
    bool wasHeard(uint64_t target) const { return (heard[target / 64] >> (target % 64) & 1) != 0; }

    const SweepTargets &targets;
    const std::vector<uint8_t> payload;
    const int64_t timeoutNs;
    const SweepSignature signature;
    std::vector<Run> runs; // IPv4 first, each family in address order
    uint64_t firstIpv6 = 0;
    uint64_t end = 0;            // past the last target's number
    std::vector<uint64_t> heard; // one bit a target
    uint32_t pass = 0;
    std::atomic<bool> &stop;  // asked for, or a worker failed: every worker leaves its pass
    const int stopFd;         // readable once stop is set
    const HandOver &handOver; // the answers as they come, when set
};
