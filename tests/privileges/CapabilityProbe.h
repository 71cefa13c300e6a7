#pragma once
#include <arpa/inet.h>
#include <dirent.h>
#include <fcntl.h>
#include <linux/if_ether.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

// What code that a program loads by name could do with the program's privileges: appends to the
// file named by TOZELO_PROBE_RECORD, once as the library is loaded (before Qt asks it for anything)
// and once as the program ends, the capabilities it runs with, how many raw or packet sockets of the
// program's it finds among the process's open descriptors, and whether it could open a raw ICMP
// socket or a packet socket of its own.
namespace CapabilityProbe {

inline const char *outcome(int domain, int type, int protocol)
{
    const int fd = socket(domain, type | SOCK_CLOEXEC, protocol);
    if (fd < 0)
        return "refused";
    close(fd);
    return "opened";
}

// Raw sockets of any family, and packet sockets of any type.
inline int rawOrPacketSockets()
{
    DIR *fds = opendir("/proc/self/fd");
    if (!fds)
        return -1;
    int count = 0;
    while (const dirent *entry = readdir(fds)) {
        const int fd = std::atoi(entry->d_name);
        int type = 0, domain = 0;
        socklen_t length = sizeof type;
        if (entry->d_name[0] == '.' || getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) != 0)
            continue;
        length = sizeof domain;
        getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &domain, &length);
        count += type == SOCK_RAW || domain == AF_PACKET;
    }
    closedir(fds);
    return count;
}

inline void record(const char *when)
{
    const char *path = std::getenv("TOZELO_PROBE_RECORD");
    if (!path)
        return;
    char effective[64] = "CapEff:\t?";
    if (FILE *status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, status))
            if (std::strncmp(line, "CapEff:", 7) == 0)
                std::snprintf(effective, sizeof effective, "%.*s", int(std::strcspn(line, "\n")), line);
        std::fclose(status);
    }
    char text[512];
    const int length = std::snprintf(text, sizeof text,
                                     "%s: %s\nraw or packet sockets held: %d\nraw ICMP socket: %s\npacket socket: %s\n",
                                     when, effective, rawOrPacketSockets(), outcome(AF_INET, SOCK_RAW, IPPROTO_ICMP),
                                     outcome(AF_PACKET, SOCK_RAW, htons(ETH_P_ALL)));
    const int fd = open(path, O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd >= 0) {
        if (write(fd, text, size_t(length)) != length)
            std::perror("probe record");
        close(fd);
    }
}

} // namespace CapabilityProbe

// Every probe records as it is loaded and as the program that loaded it ends.
#define TOZELO_CAPABILITY_PROBE                                                                                        \
    [[gnu::constructor]] static void recordOnLoad()                                                                    \
    {                                                                                                                  \
        CapabilityProbe::record("loaded");                                                                             \
    }                                                                                                                  \
    [[gnu::destructor]] static void recordAtExit()                                                                     \
    {                                                                                                                  \
        CapabilityProbe::record("at exit");                                                                            \
    }
