#pragma once
#include "SweepFindings.h"
#include "platform/IpAddress.h"

#include <cstdint>
#include <functional>
#include <vector>

struct SweepPlan;

// The requests of one sender that this system refused to send, counted by the reason it gave, not
// tried again. A refusal for want of a route stands for every target the routes treat alike: those
// are counted at once, unsent.
class SweepRefusals {
public:
    explicit SweepRefusals(const SweepPlan &plan) : m_plan(plan) {}

    void refuse(const IpAddress &address, uint32_t status);
    // The refused request's member and every member from first to end (past the last) that the routes
    // treat alike, if take lets it (and marks it as dealt with): how many were taken.
    uint64_t refuseAlike(const IpAddress &address, uint64_t member, uint32_t status, uint64_t first, uint64_t end,
                         const std::function<bool(uint64_t member)> &take);

    // In the order their reasons first came.
    const std::vector<SweepFindings::Unsent> &unsent() const { return m_unsent; }

private:
    SweepFindings::Unsent &unsentOf(uint32_t status);

    const SweepPlan &m_plan;
    std::vector<SweepFindings::Unsent> m_unsent;
};
