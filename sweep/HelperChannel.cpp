#include "HelperChannel.h"

#include "SweepRequests.h"
#include "echo/EchoTerms.h"
#include "platform/FramesPermission.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

using namespace HelperProtocol;

namespace {

constexpr int64_t Second = 1000000000;
// The biggest message the helper sends: a report, or answers and their echoed bytes.
constexpr size_t MaxMessage = std::max({sizeof(SweepReport), MaxSweepHeard, sizeof(SweepSynced)});

std::string why(const Opened &opened)
{
    const std::string reason = std::strerror(opened.error);
    switch (opened.failed) {
    case Failure::FramesRefused: return FramesPermission::refusalForThisProcess();
    case Failure::Link: return "cannot open a packet socket to send frames: " + reason;
    case Failure::Setting: return "cannot set up the ICMP socket: " + reason;
    default: return reason;
    }
}

} // namespace

HelperChannel::HelperChannel(const SweepNetwork::ChannelSettings &wanted)
    : m_family(wanted.family), m_stopFd(wanted.stopFd), m_send(std::make_unique<SweepSend>()), m_message(MaxMessage)
{
    open(wanted);
}

HelperChannel::~HelperChannel()
{
    if (m_channel >= 0)
        ::close(m_channel);
}

// Refused frames are told as they are where no helper is needed; a socket the helper could not open
// is ICMP that cannot be had.
void HelperChannel::open(const SweepNetwork::ChannelSettings &wanted)
{
    SweepOpen settings;
    settings.identifiers = uint16_t(wanted.identifiers);
    settings.ttl = uint16_t(wanted.ttl);
    settings.size = uint16_t(wanted.requests->payloadSize());
    settings.frames = wanted.frames ? 1 : 0;
    settings.receiveBufferBytes = uint32_t(std::clamp(wanted.receiveBufferBytes, 0, int(MaxReceiveBuffer)));
    std::memcpy(settings.key, wanted.requests->signature().key(), sizeof settings.key);
    Open request;
    request.purpose = Purpose::Sweep;
    request.family = uint16_t(wanted.family);
    std::memcpy(request.settings, &settings, sizeof settings);
    Opened opened;
    m_channel = m_process.openChannel(request, opened);
    if (m_channel < 0 || opened.failed == Failure::Socket)
        throw TICMPException("Unable to get ping handle");
    if (opened.failed != Failure::None)
        throw std::runtime_error(why(opened));
}

void HelperChannel::send(const Request *requests, size_t count, Report &report)
{
    report = Report();
    SweepSend &batch = *m_send;
    batch.count = uint32_t(std::min<size_t>(count, MaxSweepBatch));
    for (uint32_t i = 0; i < batch.count; ++i)
        batch.requests[i] = {addressOf(requests[i].address), requests[i].target, requests[i].slot};
    put(&batch, offsetof(SweepSend, requests) + batch.count * sizeof(SweepRequest));
    const size_t length = take(Type::SweepReport);
    SweepReport answer;
    std::memcpy(&answer, m_message.data(), std::min(length, sizeof answer));
    const size_t steps = std::min(answer.count, MaxSweepBatch);
    if (length != offsetof(SweepReport, steps) + steps * sizeof(SweepStep))
        gone();
    m_drops = answer.drops;
    for (size_t i = 0; i < steps; ++i) {
        const SweepStep &step = answer.steps[i];
        report.steps.push_back({step.count, step.status, step.byRoute != 0, step.startNs, step.endNs});
    }
    report.blocked = answer.blocked != 0;
}

void HelperChannel::mark(PassMark mark, uint32_t pass)
{
    SweepPass record;
    record.mark = mark;
    record.pass = pass;
    put(&record, sizeof record);
}

// The first read of a round asks the helper for every answer it read so far; each read then hands
// over one message of them. limit is met as the helper puts no more answers in a message than a
// read takes.
size_t HelperChannel::read(size_t, std::vector<Heard> &heard)
{
    if (!m_inRound) {
        sync();
        m_inRound = true;
    }
    if (m_held.empty()) {
        m_inRound = false;
        return 0;
    }
    const size_t length = m_held.front().size();
    std::copy(m_held.front().begin(), m_held.front().end(), m_message.begin());
    m_held.pop_front();
    return std::max<size_t>(1, unpack(length, heard));
}

void HelperChannel::sync()
{
    const SweepSync request;
    put(&request, sizeof request);
    for (;;) {
        const size_t length = receive();
        if (isRecord(length, Type::SweepHeard)) {
            m_held.emplace_back(m_message.begin(), m_message.begin() + long(length));
            continue;
        }
        SweepSynced synced;
        if (!isRecord(length, Type::SweepSynced) || length != sizeof synced)
            gone();
        std::memcpy(&synced, m_message.data(), sizeof synced);
        m_readUntilNs = synced.readUntilNs;
        m_drops = synced.drops;
        return;
    }
}

size_t HelperChannel::unpack(size_t length, std::vector<Heard> &heard)
{
    SweepHeard head;
    std::memcpy(&head, m_message.data(), sizeof head);
    const size_t records = sizeof head + size_t(head.count) * sizeof(SweepAnswer);
    if (head.count > MaxHeardAnswers || records + head.dataSize != length)
        gone();
    const uint8_t *data = m_message.data() + records;
    for (uint32_t i = 0; i < head.count; ++i) {
        SweepAnswer answer;
        std::memcpy(&answer, m_message.data() + sizeof head + i * sizeof answer, sizeof answer);
        if (answer.echoedOffset > head.dataSize || answer.echoedSize > head.dataSize - answer.echoedOffset)
            gone();
        heard.push_back({answer.reply != 0, answer.identifier, answer.sequence, answer.slot,
                         ipAddressOf(answer.from).value_or(IpAddress()),
                         ipAddressOf(answer.about).value_or(IpAddress()), answer.status, answer.arrivedNs,
                         data + answer.echoedOffset, answer.echoedSize});
    }
    return head.count;
}

void HelperChannel::put(const void *record, size_t length)
{
    if (::send(m_channel, record, length, MSG_NOSIGNAL) != ssize_t(length))
        gone();
}

size_t HelperChannel::take(Type type)
{
    const size_t length = receive();
    if (!isRecord(length, type))
        gone();
    return length;
}

// Blocks for the helper's next message, which it sends at once.
size_t HelperChannel::receive()
{
    for (;;) {
        const ssize_t length = recv(m_channel, m_message.data(), m_message.size(), 0);
        if (length > 0)
            return size_t(length);
        if (length < 0 && errno == EINTR)
            continue;
        gone();
    }
}

bool HelperChannel::isRecord(size_t length, Type type) const
{
    Header header;
    if (length < sizeof header)
        return false;
    std::memcpy(&header, m_message.data(), sizeof header);
    return header.version == Version && header.type == type;
}

// The answers wait in the helper, timed by their arrival, until the next round of reads.
void HelperChannel::wait(int64_t untilNs)
{
    pollfd stop{m_stopFd, POLLIN, 0};
    const int64_t left = std::max<int64_t>(0, untilNs - SweepClock::monotonic().nowNs());
    const timespec timeout{time_t(left / Second), long(left % Second)};
    if (ppoll(&stop, 1, &timeout, nullptr) < 0 && errno != EINTR)
        throw std::runtime_error(std::string("cannot wait for answers: ") + std::strerror(errno));
}

void HelperChannel::gone() const
{
    throw std::runtime_error("the ICMP helper has gone");
}
