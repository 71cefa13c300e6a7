#include "TcpPorts.h"

#include <algorithm>
#include <stdexcept>

namespace {

constexpr unsigned MaxPort = 65535;

std::invalid_argument badItem(const std::string &item, const std::string &why)
{
    return std::invalid_argument("bad port '" + item + "': " + why);
}

} // namespace

std::vector<uint16_t> TcpPorts::parse(const std::string &text)
{
    std::vector<uint16_t> ports;
    size_t start = 0;
    while (true) {
        const size_t comma = text.find(',', start);
        const std::string item = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (item.empty())
            throw std::invalid_argument("bad port list '" + text + "': an empty item");
        addItem(item, ports);
        if (comma == std::string::npos)
            return ports;
        start = comma + 1;
    }
}

void TcpPorts::addItem(const std::string &item, std::vector<uint16_t> &ports)
{
    const size_t dash = item.find('-');
    const uint16_t first = portOf(item.substr(0, dash), item);
    const uint16_t last = dash == std::string::npos ? first : portOf(item.substr(dash + 1), item);
    if (last < first)
        throw badItem(item, "the range ends before it starts");
    for (unsigned port = first; port <= last; ++port) {
        if (std::find(ports.begin(), ports.end(), port) != ports.end())
            continue;
        if (ports.size() == MaxPorts)
            throw badItem(item, "more than " + std::to_string(MaxPorts) + " ports");
        ports.push_back(uint16_t(port));
    }
}

// Decimal digits alone: no sign, no blank, no hexadecimal.
uint16_t TcpPorts::portOf(const std::string &text, const std::string &item)
{
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        throw badItem(item, "ports are numbers from 1 to 65535");
    const unsigned long port = std::stoul(text);
    if (port == 0 || port > MaxPort)
        throw badItem(item, "ports are numbers from 1 to 65535");
    return uint16_t(port);
}
