#pragma once
#include "platform/IpAddress.h"
#include "sweep/SweepNetwork.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// A network for the sweep, scripted and on simulated clocks: nothing leaves the process, each
// destination answers as its script says, and waiting costs no real time: a wait moves its channel's
// clock to the next answer due, or to the wait's end. Its senders build their requests as the real
// ones do (SweepRequests), so that what a script sees and echoes is what would have gone out.
// Unscripted destinations are silent. One sender a family; each channel keeps its own clock and
// answers, as the senders of the two families run in threads of their own. Scripts are set before
// the sweep runs, and run on its senders' threads.
class FakeSweepNetwork final : public SweepNetwork {
public:
    using Bytes = std::vector<uint8_t>;
    static constexpr int64_t Millisecond = 1000000;

    // A request as it went out.
    struct Request {
        IpAddress address;
        uint16_t identifier = 0;
        uint16_t sequence = 0;
        Bytes payload;
        int64_t sentNs = 0;
    };

    // What comes back, delayNs after the request (or at a time of its own, for a forgery): an echo
    // reply from `from`, or an ICMP error from `from` quoting a request to `about`.
    struct Delivery {
        int64_t delayNs = 0;
        bool reply = true;
        IpAddress from;
        IpAddress about; // a reply's: from
        uint16_t identifier = 0;
        uint16_t sequence = 0;
        uint32_t status = 0;
        Bytes echoed;
        bool dropped = false; // the system had no room for it: counted, never read
    };

    // What a request meets: refused (status not 0), or these deliveries.
    struct Response {
        uint32_t refusedStatus = 0;
        bool refusedByRoute = false;
        std::vector<Delivery> deliveries;
    };
    using Host = std::function<Response(const Request &)>;

    explicit FakeSweepNetwork(EchoSocket::Kind kind = EchoSocket::Kind::Raw);
    ~FakeSweepNetwork() override;

    // address: a literal of either family.
    void setHost(const std::string &address, Host host);
    // Every IPv4 address from first to last (dotted) is routed alike: a refusal by route covers them.
    void setRoutedBlock(const std::string &first, const std::string &last);
    // Each call of the system's takes this long (a busy machine holds a call up half-way).
    void setCallNs(int64_t ns) { m_callNs = ns; }
    // Every wait ends this much later than it would: a busy machine wakes the sweep late.
    void setWakeLateNs(int64_t ns) { m_wakeLateNs = ns; }
    // The system takes this many requests, then has no room until the next wait.
    void setRoomPerWait(size_t requests) { m_roomPerWait = requests; }
    // The system has no room from fromNs until untilNs on the clock, as while a link has no carrier.
    void setNoRoom(int64_t fromNs, int64_t untilNs)
    {
        m_noRoomFromNs = fromNs;
        m_noRoomUntilNs = untilNs;
    }
    // Comes in at atNs on the clock, whatever was sent.
    void inject(int64_t atNs, const Delivery &delivery);

    // Echoes the request after delayMs (its payload, from its destination).
    static Host answering(int delayMs = 0);
    // An ICMP error with that status from `from`, quoting the request's head (the first 8 bytes of
    // its payload, as an IPv4 router quotes it).
    static Host failing(int delayMs, uint32_t status, const std::string &from);
    static Host refusing(uint32_t status, bool byRoute = false);
    // A reply to the request as it went out.
    static Delivery replyTo(const Request &request, int64_t delayNs);
    static IpAddress ip(const std::string &text);

    // Once the sweep has run.
    const std::vector<Request> &requests() const { return m_requests; }
    // The latest time any channel's clock reached.
    int64_t nowNs() const { return m_latestNs; }
    int64_t startNs() const { return StartNs; }

    const SweepClock &clock() const override { return m_clock; }
    unsigned mostSenders() const override { return 1; }
    std::unique_ptr<SweepChannel> open(const ChannelSettings &wanted) override;
    Routes::Block routedAlike(uint32_t address) override;

private:
    class Channel;
    struct Clock final : SweepClock {
        int64_t now = StartNs;
        int64_t nowNs() const override { return now; }
    };
    static constexpr int64_t StartNs = 1000000000;

    Response respond(const Request &request);
    void reached(int64_t nowNs);

    const EchoSocket::Kind m_kind;
    Clock m_clock; // the sweep's own, which no wait moves
    std::map<IpAddress, Host> m_hosts;
    std::vector<Routes::Block> m_blocks;
    std::multimap<int64_t, Delivery> m_injected;
    int64_t m_callNs = 0;
    int64_t m_wakeLateNs = 0;
    size_t m_roomPerWait = SIZE_MAX;
    int64_t m_noRoomFromNs = 0;
    int64_t m_noRoomUntilNs = 0;
    std::mutex m_mutex; // over what the channels share as they run
    std::vector<Request> m_requests;
    int64_t m_latestNs = StartNs;
};
