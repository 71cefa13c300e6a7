#include "HelperArp.h"

#include "platform/FramesPermission.h"
#include "platform/HelperProtocol.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

using namespace HelperProtocol;

namespace {

static_assert(HelperArp::MaxBatch == MaxArpBatch);

// The helper sends the batch at its rate and waits as asked: past that and this much more, it is
// taken for gone.
constexpr int SlackMs = 5000;
constexpr int StopCheckMs = 100;

std::string why(const Opened &opened)
{
    const std::string reason = std::strerror(opened.error);
    switch (opened.failed) {
    case Failure::FramesRefused: return FramesPermission::refusalForThisProcess();
    case Failure::Interface: return "the link cannot be asked by ARP: " + reason;
    default: return "cannot open a packet socket to ask the link by ARP: " + reason;
    }
}

} // namespace

HelperArp::HelperArp(int link, int rate) : m_rate(std::clamp(rate, 1, int(MaxArpRate)))
{
    ArpOpen settings;
    settings.link = link;
    settings.rate = uint32_t(m_rate);
    Open request;
    request.purpose = Purpose::Arp;
    request.family = AF_INET;
    std::memcpy(request.settings, &settings, sizeof settings);
    Opened opened;
    m_channel = m_process.openChannel(request, opened);
    if (m_channel < 0)
        throw std::runtime_error(std::string("cannot start the helper: ") + std::strerror(errno));
    if (opened.failed != Failure::None)
        throw std::runtime_error(why(opened));
}

HelperArp::~HelperArp()
{
    if (m_channel >= 0)
        ::close(m_channel);
}

std::optional<HelperArp::Found> HelperArp::ask(const std::vector<IpAddress> &batch, int waitMs,
                                               const std::atomic<bool> &stopped, uint64_t &unsent, int &error)
{
    auto request = std::make_unique<ArpAsk>();
    request->count = uint32_t(std::min(batch.size(), MaxBatch));
    request->waitMs = uint32_t(std::clamp(waitMs, 0, int(MaxArpWaitMs)));
    for (uint32_t i = 0; i < request->count; ++i)
        request->targets[i] = batch[i].v4();
    const size_t length = offsetof(ArpAsk, targets) + request->count * sizeof(uint32_t);
    if (::send(m_channel, request.get(), length, MSG_NOSIGNAL) != ssize_t(length))
        return std::nullopt;
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(request->count * 1000 / m_rate + request->waitMs + SlackMs);
    for (pollfd answer{m_channel, POLLIN, 0};;) {
        const int ready = poll(&answer, 1, StopCheckMs);
        if (ready > 0)
            break;
        if ((ready < 0 && errno != EINTR) || stopped || std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
    }
    auto found = std::make_unique<ArpFound>();
    const ssize_t got = recv(m_channel, found.get(), sizeof *found, MSG_DONTWAIT);
    if (got < ssize_t(offsetof(ArpFound, hosts)) || found->header.version != Version ||
        found->header.type != Type::ArpFound || found->refused != 0 || found->count > request->count ||
        size_t(got) != offsetof(ArpFound, hosts) + found->count * sizeof(ArpHost))
        return std::nullopt;
    unsent += found->unsent;
    if (found->unsent != 0 && error == 0)
        error = found->error;
    Found hosts;
    for (uint32_t i = 0; i < found->count; ++i)
        hosts.emplace_back(IpAddress::v4(found->hosts[i].address), HardwareAddress(found->hosts[i].hardware));
    return hosts;
}
