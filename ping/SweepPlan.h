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
struct SweepPlan {
    using HandOver = std::function<void(const Sweep::Answer *, size_t)>;

    SweepPlan(const SweepTargets &targets, const Sweep::Settings &settings, std::atomic<bool> &stop, int stopFd,
              const HandOver &handOver);

    uint32_t targetOf(uint32_t address) const;
    bool wasHeard(uint64_t target) const { return (heard[target / 64] >> (target % 64) & 1) != 0; }

    const SweepTargets &targets;
    const std::vector<uint8_t> payload;
    const int64_t timeoutNs;
    const SweepSignature signature;
    std::vector<uint64_t> rangeTargets; // index among the targets of each range's first address
    std::vector<uint64_t> heard;        // one bit a target
    uint32_t pass = 0;
    std::atomic<bool> &stop;  // asked for, or a worker failed: every worker leaves its pass
    const int stopFd;         // readable once stop is set
    const HandOver &handOver; // the answers as they come, when set
};
