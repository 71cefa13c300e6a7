#pragma once
#include "SweepFindings.h"
#include "SweepNetwork.h"
#include "SweepSettings.h"
#include "SweepShares.h"
#include "SweepTargets.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

struct SweepPlan;
class SweepWorker;

// Many echo requests in flight at once: the targets in ascending order, each matched to its reply
// or ICMP error by identifier and sequence number and proven by the keyed check in its payload,
// timed by the kernel's time of arrival, given up after the time-out, and the silent ones asked
// again once per retry.
//
// A fast rate is shared among senders, one a core, each with its part of the targets and its own
// channel (SweepWorker). IPv4 and IPv6 targets have senders and channels of their own, and their
// shares of the rate as of the targets. Memory follows the requests in flight and the answers, not the
// targets, but for one bit per address (2 MB for a /8) for those that were heard from.
//
// When the system dropped answers for want of room, the silent addresses are asked again, slower;
// if a pass still lost some, the sweep says that its count may be short.
class Sweep {
public:
    using Settings = SweepSettings;
    using Answer = SweepFindings::Answer;
    using Unsent = SweepFindings::Unsent;
    using Progress = SweepFindings::Progress;

    static constexpr unsigned MaxIdentifiers = SweepShares::MaxIdentifiers;
    static constexpr size_t UnsentListed = Unsent::Listed;

    // Sends through network (this system's, unless a test gives its own). Throws what checkSize
    // throws, and std::runtime_error when the sweep cannot be made stoppable.
    Sweep(const SweepTargets &targets, const Settings &settings, SweepNetwork &network = SweepNetwork::system());
    ~Sweep();
    Sweep(const Sweep &) = delete;
    Sweep &operator=(const Sweep &) = delete;

    // std::invalid_argument when the targets of the settings' shard are more than one sweep sends
    // (SweepTargets::MaxAddresses), however many all the shards hold.
    static void checkSize(const SweepTargets &targets, const Settings &settings);

    // The most senders a sweep runs on this machine.
    static unsigned mostSenders();

    // The rate the slots allow: the one asked for, unless that many requests a second would keep
    // more waiting out their time-out than there are slots.
    int effectiveRate() const;

    // Opens the channels, their sockets' receive buffers sized for the rate; run() does it when this
    // was not called. A program that gives up its capabilities calls it before: a buffer beyond the
    // system's limit needs CAP_NET_ADMIN, frames CAP_NET_RAW. Throws TICMPException when no ICMP socket
    // can be had, std::runtime_error when frames were asked for and cannot be sent.
    void open();

    // Sweeps to the end, in threads of its own for a fast rate. Throws TICMPException when no ICMP
    // socket can be had.
    void run();
    // From any thread, before or while it runs: run() returns within a few milliseconds, even from
    // a wait for answers, with what was heard so far; the requests still waiting count as unanswered.
    void stop();

    // In address order once run() has returned.
    const std::vector<Answer> &answers() const { return m_answers; }
    // In the order their reasons first came.
    const std::vector<Unsent> &unsent() const { return m_unsent; }
    const Progress &progress() const { return m_progress; }
    // Each address of this sweep's shard, IPv4 first, each family in address order (IPv6 by link).
    void eachAddress(const std::function<void(const IpAddress &)> &take) const;
    // Answers the system dropped in the last pass: when not 0, some that were silent may have answered.
    uint64_t droppedInLastPass() const { return m_droppedInPass; }
    EchoSocket::Kind socketKind() const;

    // Called from run(), on its thread, about ten times a second and once at the end.
    std::function<void(const Progress &)> onProgress;
    // Called on the senders' threads, several at once, with the answers as they come, each once its
    // round-trip time is final (a host may be asked again for it), and all before run() returns.
    std::function<void(const Answer *answers, size_t count)> onAnswers;

private:
    // The targets of this sweep's shard.
    uint64_t members() const { return m_settings.shareOf(m_targets.count()); }
    void open(const SweepShares::Family &family);
    void runPass(double rate);
    void closeFramesOnceSent();
    uint64_t heardCount() const;
    uint64_t drops() const;
    void collectResults();
    void reportProgress(bool force);

    const SweepTargets &m_targets;
    const Settings m_settings;
    SweepNetwork &m_network;
    std::atomic<bool> m_stopped{false};
    int m_stopFd = -1; // readable once stopped, so that a sender waiting for answers wakes at once
    std::unique_ptr<SweepPlan> m_plan;
    std::unique_ptr<SweepShares> m_shares;
    std::vector<std::unique_ptr<SweepWorker>> m_workers;
    std::vector<Answer> m_answers;
    std::vector<Unsent> m_unsent;
    Progress m_progress;
    uint64_t m_droppedInPass = 0;
    int64_t m_nextProgressNs = 0;
};
