#pragma once
#include "HostPresence.h"
#include "Sweep.h"

#include <cstdint>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

// What a sweep found, as it is written out: text for people, CSV and JSON for programs, JSON lines
// for pipelines (each answer as it is known, the rest at the end), and XML in the form port
// scanners write, so that the tools that read theirs read it. The command line prints it
// and the window exports its table through it, so that both write the same files.
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
    // With presence, every format tells how each host was found, with its hardware address and
    // maker where known; a host found by other means than echo is there too, without a round-trip
    // time.
    bool withPresence = false;
    std::map<IpAddress, HostPresence> presence;
    // For XML: the command that ran, when it started and ended (milliseconds since 1970), the
    // time-out.
    std::string command;
    int64_t startedMs = 0;
    int64_t endedMs = 0;
    int timeoutMs = 0;
    // The signal that stopped the sweep before its end ("SIGINT"), or "".
    std::string stoppedBy;

    static SweepReport of(const Sweep &sweep);
    // The hosts that answered echo.
    std::set<IpAddress> hostsAnswered() const;
    // Those, and the hosts found otherwise.
    std::set<IpAddress> hostsFound() const;
    // One answer as a line of JSON lines.
    static std::string jsonLineOf(const Sweep::Answer &answer);

    void writeText(std::ostream &out) const;
    void writeCsv(std::ostream &out) const;
    void writeJson(std::ostream &out) const;
    void writeXml(std::ostream &out) const;
    // What JSON lines end with once the sweep is over: the name of each host that answered, with
    // names, and a line of the counts.
    void writeJsonLinesEnd(std::ostream &out) const;

private:
    // One host of the report: its echo answer, how it was found, or both.
    struct Row {
        IpAddress address;
        const Sweep::Answer *answer;
        const HostPresence *presence;
        bool up() const;
    };

    // In address order: the answers, and with presence the hosts found by other means.
    std::vector<Row> rows() const;
    static std::string presenceText(const HostPresence *found);
    std::string presentJson(const Row &row, const std::string &name) const;
    std::string nameOf(const IpAddress &address) const;
    std::string shownName(const IpAddress &address) const;
};
