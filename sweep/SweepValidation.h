#pragma once
#include "SweepSlots.h"
#include "SweepSource.h"

struct SweepPlan;

// Whether an answer proves that it answers the request that went out in a slot: an echo reply from
// the request's destination that echoes its payload whole, or an ICMP error that quotes a request to
// that destination; either way carrying the keyed check of that target, identifier, sequence number
// and pass. Whoever cannot see our requests cannot make one.
namespace SweepValidation {

bool answers(const SweepPlan &plan, const SweepSlots::Slot &slot, const SweepSource::Heard &heard);

} // namespace SweepValidation
