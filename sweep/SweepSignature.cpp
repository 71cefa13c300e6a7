#include "SweepSignature.h"

#include <sys/random.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace {

uint64_t rotate(uint64_t value, int bits)
{
    return value << bits | value >> (64 - bits);
}

uint64_t readLittleEndian64(const uint8_t *bytes)
{
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = value << 8 | bytes[i];
    return value;
}

struct SipState {
    uint64_t v0, v1, v2, v3;

    void round()
    {
        v0 += v1;
        v1 = rotate(v1, 13) ^ v0;
        v0 = rotate(v0, 32);
        v2 += v3;
        v3 = rotate(v3, 16) ^ v2;
        v0 += v3;
        v3 = rotate(v3, 21) ^ v0;
        v2 += v1;
        v1 = rotate(v1, 17) ^ v2;
        v2 = rotate(v2, 32);
    }

    void absorb(uint64_t word)
    {
        v3 ^= word;
        round();
        round();
        v0 ^= word;
    }
};

} // namespace

SweepSignature::SweepSignature()
{
    if (getrandom(m_key, sizeof m_key, 0) != ssize_t(sizeof m_key))
        throw std::runtime_error("cannot draw the sweep's key: no random numbers");
}

SweepSignature::SweepSignature(const uint8_t (&key)[KeySize])
{
    std::memcpy(m_key, key, KeySize);
}

uint64_t SweepSignature::sipHash24(const uint8_t key[16], const uint8_t *data, size_t len)
{
    const uint64_t k0 = readLittleEndian64(key);
    const uint64_t k1 = readLittleEndian64(key + 8);
    SipState state{k0 ^ 0x736f6d6570736575ull, k1 ^ 0x646f72616e646f6dull, k0 ^ 0x6c7967656e657261ull,
                   k1 ^ 0x7465646279746573ull};
    size_t at = 0;
    for (; at + 8 <= len; at += 8)
        state.absorb(readLittleEndian64(data + at));
    uint8_t last[8] = {};
    std::memcpy(last, data + at, len - at);
    last[7] = uint8_t(len);
    state.absorb(readLittleEndian64(last));
    state.v2 ^= 0xFF;
    for (int i = 0; i < 4; ++i)
        state.round();
    return state.v0 ^ state.v1 ^ state.v2 ^ state.v3;
}

uint64_t SweepSignature::checkOf(uint32_t target, uint16_t identifier, uint16_t sequence, uint32_t pass) const
{
    uint8_t message[12];
    std::memcpy(message, &target, 4);
    std::memcpy(message + 4, &identifier, 2);
    std::memcpy(message + 6, &sequence, 2);
    std::memcpy(message + 8, &pass, 4);
    return sipHash24(m_key, message, sizeof message);
}

void SweepSignature::sign(uint8_t *payload, size_t payloadSize, uint32_t target, uint16_t identifier, uint16_t sequence,
                          uint32_t pass) const
{
    // An empty payload may have no buffer at all, and a copy to none is undefined even of nothing.
    if (payloadSize == 0)
        return;
    const uint64_t check = checkOf(target, identifier, sequence, pass);
    std::memcpy(payload, &check, std::min(Size, payloadSize));
}

bool SweepSignature::verify(const uint8_t *echoed, size_t available, size_t payloadSize, uint32_t target,
                            uint16_t identifier, uint16_t sequence, uint32_t pass) const
{
    const size_t length = std::min({Size, payloadSize, available});
    if (length == 0)
        return true;
    const uint64_t check = checkOf(target, identifier, sequence, pass);
    return std::memcmp(echoed, &check, length) == 0;
}
