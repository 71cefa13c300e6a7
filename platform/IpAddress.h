#pragma once
#include <sys/socket.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

struct sockaddr_in6;

// An IPv4 or IPv6 address as the wire carries it, and its one text form: the dotted quad, or the
// shortest IPv6 form (lower case, the longest run of zero groups shortened to ::), so that
// 2001:0DB8:0:0:0:0:0:1 and 2001:db8::1 read and print alike. An IPv6 address may carry the zone
// (interface) a link-local address needs, printed after a '%'.
class IpAddress {
public:
    enum class Family : uint8_t { None, V4, V6 };
    static constexpr size_t V6Size = 16;

    IpAddress() = default;
    static IpAddress v4(uint32_t networkOrder);
    static IpAddress v6(const uint8_t *bytes, uint32_t scopeId = 0);
    // A literal address: a dotted quad of four decimal numbers, or IPv6 text with an optional zone
    // (%eth0 or %2). Nothing else, names and the short IPv4 forms such as 127.1 included.
    static std::optional<IpAddress> parse(const std::string &text);
    // An AF_INET or AF_INET6 socket address; Family::None for any other.
    static IpAddress of(const sockaddr *address);
    // The one written form of an IPv6 address; any other text as it is, IPv4 addresses included,
    // so that a machine is one entry however its address was written.
    static std::string canonicalText(const std::string &text);

    Family family() const { return m_family; }
    bool isV4() const { return m_family == Family::V4; }
    bool isV6() const { return m_family == Family::V6; }
    bool isNull() const { return m_family == Family::None; }
    int addressFamily() const; // AF_INET, AF_INET6 or AF_UNSPEC
    // The IPv4 address in network order; 0 for an address of another family.
    uint32_t v4() const;
    // The address's 4 or 16 bytes, in network order.
    const uint8_t *bytes() const { return m_bytes.data(); }
    size_t size() const;
    uint32_t scopeId() const { return m_scopeId; }
    IpAddress withoutScope() const;

    std::string toString() const;
    // The socket address for sendto and the like, port 0; returns its length, 0 for no address.
    socklen_t toSockaddr(sockaddr_storage &storage) const;
    sockaddr_in6 toSockaddr6() const; // an IPv6 address's

    friend bool operator==(const IpAddress &a, const IpAddress &b)
    {
        return a.m_family == b.m_family && a.m_scopeId == b.m_scopeId && a.m_bytes == b.m_bytes;
    }
    friend bool operator!=(const IpAddress &a, const IpAddress &b) { return !(a == b); }
    // IPv4 before IPv6, then by bytes and zone.
    friend bool operator<(const IpAddress &a, const IpAddress &b)
    {
        if (a.m_family != b.m_family)
            return a.m_family < b.m_family;
        return a.m_bytes != b.m_bytes ? a.m_bytes < b.m_bytes : a.m_scopeId < b.m_scopeId;
    }

private:
    Family m_family = Family::None;
    uint32_t m_scopeId = 0;
    std::array<uint8_t, V6Size> m_bytes{};
};
