#include "FramePaths.h"

namespace {

constexpr int64_t KnownForNs = 1000000000;
// Not long for a block without a path: the requests that go through the sockets meanwhile have the
// system learn its gateway's hardware address.
constexpr int64_t UnknownForNs = 10000000;
// A sweep in random order over many blocks learns them all; more than this, and it starts again.
constexpr size_t MaxKnown = 256;

bool holds(const Routes::Block &block, uint32_t address)
{
    return block.first <= address && address <= block.last;
}

} // namespace

const FrameLink::Path *FramePaths::pathTo(uint32_t address, int64_t nowNs)
{
    if (m_last < m_known.size() && holds(m_known[m_last].block, address) && m_known[m_last].untilNs > nowNs)
        return m_known[m_last].path ? &*m_known[m_last].path : nullptr;
    const Known &known = learn(address, nowNs);
    return known.path ? &*known.path : nullptr;
}

const FramePaths::Known &FramePaths::learn(uint32_t address, int64_t nowNs)
{
    for (m_last = 0; m_last < m_known.size(); ++m_last)
        if (holds(m_known[m_last].block, address))
            break;
    if (m_last == m_known.size()) {
        if (m_known.size() == MaxKnown)
            m_known.clear();
        m_last = m_known.size();
        m_known.push_back({m_routes.sameRouteAs(address), std::nullopt, 0});
    }
    Known &known = m_known[m_last];
    if (known.untilNs <= nowNs) {
        const std::optional<Routes::Gateway> gateway = m_routes.gatewayTo(address);
        known.path = gateway ? m_link.pathThrough(*gateway) : std::nullopt;
        known.untilNs = nowNs + (known.path ? KnownForNs : UnknownForNs);
    }
    return known;
}
