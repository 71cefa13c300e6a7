#include "Sockets.h"

#include "IcmpApi.h"
#include "IcmpTypes.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>

namespace Sockets {

int WSAStartup(uint16_t)
{
    return Testing::faults().failStartup ? int(WSASYSNOTREADY) : 0;
}

void WSACleanup()
{
    ++Testing::faults().cleanups;
}

uint32_t WSAGetLastError()
{
    return IcmpApi::GetLastError();
}

uint32_t inet_addr(const std::string &text)
{
    return ::inet_addr(text.c_str());
}

std::string inet_ntoa(uint32_t addressNetworkOrder)
{
    in_addr address{};
    address.s_addr = addressNetworkOrder;
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &address, text, sizeof text);
    return text;
}

namespace {

void collectAddresses(const std::string &name, const addrinfo *list, HostEntry &entry)
{
    entry.officialName = list->ai_canonname ? list->ai_canonname : name;
    entry.addresses.clear();
    for (const addrinfo *item = list; item; item = item->ai_next) {
        const IpAddress address = IpAddress::of(item->ai_addr);
        if (!address.isNull() &&
            std::find(entry.addresses.begin(), entry.addresses.end(), address) == entry.addresses.end())
            entry.addresses.push_back(address);
    }
}

int familyOf(Family family)
{
    switch (family) {
    case Family::IPv4: return AF_INET;
    case Family::IPv6: return AF_INET6;
    default: return AF_UNSPEC;
    }
}

} // namespace

IpAddress HostEntry::preferred() const
{
    const auto v4 = std::find_if(addresses.begin(), addresses.end(), [](const IpAddress &a) { return a.isV4(); });
    if (v4 != addresses.end())
        return *v4;
    return addresses.empty() ? IpAddress() : addresses.front();
}

bool gethostbyname(const std::string &name, HostEntry &entry, Family family)
{
    // An empty name would go out to the name servers as a query for the root.
    if (name.empty()) {
        IcmpApi::SetLastError(WSAHOST_NOT_FOUND);
        return false;
    }
    addrinfo hints{};
    hints.ai_family = familyOf(family);
    hints.ai_socktype = SOCK_DGRAM; // one entry per address, not one per socket type
    hints.ai_flags = AI_CANONNAME;
    addrinfo *list = nullptr;
    const int code = getaddrinfo(name.c_str(), nullptr, &hints, &list);
    if (code != 0) {
        IcmpApi::SetLastError(errorOfResolver(code));
        return false;
    }
    collectAddresses(name, list, entry);
    freeaddrinfo(list);
    if (entry.addresses.empty()) {
        IcmpApi::SetLastError(WSANO_DATA);
        return false;
    }
    IcmpApi::SetLastError(0);
    return true;
}

uint32_t errorOfResolver(int gaiCode)
{
    switch (gaiCode) {
    case 0: return 0;
    case EAI_NONAME: return WSAHOST_NOT_FOUND;
    case EAI_AGAIN: return WSATRY_AGAIN;
    case EAI_NODATA:
    case EAI_ADDRFAMILY: return WSANO_DATA;
    default: return WSANO_RECOVERY;
    }
}

namespace Testing {
Faults &faults()
{
    static Faults instance;
    return instance;
}
} // namespace Testing

} // namespace Sockets
