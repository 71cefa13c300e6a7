#pragma once
#include <QSet>
#include <QString>
#include <arpa/inet.h>
#include <linux/if_ether.h>
#include <linux/if_packet.h>
#include <net/if.h>
#include <sys/socket.h>
#include <unistd.h>

// The addresses this namespace asks for on one of its links from now on: ARP requests and IPv6
// neighbour solicitations going out, whether the kernel or the helper sent them. Counting every frame
// instead would count the kernel's own router solicitations and listener reports too.
class AskedOnLink {
public:
    explicit AskedOnLink(const char *link)
        : m_fd(socket(AF_PACKET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, htons(ETH_P_ALL)))
    {
        sockaddr_ll at{};
        at.sll_family = AF_PACKET;
        at.sll_protocol = htons(ETH_P_ALL);
        at.sll_ifindex = int(if_nametoindex(link));
        if (m_fd >= 0 && (at.sll_ifindex == 0 || bind(m_fd, reinterpret_cast<sockaddr *>(&at), sizeof at) != 0)) {
            close(m_fd);
            m_fd = -1;
        }
    }
    ~AskedOnLink()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    AskedOnLink(const AskedOnLink &) = delete;
    AskedOnLink &operator=(const AskedOnLink &) = delete;

    bool watching() const { return m_fd >= 0; }

    // Every address asked for so far.
    QSet<QString> asked()
    {
        unsigned char frame[2048];
        sockaddr_ll from{};
        socklen_t size = sizeof from;
        ssize_t length;
        while ((length = recvfrom(m_fd, frame, sizeof frame, 0, reinterpret_cast<sockaddr *>(&from), &size)) > 0) {
            if (from.sll_pkttype == PACKET_OUTGOING)
                take(frame, size_t(length), ntohs(from.sll_protocol));
            size = sizeof from;
        }
        return m_asked;
    }

private:
    void take(const unsigned char *packet, size_t length, uint16_t type)
    {
        char text[INET6_ADDRSTRLEN];
        const bool arpRequest = type == ETH_P_ARP && length >= 28 && packet[6] == 0 && packet[7] == 1;
        if (arpRequest && inet_ntop(AF_INET, packet + 24, text, sizeof text))
            m_asked.insert(text);
        const bool solicitation =
            type == ETH_P_IPV6 && length >= 64 && packet[6] == IPPROTO_ICMPV6 && packet[40] == 135;
        if (solicitation && inet_ntop(AF_INET6, packet + 48, text, sizeof text))
            m_asked.insert(text);
    }

    int m_fd;
    QSet<QString> m_asked;
};
