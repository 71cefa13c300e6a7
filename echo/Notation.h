#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// How whole numbers and IPv4 addresses are written and read, the same in the windows, the command
// line and the sweep.
namespace Notation {

// A whole decimal number of the int range: an optional sign and digits, with nothing before or
// after them. None for any other text (UTF-8, so that a digit of another script is no digit).
std::optional<int> wholeNumber(std::string_view text);

// The general error report's text for a field that holds no whole number.
std::string notWholeNumber(std::string_view text);

// An address in host byte order, written from its numbers.
std::string dotted(uint32_t address);

// Four runs of decimal digits joined by dots, first octet first and as typed (010 stays 010);
// none for any other text.
std::optional<std::array<std::string, 4>> dottedFields(std::string_view text);

// A strict dotted address in host byte order: four numbers up to 255 without leading zeros, which
// some readers take for octal. None for any other text.
std::optional<uint32_t> parseDotted(std::string_view text);

} // namespace Notation
