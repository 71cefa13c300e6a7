#include "NetlinkDump.h"

#include <sys/socket.h>

#include <cstring>
#include <memory>

namespace {

constexpr size_t BufferSize = 1 << 16;
constexpr size_t MaxHeaderSize = 64;

} // namespace

bool NetlinkDump::run(int fd, uint16_t type, const void *header, size_t headerSize, uint32_t sequence,
                      const std::function<bool(const nlmsghdr &)> &take)
{
    struct {
        nlmsghdr head;
        char body[MaxHeaderSize];
    } request{};
    if (headerSize > MaxHeaderSize)
        return false;
    request.head.nlmsg_len = NLMSG_LENGTH(headerSize);
    request.head.nlmsg_type = type;
    request.head.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.head.nlmsg_seq = sequence;
    std::memcpy(request.body, header, headerSize);
    if (send(fd, &request, request.head.nlmsg_len, 0) < 0)
        return false;
    const std::unique_ptr<char[]> buffer(new char[BufferSize]);
    for (;;) {
        const ssize_t got = recv(fd, buffer.get(), BufferSize, 0);
        if (got <= 0)
            return false;
        size_t left = size_t(got);
        for (auto *message = reinterpret_cast<const nlmsghdr *>(buffer.get()); NLMSG_OK(message, left);
             message = NLMSG_NEXT(message, left)) {
            if (message->nlmsg_seq != sequence)
                continue;
            if (message->nlmsg_type == NLMSG_DONE)
                return true;
            if (message->nlmsg_type == NLMSG_ERROR || (message->nlmsg_flags & NLM_F_DUMP_INTR) != 0 || !take(*message))
                return false;
        }
    }
}
