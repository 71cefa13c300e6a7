#pragma once
#include <cstdint>

// A token bucket: rate tokens a second, at most a hundredth of a second's saved up while nothing could
// be sent, spent a batch at a time.
class SweepThrottle {
public:
    // A pass starts with one token, at its own rate.
    void restart(int64_t nowNs, double rate);
    // The tokens there are by nowNs.
    double tokensAt(int64_t nowNs);
    void spend(uint64_t count) { m_tokens -= double(count); }
    // When enough tokens for a batch are there: sends go out a millisecond's worth at a time, so that a
    // fast rate costs no wake-up per request.
    int64_t nextBatchNs(int64_t nowNs) const;

private:
    double m_rate = 1;
    double m_tokens = 1;
    int64_t m_refilledNs = 0;
};
