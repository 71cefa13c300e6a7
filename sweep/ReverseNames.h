#pragma once
#include "platform/IpAddress.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

// Host names of addresses by reverse lookup, many at once. The system's resolver blocks, so each
// lookup runs on a thread of its own: one that overruns its time-out is reported without a name and
// left to end unheard, and a new lookup may take its place. The system's resolver is told to give up
// about as soon, so that a server that never answers does not pile up threads still waiting for it.
class ReverseNames {
public:
    // Blocking; the name of an address, "" when it has none.
    using Resolver = std::function<std::string(const IpAddress &address)>;
    using Found = std::function<void(const IpAddress &address, const std::string &name)>;

    // A /16 of hosts whose server never answers is over in about four minutes.
    static constexpr int DefaultConcurrency = 256;
    static constexpr int MaxConcurrency = 512; // each lookup holds a socket, of 1,024 a process may have
    static constexpr int DefaultTimeoutMs = 1000;

    // found is called once for each address asked for, on a thread of this object's, never two at
    // once: with the name, or "" when there is none, the lookup failed or it ran out of time.
    // Without a resolver, the system's.
    explicit ReverseNames(Found found, int concurrency = DefaultConcurrency, int timeoutMs = DefaultTimeoutMs,
                          Resolver resolver = {});
    // Lookups not yet reported are given up: once this returns, found is never called again.
    ~ReverseNames();
    ReverseNames(const ReverseNames &) = delete;
    ReverseNames &operator=(const ReverseNames &) = delete;

    void lookUp(const IpAddress &address);
    // Blocks until every address asked for so far has been reported, or stop() was called.
    void wait();
    // The same for ms milliseconds at most: whether the wait is over.
    bool waitFor(int ms);
    // From any thread: wait() and waitFor() return at once, and what was not reported yet is given up with this
    // object.
    void stop();

    // The resolver's answer through the name service switch (the hosts file, DNS), a server asked
    // once for about timeoutMs (whole seconds).
    static std::string systemName(const IpAddress &address, int timeoutMs);

    struct State;

private:
    std::shared_ptr<State> m_state;
    std::thread m_dispatcher;
};
