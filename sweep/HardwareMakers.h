#pragma once
#include "platform/HardwareAddress.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Who made a network card, from the first three bytes of its address: the assignments the IEEE
// publishes, as Debian's ieee-data installs them (CSV: registry, assignment, organisation, address).
// The list is read at the first question, once; a list that cannot be read names no maker and says
// why, once.
class HardwareMakers {
public:
    static constexpr const char *DefaultFile = "/usr/share/ieee-data/oui.csv";
    // A list larger than this is no assignment list.
    static constexpr long MaxFileBytes = 64L << 20;
    static constexpr const char *LocallyAdministered = "locally administered";

    explicit HardwareMakers(std::string file = DefaultFile);

    // "locally administered" for an address its maker did not set; "" when the list names none or
    // cannot be read.
    std::string makerOf(const HardwareAddress &address);
    // Why the list could not be read, the first time it is asked; "" otherwise.
    std::string takeFailure();

private:
    void load();

    std::string m_file;
    bool m_loaded = false;
    std::vector<std::pair<uint32_t, std::string>> m_makers; // by assignment
    std::string m_failure;
};
