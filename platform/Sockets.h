#pragma once
#include "IpAddress.h"

#include <cstdint>
#include <string>
#include <vector>

// Stand-ins for the sockets library's start-up and blocking calls.
namespace Sockets {

int WSAStartup(uint16_t version); // 0 on success
void WSACleanup();
uint32_t WSAGetLastError(); // same value as IcmpApi::GetLastError()

// inet_addr semantics: short forms such as 127.1 are accepted; text that is not an address, and
// 255.255.255.255 itself, give INADDR_NONE (0xFFFFFFFF). Result in network byte order.
uint32_t inet_addr(const std::string &text);
std::string inet_ntoa(uint32_t addressNetworkOrder);

// Which addresses of a name a lookup wants.
enum class Family { IPv4, IPv6, Either };

struct HostEntry {
    std::string officialName;
    std::vector<IpAddress> addresses; // of the family asked for, each once, in the resolver's order

    // The address the name stands for: its first IPv4 address, else its first IPv6 one; null when
    // it has none.
    IpAddress preferred() const;
};

// Blocking resolution. False when the name cannot be resolved, or has no address of the family;
// the reason (11001 to 11004) is then the last error.
bool gethostbyname(const std::string &name, HostEntry &entry, Family family = Family::IPv4);

// Maps a getaddrinfo result code to the sockets error code.
uint32_t errorOfResolver(int gaiCode);

namespace Testing {
struct Faults {
    bool failStartup = false;
    bool failAsyncStart = false;  // AsyncLookup::start returns 0
    bool failAsyncCancel = false; // AsyncLookup::cancel refuses
    int cleanups = 0;             // counts WSACleanup calls
};
Faults &faults();
} // namespace Testing

} // namespace Sockets
