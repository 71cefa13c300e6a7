#pragma once
#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/if_ether.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

// What code that a program loads by name could do with the program's privileges: appends to the
// file named by TOZELO_PROBE_RECORD the capabilities it runs with and whether it could open a raw
// ICMP socket and a packet socket. Runs as the library is loaded, before Qt asks it for anything.
namespace CapabilityProbe {

inline const char *outcome(int domain, int type, int protocol)
{
    const int fd = socket(domain, type | SOCK_CLOEXEC, protocol);
    if (fd < 0)
        return "refused";
    close(fd);
    return "opened";
}

inline void record()
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
    char text[256];
    const int length =
        std::snprintf(text, sizeof text, "%s\nraw ICMP socket: %s\npacket socket: %s\n", effective,
                      outcome(AF_INET, SOCK_RAW, IPPROTO_ICMP), outcome(AF_PACKET, SOCK_RAW, htons(ETH_P_ALL)));
    const int fd = open(path, O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd >= 0) {
        if (write(fd, text, size_t(length)) != length)
            std::perror("probe record");
        close(fd);
    }
}

} // namespace CapabilityProbe
