#include "Notation.h"

#include <algorithm>
#include <climits>

namespace Notation {

namespace {

int digitOf(char c)
{
    return c >= '0' && c <= '9' ? c - '0' : -1;
}

std::optional<int> readWholeNumber(const char *first, const char *last)
{
    const bool negative = first != last && *first == '-';
    if (first != last && (*first == '-' || *first == '+'))
        ++first;
    if (first == last)
        return std::nullopt;
    // INT_MIN's magnitude is one more than INT_MAX.
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long value = 0;
    for (; first != last; ++first) {
        const int digit = digitOf(*first);
        if (digit < 0)
            return std::nullopt;
        value = value * 10 + digit;
        if (value > limit)
            return std::nullopt;
    }
    return static_cast<int>(negative ? -value : value);
}

bool allDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return digitOf(c) >= 0; });
}

} // namespace

std::optional<int> wholeNumber(std::string_view text)
{
    return readWholeNumber(text.data(), text.data() + text.size());
}

std::string notWholeNumber(std::string_view text)
{
    return "'" + std::string(text) + "' is not a valid integer value";
}

std::string dotted(uint32_t address)
{
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
           std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

std::optional<std::array<std::string, 4>> dottedFields(std::string_view text)
{
    std::array<std::string, 4> fields;
    for (size_t i = 0; i < fields.size(); ++i) {
        const size_t dot = i + 1 < fields.size() ? text.find('.') : text.size();
        if (dot == std::string_view::npos || !allDigits(text.substr(0, dot)))
            return std::nullopt;
        fields[i] = text.substr(0, dot);
        text.remove_prefix(std::min(dot + 1, text.size()));
    }
    if (!text.empty())
        return std::nullopt;
    return fields;
}

std::optional<uint32_t> parseDotted(std::string_view text)
{
    const std::optional<std::array<std::string, 4>> fields = dottedFields(text);
    if (!fields)
        return std::nullopt;
    uint32_t address = 0;
    for (const std::string &field : *fields) {
        if (field.size() > 3 || (field.size() > 1 && field.front() == '0'))
            return std::nullopt;
        const int octet = std::stoi(field);
        if (octet > 255)
            return std::nullopt;
        address = address << 8 | static_cast<uint32_t>(octet);
    }
    return address;
}

} // namespace Notation
