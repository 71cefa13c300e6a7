#include "HardwareMakers.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <optional>
#include <utility>

namespace {

// The fields of one CSV line, quotes and doubled quotes as CSV writes them, as many as wanted.
std::vector<std::string> fieldsOf(const std::string &line, size_t wanted)
{
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < line.size() && fields.size() <= wanted; ++i) {
        const char c = line[i];
        if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"')
            fields.back() += line[++i];
        else if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            fields.emplace_back();
        else
            fields.back() += c;
    }
    fields.resize(wanted);
    return fields;
}

std::optional<uint32_t> assignmentOf(const std::string &text)
{
    if (text.size() != 6 || !std::all_of(text.begin(), text.end(), [](char c) { return std::isxdigit(uint8_t(c)); }))
        return std::nullopt;
    return uint32_t(std::stoul(text, nullptr, 16));
}

// A name as it reaches a terminal or a file: no control characters, no spaces around it.
std::string cleaned(std::string name)
{
    std::replace_if(
        name.begin(), name.end(), [](char c) { return uint8_t(c) < 0x20 || c == 0x7F; }, ' ');
    const size_t first = name.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : name.substr(first, name.find_last_not_of(' ') - first + 1);
}

} // namespace

HardwareMakers::HardwareMakers(std::string file) : m_file(std::move(file)) {}

std::string HardwareMakers::makerOf(const HardwareAddress &address)
{
    if (address.locallyAdministered())
        return LocallyAdministered;
    load();
    const auto found = std::lower_bound(m_makers.begin(), m_makers.end(), address.oui(),
                                        [](const auto &maker, uint32_t oui) { return maker.first < oui; });
    return found != m_makers.end() && found->first == address.oui() ? found->second : std::string();
}

std::string HardwareMakers::takeFailure()
{
    return std::exchange(m_failure, std::string());
}

void HardwareMakers::load()
{
    if (std::exchange(m_loaded, true))
        return;
    std::ifstream in(m_file, std::ios::binary | std::ios::ate);
    if (!in || in.tellg() > MaxFileBytes) {
        m_failure = "cannot read the makers of hardware addresses from " + m_file + ": " +
                    (in ? std::string("larger than a list of them") : std::strerror(errno));
        return;
    }
    in.seekg(0);
    std::string line;
    while (std::getline(in, line)) {
        const std::vector<std::string> fields = fieldsOf(line, 3);
        const std::optional<uint32_t> assignment = assignmentOf(fields[1]);
        if (fields[0] == "MA-L" && assignment)
            m_makers.emplace_back(*assignment, cleaned(fields[2]));
    }
    // The first of an assignment listed twice stands.
    std::stable_sort(m_makers.begin(), m_makers.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    m_makers.erase(
        std::unique(m_makers.begin(), m_makers.end(), [](const auto &a, const auto &b) { return a.first == b.first; }),
        m_makers.end());
}
