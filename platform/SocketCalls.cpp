#include "SocketCalls.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace SocketCalls {

bool enable(int fd, int level, int option)
{
    const int on = 1;
    return setsockopt(fd, level, option, &on, sizeof on) == 0;
}

void closeKeepingErrno(int &fd)
{
    const int saved = errno;
    ::close(fd);
    fd = -1;
    errno = saved;
}

bool datagramRefused(int error)
{
    return error == EACCES || error == EPERM || error == EPROTONOSUPPORT || error == EAFNOSUPPORT;
}

bool queueEmpty(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK;
}

int64_t arrivalOf(const cmsghdr *cmsg)
{
    if (cmsg->cmsg_level != SOL_SOCKET || cmsg->cmsg_type != SCM_TIMESTAMPNS)
        return 0;
    timespec stamp{};
    std::memcpy(&stamp, CMSG_DATA(cmsg), sizeof stamp);
    return int64_t(stamp.tv_sec) * 1000000000 + stamp.tv_nsec;
}

} // namespace SocketCalls
