#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// The order in which a sender walks its targets, numbered 0 to count - 1: ascending, or a random
// permutation drawn from a seed that visits each exactly once and never two neighbours one after
// the other, so that no subnet takes a burst. The permutation costs a few bytes whatever the count:
// it walks the cycle x -> g * x mod p, for the least prime p above the count and a generator g of
// its multiplicative group drawn from the seed, leaving out what lies beyond the count; a neighbour
// that would follow its neighbour waits a few steps.
class SweepOrder {
public:
    static SweepOrder ascending(uint64_t count);
    static SweepOrder random(uint64_t count, uint64_t seed);

    // The next number, or false once every one was given.
    bool next(uint64_t &number);
    // From the start again, in the same order.
    void restart();

private:
    // Numbers drawn from the cycle and held back; enough that one is never a neighbour of the last.
    static constexpr size_t Window = 8;

    SweepOrder(uint64_t count, uint64_t prime, uint64_t generator, uint64_t start);
    bool draw(uint64_t &number);
    bool fits(uint64_t number) const;
    bool arrangeTheRest(size_t placed);

    uint64_t m_count;
    uint64_t m_prime = 0; // 0 for ascending
    uint64_t m_generator = 0;
    uint64_t m_start = 0;
    uint64_t m_x = 0;     // the cycle's element, 1 to p - 1
    uint64_t m_drawn = 0; // elements of the cycle taken
    std::vector<uint64_t> m_held;
    bool m_anyGiven = false;
    uint64_t m_last = 0;
};
