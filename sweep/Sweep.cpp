#include "Sweep.h"

#include "SweepPlan.h"
#include "SweepRequests.h"
#include "SweepShares.h"
#include "SweepWorker.h"

#include <netinet/in.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace {

constexpr int64_t Millisecond = 1000000;
constexpr int64_t ProgressIntervalNs = 100 * Millisecond;
// Passes that ask again, slower, what may have answered while the system was dropping answers.
constexpr int MaxRecoveryPasses = 2;

} // namespace

Sweep::Sweep(const SweepTargets &targets, const Settings &settings, SweepNetwork &network)
    : m_targets(targets), m_settings(settings), m_network(network)
{
    checkSize(targets, settings);
    m_stopFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_stopFd < 0)
        throw std::runtime_error(std::string("cannot make the sweep stoppable: ") + std::strerror(errno));
    m_plan = std::make_unique<SweepPlan>(m_targets, m_settings, m_network, m_stopped, m_stopFd, onAnswers);
    m_plan->sentPass = [this] { closeFramesOnceSent(); };
    m_shares = std::make_unique<SweepShares>(m_settings, m_plan->members4, m_plan->firstIpv6, m_plan->end,
                                             m_network.mostSenders());
    m_progress.addresses = members();
}

// The workers are gone by now: none waits on the descriptor.
Sweep::~Sweep()
{
    ::close(m_stopFd);
}

void Sweep::checkSize(const SweepTargets &targets, const Settings &settings)
{
    const uint64_t share = settings.shareOf(targets.count());
    if (share <= SweepTargets::MaxAddresses)
        return;
    const std::string most = ", more than " + std::to_string(SweepTargets::MaxAddresses);
    if (settings.shardCount == 1)
        throw std::invalid_argument("the targets hold " + std::to_string(share) + " addresses" + most);
    throw std::invalid_argument("shard " + std::to_string(settings.shardIndex + 1) + "/" +
                                std::to_string(settings.shardCount) + " holds " + std::to_string(share) + " of the " +
                                std::to_string(targets.count()) + " addresses" + most);
}

void Sweep::eachAddress(const std::function<void(const IpAddress &)> &take) const
{
    size_t run = 0;
    for (uint64_t member = 0; member < m_plan->members4; ++member)
        take(m_plan->addressOf(member, run));
    for (uint64_t member = m_plan->firstIpv6; member < m_plan->end; ++member)
        take(m_plan->addressOf(member, run));
}

unsigned Sweep::mostSenders()
{
    return SweepNetwork::system().mostSenders();
}

// The descriptor is never read: once written, it wakes every wait until the sweep is gone.
void Sweep::stop()
{
    m_stopped = true;
    const uint64_t one = 1;
    // Only a full counter refuses, and a full one is readable all the same.
    [[maybe_unused]] const ssize_t written = ::write(m_stopFd, &one, sizeof one);
}

EchoSocket::Kind Sweep::socketKind() const
{
    return m_workers.empty() ? EchoSocket::Kind::Datagram : m_workers.front()->socketKind();
}

int Sweep::effectiveRate() const
{
    return m_shares->effectiveRate();
}

void Sweep::open()
{
    if (!m_workers.empty())
        return;
    for (const SweepShares::Family &family : m_shares->families())
        open(family);
}

// Each sender's part of the targets starts on a multiple of 64, so that no word of the bits of the
// heard is written by two.
void Sweep::open(const SweepShares::Family &family)
{
    const SweepRequests requests(m_settings.size, m_plan->signature);
    SweepNetwork::ChannelSettings wanted;
    wanted.family = family.family;
    wanted.identifiers = family.identifiers;
    wanted.ttl = m_settings.ttl;
    wanted.receiveBufferBytes = m_shares->receiveBufferFor(family);
    wanted.frames = family.family == AF_INET && m_settings.frames;
    wanted.requests = &requests;
    wanted.stopped = &m_stopped;
    wanted.stopFd = m_stopFd;
    const uint64_t count = family.count();
    for (unsigned i = 0; i < family.workers; ++i) {
        const uint64_t first = family.first + count * i / family.workers / 64 * 64;
        const uint64_t end =
            i + 1 == family.workers ? family.end : family.first + count * (i + 1) / family.workers / 64 * 64;
        m_workers.push_back(
            std::make_unique<SweepWorker>(*m_plan, first, end, m_network.open(wanted), family.identifiers));
    }
}

// Once the last planned pass has sent everything, no frame goes out any more: the links close while
// the answers are awaited. A pass to recover dropped answers, should one follow, sends through the
// sockets. Called by each worker as it sends its last request of a pass: the last of them closes them.
void Sweep::closeFramesOnceSent()
{
    if (!m_settings.frames || int(m_plan->pass) < m_settings.retries)
        return;
    for (const auto &worker : m_workers)
        if (worker->sendingInPass())
            return;
    for (const auto &worker : m_workers)
        worker->closeFrames();
}

void Sweep::run()
{
    open();
    m_nextProgressNs = m_network.clock().nowNs();
    double rate = effectiveRate();
    int recoveries = 0;
    for (m_plan->pass = 0; !m_stopped && heardCount() < members(); ++m_plan->pass) {
        const uint64_t dropsBefore = drops();
        runPass(rate);
        m_droppedInPass = drops() - dropsBefore;
        if (int(m_plan->pass) < m_settings.retries)
            continue;
        if (m_droppedInPass == 0 || recoveries == MaxRecoveryPasses)
            break;
        ++recoveries;
        rate = std::max(1.0, rate / 2);
    }
    if (heardCount() == members())
        m_droppedInPass = 0;
    collectResults();
    reportProgress(true);
}

// The first sender runs on this thread and tells the progress; the others in threads of their own,
// started only now, when a program that held capabilities has given them up.
void Sweep::runPass(double rate)
{
    std::vector<std::exception_ptr> failures(m_workers.size());
    std::mutex mutex;
    std::condition_variable finished;
    size_t running = 0;
    const auto work = [&](size_t i, const std::function<void()> &tick) {
        try {
            m_workers[i]->runPass(rate * double(m_workers[i]->targetCount()) / double(members()), tick);
        } catch (...) {
            failures[i] = std::current_exception();
            stop();
        }
    };
    for (const auto &worker : m_workers)
        worker->passComing();
    std::vector<std::thread> threads;
    try {
        for (size_t i = 1; i < m_workers.size(); ++i) {
            const auto done = [&] {
                const std::lock_guard<std::mutex> lock(mutex);
                --running;
                finished.notify_one();
            };
            {
                const std::lock_guard<std::mutex> lock(mutex);
                ++running;
            }
            try {
                threads.emplace_back([&, i, done] {
                    work(i, [] {});
                    done();
                });
            } catch (...) {
                done();
                throw;
            }
        }
    } catch (...) {
        failures[0] = std::current_exception();
        stop();
    }
    if (!failures[0])
        work(0, [this] { reportProgress(false); });
    std::unique_lock<std::mutex> lock(mutex);
    while (running > 0) {
        finished.wait_for(lock, std::chrono::nanoseconds(ProgressIntervalNs));
        lock.unlock();
        reportProgress(false);
        lock.lock();
    }
    lock.unlock();
    for (std::thread &thread : threads)
        thread.join();
    for (const std::exception_ptr &failure : failures)
        if (failure)
            std::rethrow_exception(failure);
}

uint64_t Sweep::heardCount() const
{
    uint64_t total = 0;
    for (const auto &worker : m_workers)
        total += worker->heardCount();
    return total;
}

uint64_t Sweep::drops() const
{
    uint64_t total = 0;
    for (const auto &worker : m_workers)
        total += worker->drops();
    return total;
}

// The senders' parts of the targets follow each other: so do their answers, each part sorted, and
// their unsent requests.
void Sweep::collectResults()
{
    for (const auto &worker : m_workers) {
        const auto middle = m_answers.insert(m_answers.end(), worker->answers().begin(), worker->answers().end());
        std::sort(middle, m_answers.end(), [](const Answer &a, const Answer &b) { return a.address < b.address; });
        for (const Unsent &each : worker->unsent()) {
            auto unsent = std::find_if(m_unsent.begin(), m_unsent.end(),
                                       [&each](const Unsent &known) { return known.status == each.status; });
            if (unsent == m_unsent.end())
                unsent = m_unsent.insert(m_unsent.end(), Unsent{each.status, 0, {}});
            unsent->count += each.count;
            for (size_t i = 0; i < each.first.size() && unsent->first.size() < UnsentListed; ++i)
                unsent->first.push_back(each.first[i]);
        }
    }
}

void Sweep::reportProgress(bool force)
{
    const int64_t now = m_network.clock().nowNs();
    if (!force && now < m_nextProgressNs)
        return;
    m_nextProgressNs = now + ProgressIntervalNs;
    Progress progress;
    progress.addresses = m_progress.addresses;
    for (const auto &worker : m_workers) {
        const Progress part = worker->progress();
        progress.sent += part.sent;
        progress.replies += part.replies;
        progress.errors += part.errors;
        progress.unsent += part.unsent;
    }
    m_progress = progress;
    if (onProgress)
        onProgress(m_progress);
}
