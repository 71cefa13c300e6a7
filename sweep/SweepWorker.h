#pragma once
#include "FramePaths.h"
#include "Sweep.h"
#include "SweepOrder.h"
#include "SweepPlan.h"
#include "platform/IcmpSocket.h"
#include "platform/Routes.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

// One sender of a sweep, in a thread of its own: its part of the targets in the sweep's order, paced
// by a token bucket, through its own sockets, each request matched to its reply or ICMP error by
// identifier and sequence number and proven by the keyed check in its payload, timed by the
// kernel's time of arrival, given up after the time-out.
//
// A request holds a slot of a ring of identifiers x 65,536 sequence numbers (one raw socket holds
// a block of identifiers, or one datagram socket each). Slots are handed out in turn and given up
// in the same order, so the ring is also the queue of time-outs.
class SweepWorker {
public:
    // Requests handed to the kernel in one call: few, so that a call takes a few tens of microseconds
    // and its requests are timed within that. Frames cost the kernel far less each than requests
    // through a socket.
    static constexpr size_t MaxBatch = 64;
    static constexpr size_t SocketBatch = 16;

    // Sweeps the targets numbered [first, end), all of the sockets' family, with up to identifiers x
    // 65,536 requests waiting, through sockets: one raw socket whose block holds that many
    // identifiers, or that many datagram ones. With a link, IPv4 requests that can go as frames do,
    // the sockets still taking their answers.
    SweepWorker(SweepPlan &plan, uint64_t first, uint64_t end, std::vector<std::unique_ptr<IcmpSocket>> sockets,
                unsigned identifiers, FrameLink *link);
    ~SweepWorker();

    // One pass over the part, at rate requests a second; tick is called at each wake-up.
    void runPass(double rate, const std::function<void()> &tick);

    const std::vector<Sweep::Answer> &answers() const { return m_answers; }
    const std::vector<Sweep::Unsent> &unsent() const { return m_unsent; }
    // Read from any thread while the pass runs.
    Sweep::Progress progress() const;
    uint64_t heardCount() const { return m_heardCount; }
    uint64_t targetCount() const { return m_end - m_first; }
    uint64_t drops() const;
    // Before any worker's pass starts, so that none is taken for done before it began.
    void passComing() { m_sendingInPass = true; }
    // Read from any thread: this pass still has requests to send. Ordered with the other workers'
    // (sequentially consistent), so that of two that end at once, one sees both ended.
    bool sendingInPass() const { return m_sendingInPass; }
    IcmpSocket::Kind socketKind() const { return m_sockets.front()->kind(); }

private:
    // One request in flight; sentNs 0 marks a free slot. The request went out between sentNs and
    // spreadUs later (RecheckFlag aside): a call that sends many may be held up half-way.
    struct Slot {
        uint32_t target = 0; // its member's number in the plan
        uint32_t spreadUs = 0;
        int64_t sentNs = 0; // CLOCK_MONOTONIC
    };
    // In a slot's spreadUs: its request asks again a host whose answer came to a request sent at an
    // uncertain time, for a round-trip time that can be trusted.
    static constexpr uint32_t RecheckFlag = 0x80000000;
    struct Recheck {
        size_t answer = 0; // in m_answers
        uint32_t target = 0;
        int attempts = 0;
        bool open = true; // its host waits to be asked again, or to answer
    };
    struct Outgoing {
        IpAddress address;
        bool recheck = false; // the first of m_waiting
        uint64_t member = 0;
        std::vector<uint8_t> request;
        std::optional<FrameLink::Path> path; // as a frame, the way it goes
    };

    static std::unique_ptr<Slot[], void (*)(void *)> zeroedSlots(uint64_t count);
    bool nextMember(uint64_t &member);
    void lookAhead();
    void putBack(size_t from, size_t count);
    void sendBurst(int64_t nowNs, double rate);
    size_t gather(size_t count);
    size_t sendBatch(size_t count);
    size_t sendSome(size_t count);
    size_t sendThroughSocket(size_t count);
    size_t sendAsFrames(size_t count);
    void committed(size_t from, int sent, int64_t startNs, int64_t endNs);
    bool failedForItsOwnReason(size_t socket, int error, const IpAddress &address);
    void commit(const Outgoing &outgoing, int64_t sentNs, uint32_t spreadUs);
    void refuse(const Outgoing &outgoing, uint32_t status);
    void refuseAlike(const Outgoing &outgoing, uint32_t status);
    Sweep::Unsent &unsentOf(uint32_t status);
    int64_t deadlineOf(const Slot &slot) const;
    size_t socketOfSlot(uint64_t slot) const;
    uint16_t identifierOfSlot(uint64_t slot) const;
    void expire(int64_t horizonNs);
    int64_t latestDeadline(int64_t nowNs);
    int64_t nextWakeNs(int64_t nowNs, double rate);
    void wait(int64_t untilNs);
    bool drain();
    bool readQueue(size_t socket, bool errorQueue);
    void take(size_t socket, const IcmpSocket::Received &packet, int64_t realtimeOffsetNs);
    void record(const Slot &slot, uint32_t status, const IpAddress &from, int64_t arrivedNs);
    void rechecked(uint64_t slotIndex, uint32_t status, int64_t arrivedNs);
    static double rttOf(const Slot &slot, int64_t arrivedNs);
    bool sending() const;
    void markHeard(uint64_t member);
    void markTried(uint64_t member);
    bool wasTried(uint64_t member) const;
    bool mayAskAgain(int64_t roundTripNs) const;
    void closeRecheck(size_t which);
    void handOver();

    SweepPlan &m_plan;
    const uint64_t m_first;
    const uint64_t m_end;
    const std::vector<std::unique_ptr<IcmpSocket>> m_sockets;
    const unsigned m_identifiers;
    const uint64_t m_slotCount;
    const std::unique_ptr<Slot[], void (*)(void *)> m_slots;
    uint64_t m_issued = 0;  // slots handed out, ever
    uint64_t m_retired = 0; // slots given back in turn, ever
    uint64_t m_heardCount = 0;
    std::vector<Sweep::Answer> m_answers;
    std::vector<Sweep::Unsent> m_unsent;
    std::vector<Recheck> m_rechecks;
    std::deque<size_t> m_waiting;                        // rechecks to send, in turn
    std::unordered_map<uint64_t, size_t> m_recheckSlots; // slot of a recheck in flight: which
    std::vector<size_t> m_settled;        // answers whose round-trip time is final, for the plan's handOver
    std::vector<Sweep::Answer> m_handing; // what is handed over in one call
    std::atomic<uint64_t> m_sent{0};
    std::atomic<uint64_t> m_replies{0};
    std::atomic<uint64_t> m_errors{0};
    std::atomic<uint64_t> m_unsentCount{0};
    std::atomic<bool> m_sendingInPass{false};
    Routes m_routes;
    FrameLink *m_link;                        // its own
    std::unique_ptr<FramePaths> m_framePaths; // while frames go out
    std::vector<FrameLink::Frame> m_frames;
    SweepOrder m_order;             // of the part, from 0
    std::deque<uint64_t> m_pending; // members drawn from the order but not sent, to go first
    std::vector<uint64_t> m_tried;  // one bit a member of the part: sent or refused in this pass
    size_t m_range = 0;             // of the last member sent
    std::vector<Outgoing> m_batch;
    std::vector<IcmpSocket::Outgoing> m_requests;
    std::vector<uint8_t> m_signed;
    bool m_walkDone = false;
    int64_t m_lastDeadlineNs = 0; // of the pass's requests to its targets
    uint64_t m_newest = 0;        // slots from m_retired to here may wait; those after were answered
    bool m_sendBlocked = false;
    double m_tokens = 1;
    int64_t m_refilledNs = 0;
};
