#pragma once
#include <cstdint>

// The 32-bit layouts of the echo records. The "pointer" fields are 32-bit offsets from the start of
// the reply buffer, so the records keep their published sizes on a 64-bit machine.

struct IP_OPTION_INFORMATION {
    uint8_t Ttl = 0;
    uint8_t Tos = 0;
    uint8_t Flags = 0;
    uint8_t OptionsSize = 0;
    uint32_t OptionsData = 0;
};
static_assert(sizeof(IP_OPTION_INFORMATION) == 8, "option record is 8 bytes");

struct ICMP_ECHO_REPLY {
    uint32_t Address = 0;       // network byte order
    uint32_t Status = 0;        // IP_STATUS code
    uint32_t RoundTripTime = 0; // milliseconds
    uint16_t DataSize = 0;
    uint16_t Reserved = 0;
    uint32_t Data = 0; // offset of the echoed data in the reply buffer
    IP_OPTION_INFORMATION Options;
};
static_assert(sizeof(ICMP_ECHO_REPLY) == 28, "reply record is 28 bytes");

// The reply record of an IPv6 request: as ICMP_ECHO_REPLY, with the replying host's 16 bytes and
// zone in place of the IPv4 address, and the reply's hop limit as Options.Ttl.
struct ICMPV6_ECHO_REPLY {
    uint8_t Address[16] = {}; // network byte order
    uint32_t ScopeId = 0;     // the zone of a link-local address, else 0
    uint32_t Status = 0;
    uint32_t RoundTripTime = 0;
    uint16_t DataSize = 0;
    uint16_t Reserved = 0;
    uint32_t Data = 0;
    IP_OPTION_INFORMATION Options;
};
static_assert(sizeof(ICMPV6_ECHO_REPLY) == 44, "IPv6 reply record is 44 bytes");

// IP_STATUS codes
enum : uint32_t {
    IP_SUCCESS = 0,
    IP_BUF_TOO_SMALL = 11001,
    IP_DEST_NET_UNREACHABLE = 11002,
    IP_DEST_HOST_UNREACHABLE = 11003,
    IP_DEST_PROT_UNREACHABLE = 11004,
    IP_DEST_PORT_UNREACHABLE = 11005,
    IP_NO_RESOURCES = 11006,
    IP_BAD_OPTION = 11007,
    IP_HW_ERROR = 11008,
    IP_PACKET_TOO_BIG = 11009,
    IP_REQ_TIMED_OUT = 11010,
    IP_BAD_REQ = 11011,
    IP_BAD_ROUTE = 11012,
    IP_TTL_EXPIRED_TRANSIT = 11013,
    IP_TTL_EXPIRED_REASSEM = 11014,
    IP_PARAM_PROBLEM = 11015,
    IP_SOURCE_QUENCH = 11016,
    IP_OPTION_TOO_BIG = 11017,
    IP_BAD_DESTINATION = 11018,
    IP_ADDR_DELETED = 11019,
    IP_SPEC_MTU_CHANGE = 11020,
    IP_MTU_CHANGE = 11021,
    IP_GENERAL_FAILURE = 11050,
    IP_PENDING = 11255,
};

// Sockets error codes that the resolver reports
enum : uint32_t {
    WSAEINTR = 10004,
    WSAHOST_NOT_FOUND = 11001,
    WSATRY_AGAIN = 11002,
    WSANO_RECOVERY = 11003,
    WSANO_DATA = 11004,
};

// Sockets error codes of the start-up and of starting or cancelling an asynchronous lookup
enum : uint32_t {
    WSAEINVAL = 10022,   // no such pending lookup
    WSAEALREADY = 10037, // the lookup can no longer be cancelled
    WSAENOBUFS = 10055,  // no resources to start a lookup
    WSASYSNOTREADY = 10091,
};

constexpr uint32_t INADDR_NONE_VALUE = 0xFFFFFFFFu;
