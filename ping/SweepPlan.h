#pragma once
#include "Sweep.h"
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
// The targets it sweeps are its members: those of its shard, numbered from 0 in ascending order.
struct SweepPlan {
    using HandOver = std::function<void(const Sweep::Answer *, size_t)>;

    SweepPlan(const SweepTargets &targets, const Sweep::Settings &settings, std::atomic<bool> &stop, int stopFd,
              const HandOver &handOver);

    uint64_t members() const { return settings.shareOf(targets.count()); }
    // range: where to look first (the range of the last member asked for), and where it was found.
    uint32_t addressOf(uint64_t member, size_t &range) const;
    // Of an address among the members.
    uint64_t memberOf(uint32_t address) const;
    // The members whose addresses lie from first to last: [begin, end).
    std::pair<uint64_t, uint64_t> membersWithin(uint32_t first, uint32_t last) const;
    bool wasHeard(uint64_t member) const { return (heard[member / 64] >> (member % 64) & 1) != 0; }

    const SweepTargets &targets;
    const Sweep::Settings settings;
    const std::vector<uint8_t> payload;
    const int64_t timeoutNs;
    const SweepSignature signature;
    std::vector<uint64_t> rangeTargets; // index among the targets of each range's first address
    std::vector<uint64_t> heard;        // one bit a member
    uint32_t pass = 0;
    std::atomic<bool> &stop;  // asked for, or a worker failed: every worker leaves its pass
    const int stopFd;         // readable once stop is set
    const HandOver &handOver; // the answers as they come, when set
};
