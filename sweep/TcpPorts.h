#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The ports a TCP probe tries, in the order given: "80,443", ranges "8000-8010", or both mixed. A port
// given twice is tried once, where it first came.
class TcpPorts {
public:
    // Every port is a connection attempt to each silent host: a long list is a mistake.
    static constexpr size_t MaxPorts = 64;

    // The ports of the option given without a value.
    static std::vector<uint16_t> defaults() { return {80, 443}; }

    // std::invalid_argument naming the item that is no port (0, past 65535, not a number, empty, a
    // range running backwards) or that makes the list longer than MaxPorts.
    static std::vector<uint16_t> parse(const std::string &text);

private:
    static void addItem(const std::string &item, std::vector<uint16_t> &ports);
    static uint16_t portOf(const std::string &text, const std::string &item);
};
