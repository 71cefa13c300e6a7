#pragma once
#include "platform/IpAddress.h"

#include <cstdint>
#include <vector>

// What a sweep found, and where it stands.
struct SweepFindings {
    // An address that was heard from: its echo reply, or an ICMP error about our request to it.
    struct Answer {
        IpAddress address;
        uint32_t status = 0; // IP_SUCCESS, or the IP_STATUS of the error
        IpAddress from;      // who sent it: the error's sender
        double rttMs = 0;
    };

    // Requests this system would not send, by the reason it gave: how many and the first few.
    struct Unsent {
        static constexpr size_t Listed = 3;

        uint32_t status = 0; // IP_STATUS
        uint64_t count = 0;
        std::vector<IpAddress> first; // in the order tried
    };

    struct Progress {
        uint64_t addresses = 0;
        uint64_t sent = 0; // requests, retries included (not those that only time an answer again)
        uint64_t replies = 0;
        uint64_t errors = 0;
        uint64_t unsent = 0;
    };
};
