// What the senders of a sweep share: its members, the targets of its shard, and the way between
// members and addresses that the senders walk in either order.
#include "TestMain.h"
#include "ping/SweepOrder.h"
#include "ping/SweepPlan.h"

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

bool isTarget(const SweepTargets &targets, uint32_t address)
{
    for (const SweepTargets::Range &range : targets.ranges())
        if (address >= range.first && address <= range.last)
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
        const SweepTargets targets = aSixteen();
        QCOMPARE(targets.count(), 65279ull);
        std::atomic<bool> stop{false};
        const SweepPlan::HandOver none;
        Sweep::Settings settings;
        settings.shardCount = shards;
        std::set<uint32_t> swept;
        uint64_t members = 0;
        for (settings.shardIndex = 0; settings.shardIndex < shards; ++settings.shardIndex) {
            const SweepPlan plan(targets, settings, stop, -1, none);
            QCOMPARE(plan.members(), (targets.count() - settings.shardIndex + shards - 1) / shards);
            members += plan.members();
            SweepOrder order = random ? SweepOrder::random(plan.members(), settings.shardIndex)
                                      : SweepOrder::ascending(plan.members());
            size_t range = 0;
            for (uint64_t member = 0; order.next(member);) {
                const uint32_t address = plan.addressOf(member, range);
                QVERIFY2(isTarget(targets, address), qPrintable(QString::number(address, 16)));
                QVERIFY2(swept.insert(address).second, "an address in two shards");
                QCOMPARE(plan.memberOf(address), member);
            }
        }
        QCOMPARE(members, targets.count());
        QCOMPARE(uint64_t(swept.size()), targets.count());
    }

    // The members that an address block holds, as a sender refuses those that no route reaches.
    void membersWithinABlock()
    {
        const SweepTargets targets = aSixteen();
        std::atomic<bool> stop{false};
        const SweepPlan::HandOver none;
        Sweep::Settings settings;
        settings.shardIndex = 1;
        settings.shardCount = 3;
        const SweepPlan plan(targets, settings, stop, -1, none);
        const uint32_t base = 0x0A000000;
        const struct {
            uint32_t first, last;
        } blocks[] = {{base + 0x0400, base + 0x06FF}, // across the excluded /24
                      {base + 0x0500, base + 0x05FF}, // all excluded
                      {base + 0xC807, base + 0xC807}, // the excluded address
                      {0, base + 2},                  // from below the targets
                      {base + 0xFFF0, 0xFFFFFFFF}};   // to the last address there is
        for (const auto &block : blocks) {
            uint64_t begin = plan.members();
            uint64_t end = 0;
            size_t range = 0;
            for (uint64_t member = 0; member < plan.members(); ++member) {
                const uint32_t address = plan.addressOf(member, range);
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
