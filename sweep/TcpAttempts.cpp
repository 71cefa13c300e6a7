#include "TcpAttempts.h"

#include "SweepClock.h"

#include <netinet/in.h>
#include <sys/epoll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace {

constexpr int64_t Millisecond = 1000000;
constexpr int MaxEvents = 256;

// An ICMP error about the SYN came back (IP_RECVERR queued it): a router's port unreachable ends the
// connect() with the same ECONNREFUSED as a host's RST, but says nothing of the host.
bool icmpErrorQueued(int fd)
{
    char control[512];
    msghdr message{};
    message.msg_control = control;
    message.msg_controllen = sizeof control;
    return recvmsg(fd, &message, MSG_ERRQUEUE | MSG_DONTWAIT) >= 0;
}

} // namespace

TcpAttempts::TcpAttempts(int stopFd)
{
    m_epoll = epoll_create1(EPOLL_CLOEXEC);
    if (m_epoll < 0)
        throw std::runtime_error(std::string("cannot wait for TCP sockets: ") + std::strerror(errno));
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = stopFd;
    if (epoll_ctl(m_epoll, EPOLL_CTL_ADD, stopFd, &event) != 0) {
        const int error = errno;
        ::close(m_epoll);
        throw std::runtime_error(std::string("cannot wait for TCP sockets: ") + std::strerror(error));
    }
}

TcpAttempts::~TcpAttempts()
{
    for (const auto &entry : m_inFlight)
        ::close(entry.first);
    ::close(m_epoll);
}

int TcpAttempts::openSocket(const IpAddress &address)
{
    const int fd = socket(address.addressFamily(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0)
        return -1;
    const linger reset{1, 0};
    const int on = 1;
    const bool v4 = address.isV4();
    if (setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset) != 0 ||
        setsockopt(fd, v4 ? IPPROTO_IP : IPPROTO_IPV6, v4 ? IP_RECVERR : IPV6_RECVERR, &on, sizeof on) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

bool TcpAttempts::start(const Target &target, uint16_t port, int64_t deadlineNs, std::vector<Ended> &ended)
{
    const int fd = openSocket(target.address);
    if (fd < 0)
        return false;
    sockaddr_storage storage;
    const socklen_t length = target.address.toSockaddr(storage);
    reinterpret_cast<sockaddr_in *>(&storage)->sin_port = htons(port); // the same place in sockaddr_in6
    const int error = connect(fd, reinterpret_cast<const sockaddr *>(&storage), length) == 0 ? 0 : errno;
    if (error == EAGAIN || error == EADDRNOTAVAIL) {
        ::close(fd);
        errno = error;
        return false;
    }
    m_inFlight[fd] = {target, ++m_serial};
    if (error != EINPROGRESS) {
        finish(fd, outcomeAtOnce(error), ended);
        return true;
    }
    epoll_event event{};
    event.events = EPOLLOUT;
    event.data.fd = fd;
    if (epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event) != 0) {
        const int failed = errno;
        m_inFlight.erase(fd);
        ::close(fd);
        errno = failed;
        return false;
    }
    m_deadlines.push_back({deadlineNs, fd, m_serial});
    return true;
}

// A connect() that ends before anything went out: a connection on this host, or a send this system
// would not make (no route, its own firewall).
TcpAttempts::Outcome TcpAttempts::outcomeAtOnce(int error)
{
    if (error == 0)
        return Outcome::Open;
    return error == ECONNREFUSED ? Outcome::Closed : Outcome::Refused;
}

TcpAttempts::Outcome TcpAttempts::outcomeOf(int fd, int error)
{
    // A reset that came after the handshake, before we looked: the host had answered with SYN-ACK.
    if (error == 0 || error == ECONNRESET)
        return Outcome::Open;
    if (error == ECONNREFUSED && !icmpErrorQueued(fd))
        return Outcome::Closed;
    return Outcome::Unanswered;
}

void TcpAttempts::finish(int fd, Outcome outcome, std::vector<Ended> &ended)
{
    const auto found = m_inFlight.find(fd);
    ended.push_back({found->second.target, outcome});
    m_inFlight.erase(found);
    ::close(fd);
}

void TcpAttempts::wait(int64_t nowNs, int64_t untilNs, std::vector<Ended> &ended)
{
    if (!m_deadlines.empty())
        untilNs = std::min(untilNs, m_deadlines.front().atNs);
    const int64_t waitMs = std::max<int64_t>(0, (untilNs - nowNs + Millisecond - 1) / Millisecond);
    epoll_event events[MaxEvents];
    const int count = epoll_wait(m_epoll, events, MaxEvents, int(std::min<int64_t>(waitMs, 1000)));
    for (int i = 0; i < count; ++i) {
        const int fd = events[i].data.fd;
        if (m_inFlight.count(fd) == 0)
            continue; // the stop descriptor
        int error = 0;
        socklen_t length = sizeof error;
        if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
            error = errno;
        finish(fd, outcomeOf(fd, error), ended);
    }
    expire(SweepClock::monotonic().nowNs(), ended);
}

void TcpAttempts::expire(int64_t nowNs, std::vector<Ended> &ended)
{
    while (!m_deadlines.empty() && m_deadlines.front().atNs <= nowNs) {
        const Deadline deadline = m_deadlines.front();
        m_deadlines.pop_front();
        const auto found = m_inFlight.find(deadline.fd);
        if (found != m_inFlight.end() && found->second.serial == deadline.serial)
            finish(deadline.fd, Outcome::Unanswered, ended);
    }
}
