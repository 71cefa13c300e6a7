#pragma once
#include "HardwareMakers.h"
#include "NeighbourSearch.h"
#include "PresenceSearch.h"

// The hosts of this host's own links that answered the kernel's ARP or neighbour solicitation,
// whether or not they answered echo, with their hardware addresses and makers. Only targets on a
// link are asked: nothing leaves through a gateway.
class NeighbourPresence : public PresenceSearch {
public:
    NeighbourPresence(int rate, int timeoutMs, std::string makersFile = HardwareMakers::DefaultFile);

    void prepare(const Sweep &sweep) override;
    void run(const Sweep &sweep, SweepReport &report) override;
    void stop() override { m_search.stop(); }
    std::vector<std::string> shortfalls() override;

private:
    NeighbourSearch m_search;
    HardwareMakers m_makers;
    bool m_prepared = false;
};
