// A sweep on a thread of its own, against the testbed: what it hands over as it goes adds up to its
// report, and a stop, or its end, cuts a long sweep short with what it had found, or the search
// for the neighbours that follows it.
#include "NamedThreads.h"
#include "SweepTargetList.h"
#include "net/TestbedMain.h"
#include "platform/IcmpTypes.h"
#include "sweep/BackgroundSweep.h"
#include "sweep/NeighbourPresence.h"

#include <QtTest>
#include <algorithm>

namespace {
// "address status round-trip" for each answer, in address order.
QStringList linesOf(std::vector<Sweep::Answer> answers)
{
    std::sort(answers.begin(), answers.end(),
              [](const Sweep::Answer &a, const Sweep::Answer &b) { return a.address < b.address; });
    QStringList lines;
    for (const Sweep::Answer &answer : answers)
        lines << QString("%1 %2 %3")
                     .arg(QString::fromStdString(answer.address.toString()))
                     .arg(answer.status)
                     .arg(answer.rttMs, 0, 'g', 17);
    return lines;
}

// What linesOf shows of an answer but its round-trip time.
QStringList statusesOf(const QStringList &lines)
{
    QStringList statuses;
    for (const QString &line : lines)
        statuses << line.section(' ', 0, 1);
    return statuses;
}

// Answers for a few seconds: 240.0.0.0/16 is dropped by the router, at this rate for over a minute.
const QStringList Long{"198.18.2.1", "240.0.0.0/16"};
} // namespace

class tst_BackgroundSweep : public QObject {
    Q_OBJECT
private slots:
    void newsAddUpToTheReport_data();
    void newsAddUpToTheReport();
    void stopKeepsWhatWasFound();
    void stopEndsTheNeighboursSearch();
    void destroyedMidSweep();
};

void tst_BackgroundSweep::newsAddUpToTheReport_data()
{
    QTest::addColumn<QStringList>("targets");
    QTest::addColumn<int>("rate");
    QTest::addColumn<QStringList>("truth");
    QTest::addColumn<int>("requests");
    const QString unreachable = " " + QString::number(IP_DEST_HOST_UNREACHABLE);
    QTest::newRow("one sender") << QStringList{"198.18.2.1", "198.18.3.1", "198.18.3.5", "198.18.4.0/30",
                                               "198.18.5.1-198.18.5.2"}
                                << 5000
                                << QStringList{"198.18.2.1 0", "198.18.3.1 0", "198.18.3.5 0",
                                               "198.18.5.1" + unreachable, "198.18.5.2" + unreachable}
                                << 9;
    // Loopback answers every address at once, to as many senders as there are cores.
    QStringList loopback;
    for (int i = 0; i < 16384; ++i)
        loopback << QString("127.0.%1.%2 0").arg(i / 256).arg(i % 256);
    QTest::newRow("a sender a core") << QStringList{"127.0.0.0/18"} << 1000000 << loopback << 16384;
}

// Every answer comes once, with the round-trip time the report has, however many senders hand them
// over at once; a host asked again for its time comes only once it is settled.
void tst_BackgroundSweep::newsAddUpToTheReport()
{
    QFETCH(QStringList, targets);
    QFETCH(int, rate);
    QFETCH(QStringList, truth);
    QFETCH(int, requests);
    Sweep::Settings settings;
    settings.rate = rate;
    settings.timeoutMs = 300;
    BackgroundSweep sweep(targetsOf(targets), settings);
    std::vector<Sweep::Answer> handedOver;
    BackgroundSweep::News news;
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            news = sweep.take();
            handedOver.insert(handedOver.end(), news.answers.begin(), news.answers.end());
            return news.finished;
        }(),
        10000);
    QCOMPARE(QString::fromStdString(news.failure), QString());
    const SweepReport report = sweep.report();
    const QStringList reported = linesOf(report.answers);
    QCOMPARE(statusesOf(reported), truth);
    QCOMPARE(linesOf(handedOver), reported);
    QCOMPARE(news.progress.sent, uint64_t(requests));
    QCOMPARE(report.requests, uint64_t(requests));
    QVERIFY(!sweep.stopped());
    QVERIFY(sweep.take().answers.empty());
}

void tst_BackgroundSweep::stopKeepsWhatWasFound()
{
    Sweep::Settings settings;
    settings.rate = 1000;
    BackgroundSweep sweep(targetsOf(Long), settings);
    std::vector<Sweep::Answer> handedOver;
    // The condition is evaluated once more after it holds: what each take hands over is kept.
    const auto heardFrom = [&] {
        const std::vector<Sweep::Answer> news = sweep.take().answers;
        handedOver.insert(handedOver.end(), news.begin(), news.end());
        return !handedOver.empty();
    };
    QTRY_VERIFY(heardFrom());
    QCOMPARE(statusesOf(linesOf(handedOver)), QStringList{"198.18.2.1 0"});
    sweep.stop();
    BackgroundSweep::News news;
    QTRY_VERIFY((news = sweep.take()).finished);
    QVERIFY(news.answers.empty());
    QVERIFY(sweep.stopped());
    QVERIFY(news.progress.sent < news.progress.addresses);
    QCOMPARE(linesOf(sweep.report().answers), linesOf(handedOver));
}

// The client's link, 198.18.9.0/24, has four hosts: the search waits for the others' ARP to fail,
// seconds. A stop ends it well before, with what it had found.
void tst_BackgroundSweep::stopEndsTheNeighboursSearch()
{
    Sweep::Settings settings;
    settings.timeoutMs = 3000;
    BackgroundSweep::Searches searches;
    searches.push_back(std::make_unique<NeighbourPresence>(settings.rate, settings.timeoutMs));
    BackgroundSweep sweep(targetsOf({"198.18.9.0/24"}), settings, {}, std::move(searches));
    QTRY_VERIFY_WITH_TIMEOUT(sweep.take().searching, 20000);
    sweep.stop();
    QTRY_VERIFY_WITH_TIMEOUT(sweep.take().finished, 5000);
    QVERIFY(sweep.report().withPresence);
    for (const auto &found : sweep.report().presence)
        QVERIFY(found.first.toString().rfind("198.18.9.", 0) == 0);
}

void tst_BackgroundSweep::destroyedMidSweep()
{
    Sweep::Settings settings;
    settings.rate = 1000;
    {
        BackgroundSweep sweep(targetsOf(Long), settings);
        QTRY_VERIFY(sweep.take().progress.sent > 10);
        QCOMPARE(threadsNamed(BackgroundSweep::ThreadName), 1);
    }
    QCOMPARE(threadsNamed(BackgroundSweep::ThreadName), 0);
}

TOZELO_TESTBED_TEST_MAIN(tst_BackgroundSweep)

#include "tst_BackgroundSweep.moc"
