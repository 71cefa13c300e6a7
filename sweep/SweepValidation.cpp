#include "SweepValidation.h"

#include "SweepPlan.h"

#include <algorithm>
#include <cstring>

namespace SweepValidation {

namespace {

// The bytes past the check are the program's payload, as far as they came back.
bool restAsSent(const SweepPlan &plan, const SweepSource::Heard &heard)
{
    const size_t from = std::min(SweepSignature::Size, heard.echoedSize);
    const size_t to = std::min(heard.echoedSize, plan.payload.size());
    return from >= to || std::memcmp(heard.echoed + from, plan.payload.data() + from, to - from) == 0;
}

// The kernel gives the link of a link-local source alone: an answer from ::1, or an error about
// a request to fe80::1, names no link even where the target did.
bool fromTarget(const IpAddress &about, const IpAddress &target)
{
    return about == target || (about.scopeId() == 0 && about == target.withoutScope());
}

} // namespace

bool answers(const SweepPlan &plan, const SweepSlots::Slot &slot, const SweepSource::Heard &heard)
{
    if (slot.sentNs == 0 || !fromTarget(heard.about, plan.addressOf(slot.target)))
        return false;
    const size_t payloadSize = plan.payload.size();
    if (heard.reply && heard.echoedSize != payloadSize)
        return false;
    return plan.signature.verify(heard.echoed, heard.echoedSize, payloadSize, slot.target, heard.identifier,
                                 heard.sequence, plan.pass) &&
           restAsSent(plan, heard);
}

} // namespace SweepValidation
