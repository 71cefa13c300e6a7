#include "HelperProtocol.h"

#include <netinet/in.h>

#include <algorithm>
#include <cstring>

namespace HelperProtocol {

Address addressOf(const IpAddress &address)
{
    Address record;
    record.family = uint16_t(address.addressFamily());
    record.scopeId = address.scopeId();
    std::copy_n(address.bytes(), address.size(), record.bytes);
    return record;
}

std::optional<IpAddress> ipAddressOf(const Address &address)
{
    const bool unusedClear =
        std::all_of(address.bytes + 4, address.bytes + sizeof address.bytes, [](uint8_t byte) { return byte == 0; });
    if (address.reserved != 0)
        return std::nullopt;
    if (address.family == AF_INET6)
        return IpAddress::v6(address.bytes, address.scopeId);
    if (address.family != AF_INET || address.scopeId != 0 || !unusedClear)
        return std::nullopt;
    uint32_t v4 = 0;
    std::memcpy(&v4, address.bytes, sizeof v4);
    return IpAddress::v4(v4);
}

} // namespace HelperProtocol
