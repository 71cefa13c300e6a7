#include "SweepOrder.h"

#include <algorithm>

namespace {

bool isPrime(uint64_t n)
{
    if (n < 2)
        return false;
    for (uint64_t d = 2; d * d <= n; ++d)
        if (n % d == 0)
            return false;
    return true;
}

std::vector<uint64_t> primeFactorsOf(uint64_t n)
{
    std::vector<uint64_t> factors;
    for (uint64_t d = 2; d * d <= n; ++d) {
        if (n % d != 0)
            continue;
        factors.push_back(d);
        while (n % d == 0)
            n /= d;
    }
    if (n > 1)
        factors.push_back(n);
    return factors;
}

uint64_t power(uint64_t base, uint64_t exponent, uint64_t modulus)
{
    uint64_t result = 1;
    base %= modulus;
    for (; exponent != 0; exponent >>= 1) {
        if ((exponent & 1) != 0)
            result = result * base % modulus;
        base = base * base % modulus;
    }
    return result;
}

// SplitMix64: every seed, 0 included, gives a well-mixed stream.
uint64_t mixed(uint64_t &state)
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// g generates the group when no g^((p - 1) / q), q a prime factor of p - 1, is 1.
uint64_t generatorOf(uint64_t prime, uint64_t &state)
{
    if (prime == 2)
        return 1;
    const std::vector<uint64_t> factors = primeFactorsOf(prime - 1);
    for (;;) {
        const uint64_t candidate = 2 + mixed(state) % (prime - 2);
        if (std::all_of(factors.begin(), factors.end(),
                        [&](uint64_t q) { return power(candidate, (prime - 1) / q, prime) != 1; }))
            return candidate;
    }
}

bool neighbours(uint64_t a, uint64_t b)
{
    return a + 1 == b || b + 1 == a;
}

} // namespace

SweepOrder::SweepOrder(uint64_t count, uint64_t prime, uint64_t generator, uint64_t start)
    : m_count(count), m_prime(prime), m_generator(generator), m_start(start)
{
    restart();
}

SweepOrder SweepOrder::ascending(uint64_t count)
{
    return SweepOrder(count, 0, 0, 0);
}

SweepOrder SweepOrder::random(uint64_t count, uint64_t seed)
{
    uint64_t prime = count + 1;
    while (!isPrime(prime))
        ++prime;
    uint64_t state = seed;
    const uint64_t generator = generatorOf(prime, state);
    return SweepOrder(count, prime, generator, 1 + mixed(state) % (prime - 1));
}

void SweepOrder::restart()
{
    m_x = m_start;
    m_drawn = 0;
    m_held.clear();
    m_anyGiven = false;
}

// The cycle's next element that stands for a number.
bool SweepOrder::draw(uint64_t &number)
{
    while (m_drawn < m_prime - 1) {
        const uint64_t x = m_x;
        m_x = m_x * m_generator % m_prime;
        ++m_drawn;
        if (x <= m_count) {
            number = x - 1;
            return true;
        }
    }
    return false;
}

bool SweepOrder::fits(uint64_t number) const
{
    return !m_anyGiven || !neighbours(m_last, number);
}

bool SweepOrder::next(uint64_t &number)
{
    if (m_prime == 0) {
        if (m_drawn >= m_count)
            return false;
        number = m_drawn++;
        return true;
    }
    for (uint64_t drawn; m_held.size() < Window && draw(drawn);)
        m_held.push_back(drawn);
    if (m_held.empty())
        return false;
    // While the cycle goes on, one of the window is always apart from the last (it has two
    // neighbours); at its end, the few left are put in an order that keeps them apart, if any does.
    if (m_held.size() < Window)
        arrangeTheRest(0);
    auto chosen = std::find_if(m_held.begin(), m_held.end(), [this](uint64_t each) { return fits(each); });
    if (chosen == m_held.end())
        chosen = m_held.begin();
    number = *chosen;
    m_held.erase(chosen);
    m_anyGiven = true;
    m_last = number;
    return true;
}

// Orders m_held from placed on so that no two neighbours follow each other, the last given first;
// false, and the order unspecified, when none does.
bool SweepOrder::arrangeTheRest(size_t placed)
{
    if (placed == m_held.size())
        return true;
    for (size_t i = placed; i < m_held.size(); ++i) {
        const bool apart = placed == 0 ? fits(m_held[i]) : !neighbours(m_held[placed - 1], m_held[i]);
        if (!apart)
            continue;
        std::swap(m_held[placed], m_held[i]);
        if (arrangeTheRest(placed + 1))
            return true;
        std::swap(m_held[placed], m_held[i]);
    }
    return false;
}
