#include "HardwareAddress.h"

#include <cstdio>
#include <cstring>

HardwareAddress::HardwareAddress(const uint8_t *bytes)
{
    std::memcpy(m_bytes.data(), bytes, Size);
}

uint32_t HardwareAddress::oui() const
{
    return uint32_t(m_bytes[0]) << 16 | uint32_t(m_bytes[1]) << 8 | m_bytes[2];
}

std::string HardwareAddress::toString() const
{
    char text[3 * Size];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", m_bytes[0], m_bytes[1], m_bytes[2], m_bytes[3],
                  m_bytes[4], m_bytes[5]);
    return text;
}
