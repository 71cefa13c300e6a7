#include "Sweep.h"

#include "SweepWorker.h"
#include "echo/EchoTerms.h"
#include "platform/IcmpApi.h"

#include <netinet/in.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace {

constexpr uint64_t SequenceCount = 65536;
constexpr int64_t Millisecond = 1000000;
constexpr int64_t ProgressIntervalNs = 100 * Millisecond;
// The receive queue holds this long's answers at the rate, at what the kernel charges for each.
constexpr double BufferedSeconds = 0.025;
constexpr double BytesPerAnswer = 1024;
constexpr double MinReceiveBuffer = 8 << 20;
constexpr double MaxReceiveBuffer = 64 << 20;
// Passes that ask again, slower, what may have answered while the system was dropping answers.
constexpr int MaxRecoveryPasses = 2;
// The datagram that every IPv4 host takes whole, less the IP header.
constexpr size_t MaxUnfragmented = 576 - 20;
// What one core sends a second with time to spare for the answers, at the kernel's cost of a few
// microseconds a request: a faster rate takes another sender.
constexpr double RatePerWorker = 250000;
// Below this many targets each, another sender costs more than it saves.
constexpr uint64_t MinTargetsPerWorker = 4096;
constexpr unsigned MaxWorkers = 8;

int64_t monotonicNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Sweep::Clock::now().time_since_epoch()).count();
}

unsigned cores()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0)
        return 1;
    return unsigned(std::max(1, CPU_COUNT(&set)));
}

uint64_t slotsOf(unsigned identifiers)
{
    return uint64_t(identifiers) * SequenceCount;
}

} // namespace

Sweep::Sweep(const SweepTargets &targets, const Settings &settings)
    : m_targets(targets), m_settings(settings), m_stopFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (m_stopFd < 0)
        throw std::runtime_error(std::string("cannot make the sweep stoppable: ") + std::strerror(errno));
    m_plan = std::make_unique<SweepPlan>(m_targets, m_settings, m_stopped, m_stopFd, onAnswers);
    m_plan->sentPass = [this] { closeLinksOnceSent(); };
    if (m_plan->members4 != 0)
        m_families.push_back(familyOf(AF_INET, 0, m_plan->members4));
    if (m_plan->end > m_plan->firstIpv6)
        m_families.push_back(familyOf(AF_INET6, m_plan->firstIpv6, m_plan->end));
    m_progress.addresses = members();
}

// The workers are gone by now: none waits on the descriptor.
Sweep::~Sweep()
{
    ::close(m_stopFd);
}

unsigned Sweep::mostSenders()
{
    return std::min(cores(), MaxWorkers);
}

Sweep::Family Sweep::familyOf(int family, uint64_t first, uint64_t end) const
{
    Family targets{family, first, end, double(end - first) / double(members()), 1, 1};
    targets.workers = workersWanted(targets);
    targets.identifiers = identifiersFor(targets, targets.workers);
    return targets;
}

unsigned Sweep::workersWanted(const Family &family) const
{
    const double byRate = std::ceil(m_settings.rate * family.share / RatePerWorker);
    const double byTargets = double(family.count() / MinTargetsPerWorker);
    return unsigned(std::max(1.0, std::min({byRate, byTargets, double(mostSenders())})));
}

// The descriptor is never read: once written, it wakes every wait until the sweep is gone.
void Sweep::stop()
{
    m_stopped = true;
    const uint64_t one = 1;
    // Only a full counter refuses, and a full one is readable all the same.
    [[maybe_unused]] const ssize_t written = ::write(m_stopFd, &one, sizeof one);
}

// Enough slots for the requests that wait out their time-out at each one's share of the rate, and a
// batch more.
unsigned Sweep::identifiersFor(const Family &family, unsigned workers) const
{
    const double waiting = m_settings.rate * family.share / double(workers) * (m_settings.timeoutMs / 1000.0 + 0.01) +
                           SweepWorker::MaxBatch;
    const double needed = std::min(waiting, double(family.count()) / workers + SweepWorker::MaxBatch);
    unsigned identifiers = 1;
    while (identifiers * 2 * workers <= MaxIdentifiers && double(slotsOf(identifiers)) < needed)
        identifiers *= 2;
    return identifiers;
}

// Each family's share of the rate must leave no more requests waiting than it has slots.
int Sweep::effectiveRate() const
{
    double allowed = m_settings.rate;
    for (const Family &family : m_families) {
        const uint64_t slotCount = slotsOf(family.identifiers) * family.workers;
        if (family.count() > slotCount)
            allowed = std::min(allowed, double(slotCount) * 1000.0 / m_settings.timeoutMs / family.share);
    }
    return int(std::floor(allowed));
}

IcmpSocket::Kind Sweep::socketKind() const
{
    return m_workers.empty() ? IcmpSocket::Kind::Datagram : m_workers.front()->socketKind();
}

void Sweep::open()
{
    if (!m_workers.empty())
        return;
    for (Family &family : m_families)
        open(family);
}

// Datagram sockets have one identifier each: a sender takes as many as it needs. A raw socket holds
// a block of them, as many as one sender alone would need, so that fewer raw sockets than senders
// (all that were opened before the capability went) still make a sweep, with fewer senders.
void Sweep::open(Family &family)
{
    // A sweep that cannot send frames fails before it opens anything else.
    const bool framed = family.family == AF_INET && m_settings.frames;
    if (framed)
        openLinks(1);
    const bool allowDatagram = !IcmpApi::Testing::faults().forbidDatagram;
    const unsigned block = identifiersFor(family, 1);
    std::vector<std::vector<std::unique_ptr<IcmpSocket>>> sockets(1);
    sockets[0].push_back(openSocket(family, allowDatagram, block));
    if (!sockets[0][0])
        throw TICMPException("Unable to get ping handle");
    if (sockets[0][0]->kind() == IcmpSocket::Kind::Raw) {
        while (sockets.size() < family.workers) {
            std::unique_ptr<IcmpSocket> socket = openSocket(family, allowDatagram, block);
            if (!socket)
                break;
            sockets.emplace_back().push_back(std::move(socket));
        }
        family.workers = unsigned(sockets.size());
        family.identifiers = identifiersFor(family, family.workers);
    } else {
        sockets.resize(family.workers);
        for (auto &own : sockets) {
            while (own.size() < family.identifiers) {
                own.push_back(openSocket(family, allowDatagram, 1));
                if (!own.back())
                    throw std::runtime_error(std::string("cannot open another ICMP socket: ") + std::strerror(errno));
            }
        }
    }
    if (framed)
        openLinks(family.workers);
    startWorkers(family, std::move(sockets));
}

void Sweep::openLinks(unsigned count)
{
    while (m_links.size() < count) {
        m_links.push_back(std::make_unique<FrameLink>());
        if (!m_links.back()->open())
            throw std::runtime_error(std::string("cannot open a packet socket to send frames: ") +
                                     std::strerror(errno));
    }
}

// Null, with errno set, when no socket opens.
std::unique_ptr<IcmpSocket> Sweep::openSocket(const Family &family, bool allowDatagram, unsigned identifierBlock) const
{
    auto socket = std::make_unique<IcmpSocket>(family.family);
    if (!socket->open(allowDatagram, identifierBlock))
        return nullptr;
    if (!socket->setTtl(m_settings.ttl))
        throw std::runtime_error("cannot set the time-to-live " + std::to_string(m_settings.ttl) + ": " +
                                 std::strerror(errno));
    if (!socket->setReceiveStamps())
        throw std::runtime_error(std::string("cannot have answers timed on arrival: ") + std::strerror(errno));
    const double share = m_settings.rate * family.share / family.workers;
    socket->setReceiveBuffer(
        m_settings.receiveBufferBytes != 0
            ? m_settings.receiveBufferBytes
            : int(std::clamp(share * BufferedSeconds * BytesPerAnswer, MinReceiveBuffer, MaxReceiveBuffer)));
    // An IPv4 request this small is never fragmented, and one that may not be spares the kernel
    // choosing an IP identification for each (a good part of its cost per request).
    if (family.family == AF_INET &&
        EchoTerms::payloadOf(m_settings.size).size() + IcmpPacket::HeaderSize <= MaxUnfragmented)
        socket->setDontFragment();
    return socket;
}

// Each sender's part of the targets starts on a multiple of 64, so that no word of the bits of the
// heard is written by two.
void Sweep::startWorkers(const Family &family, std::vector<std::vector<std::unique_ptr<IcmpSocket>>> sockets)
{
    const uint64_t count = family.count();
    for (size_t i = 0; i < sockets.size(); ++i) {
        const uint64_t first = family.first + count * i / sockets.size() / 64 * 64;
        const uint64_t end =
            i + 1 == sockets.size() ? family.end : family.first + count * (i + 1) / sockets.size() / 64 * 64;
        FrameLink *link = family.family == AF_INET && i < m_links.size() ? m_links[i].get() : nullptr;
        m_workers.push_back(
            std::make_unique<SweepWorker>(*m_plan, first, end, std::move(sockets[i]), family.identifiers, link));
    }
}

// Once the last planned pass has sent everything, the links close while the answers are awaited. A
// pass to recover dropped answers, should one follow, sends through the sockets. Called by each
// worker as it sends its last request of a pass: the last of them closes them.
void Sweep::closeLinksOnceSent()
{
    if (m_links.empty() || !m_links.front()->isOpen() || int(m_plan->pass) < m_settings.retries)
        return;
    for (const auto &worker : m_workers)
        if (worker->sendingInPass())
            return;
    for (const auto &link : m_links)
        link->closeLater();
}

void Sweep::run()
{
    open();
    for (const auto &link : m_links)
        link->startRing();
    m_nextProgressNs = monotonicNs();
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
    const int64_t now = monotonicNs();
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
