// Stands in for a host that drops ICMP but serves TCP: listens on the ports given (443 unless told)
// on every address of its namespace, both families, and closes each connection as soon as it is made.
// The kernel completes the handshakes; accepting them keeps the backlog from filling, which would have
// later attempts go unanswered.
//
//   tcp_listener [--lifeline] [--ready FILE] [--lifetime SECONDS] [--port PORT]...
//
// --lifeline: leave when standard input ends (the testbed holds the other end of the pipe). --ready:
// create FILE once listening. The listener always leaves after its lifetime (at most 30 minutes).
#include "ToolLife.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t MaxPorts = 16;
constexpr int MaxAcceptsPerWake = 64;

struct Options {
    ToolLife life;
    std::vector<uint16_t> ports;
};

bool parseOptions(int argc, char **argv, Options &options)
{
    const bool read = options.life.parse(argc, argv, [&](const std::string &arg, int &i) {
        if (arg != "--port" || i + 1 >= argc || options.ports.size() == MaxPorts)
            return false;
        const int port = std::atoi(argv[++i]);
        options.ports.push_back(uint16_t(port));
        return port > 0 && port <= 65535;
    });
    if (!read)
        return false;
    if (options.ports.empty())
        options.ports.push_back(443);
    return true;
}

// One socket for both families: IPv4 comes as mapped addresses.
int listenOn(uint16_t port)
{
    const int fd = socket(AF_INET6, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    const int off = 0;
    const int on = 1;
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_addr = in6addr_any;
    address.sin6_port = htons(port);
    if (setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off) != 0 ||
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 || listen(fd, 1024) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// An orderly close, as a server's: a client that closed its end with a FIN of its own would be left
// in TIME_WAIT.
void closeEach(int listener)
{
    for (int i = 0; i < MaxAcceptsPerWake; ++i) {
        const int fd = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0)
            return;
        close(fd);
    }
}

void serve(std::vector<pollfd> &fds, const Options &options)
{
    const Clock::time_point end = Clock::now() + std::chrono::seconds(options.life.lifetimeSeconds);
    const size_t listeners = fds.size();
    if (options.life.lifeline)
        fds.push_back({STDIN_FILENO, POLLIN, 0});
    while (Clock::now() < end) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (poll(fds.data(), fds.size(), int(std::min<long long>(left, 1000) + 1)) < 0 && errno != EINTR)
            return;
        for (size_t i = 0; i < listeners; ++i) {
            if (fds[i].revents & POLLIN)
                closeEach(fds[i].fd);
        }
        if (fds.size() > listeners && fds.back().revents && !ToolLife::holds())
            return;
    }
}

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fprintf(stderr,
                     "usage: tcp_listener [--lifeline] [--ready FILE] [--lifetime SECONDS (1..%d)] [--port PORT]...\n",
                     ToolLife::MaxLifetimeSeconds);
        return 2;
    }
    std::vector<pollfd> fds;
    for (const uint16_t port : options.ports) {
        const int fd = listenOn(port);
        if (fd < 0) {
            std::perror("tcp_listener: listen");
            return 1;
        }
        fds.push_back({fd, POLLIN, 0});
    }
    options.life.announceReady();
    serve(fds, options);
    for (const pollfd &entry : fds)
        close(entry.fd);
    return 0;
}
