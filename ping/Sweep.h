#pragma once
#include "SweepSignature.h"
#include "SweepTargets.h"
#include "platform/IcmpPacket.h"
#include "platform/IcmpSocket.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// Many echo requests in flight at once: the addresses of the targets in ascending order, paced by a
// token bucket, each matched to its reply or ICMP error by identifier and sequence number and
// proven by the keyed check in its payload, timed by the kernel's time of arrival, given up after
// the time-out, and the silent ones asked again once per retry.
//
// A request holds a slot of a ring of identifiers x 65,536 sequence numbers, as many identifiers as
// the rate and time-out keep requests waiting (one raw socket holds a block of them, or one
// datagram socket each). Slots are handed out in turn and given up in the same order, so the ring
// is also the queue of time-outs. Memory follows the requests in flight and the answers, not the
// targets, but for one bit per address (2 MB for a /8) for those that were heard from.
//
// When the system dropped answers for want of room, the silent addresses are asked again, slower;
// if a pass still lost some, the sweep says that its count may be short.
class Sweep {
public:
    using Clock = std::chrono::steady_clock; // CLOCK_MONOTONIC

    struct Settings {
        // Beyond these a sweep is a mistake: the front ends hold their users to them.
        static constexpr int MaxRate = 1000000;
        static constexpr int MaxTimeoutMs = 60000;
        static constexpr int MaxRetries = 10;

        int rate = 5000; // requests per second
        int timeoutMs = 500;
        int retries = 0;
        int size = 56; // payload bytes
        int ttl = 64;
        int receiveBufferBytes = 0; // each socket's; 0: room for the answers of a burst at the rate
    };

    // An address that was heard from: its echo reply, or an ICMP error about our request to it.
    struct Answer {
        uint32_t address = 0; // host byte order
        uint32_t status = 0;  // IP_SUCCESS, or the IP_STATUS of the error
        uint32_t from = 0;    // the error's sender, host byte order
        double rttMs = 0;
    };

    // Requests this system would not send, by the reason it gave: how many and the first few.
    struct Unsent {
        uint32_t status = 0; // IP_STATUS
        uint64_t count = 0;
        std::vector<uint32_t> first; // host byte order, in the order tried
    };

    struct Progress {
        uint64_t addresses = 0;
        uint64_t sent = 0; // requests, retries included
        uint64_t replies = 0;
        uint64_t errors = 0;
        uint64_t unsent = 0;
    };

    // Slots beyond this would cost more memory than a sweep should: 32 identifiers x 65,536.
    static constexpr unsigned MaxIdentifiers = 32;
    static constexpr size_t UnsentListed = 3;

    Sweep(const SweepTargets &targets, const Settings &settings);
    ~Sweep();

    // The rate the slots allow: the one asked for, unless that many requests a second would keep
    // more waiting out their time-out than there are slots.
    int effectiveRate() const;

    // Sweeps to the end, or until a stop is requested. Throws TICMPException when no ICMP socket can
    // be had.
    void run();
    // From any thread: run() returns within a few milliseconds with the answers so far, those to
    // requests still in flight given up.
    void requestStop();
    bool stopRequested() const { return m_stopRequested; }

    // In address order once run() has returned.
    const std::vector<Answer> &answers() const { return m_answers; }
    // In the order their reasons first came.
    const std::vector<Unsent> &unsent() const { return m_unsent; }
    const Progress &progress() const { return m_progress; }
    // Answers the system dropped in the last pass: when not 0, some that were silent may have answered.
    uint64_t droppedInLastPass() const { return m_droppedInPass; }
    IcmpSocket::Kind socketKind() const;

    // Called from run() about ten times a second, and once at the end.
    std::function<void(const Progress &)> onProgress;

private:
    // One request in flight; sentNs 0 marks a free slot. The request went out between sentNs and
    // spreadUs later: a call that sends many may be held up half-way.
    struct Slot {
        uint32_t address = 0;
        uint32_t spreadUs = 0;
        int64_t sentNs = 0; // CLOCK_MONOTONIC
    };
    // Where the walk through the targets stands.
    struct Cursor {
        size_t range = 0;
        uint64_t offset = 0;
        uint32_t target = 0;
    };
    struct Outgoing {
        uint32_t address = 0;
        uint32_t target = 0;
        Cursor after;
        std::vector<uint8_t> request;
    };

    unsigned identifiersNeeded() const;
    void openSockets();
    void runPass(int rate);
    bool targetAt(Cursor &cursor, uint32_t &address) const;
    void sendBurst(int64_t nowNs, int rate);
    size_t gather(size_t count);
    size_t sendBatch(size_t count);
    bool failedForItsOwnReason(size_t index, int error);
    void commit(const Outgoing &outgoing, int64_t sentNs, uint32_t spreadUs);
    int64_t deadlineOf(const Slot &slot) const;
    uint32_t targetOf(uint32_t address) const;
    void refuse(const Outgoing &outgoing, uint32_t status);
    size_t socketOfSlot(uint64_t slot) const;
    uint16_t identifierOfSlot(uint64_t slot) const;
    void expire(int64_t horizonNs);
    int64_t nextWakeNs(int64_t nowNs, int rate) const;
    void wait(int64_t untilNs);
    bool drain();
    bool readQueue(size_t socket, bool errorQueue);
    void take(size_t socket, const IcmpSocket::Received &packet, int64_t realtimeOffsetNs);
    void record(Slot &slot, uint32_t status, uint32_t from, int64_t arrivedNs);
    void markHeard(uint32_t target);
    bool heard(uint32_t target) const;
    uint64_t drops() const;
    void reportProgress(int64_t nowNs, bool force);

    const SweepTargets &m_targets;
    const Settings m_settings;
    const std::vector<uint8_t> m_payload;
    const int64_t m_timeoutNs;
    const SweepSignature m_signature;
    const unsigned m_identifiers;
    std::vector<std::unique_ptr<IcmpSocket>> m_sockets;
    std::vector<uint64_t> m_rangeTargets; // index of each range's first address among the targets
    std::vector<Slot> m_slots;
    uint64_t m_issued = 0;  // slots handed out, ever
    uint64_t m_retired = 0; // slots given back in turn, ever
    std::vector<uint64_t> m_heard;
    uint64_t m_heardCount = 0;
    std::vector<Answer> m_answers;
    std::vector<Unsent> m_unsent;
    Progress m_progress;
    uint64_t m_droppedInPass = 0;
    uint32_t m_pass = 0;
    Cursor m_cursor;
    std::vector<Outgoing> m_batch;
    std::vector<IcmpSocket::Outgoing> m_requests;
    bool m_cursorDone = false;
    bool m_sendBlocked = false;
    double m_tokens = 1;
    int64_t m_refilledNs = 0;
    int64_t m_nextProgressNs = 0;
    std::atomic<bool> m_stopRequested{false};
    int m_stopFd = -1; // readable once a stop is requested, to end a wait at once
};
