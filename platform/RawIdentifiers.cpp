#include "RawIdentifiers.h"

#include <sys/random.h>

RawIdentifiers &RawIdentifiers::forIcmp()
{
    static RawIdentifiers identifiers;
    return identifiers;
}

RawIdentifiers &RawIdentifiers::forIcmp6()
{
    static RawIdentifiers identifiers;
    return identifiers;
}

uint16_t RawIdentifiers::acquire(unsigned count)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    uint16_t random = 0;
    for (int draw = 0; draw < 64; ++draw) {
        if (getrandom(&random, sizeof random, 0) == sizeof random && take(uint16_t(random & ~(count - 1)), count))
            return uint16_t(random & ~(count - 1));
    }
    // Only a process holding nearly every identifier gets here.
    for (uint32_t first = 0; first < 0x10000; first += count)
        if (take(uint16_t(first), count))
            return uint16_t(first);
    return uint16_t(random & ~(count - 1));
}

void RawIdentifiers::release(uint16_t first)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_inUse.erase(first);
}

bool RawIdentifiers::take(uint16_t first, unsigned count)
{
    for (const auto &[start, size] : m_inUse)
        if (start < first + count && first < start + size)
            return false;
    m_inUse[first] = count;
    return true;
}
