#pragma once
#include "echo/EchoTerms.h"

#include <cstdint>

// How a sweep sends: its rate, time-out, retries and requests, its order and its shard.
struct SweepSettings {
    // Beyond these a sweep is a mistake: the front ends hold their users to them.
    static constexpr int MaxRate = 10000000;
    static constexpr int MaxTimeoutMs = 60000;
    static constexpr int MaxRetries = 10;

    int rate = 5000; // requests per second
    int timeoutMs = EchoTerms::DefaultTimeoutMs;
    int retries = 0;
    int size = EchoTerms::DefaultSize; // payload bytes
    int ttl = EchoTerms::DefaultTTL;
    int receiveBufferBytes = 0; // each socket's; 0: room for the answers of a burst at the rate
    // A random order of the targets, drawn from the seed, instead of the ascending one.
    bool randomOrder = false;
    uint64_t seed = 0;
    // This sweep takes shard shardIndex (from 0) of shardCount: the targets whose number in
    // ascending order leaves shardIndex when divided by shardCount.
    uint32_t shardIndex = 0;
    uint32_t shardCount = 1;
    // IPv4 requests that are routed through a gateway on an Ethernet link go out as frames, past
    // this host's IP stack and so past its firewall (FrameLink): they need CAP_NET_RAW.
    bool frames = false;

    // How many of that many targets are this shard's.
    uint64_t shareOf(uint64_t targets) const
    {
        return targets > shardIndex ? (targets - shardIndex + shardCount - 1) / shardCount : 0;
    }
};
