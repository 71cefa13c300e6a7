#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Which watched machines are up and which are down, from their answers in turn: a machine is down
// once it has missed downAfter requests in a row, since the first of them, and up again at its
// next answer. The changes are gathered until the end of a pass and given as one notice, so that
// a network that goes away tells once, not once a machine.
class Reachability {
public:
    static constexpr int DefaultDownAfter = 3;
    enum class State { Unknown, Up, Down };

    struct Change {
        std::string machine;
        State state = State::Unknown; // Up or Down
        int64_t atMs = 0;             // down: its first missed request; up: the answer
    };
    struct Machine {
        State state = State::Unknown;
        int64_t sinceMs = 0;      // of the state; for Unknown, the first request
        int64_t lastAnswerMs = 0; // 0: none yet
        uint32_t lastRttMs = 0;
        int missed = 0;            // in a row, up to now
        int64_t firstMissedMs = 0; // of those
    };

    explicit Reachability(int downAfter = DefaultDownAfter);
    // Takes effect from the next request on.
    void setDownAfter(int requests);
    int downAfter() const { return m_downAfter; }

    void answered(const std::string &machine, int64_t atMs, uint32_t rttMs);
    void missed(const std::string &machine, int64_t atMs);
    // The changes since the last notice, in the order they happened; empty when none.
    std::vector<Change> endPass();

    const std::map<std::string, Machine> &machines() const { return m_machines; }

private:
    Machine &machine(const std::string &name, int64_t atMs);

    int m_downAfter;
    std::map<std::string, Machine> m_machines;
    std::vector<Change> m_changes;
};
