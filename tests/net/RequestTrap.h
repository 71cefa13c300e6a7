#pragma once
#include "platform/IpAddress.h"
#include "testbed/TestbedNamespaces.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <fcntl.h>
#include <linux/if_tun.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cstring>
#include <optional>
#include <vector>

// A link of the testbed's client that no host is on: the blocks routed to it are its own, and each
// packet sent there waits in its queue, in the order the system sent it, until a test reads it. So
// a test sees every echo request a program sent as the wire carries it, and nothing answers. The
// link and its routes go with the object.
class RequestTrap {
public:
    struct Request {
        QString address; // in its one written form
        int ttl = 0;     // or hop limit
        int payloadSize = 0;
    };

    // blocks: CIDR blocks of either family.
    explicit RequestTrap(const QStringList &blocks) : m_fd(::open("/dev/net/tun", O_RDWR | O_NONBLOCK | O_CLOEXEC))
    {
        ifreq link{};
        link.ifr_flags = IFF_TUN | IFF_NO_PI;
        std::strncpy(link.ifr_name, Name, IFNAMSIZ - 1);
        m_ready = m_fd >= 0 && ioctl(m_fd, TUNSETIFF, &link) == 0 &&
                  QProcess::execute(TestbedNamespaces::tool("ip"),
                                    {"-n", TestbedNamespaces::nameOf("c"), "link", "set", Name, "up"}) == 0;
        for (const QString &block : blocks)
            m_ready = m_ready && TestbedNamespaces::route("c", "add", {block, "dev", Name});
    }
    ~RequestTrap()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    RequestTrap(const RequestTrap &) = delete;
    RequestTrap &operator=(const RequestTrap &) = delete;

    bool ready() const { return m_ready; }

    // The echo requests that came since the last call, oldest first.
    std::vector<Request> take()
    {
        std::vector<Request> requests;
        uint8_t packet[65536];
        for (ssize_t size; (size = ::read(m_fd, packet, sizeof packet)) > 0;)
            if (const std::optional<Request> request = echoRequestOf(packet, size_t(size)))
                requests.push_back(*request);
        return requests;
    }

    // The destinations of those of one family.
    static QStringList addressesOf(const std::vector<Request> &requests, bool v6)
    {
        QStringList addresses;
        for (const Request &request : requests)
            if (request.address.contains(':') == v6)
                addresses << request.address;
        return addresses;
    }

private:
    static constexpr const char *Name = "trap";

    // An IPv4 packet, or an IPv6 one without extension headers.
    static std::optional<Request> echoRequestOf(const uint8_t *packet, size_t size)
    {
        const auto text = [](const IpAddress &address) { return QString::fromStdString(address.toString()); };
        if (size >= 20 && packet[0] >> 4 == 4) {
            const size_t header = size_t(packet[0] & 0x0F) * 4;
            if (packet[9] != IPPROTO_ICMP || size < header + 8 || packet[header] != 8)
                return std::nullopt;
            uint32_t destination = 0;
            std::memcpy(&destination, packet + 16, sizeof destination);
            return Request{text(IpAddress::v4(destination)), packet[8], int(size - header - 8)};
        }
        if (size >= 48 && packet[0] >> 4 == 6 && packet[6] == IPPROTO_ICMPV6 && packet[40] == 128)
            return Request{text(IpAddress::v6(packet + 24)), packet[7], int(size - 48)};
        return std::nullopt;
    }

    int m_fd;
    bool m_ready = false;
};
