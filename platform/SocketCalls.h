#pragma once
#include <sys/socket.h>

#include <cstdint>

// The small steps both families' ICMP sockets take alike.
namespace SocketCalls {

bool enable(int fd, int level, int option);
// Closes fd and sets it to -1, keeping the errno that made us give it up.
void closeKeepingErrno(int &fd);
// The answers of a system that has ICMP but does not let this user open datagram sockets.
bool datagramRefused(int error);
bool queueEmpty(int error);
// The kernel's time of arrival (CLOCK_REALTIME, ns) if cmsg carries it, else 0.
int64_t arrivalOf(const cmsghdr *cmsg);

} // namespace SocketCalls
