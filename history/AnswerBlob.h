#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// The answers of one machine in one minute, packed as they are kept: each an offset into the minute
// (two bytes, little-endian, under 60,000 ms) and a variable-length number (seven bits a byte, low
// first): the round-trip time times two when answered, else the status's number times two plus one.
// Two to four bytes an answer, so that a day of every answer fits beside a year of figures.
class AnswerBlob {
public:
    static constexpr int MinuteMs = 60000;

    struct Entry {
        uint16_t offsetMs = 0;
        bool answered = false;
        uint32_t value = 0; // the round-trip time, or the status's number
    };

    static void append(std::vector<uint8_t> &blob, const Entry &entry);
    // As many entries as the bytes hold whole; a damaged tail is left out, never read past.
    static std::vector<Entry> read(const uint8_t *bytes, size_t size);
};
