#pragma once
#include "SweepFindings.h"
#include "SweepNetwork.h"
#include "SweepReceiver.h"
#include "SweepRechecks.h"
#include "SweepRefusals.h"
#include "SweepSlots.h"
#include "SweepStall.h"
#include "SweepThrottle.h"
#include "SweepWalk.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

struct SweepPlan;

// One sender of a sweep, in a thread of its own: its part of the targets in the sweep's order, paced
// by a token bucket, through its own channel, each request matched to its reply or ICMP error by
// its slot and proven by the keyed check in its payload, timed by the time of arrival, given up after
// the time-out.
class SweepWorker {
public:
    // Requests gathered for one send.
    static constexpr size_t MaxBatch = 64;

    // Sweeps the targets numbered [first, end), all of the channel's family, with up to identifiers x
    // 65,536 requests waiting.
    SweepWorker(SweepPlan &plan, uint64_t first, uint64_t end, std::unique_ptr<SweepChannel> channel,
                unsigned identifiers);
    ~SweepWorker();

    // One pass over the part, at rate requests a second; tick is called at each wake-up.
    void runPass(double rate, const std::function<void()> &tick);

    const std::vector<SweepFindings::Answer> &answers() const { return m_receiver.answers(); }
    const std::vector<SweepFindings::Unsent> &unsent() const { return m_refusals.unsent(); }
    // Read from any thread while the pass runs.
    SweepFindings::Progress progress() const;
    uint64_t heardCount() const { return m_receiver.heardCount() + m_refusedCount; }
    uint64_t targetCount() const { return m_end - m_first; }
    uint64_t drops() const { return m_channel->source().drops(); }
    // Before any worker's pass starts, so that none is taken for done before it began.
    void passComing() { m_sendingInPass = true; }
    // Read from any thread: this pass still has requests to send. Ordered with the other workers'
    // (sequentially consistent), so that of two that end at once, one sees both ended.
    bool sendingInPass() const { return m_sendingInPass; }
    EchoSocket::Kind socketKind() const { return m_channel->kind(); }
    // From any thread, once no frame is to go out any more.
    void closeFrames() { m_channel->sender().closeFrames(); }

private:
    struct Outgoing {
        SweepSender::Request request;
        bool recheck = false; // the first waiting of m_rechecks
        uint64_t member = 0;
    };

    int64_t now() const { return m_clock.nowNs(); }
    void putBack(size_t from, size_t count);
    void sendBurst();
    bool sending() const;
    size_t gather(size_t count);
    size_t sendBatch(size_t count);
    void committed(size_t from, uint32_t count, int64_t startNs, int64_t endNs);
    void commit(const Outgoing &outgoing, int64_t sentNs, uint32_t spreadUs);
    void refuse(const Outgoing &outgoing, uint32_t status);
    void refuseAlike(const Outgoing &outgoing, uint32_t status);
    void expire(int64_t horizonNs);
    int64_t nextWakeNs();
    void markRefused(uint64_t member);
    void giveUpSending();

    SweepPlan &m_plan;
    const uint64_t m_first;
    const uint64_t m_end;
    const std::unique_ptr<SweepChannel> m_channel;
    const SweepClock &m_clock;
    SweepSlots m_slots;
    SweepThrottle m_throttle;
    SweepStall m_stall;
    SweepRechecks m_rechecks;
    SweepRefusals m_refusals;
    SweepWalk m_walk;
    SweepReceiver m_receiver;
    uint64_t m_refusedCount = 0;
    std::atomic<uint64_t> m_sent{0};
    std::atomic<uint64_t> m_unsentCount{0};
    std::atomic<bool> m_sendingInPass{false};
    size_t m_range = 0; // of the last member sent
    std::vector<Outgoing> m_batch;
    std::vector<SweepSender::Request> m_requests;
    SweepSender::Report m_report;
    int64_t m_lastDeadlineNs = 0; // of the pass's requests to its targets
    bool m_sendBlocked = false;
};
