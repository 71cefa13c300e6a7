#include "SweepService.h"

#include "echo/EchoTerms.h"
#include "platform/FramesPermission.h"
#include "platform/IcmpTypes.h"
#include "sweep/FramedChannel.h"
#include "sweep/SocketChannel.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <stdexcept>

using namespace HelperProtocol;

namespace {

// Answers kept for the client between two of its syncs, at most: it syncs at every wake-up.
constexpr size_t MaxPendingAnswers = 1 << 20;
// Reads of one round, at most, so that a flood cannot keep the client waiting for ever.
constexpr size_t MaxReadsPerCollect = 65536;
constexpr int MaxRoundsPerSync = 16;
constexpr size_t ReadBatch = 64;

bool isPowerOfTwo(unsigned value)
{
    return value != 0 && (value & (value - 1)) == 0;
}

} // namespace

std::optional<SweepOpen> SweepService::settingsOf(const Open &open)
{
    const std::optional<SweepOpen> settings = settingsIn<SweepOpen>(open);
    if (!settings || open.purpose != Purpose::Sweep || (open.family != AF_INET && open.family != AF_INET6))
        return std::nullopt;
    const bool inRange = isPowerOfTwo(settings->identifiers) && settings->identifiers <= MaxIdentifiers &&
                         settings->ttl >= MinTtl && settings->ttl <= MaxTtl && settings->size <= MaxSize &&
                         settings->receiveBufferBytes <= MaxReceiveBuffer &&
                         (settings->frames == 0 || (settings->frames == 1 && open.family == AF_INET));
    return inRange ? settings : std::nullopt;
}

SweepService::SweepService(int channel, int family, const SweepOpen &settings, std::unique_ptr<SweepChannel> sweep)
    : m_channel(channel), m_family(family), m_settings(settings), m_sweep(std::move(sweep))
{
}

SweepService::~SweepService() = default;

int SweepService::serve()
{
    std::vector<uint8_t> message(sizeof(SweepSend) + 1);
    for (;;) {
        // The client's end wakes the wait as the answers do.
        m_sweep->source().wait(INT64_MAX / 2);
        collect(MaxReadsPerCollect);
        const ssize_t length = recv(m_channel, message.data(), message.size(), MSG_DONTWAIT);
        if (length == 0 || (length < 0 && errno != EAGAIN && errno != EINTR))
            return 0;
        if (length > 0 && !answer(message.data(), size_t(length)))
            return 1;
    }
}

std::unique_ptr<SweepChannel> SweepService::open(int channel, int family, const SweepOpen &settings,
                                                 SweepRequests &requests, Opened &opened)
{
    SweepNetwork::ChannelSettings wanted;
    wanted.family = family;
    wanted.identifiers = settings.identifiers;
    wanted.ttl = settings.ttl;
    wanted.receiveBufferBytes = int(settings.receiveBufferBytes);
    wanted.frames = settings.frames != 0;
    wanted.requests = &requests;
    wanted.stopFd = channel;
    if (wanted.frames && !FramesPermission::refusalForThisProcess().empty()) {
        opened.failed = Failure::FramesRefused;
        opened.error = EPERM;
        return nullptr;
    }
    try {
        if (wanted.frames)
            return std::make_unique<FramedChannel>(wanted, false);
        return std::make_unique<SocketChannel>(wanted, false);
    } catch (const TICMPException &) {
        opened.failed = Failure::Socket;
    } catch (const std::runtime_error &) {
        opened.failed = wanted.frames ? Failure::Link : Failure::Setting;
    }
    opened.error = errno;
    return nullptr;
}

bool SweepService::answer(const uint8_t *message, size_t length)
{
    Header header;
    if (length < sizeof header)
        return false;
    std::memcpy(&header, message, sizeof header);
    if (header.version != Version)
        return false;
    if (header.type == Type::SweepSend && length >= offsetof(SweepSend, requests) && length <= sizeof(SweepSend)) {
        auto batch = std::make_unique<SweepSend>();
        std::memcpy(batch.get(), message, length);
        send(*batch, length);
        return true;
    }
    if (header.type == Type::SweepSync && length == sizeof(SweepSync)) {
        sync();
        return true;
    }
    if (header.type == Type::SweepPass && length == sizeof(SweepPass)) {
        SweepPass mark;
        std::memcpy(&mark, message, sizeof mark);
        pass(mark);
        return true;
    }
    return false;
}

// Reads what came, for the next sync: whether every queue was read to its end.
bool SweepService::collect(size_t limit)
{
    SweepSource &source = m_sweep->source();
    for (size_t reads = 0; reads < limit;) {
        m_heard.clear();
        const size_t read = source.read(ReadBatch, m_heard);
        if (read == 0) {
            m_readUntilNs = source.readUntilNs();
            return true;
        }
        reads += read;
        for (const SweepSource::Heard &heard : m_heard)
            add(heard);
    }
    return false;
}

void SweepService::add(const SweepSource::Heard &heard)
{
    if (m_pending == MaxPendingAnswers) {
        ++m_lost;
        return;
    }
    if (m_answers.size() == MaxHeardAnswers || m_data.size() + heard.echoedSize > MaxPacketData)
        finishMessage();
    SweepAnswer answer;
    answer.reply = heard.reply ? 1 : 0;
    answer.identifier = heard.identifier;
    answer.sequence = heard.sequence;
    answer.slot = heard.slot;
    answer.status = heard.status;
    answer.arrivedNs = heard.arrivedNs;
    answer.from = addressOf(heard.from);
    answer.about = addressOf(heard.about);
    answer.echoedOffset = uint32_t(m_data.size());
    answer.echoedSize = uint32_t(heard.echoedSize);
    m_answers.push_back(answer);
    m_data.insert(m_data.end(), heard.echoed, heard.echoed + heard.echoedSize);
    ++m_pending;
}

void SweepService::finishMessage()
{
    if (m_answers.empty())
        return;
    SweepHeard head;
    head.count = uint32_t(m_answers.size());
    head.dataSize = uint32_t(m_data.size());
    std::vector<uint8_t> &message = m_messages.emplace_back(sizeof head + m_answers.size() * sizeof(SweepAnswer));
    std::memcpy(message.data(), &head, sizeof head);
    std::memcpy(message.data() + sizeof head, m_answers.data(), m_answers.size() * sizeof(SweepAnswer));
    message.insert(message.end(), m_data.begin(), m_data.end());
    m_answers.clear();
    m_data.clear();
}

// Every request in range and of one identifier's block, or none is sent.
void SweepService::send(const SweepSend &batch, size_t length)
{
    const size_t count = batch.count;
    const bool whole = count <= MaxSweepBatch && length == offsetof(SweepSend, requests) + count * sizeof(SweepRequest);
    m_batch.clear();
    for (size_t i = 0; whole && i < count; ++i) {
        const SweepRequest &request = batch.requests[i];
        const std::optional<IpAddress> address = ipAddressOf(request.address);
        if (!address || address->addressFamily() != m_family ||
            request.slot / SweepSender::SlotsPerIdentifier >= m_settings.identifiers ||
            request.slot / SweepSender::SlotsPerIdentifier != batch.requests[0].slot / SweepSender::SlotsPerIdentifier)
            break;
        m_batch.push_back({*address, request.target, request.slot});
    }
    auto report = std::make_unique<SweepReport>();
    if (whole && m_batch.size() == count && count != 0) {
        m_sweep->sender().send(m_batch.data(), count, m_report);
        for (const SweepSender::Step &step : m_report.steps)
            report->steps[report->count++] = {step.count, step.status,  step.byRoute ? 1u : 0u,
                                              0,          step.startNs, step.endNs};
        report->blocked = m_report.blocked ? 1 : 0;
    } else {
        for (size_t i = 0; i < std::min<size_t>(count, MaxSweepBatch); ++i)
            report->steps[report->count++] = {0, IP_BAD_REQ, 0, 0, 0, 0};
    }
    report->drops = m_sweep->source().drops() + m_lost;
    put(report.get(), offsetof(SweepReport, steps) + report->count * sizeof(SweepStep));
}

// A flood that keeps the queues from being read to their end leaves the time told as it was.
void SweepService::sync()
{
    for (int round = 0; round < MaxRoundsPerSync && !collect(MaxReadsPerCollect); ++round) {
    }
    finishMessage();
    for (const std::vector<uint8_t> &message : m_messages)
        put(message.data(), message.size());
    m_messages.clear();
    m_pending = 0;
    SweepSynced synced;
    synced.readUntilNs = m_readUntilNs;
    synced.drops = m_sweep->source().drops() + m_lost;
    put(&synced, sizeof synced);
}

void SweepService::pass(const SweepPass &mark)
{
    SweepSender &sender = m_sweep->sender();
    switch (mark.mark) {
    case PassMark::Begin: sender.beginPass(mark.pass); break;
    case PassMark::Sent: sender.passSent(); break;
    case PassMark::CloseFrames: sender.closeFrames(); break;
    }
}

void SweepService::put(const void *record, size_t length)
{
    if (::send(m_channel, record, length, MSG_NOSIGNAL) != ssize_t(length))
        throw std::runtime_error(std::string("cannot answer the client: ") + std::strerror(errno));
}
