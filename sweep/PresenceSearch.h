#pragma once
#include "Sweep.h"
#include "SweepReport.h"

#include <string>
#include <vector>

// A way of finding the hosts of a sweep's targets that echo does not tell of, run once the sweep is
// over, so that none of its traffic mixes with the sweep's.
class PresenceSearch {
public:
    virtual ~PresenceSearch() = default;

    // Readies what it needs of the sweep's targets before the program gives up its capabilities (a
    // helper of root's is started then); run() does it otherwise.
    virtual void prepare(const Sweep &) {}

    // Adds to the report's presence what it finds among the sweep's targets; returns once done, or
    // soon after stop().
    virtual void run(const Sweep &sweep, SweepReport &report) = 0;
    // From any thread.
    virtual void stop() = 0;
    // What kept it from finding every host, one message each; none when nothing did.
    virtual std::vector<std::string> shortfalls() = 0;
};
