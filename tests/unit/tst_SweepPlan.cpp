// What the senders of a sweep share: its members, the targets of its shard of either family, and the
// way from members to addresses that the senders walk in either order.
#include "TestMain.h"
#include "sweep/SweepOrder.h"
#include "sweep/SweepPlan.h"

#include <arpa/inet.h>

#include <QtTest>
#include <set>

namespace {
// 10.0.0.0/16 less a /24 and an address: three ranges, 65279 targets.
SweepTargets aSixteen()
{
    SweepTargets targets;
    targets.exclude("10.0.5.0/24");
    targets.exclude("10.0.200.7");
    targets.add("10.0.0.0/16");
    return targets;
}

// The same and two IPv6 ranges, less an address: 65279 + 255 + 300 targets.
SweepTargets bothFamilies()
{
    SweepTargets targets = aSixteen();
    targets.add("fd00::/120");
    targets.add("fd00::1:0-fd00::1:12b");
    targets.exclude("fd00::7");
    return targets;
}

bool isTarget(const SweepTargets &targets, const IpAddress &address)
{
    if (address.isV6()) {
        const SweepTargets::Wide wide = SweepTargets::wideOf(address);
        for (const SweepTargets::Range6 &range : targets.ranges6())
            if (wide >= range.first && wide <= range.last)
                return true;
        return false;
    }
    const uint32_t host = ntohl(address.v4());
    for (const SweepTargets::Range &range : targets.ranges())
        if (host >= range.first && host <= range.last)
            return true;
    return false;
}
} // namespace

class tst_SweepPlan : public QObject {
    Q_OBJECT
private slots:
    void shardsAreDisjointAndCoverTheTargets_data()
    {
        QTest::addColumn<uint32_t>("shards");
        QTest::addColumn<bool>("random");
        QTest::newRow("1, ascending") << 1u << false;
        QTest::newRow("3, ascending") << 3u << false;
        QTest::newRow("3, random") << 3u << true;
        QTest::newRow("7, random") << 7u << true;
    }

    void shardsAreDisjointAndCoverTheTargets()
    {
        QFETCH(uint32_t, shards);
        QFETCH(bool, random);
        const SweepTargets targets = bothFamilies();
        QCOMPARE(targets.count(), 65279ull + 255 + 300);
        std::atomic<bool> stop{false};
        const SweepPlan::HandOver none;
        SweepSettings settings;
        settings.shardCount = shards;
        std::set<IpAddress> swept;
        uint64_t members = 0;
        for (settings.shardIndex = 0; settings.shardIndex < shards; ++settings.shardIndex) {
            const SweepPlan plan(targets, settings, SweepNetwork::system(), stop, -1, none);
            QCOMPARE(plan.members4, settings.shareOf(65279));
            QCOMPARE(plan.firstIpv6 % 64, 0ull);
            QVERIFY(plan.firstIpv6 >= plan.members4);
            members += plan.members4 + plan.end - plan.firstIpv6;
            QCOMPARE(plan.members4 + plan.end - plan.firstIpv6, settings.shareOf(targets.count()));
            // Each family's part walked as its senders walk it.
            for (const auto &[first, end] :
                 {std::pair(uint64_t(0), plan.members4), std::pair(plan.firstIpv6, plan.end)}) {
                SweepOrder order =
                    random ? SweepOrder::random(end - first, settings.shardIndex) : SweepOrder::ascending(end - first);
                size_t run = 0;
                for (uint64_t member = 0; order.next(member);) {
                    const IpAddress address = plan.addressOf(first + member, run);
                    QVERIFY2(isTarget(targets, address), address.toString().c_str());
                    QCOMPARE(address.isV6(), first != 0);
                    QVERIFY2(swept.insert(address).second, "an address in two shards");
                }
            }
        }
        QCOMPARE(members, targets.count());
        QCOMPARE(uint64_t(swept.size()), targets.count());
    }

    // The members that an address block holds, as a sender refuses those that no route reaches.
    void membersWithinABlock()
    {
        const SweepTargets targets = bothFamilies();
        std::atomic<bool> stop{false};
        const SweepPlan::HandOver none;
        SweepSettings settings;
        settings.shardIndex = 1;
        settings.shardCount = 3;
        const SweepPlan plan(targets, settings, SweepNetwork::system(), stop, -1, none);
        const uint32_t base = 0x0A000000;
        const struct {
            uint32_t first, last;
        } blocks[] = {{base + 0x0400, base + 0x06FF}, // across the excluded /24
                      {base + 0x0500, base + 0x05FF}, // all excluded
                      {base + 0xC807, base + 0xC807}, // the excluded address
                      {0, base + 2},                  // from below the targets
                      {base + 0xFFF0, 0xFFFFFFFF}};   // to the last address there is
        for (const auto &block : blocks) {
            uint64_t begin = plan.members4;
            uint64_t end = 0;
            size_t run = 0;
            for (uint64_t member = 0; member < plan.members4; ++member) {
                const uint32_t address = ntohl(plan.addressOf(member, run).v4());
                if (address >= block.first && address <= block.last) {
                    begin = std::min(begin, member);
                    end = member + 1;
                }
            }
            const auto [first, last] = plan.membersWithin(block.first, block.last);
            QCOMPARE(last - first, end > begin ? end - begin : 0);
            if (end > begin)
                QCOMPARE(first, begin);
        }
    }
};

TOZELO_GUILESS_TEST_MAIN(tst_SweepPlan)
#include "tst_SweepPlan.moc"
