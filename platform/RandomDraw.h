#pragma once
#include <cstdint>

// Numbers that nothing outside tells: the identifiers and first sequence numbers of echo requests,
// which a forger who cannot see our requests would otherwise guess.
namespace RandomDraw {

// From the kernel's random source; throws std::system_error where it has none.
uint16_t uint16();

} // namespace RandomDraw
