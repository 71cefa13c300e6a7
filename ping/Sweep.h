#pragma once
#include "SweepTargets.h"
#include "platform/IcmpPacket.h"
#include "platform/IcmpSocket.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <vector>

// Many echo requests in flight on one ICMP socket: the addresses of the targets in ascending order,
// paced by a token bucket, each matched to its reply or ICMP error by its sequence number, given
// up after the time-out, and the silent ones asked again once per retry.
//
// Memory follows the requests in flight and the answers, not the targets: a fixed table of the
// 65536 sequence numbers, a queue of at most MaxInFlight time-outs, and, only when retries are
// asked for, one bit per address (2 MB for a /8) for those that were heard from.
class Sweep {
public:
    using Clock = std::chrono::steady_clock; // CLOCK_MONOTONIC

    struct Settings {
        int rate = 5000; // requests per second
        int timeoutMs = 500;
        int retries = 0;
        int size = 56; // payload bytes
        int ttl = 64;
    };

    // An address that was heard from: its echo reply, or an ICMP error about our request to it.
    struct Answer {
        uint32_t address = 0; // host byte order
        uint32_t status = 0;  // IP_SUCCESS, or the IP_STATUS of the error
        uint32_t from = 0;    // the error's sender, host byte order; 0 for a local failure
        double rttMs = 0;
    };

    struct Progress {
        uint64_t addresses = 0;
        uint64_t sent = 0; // requests, retries included
        uint64_t replies = 0;
        uint64_t errors = 0;
    };

    // Numbers are handed out in turn, so one comes back into use 65,536 requests after its last;
    // keeping some free means the next free one is always near.
    static constexpr size_t MaxInFlight = 65536 - 4096;

    Sweep(const SweepTargets &targets, const Settings &settings);

    // Sweeps to the end. Throws TICMPException when no ICMP socket can be had.
    void run();

    // In address order once run() has returned.
    const std::vector<Answer> &answers() const { return m_answers; }
    const Progress &progress() const { return m_progress; }
    IcmpSocket::Kind socketKind() const { return m_socket.kind(); }

    // Called from run() about ten times a second, and once at the end.
    std::function<void(const Progress &)> onProgress;

private:
    // One request in flight, at the slot of its sequence number; serial 0 marks a free slot.
    struct Slot {
        uint32_t serial = 0;
        uint32_t target = 0; // index among the targets, for the bitmap
        uint32_t address = 0;
        Clock::time_point sent;
    };
    struct Deadline {
        Clock::time_point at;
        uint32_t serial;
        uint16_t sequence;
    };
    // Where the walk through the targets stands.
    struct Cursor {
        size_t range = 0;
        uint64_t offset = 0;
        uint32_t target = 0;
    };
    // A request about to go out, and where the walk stands once it has.
    struct Outgoing {
        uint32_t address = 0;
        uint32_t target = 0;
        uint16_t sequence = 0;
        Cursor after;
        std::vector<uint8_t> request;
    };

    void openSocket();
    void runPass();
    bool targetAt(Cursor &cursor, uint32_t &address) const;
    void sendDue(Clock::time_point now);
    void gather(size_t count);
    size_t sendBatch();
    void commit(const Outgoing &outgoing, Clock::time_point sent, int error);
    uint16_t freeSequence();
    void expire(Clock::time_point now);
    Clock::time_point nextWake(Clock::time_point now) const;
    void waitAndRead(Clock::time_point until);
    void readQueue(bool errorQueue);
    void take(const IcmpPacket::Decoded &decoded, Clock::time_point now);
    void record(const Slot &slot, uint32_t status, uint32_t from, Clock::time_point now);
    bool heard(uint32_t target) const;
    void reportProgress(Clock::time_point now, bool force);

    const SweepTargets &m_targets;
    const Settings m_settings;
    const std::vector<uint8_t> m_payload;
    const Clock::duration m_timeout;
    IcmpSocket m_socket;
    std::vector<Slot> m_slots;
    std::deque<Deadline> m_deadlines;
    std::vector<uint64_t> m_heard;
    uint64_t m_heardCount = 0;
    std::vector<Answer> m_answers;
    Progress m_progress;
    Cursor m_cursor;
    std::vector<Outgoing> m_batch;
    bool m_cursorDone = false;
    bool m_sendBlocked = false;
    double m_tokens = 1;
    double m_burst = 1;
    Clock::time_point m_refilled;
    Clock::time_point m_nextProgress;
    uint32_t m_serial = 0;
    uint16_t m_sequence = 0;
};
