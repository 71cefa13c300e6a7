#pragma once
#include <cstddef>
#include <cstdint>

// The keyed check that each request of a sweep carries at the head of its payload: SipHash-2-4 of
// the target (its number in the sweep, which stands for its address of either family), identifier,
// sequence number and pass under a key drawn for the sweep. A reply that
// does not echo the check of the request it claims to answer was not made from that request,
// whoever sent it; a forger who cannot see our requests cannot compute it.
class SweepSignature {
public:
    // Payloads shorter than this carry as much of the check as fits (none for an empty one).
    static constexpr size_t Size = 8;

    static constexpr size_t KeySize = 16;

    // A key of 16 random bytes.
    SweepSignature();
    // The same key as another's, where it signs the requests of the same sweep.
    explicit SweepSignature(const uint8_t (&key)[KeySize]);

    const uint8_t (&key() const)[KeySize] { return m_key; }

    // Over the first min(Size, payloadSize) bytes of payload.
    void sign(uint8_t *payload, size_t payloadSize, uint32_t target, uint16_t identifier, uint16_t sequence,
              uint32_t pass) const;
    // Whether the head of what came back (available bytes) holds the check of that request, whose
    // payload was payloadSize bytes; true when nothing of the check came back, as in an error that
    // quotes only the request's header.
    bool verify(const uint8_t *echoed, size_t available, size_t payloadSize, uint32_t target, uint16_t identifier,
                uint16_t sequence, uint32_t pass) const;

    static uint64_t sipHash24(const uint8_t key[16], const uint8_t *data, size_t len);

private:
    uint64_t checkOf(uint32_t target, uint16_t identifier, uint16_t sequence, uint32_t pass) const;

    uint8_t m_key[KeySize] = {};
};
