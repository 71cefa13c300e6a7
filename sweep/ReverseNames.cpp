#include "ReverseNames.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <resolv.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <vector>

using Clock = std::chrono::steady_clock;

struct ReverseNames::State {
    struct Running {
        uint64_t id;
        IpAddress address;
        Clock::time_point deadline;
    };

    State(Found found, int concurrency, int timeoutMs, Resolver given)
        : found(std::move(found)), resolver(given ? std::move(given) : systemResolver(std::max(1, timeoutMs))),
          concurrency(size_t(std::max(1, concurrency))), timeout(std::chrono::milliseconds(std::max(1, timeoutMs)))
    {
    }

    static Resolver systemResolver(int timeoutMs)
    {
        return [timeoutMs](const IpAddress &address) { return ReverseNames::systemName(address, timeoutMs); };
    }

    const Found found;
    const Resolver resolver;
    const size_t concurrency;
    const Clock::duration timeout;

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<IpAddress> queue;
    std::vector<Running> running; // the lookups that count against the concurrency
    size_t alive = 0;             // lookup threads not yet ended, given up or not
    uint64_t nextId = 0;
    uint64_t outstanding = 0; // asked for and not yet reported
    bool stopped = false;     // no more waiting for them
    bool closing = false;

    // Held while found runs, so that calls never overlap and none follows the owner's end.
    std::mutex reporting;
    bool silenced = false;
};

namespace {

using State = ReverseNames::State;

// The resolver gives up soon after the lookup's time-out: a few threads suffice to bridge the gap.
constexpr size_t MaxGivenUp = 64;

void report(State &state, const IpAddress &address, const std::string &name)
{
    {
        std::lock_guard<std::mutex> lock(state.reporting);
        if (!state.silenced)
            state.found(address, name);
    }
    std::lock_guard<std::mutex> lock(state.mutex);
    --state.outstanding;
    state.changed.notify_all();
}

// A lookup's own thread; the state outlives the owner for as long as a lookup still runs.
void lookUpOne(const std::shared_ptr<State> &state, uint64_t id, IpAddress address)
{
    const std::string name = state->resolver(address);
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        --state->alive;
        state->changed.notify_all();
        const auto mine = std::find_if(state->running.begin(), state->running.end(),
                                       [id](const State::Running &each) { return each.id == id; });
        // Timed out, or the owner is gone.
        if (mine == state->running.end())
            return;
        state->running.erase(mine);
    }
    report(*state, address, name);
}

// Those past their time-out leave the running ones, to be reported without a name.
std::vector<IpAddress> takeOverdue(State &state, Clock::time_point now)
{
    std::vector<IpAddress> overdue;
    const auto late = std::stable_partition(state.running.begin(), state.running.end(),
                                            [now](const State::Running &each) { return each.deadline > now; });
    for (auto each = late; each != state.running.end(); ++each)
        overdue.push_back(each->address);
    state.running.erase(late, state.running.end());
    return overdue;
}

// Starts the queued lookups as the concurrency allows and gives up those that overrun.
void dispatch(const std::shared_ptr<State> &state)
{
    std::unique_lock<std::mutex> lock(state->mutex);
    while (!state->closing) {
        const std::vector<IpAddress> overdue = takeOverdue(*state, Clock::now());
        if (!overdue.empty()) {
            lock.unlock();
            for (const IpAddress &address : overdue)
                report(*state, address, std::string());
            lock.lock();
            continue;
        }
        // Threads given up still wait for the resolver, each with a socket open: as many again as
        // the concurrency at most, and no more than MaxGivenUp.
        if (!state->queue.empty() && state->running.size() < state->concurrency &&
            state->alive < state->concurrency + std::min(state->concurrency, MaxGivenUp)) {
            const IpAddress address = state->queue.front();
            state->queue.pop_front();
            const uint64_t id = state->nextId++;
            try {
                std::thread(lookUpOne, state, id, address).detach();
            } catch (const std::system_error &) {
                lock.unlock();
                report(*state, address, std::string());
                lock.lock();
                continue;
            }
            ++state->alive;
            state->running.push_back({id, address, Clock::now() + state->timeout});
            continue;
        }
        if (state->running.empty()) {
            state->changed.wait(lock);
            continue;
        }
        const auto earliest =
            std::min_element(state->running.begin(), state->running.end(),
                             [](const State::Running &a, const State::Running &b) { return a.deadline < b.deadline; });
        state->changed.wait_until(lock, earliest->deadline);
    }
}

} // namespace

ReverseNames::ReverseNames(Found found, int concurrency, int timeoutMs, Resolver resolver)
    : m_state(std::make_shared<State>(std::move(found), concurrency, timeoutMs, std::move(resolver))),
      m_dispatcher(dispatch, m_state)
{
}

ReverseNames::~ReverseNames()
{
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        m_state->closing = true;
        m_state->queue.clear();
        m_state->running.clear();
        m_state->changed.notify_all();
    }
    m_dispatcher.join();
    std::lock_guard<std::mutex> lock(m_state->reporting);
    m_state->silenced = true;
}

void ReverseNames::lookUp(const IpAddress &address)
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->queue.push_back(address);
    ++m_state->outstanding;
    m_state->changed.notify_all();
}

void ReverseNames::wait()
{
    std::unique_lock<std::mutex> lock(m_state->mutex);
    m_state->changed.wait(lock, [this] { return m_state->outstanding == 0 || m_state->stopped; });
}

void ReverseNames::stop()
{
    std::lock_guard<std::mutex> lock(m_state->mutex);
    m_state->stopped = true;
    m_state->changed.notify_all();
}

bool ReverseNames::waitFor(int ms)
{
    std::unique_lock<std::mutex> lock(m_state->mutex);
    return m_state->changed.wait_for(lock, std::chrono::milliseconds(ms),
                                     [this] { return m_state->outstanding == 0 || m_state->stopped; });
}

// The resolver's state is the thread's own. It is kept as set here (RES_NORELOAD): left to reload the
// system's configuration, one lookup in ten under load still waited the configured 10 s. Should it
// fail to start, the resolver waits as configured.
std::string ReverseNames::systemName(const IpAddress &address, int timeoutMs)
{
    if (res_init() == 0) {
        _res.retrans = std::max(1, (timeoutMs + 999) / 1000);
        _res.retry = 1;
        _res.options |= RES_NORELOAD;
    }
    sockaddr_storage peer{};
    const socklen_t peerLength = address.toSockaddr(peer);
    char host[NI_MAXHOST];
    if (getnameinfo(reinterpret_cast<const sockaddr *>(&peer), peerLength, host, sizeof host, nullptr, 0,
                    NI_NAMEREQD) != 0)
        return std::string();
    return host;
}
