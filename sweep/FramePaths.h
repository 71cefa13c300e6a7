#pragma once
#include "platform/FrameLink.h"
#include "platform/Routes.h"

#include <cstdint>
#include <optional>
#include <vector>

// Which path each IPv4 target's request takes as a frame, if any, learnt for each block of addresses
// that the system routes alike, and learnt again from time to time: routes and neighbours change.
class FramePaths {
public:
    FramePaths(const FrameLink &link, Routes &routes) : m_link(link), m_routes(routes) {}

    // Null when the request to address (host byte order) must go through a socket; else valid until
    // the next call.
    const FrameLink::Path *pathTo(uint32_t address, int64_t nowNs);

private:
    struct Known {
        Routes::Block block;
        std::optional<FrameLink::Path> path;
        int64_t untilNs;
    };

    const Known &learn(uint32_t address, int64_t nowNs);

    const FrameLink &m_link;
    Routes &m_routes;
    std::vector<Known> m_known; // the last one looked up first
    size_t m_last = 0;
};
