#pragma once
#include "platform/FileDescriptor.h"
#include "platform/HardwareAddress.h"
#include "platform/IpAddress.h"
#include "platform/NeighbourTable.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

class HelperArp;

// Which targets on this host's own links are there, whether or not they answer echo. A datagram to
// each (to the discard port) has the kernel ask the link for it, by ARP or neighbour solicitation,
// and its neighbour table then holds the hardware address of every host that answered. Unprivileged.
// A user who may send frames has the helper ask each link's IPv4 targets by ARP itself, a link at a
// time, and the kernel's way is kept for IPv6 and for a link the helper cannot ask.
//
// Only targets the routing table puts straight on a link are asked: nothing goes to one behind a
// gateway. They are asked in batches of Window, at most MaxRate a second, each batch given the
// time-out to answer, so that the kernel's table never fills with addresses still being asked.
// Most of a batch is addresses no host has, which the kernel goes on asking for seconds: a batch
// takes the whole time-out, so a /24, the usual link, goes in one. That many entries still being
// asked leave as many again below 512, the kernel's default count past which it throws entries out,
// unanswered ones among them.
//
// An entry from before the search that the kernel has not confirmed lately (stale) names a host
// that was there once: the datagram has the kernel check it again, a few seconds later, and only a
// host that answers that is found. Without that wait a host that left would be reported.
class NeighbourSearch {
public:
    static constexpr size_t Window = 256;
    static constexpr int MaxRate = 1000;
    // The targets asked at most, a /16 link's: those beyond are counted, not asked.
    static constexpr uint64_t MaxAsked = 65536;

    using EachTarget = std::function<void(const std::function<void(const IpAddress &)> &)>;

    NeighbourSearch(int rate, int timeoutMs);
    ~NeighbourSearch();
    NeighbourSearch(const NeighbourSearch &) = delete;
    NeighbourSearch &operator=(const NeighbourSearch &) = delete;

    // Takes the on-link targets of those eachTarget gives and starts the helper for each link it is
    // to ask: before the program gives up its capabilities, which a helper of root's needs to start.
    void prepare(const EachTarget &eachTarget);
    // Asks them; returns once each batch had its time-out and the kernel has checked again the
    // entries it held from before, or soon after stop(). present: the hosts already known to be
    // there (they answered echo), whose entries are taken as they stand.
    void run(const std::set<IpAddress> &present);
    // From any thread.
    void stop() { m_stopped = true; }

    // Each target that answered, with its hardware address.
    const std::map<IpAddress, HardwareAddress> &found() const { return m_found; }
    uint64_t asked() const { return m_asked; }
    // On-link targets past MaxAsked, not asked.
    uint64_t beyond() const { return m_beyond; }
    // Datagrams the system refused, and why the first was.
    uint64_t refused() const { return m_refused; }
    std::string refusal() const { return m_refusal; }
    // The neighbour table could not be read.
    bool unreadable() const { return m_unreadable; }
    // Why the helper could not ask a link by ARP, the first time it could not; its targets were asked
    // the kernel's way.
    std::string helperFailure() const { return m_helperFailure; }

private:
    struct LinkHelper;

    // The targets the kernel's way, and those the helpers ask, by link.
    void takeTargets(const EachTarget &eachTarget, std::map<int, std::vector<IpAddress>> &byHelper);
    void askByTable(const std::vector<IpAddress> &targets);
    // The targets the helper could not ask.
    std::vector<IpAddress> askByHelper(HelperArp &arp, const std::vector<IpAddress> &targets);
    void ask(const IpAddress &target);
    void askBatch(std::vector<IpAddress> batch);
    // Waits for the kernel's checks of the entries it held from before.
    void confirmStale();
    std::optional<std::vector<NeighbourTable::Entry>> answersTo(const std::vector<IpAddress> &batch) const;

    const int m_rate;
    const int m_timeoutMs;
    std::atomic<bool> m_stopped{false};
    FileDescriptor m_socket4;
    FileDescriptor m_socket6;
    std::chrono::steady_clock::time_point m_nextSend;
    std::map<IpAddress, HardwareAddress> m_found;
    std::map<IpAddress, HardwareAddress> m_stale; // being checked again
    std::set<IpAddress> m_present;
    uint64_t m_asked = 0;
    uint64_t m_beyond = 0;
    uint64_t m_refused = 0;
    std::string m_refusal;
    bool m_unreadable = false;
    std::string m_helperFailure;
    std::vector<IpAddress> m_byTable;
    std::vector<LinkHelper> m_byHelper;
};
