// The orders a sweep walks its targets in: the random one visits every target once, never two
// neighbours one after the other, the same for the same seed.
#include "TestMain.h"
#include "sweep/SweepOrder.h"

#include <QtTest>
#include <vector>

namespace {
std::vector<uint64_t> walk(SweepOrder order)
{
    std::vector<uint64_t> numbers;
    for (uint64_t number = 0; order.next(number);)
        numbers.push_back(number);
    return numbers;
}

// Empty when numbers holds each of 0 to count - 1 once; else what is wrong.
QString notAPermutation(const std::vector<uint64_t> &numbers, uint64_t count)
{
    if (numbers.size() != count)
        return QString("%1 numbers, not %2").arg(numbers.size()).arg(count);
    std::vector<bool> seen(count);
    for (const uint64_t number : numbers) {
        if (number >= count || seen[number])
            return QString("%1 out of range or given twice").arg(number);
        seen[number] = true;
    }
    return QString();
}

QString neighboursInARow(const std::vector<uint64_t> &numbers)
{
    for (size_t i = 1; i < numbers.size(); ++i)
        if (numbers[i] + 1 == numbers[i - 1] || numbers[i - 1] + 1 == numbers[i])
            return QString("%1 then %2, at %3").arg(numbers[i - 1]).arg(numbers[i]).arg(i);
    return QString();
}
} // namespace

class tst_SweepOrder : public QObject {
    Q_OBJECT
private slots:
    // Every count up to a few hundred, where the walk's ends matter most, and a /16.
    void randomIsAPermutationOfNeighboursApart()
    {
        std::vector<uint64_t> counts;
        for (uint64_t count = 0; count <= 300; ++count)
            counts.push_back(count);
        counts.push_back(65536);
        for (const uint64_t count : counts) {
            for (uint64_t seed = 0; seed < (count < 65536 ? 20 : 3); ++seed) {
                const std::vector<uint64_t> numbers = walk(SweepOrder::random(count, seed));
                const QString where = QString(" (count %1, seed %2)").arg(count).arg(seed);
                const QString wrong = notAPermutation(numbers, count);
                QVERIFY2(wrong.isEmpty(), qPrintable(wrong + where));
                // Below 4 no order keeps them apart: 0 1 2 has 1 beside whatever follows or precedes it.
                const QString together = count >= 4 ? neighboursInARow(numbers) : QString();
                QVERIFY2(together.isEmpty(), qPrintable(together + where));
            }
        }
    }

    void theSeedDecides()
    {
        const std::vector<uint64_t> first = walk(SweepOrder::random(1000, 7));
        QCOMPARE(walk(SweepOrder::random(1000, 7)), first);
        QVERIFY(walk(SweepOrder::random(1000, 8)) != first);
        SweepOrder order = SweepOrder::random(1000, 7);
        uint64_t number = 0;
        for (int i = 0; i < 500; ++i)
            order.next(number);
        order.restart();
        QCOMPARE(walk(order), first);
    }

    // Far from an ascending walk: a tenth of a /16's targets hit no /24 more than a few times.
    void noSubnetTakesABurst()
    {
        const std::vector<uint64_t> numbers = walk(SweepOrder::random(65536, 1));
        std::vector<int> hits(256);
        for (size_t i = 0; i < 6554; ++i)
            ++hits[numbers[i] / 256];
        QVERIFY2(*std::max_element(hits.begin(), hits.end()) < 50, "a /24 took a burst");
    }
};

TOZELO_GUILESS_TEST_MAIN(tst_SweepOrder)
#include "tst_SweepOrder.moc"
