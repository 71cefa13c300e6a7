#pragma once
#include <array>
#include <cstdint>
#include <string>

// An Ethernet (EUI-48) address: six bytes, written aa:bb:cc:dd:ee:ff.
class HardwareAddress {
public:
    static constexpr size_t Size = 6;

    HardwareAddress() = default;
    explicit HardwareAddress(const uint8_t *bytes);

    const uint8_t *bytes() const { return m_bytes.data(); }
    // The first three bytes, the block its maker was assigned.
    uint32_t oui() const;
    // Set by whoever gave the address rather than by its maker: a randomised (private) address, a
    // virtual machine's or a container's; its first bytes name no maker.
    bool locallyAdministered() const { return (m_bytes[0] & 0x02) != 0; }
    std::string toString() const;

    friend bool operator==(const HardwareAddress &a, const HardwareAddress &b) { return a.m_bytes == b.m_bytes; }
    friend bool operator!=(const HardwareAddress &a, const HardwareAddress &b) { return !(a == b); }

private:
    std::array<uint8_t, Size> m_bytes{};
};
