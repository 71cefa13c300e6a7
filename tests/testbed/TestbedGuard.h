#pragma once
#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <cstdlib>
#include <string>

// Echo requests beyond loopback may go only to the hosts of the testbed (testbed.sh). Whatever sends
// them first makes sure that it runs in the testbed's client namespace, where every address outside
// loopback is one of the testbed's own (or an IPv6 link's own link-local one), so that no packet can
// find a way out.
class TestbedGuard {
public:
    // Empty inside the testbed; otherwise why this is not the testbed.
    static std::string whyOutside()
    {
        const char *name = std::getenv("TOZELO_TESTBED");
        if (!name || !*name)
            return "not started by tests/testbed/testbed.sh run";
        ifaddrs *list = nullptr;
        if (getifaddrs(&list) != 0)
            return "cannot list the network interfaces";
        std::string reason = "no interface has the testbed client's address 198.18.1.1";
        // 198.18.0.0/15, the testbed's own addresses.
        constexpr uint32_t Testbed = 0xC6120000;
        constexpr uint32_t TestbedMask = 0xFFFE0000;
        for (const ifaddrs *entry = list; entry; entry = entry->ifa_next) {
            if (entry->ifa_addr && entry->ifa_addr->sa_family == AF_INET6 && !inTestbed6(entry->ifa_addr)) {
                reason = std::string("interface ") + entry->ifa_name + " reaches beyond the testbed";
                break;
            }
            if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET)
                continue;
            const uint32_t address = ntohl(reinterpret_cast<const sockaddr_in *>(entry->ifa_addr)->sin_addr.s_addr);
            if ((address >> 24) != 127 && (address & TestbedMask) != Testbed) {
                reason = std::string("interface ") + entry->ifa_name + " reaches beyond the testbed";
                break;
            }
            if (address == 0xC6120101)
                reason.clear();
        }
        freeifaddrs(list);
        return reason;
    }

private:
    // ::1, a link-local address, or the testbed's fd00::/8.
    static bool inTestbed6(const sockaddr *address)
    {
        const in6_addr &bytes = reinterpret_cast<const sockaddr_in6 *>(address)->sin6_addr;
        return IN6_IS_ADDR_LOOPBACK(&bytes) || IN6_IS_ADDR_LINKLOCAL(&bytes) || bytes.s6_addr[0] == 0xfd;
    }
};
