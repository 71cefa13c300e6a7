#pragma once
#include "platform/IpAddress.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

// Host names of addresses by reverse lookup, a few at once. The system's resolver blocks and takes
// no time-out, so each lookup runs on a thread of its own: one that overruns its time-out is
// reported without a name and left to end unheard, and a new lookup may take its place.
class ReverseNames {
public:
    // Blocking; the name of an address, "" when it has none.
    using Resolver = std::function<std::string(const IpAddress &address)>;
    using Found = std::function<void(const IpAddress &address, const std::string &name)>;

    static constexpr int DefaultConcurrency = 16;
    static constexpr int DefaultTimeoutMs = 2000;

    // found is called once for each address asked for, on a thread of this object's, never two at
    // once: with the name, or "" when there is none, the lookup failed or it ran out of time.
    explicit ReverseNames(Found found, int concurrency = DefaultConcurrency, int timeoutMs = DefaultTimeoutMs,
                          Resolver resolver = systemName);
    // Lookups not yet reported are given up: once this returns, found is never called again.
    ~ReverseNames();
    ReverseNames(const ReverseNames &) = delete;
    ReverseNames &operator=(const ReverseNames &) = delete;

    void lookUp(const IpAddress &address);
    // Blocks until every address asked for so far has been reported, or stop() was called.
    void wait();
    // From any thread: wait() returns at once, and what was not reported yet is given up with this
    // object.
    void stop();

    // The resolver's answer through the name service switch (the hosts file, DNS).
    static std::string systemName(const IpAddress &address);

    struct State;

private:
    std::shared_ptr<State> m_state;
    std::thread m_dispatcher;
};
