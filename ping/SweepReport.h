#pragma once
#include "Sweep.h"

#include <cstdint>
#include <map>
#include <ostream>
#include <string>
#include <vector>

// What a sweep found, as it is written out: text for people, CSV and JSON for programs. The command
// line prints it and the window exports its table through it, so that both write the same files.
struct SweepReport {
    std::vector<Sweep::Answer> answers; // in address order
    std::vector<Sweep::Unsent> unsent;
    uint64_t addresses = 0;
    uint64_t requests = 0;
    uint64_t dropped = 0; // answers the system dropped in the last pass
    // With names, each host that answered carries the name found for it by reverse lookup ("" for
    // none) in every format.
    bool withNames = false;
    std::map<IpAddress, std::string> names;

    static SweepReport of(const Sweep &sweep);

    void writeText(std::ostream &out) const;
    void writeCsv(std::ostream &out) const;
    void writeJson(std::ostream &out) const;

private:
    std::string nameOf(const IpAddress &address) const;
};
