#include "IpAddress.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr size_t V4Size = 4;

// A zone is an interface's name or its index.
std::optional<uint32_t> zoneOf(const std::string &text)
{
    if (text.empty())
        return std::nullopt;
    if (std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        if (text.size() > 10)
            return std::nullopt;
        const unsigned long index = std::stoul(text);
        return index <= UINT32_MAX ? std::optional<uint32_t>(uint32_t(index)) : std::nullopt;
    }
    const unsigned index = if_nametoindex(text.c_str());
    return index != 0 ? std::optional<uint32_t>(index) : std::nullopt;
}

std::string zoneText(uint32_t scopeId)
{
    char name[IF_NAMESIZE] = {};
    return if_indextoname(scopeId, name) ? std::string(name) : std::to_string(scopeId);
}

} // namespace

IpAddress IpAddress::v4(uint32_t networkOrder)
{
    IpAddress address;
    address.m_family = Family::V4;
    std::memcpy(address.m_bytes.data(), &networkOrder, V4Size);
    return address;
}

IpAddress IpAddress::v6(const uint8_t *bytes, uint32_t scopeId)
{
    IpAddress address;
    address.m_family = Family::V6;
    address.m_scopeId = scopeId;
    std::memcpy(address.m_bytes.data(), bytes, V6Size);
    return address;
}

std::optional<IpAddress> IpAddress::parse(const std::string &text)
{
    in_addr v4Address{};
    if (inet_pton(AF_INET, text.c_str(), &v4Address) == 1)
        return v4(v4Address.s_addr);
    const size_t percent = text.find('%');
    in6_addr v6Address{};
    if (inet_pton(AF_INET6, text.substr(0, percent).c_str(), &v6Address) != 1)
        return std::nullopt;
    uint32_t scopeId = 0;
    if (percent != std::string::npos) {
        const std::optional<uint32_t> zone = zoneOf(text.substr(percent + 1));
        if (!zone)
            return std::nullopt;
        scopeId = *zone;
    }
    return v6(v6Address.s6_addr, scopeId);
}

IpAddress IpAddress::of(const sockaddr *address)
{
    if (address && address->sa_family == AF_INET)
        return v4(reinterpret_cast<const sockaddr_in *>(address)->sin_addr.s_addr);
    if (address && address->sa_family == AF_INET6) {
        const auto *in6 = reinterpret_cast<const sockaddr_in6 *>(address);
        return v6(in6->sin6_addr.s6_addr, in6->sin6_scope_id);
    }
    return {};
}

std::string IpAddress::canonicalText(const std::string &text)
{
    if (text.find(':') == std::string::npos)
        return text;
    const std::optional<IpAddress> address = parse(text);
    return address && address->isV6() ? address->toString() : text;
}

int IpAddress::addressFamily() const
{
    switch (m_family) {
    case Family::V4: return AF_INET;
    case Family::V6: return AF_INET6;
    default: return AF_UNSPEC;
    }
}

uint32_t IpAddress::v4() const
{
    uint32_t address = 0;
    if (isV4())
        std::memcpy(&address, m_bytes.data(), V4Size);
    return address;
}

size_t IpAddress::size() const
{
    switch (m_family) {
    case Family::V4: return V4Size;
    case Family::V6: return V6Size;
    default: return 0;
    }
}

IpAddress IpAddress::withoutScope() const
{
    IpAddress address = *this;
    address.m_scopeId = 0;
    return address;
}

std::string IpAddress::toString() const
{
    char text[INET6_ADDRSTRLEN] = {};
    if (isNull() || !inet_ntop(addressFamily(), m_bytes.data(), text, sizeof text))
        return {};
    return m_scopeId != 0 ? text + ("%" + zoneText(m_scopeId)) : text;
}

socklen_t IpAddress::toSockaddr(sockaddr_storage &storage) const
{
    storage = sockaddr_storage();
    if (isV4()) {
        auto *in = reinterpret_cast<sockaddr_in *>(&storage);
        in->sin_family = AF_INET;
        in->sin_addr.s_addr = v4();
        return sizeof(sockaddr_in);
    }
    if (isV6()) {
        *reinterpret_cast<sockaddr_in6 *>(&storage) = toSockaddr6();
        return sizeof(sockaddr_in6);
    }
    return 0;
}

sockaddr_in6 IpAddress::toSockaddr6() const
{
    sockaddr_in6 in6{};
    in6.sin6_family = AF_INET6;
    std::memcpy(in6.sin6_addr.s6_addr, m_bytes.data(), V6Size);
    in6.sin6_scope_id = m_scopeId;
    return in6;
}
