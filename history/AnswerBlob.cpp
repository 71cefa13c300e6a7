#include "AnswerBlob.h"

namespace {
constexpr int MaxVarintBytes = 5; // 33 bits: a 32-bit value and its flag

bool readVarint(const uint8_t *&at, const uint8_t *end, uint64_t &value)
{
    value = 0;
    for (int shift = 0; at < end && shift < 7 * MaxVarintBytes; shift += 7) {
        const uint8_t byte = *at++;
        value |= static_cast<uint64_t>(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            return true;
    }
    return false;
}
} // namespace

void AnswerBlob::append(std::vector<uint8_t> &blob, const Entry &entry)
{
    blob.push_back(static_cast<uint8_t>(entry.offsetMs & 0xff));
    blob.push_back(static_cast<uint8_t>(entry.offsetMs >> 8));
    uint64_t number = static_cast<uint64_t>(entry.value) * 2 + (entry.answered ? 0 : 1);
    do {
        const uint8_t low = number & 0x7f;
        number >>= 7;
        blob.push_back(number ? low | 0x80 : low);
    } while (number);
}

std::vector<AnswerBlob::Entry> AnswerBlob::read(const uint8_t *bytes, size_t size)
{
    std::vector<Entry> entries;
    const uint8_t *at = bytes;
    const uint8_t *end = bytes + size;
    while (end - at >= 3) {
        Entry entry;
        entry.offsetMs = static_cast<uint16_t>(at[0] | at[1] << 8);
        at += 2;
        uint64_t number = 0;
        if (entry.offsetMs >= MinuteMs || !readVarint(at, end, number) || number >> 33)
            break;
        entry.answered = (number & 1) == 0;
        entry.value = static_cast<uint32_t>(number >> 1);
        entries.push_back(entry);
    }
    return entries;
}
