#include "HelperServer.h"

#include "ArpService.h"
#include "EchoChannel.h"
#include "Lockdown.h"
#include "SweepService.h"
#include "platform/HelperProtocol.h"
#include "platform/IcmpSocket.h"
#include "platform/RandomDraw.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <thread>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

using namespace HelperProtocol;

namespace {

// Bounds the packets forwarded on one wake-up, so that requests are answered under a flood too.
constexpr int MaxPacketsPerWake = 64;

bool sendRecord(int channel, const void *record, size_t size, int flags = 0)
{
    return ::send(channel, record, size, flags | MSG_NOSIGNAL) == ssize_t(size);
}

} // namespace

HelperServer::HelperServer(int channel) : m_channel(channel)
{
    m_record.reserve(sizeof(Packet) + MaxPacketData);
}

std::optional<int> HelperServer::familyToOpen(const uint8_t *message, size_t length)
{
    Open request;
    if (length != sizeof request)
        return std::nullopt;
    std::memcpy(&request, message, sizeof request);
    const bool noSetting =
        std::all_of(std::begin(request.settings), std::end(request.settings), [](uint8_t byte) { return byte == 0; });
    if (request.header.version != Version || request.header.type != Type::Open || request.purpose != Purpose::Echo ||
        (request.family != AF_INET && request.family != AF_INET6) || !noSetting)
        return std::nullopt;
    return request.family;
}

// The socket is opened while the capability is there; everything the client asks for comes after
// every privilege is gone, even a refusal.
int HelperServer::run()
{
    uint8_t message[sizeof(Open) + 1];
    const ssize_t length = recv(m_channel, message, sizeof message, 0);
    if (length < 0)
        throw std::runtime_error(std::string("no channel to serve (") + std::strerror(errno) +
                                 "): tozelo and tozelo-cli start this program");
    Open request;
    if (size_t(length) == sizeof request)
        std::memcpy(&request, message, sizeof request);
    const bool whole =
        size_t(length) == sizeof request && request.header.version == Version && request.header.type == Type::Open;
    if (const std::optional<SweepOpen> sweep = whole ? SweepService::settingsOf(request) : std::nullopt)
        return serveSweep(request.family, *sweep);
    if (const std::optional<ArpOpen> arp = whole ? ArpService::settingsOf(request) : std::nullopt)
        return serveArp(*arp);
    const std::optional<int> family = familyToOpen(message, size_t(length));
    if (!family)
        throw std::runtime_error("the client's Open is refused");
    IcmpSocket socket(*family);
    const bool opened = socket.open(false) && socket.setReceiveStamps();
    Opened answer;
    answer.error = opened ? 0 : errno;
    answer.identifier = opened ? socket.identifier() : 0;
    EchoChannel channel(socket, *family, RandomDraw::uint16());
    Lockdown::apply(Purpose::Echo);
    if (!sendRecord(m_channel, &answer, sizeof answer) || !opened)
        return 1;
    return serve(socket, channel);
}

// Everything is opened while the capability is there; everything the client asks for comes after
// every privilege is gone, even a refusal.
int HelperServer::serveSweep(int family, const SweepOpen &settings)
{
    SweepRequests requests(settings.size, SweepSignature(settings.key));
    Opened opened;
    std::unique_ptr<SweepChannel> sweep = SweepService::open(m_channel, family, settings, requests, opened);
    // The C library readies its threads' signals as the first thread starts: that is done here, before
    // the filter forbids changing how signals are handled. A link's threads come later.
    if (settings.frames)
        std::thread([] {}).join();
    Lockdown::apply(Purpose::Sweep);
    if (!sendRecord(m_channel, &opened, sizeof opened) || !sweep)
        return 1;
    return SweepService(m_channel, family, settings, std::move(sweep)).serve();
}

int HelperServer::serveArp(const ArpOpen &settings)
{
    ArpService arp(m_channel, settings);
    Opened opened;
    const bool ready = arp.open(opened);
    Lockdown::apply(Purpose::Arp);
    if (!sendRecord(m_channel, &opened, sizeof opened) || !ready)
        return 1;
    return arp.serve();
}

int HelperServer::serve(const IcmpSocket &socket, EchoChannel &channel)
{
    pollfd waits[2] = {{m_channel, POLLIN, 0}, {socket.fd(), POLLIN, 0}};
    for (;;) {
        if (poll(waits, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return 1;
        }
        if (waits[1].revents & POLLIN)
            forwardPackets(channel);
        if (waits[0].revents != 0 && !answerRequest(channel))
            return 0;
    }
}

// A message longer than any request is cut to one byte more, and refused for its length. An answer
// from this host is queued by the time its request is sent: it goes to the client ahead of the
// request's Sent, which the client waits for, rather than after another wake-up of each.
bool HelperServer::answerRequest(EchoChannel &channel)
{
    uint8_t message[sizeof(Send) + 1];
    const ssize_t length = recv(m_channel, message, sizeof message, MSG_DONTWAIT);
    if (length < 0)
        return errno == EINTR || errno == EAGAIN;
    if (length == 0)
        return false;
    const Sent sent = channel.answer(message, size_t(length));
    forwardPackets(channel);
    return sendRecord(m_channel, &sent, sizeof sent);
}

// A client that does not read its packets gets none of them: they would answer nothing by now.
void HelperServer::forwardPackets(EchoChannel &channel)
{
    for (int i = 0; i < MaxPacketsPerWake && channel.nextPacket(m_record); ++i) {
        if (!m_record.empty())
            sendRecord(m_channel, m_record.data(), m_record.size(), MSG_DONTWAIT);
    }
}
