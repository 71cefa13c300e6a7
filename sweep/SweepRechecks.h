#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <unordered_map>
#include <vector>

// The hosts whose answer came to a request sent at an uncertain time (a call held up half-way), asked
// again for a round-trip time that a busy machine did not stretch: the shortest measured counts.
class SweepRechecks {
public:
    struct Recheck {
        size_t answer = 0; // of the sender's answers
        uint32_t target = 0;
        int attempts = 0;
        bool open = true; // its host waits to be asked again, or to answer
    };

    // Asks target again for the answer.
    void add(size_t answer, uint32_t target);
    // The rechecks to send, in turn.
    size_t waiting() const { return m_waiting.size(); }
    const Recheck &waitingAt(size_t i) const { return m_rechecks[m_waiting[i]]; }
    // The first waiting went out in the slot, or was refused (and is closed).
    void sent(uint32_t slot);
    // Closed: true when it was open, and its answer's round-trip time is now final.
    bool refused(size_t &answer);

    // The recheck whose request went out in the slot; false when none.
    bool inFlight(uint32_t slot, size_t &which);
    Recheck &at(size_t which) { return m_rechecks[which]; }
    // Its host is asked once more.
    void again(size_t which) { m_waiting.push_back(which); }
    // True when it was open: its answer's round-trip time is now final.
    bool close(size_t which);
    // Every one still open, closed: the answers whose round-trip times are now final.
    std::vector<size_t> closeAll();

private:
    std::vector<Recheck> m_rechecks;
    std::deque<size_t> m_waiting;
    std::unordered_map<uint32_t, size_t> m_inFlight; // by slot
};
