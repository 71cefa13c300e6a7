// The sweep's logic on a scripted network and a simulated clock: what it finds, how fast it sends,
// what it asks again, what it refuses to believe. Times here are exact: the clock moves only when
// the sweep waits.
#include "FakeSweepNetwork.h"
#include "SweepTargetList.h"
#include "TestMain.h"
#include "platform/IcmpTypes.h"
#include "sweep/Sweep.h"
#include "sweep/SweepSlots.h"

#include <arpa/inet.h>

#include <QtTest>
#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>
#include <set>

namespace {

using Fake = FakeSweepNetwork;
constexpr int64_t Ms = Fake::Millisecond;

std::string dotted(uint32_t hostOrder)
{
    return IpAddress::v4(htonl(hostOrder)).toString();
}

uint32_t hostOrder(const std::string &text)
{
    return ntohl(Fake::ip(text).v4());
}

QStringList addressesIn(const std::vector<Sweep::Answer> &answers)
{
    QStringList list;
    for (const Sweep::Answer &answer : answers)
        list << QString::fromStdString(answer.address.toString());
    return list;
}

QStringList addressesOf(const std::vector<Fake::Request> &requests)
{
    QStringList list;
    for (const Fake::Request &request : requests)
        list << QString::fromStdString(request.address.toString());
    return list;
}

// The replies' round-trip times by address.
std::map<std::string, double> timesOf(const Sweep &sweep)
{
    std::map<std::string, double> times;
    for (const Sweep::Answer &answer : sweep.answers())
        times[answer.address.toString()] = answer.rttMs;
    return times;
}

// A host whose answer is the true reply changed by change.
Fake::Host answeringChanged(const std::function<void(Fake::Delivery &)> &change)
{
    return [change](const Fake::Request &request) {
        Fake::Response response;
        response.deliveries.push_back(Fake::replyTo(request, Ms));
        change(response.deliveries.back());
        return response;
    };
}

} // namespace

class tst_Sweep : public QObject {
    Q_OBJECT

private slots:
    void findsTheTruthInAddressOrder_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("raw socket") << int(EchoSocket::Kind::Raw);
        QTest::newRow("datagram sockets") << int(EchoSocket::Kind::Datagram);
    }

    // Replies and errors of both families, each once, in address order whatever order they came in,
    // timed exactly, from whoever sent them; the silent ones are not listed.
    void findsTheTruthInAddressOrder()
    {
        QFETCH(int, kind);
        Fake network{EchoSocket::Kind(kind)};
        network.setHost("192.0.2.9", Fake::answering(30));
        network.setHost("192.0.2.3", Fake::answering(2));
        network.setHost("192.0.2.64", Fake::failing(5, IP_DEST_HOST_UNREACHABLE, "198.51.100.1"));
        network.setHost("2001:db8::7", Fake::answering(11));
        network.setHost("2001:db8::2", Fake::failing(1, IP_DEST_PORT_UNREACHABLE, "2001:db8::ffff"));
        const SweepTargets targets = targetsOf({"192.0.2.0/25", "2001:db8::/120"});
        Sweep::Settings settings;
        settings.timeoutMs = 100;
        Sweep sweep(targets, settings, network);
        sweep.run();

        QCOMPARE(addressesIn(sweep.answers()),
                 (QStringList{"192.0.2.3", "192.0.2.9", "192.0.2.64", "2001:db8::2", "2001:db8::7"}));
        const std::vector<Sweep::Answer> &answers = sweep.answers();
        QCOMPARE(answers[0].rttMs, 2.0);
        QCOMPARE(answers[1].rttMs, 30.0);
        QCOMPARE(answers[2].status, uint32_t(IP_DEST_HOST_UNREACHABLE));
        QCOMPARE(answers[2].from.toString(), std::string("198.51.100.1"));
        QCOMPARE(answers[2].rttMs, 5.0);
        QCOMPARE(answers[3].status, uint32_t(IP_DEST_PORT_UNREACHABLE));
        QCOMPARE(answers[3].from.toString(), std::string("2001:db8::ffff"));
        QCOMPARE(answers[4].status, uint32_t(IP_SUCCESS));
        QCOMPARE(answers[4].rttMs, 11.0);
        QCOMPARE(sweep.progress().sent, targets.count());
        QCOMPARE(sweep.progress().replies, 3ull);
        QCOMPARE(sweep.progress().errors, 2ull);
        QCOMPARE(sweep.droppedInLastPass(), 0ull);
        QCOMPARE(sweep.socketKind(), EchoSocket::Kind(kind));
        QCOMPARE(uint64_t(network.requests().size()), targets.count());
    }

    void paceFollowsTheRate_data()
    {
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("targets");
        QTest::newRow("100 a second") << 100 << 50;
        QTest::newRow("5,000 a second") << 5000 << 2000;
        QTest::newRow("1,000,000 a second") << 1000000 << 65536;
    }

    // By any time, no more requests went out than the bucket allows (a hundredth of a second's saved
    // up at most), and the sending takes no longer than the rate needs and a burst.
    void paceFollowsTheRate()
    {
        QFETCH(int, rate);
        QFETCH(int, targets);
        Fake network;
        Sweep::Settings settings;
        settings.rate = rate;
        settings.timeoutMs = 50;
        const SweepTargets silent =
            targetsOf({"10.0.0.0-" + QString::fromStdString(dotted(hostOrder("10.0.0.0") + uint32_t(targets) - 1))});
        Sweep sweep(silent, settings, network);
        sweep.run();

        const std::vector<Fake::Request> &sent = network.requests();
        QCOMPARE(sent.size(), size_t(targets));
        const double burst = std::max(1.0, rate / 100.0);
        const int64_t first = sent.front().sentNs;
        for (size_t i = 0; i < sent.size(); ++i) {
            const double allowed = 1 + burst + double(sent[i].sentNs - first) * rate / 1e9;
            QVERIFY2(double(i + 1) <= allowed, qPrintable(QString("request %1 went out too soon").arg(i)));
        }
        const double sendingS = double(sent.back().sentNs - first) / 1e9;
        QVERIFY2(sendingS <= double(targets) / rate + 0.002, qPrintable(QString("%1 s").arg(sendingS)));
        // The run ends one time-out after the last request.
        QVERIFY(network.nowNs() - sent.back().sentNs <= settings.timeoutMs * Ms + 2 * Ms);
    }

    // Far more requests than slots: each sequence number serves many requests in turn, none before
    // the request that held it was answered or given up, and every answer goes to its own address.
    void slotsAreUsedAgain()
    {
        Fake network;
        const SweepTargets targets = targetsOf({"10.4.0.0/14"});
        for (uint32_t i = 0; i < 256; ++i)
            network.setHost(dotted(hostOrder("10.4.0.0") + i * 1021 + 7), Fake::answering(int(i % 40)));
        Sweep::Settings settings;
        settings.rate = 100000;
        settings.timeoutMs = 100;
        Sweep sweep(targets, settings, network);
        QCOMPARE(sweep.effectiveRate(), settings.rate);
        sweep.run();

        QCOMPARE(sweep.answers().size(), size_t(256));
        for (size_t i = 0; i < 256; ++i) {
            QCOMPARE(sweep.answers()[i].address.toString(), dotted(hostOrder("10.4.0.0") + uint32_t(i) * 1021 + 7));
            QCOMPARE(sweep.answers()[i].rttMs, double(i % 40));
        }
        std::map<uint32_t, int64_t> heldUntil;
        for (const Fake::Request &request : network.requests()) {
            const uint32_t slot = uint32_t(request.identifier) << 16 | request.sequence;
            QVERIFY2(heldUntil[slot] <= request.sentNs, qPrintable(QString::fromStdString(request.address.toString())));
            heldUntil[slot] = request.sentNs + settings.timeoutMs * Ms;
        }
        QVERIFY(heldUntil.size() < targets.count());
    }

    // More requests waiting out their time-out than slots: the rate is lowered to what the slots allow.
    void rateIsLoweredToTheSlots()
    {
        Fake network;
        Sweep::Settings settings;
        settings.rate = Sweep::Settings::MaxRate;
        settings.timeoutMs = 1000;
        const SweepTargets targets = targetsOf({"10.0.0.0/8"});
        const Sweep sweep(targets, settings, network);
        QCOMPARE(sweep.effectiveRate(), int(Sweep::MaxIdentifiers) * 65536);
    }

    void lateAnswersAreSilence_data()
    {
        QTest::addColumn<int>("wakeLateMs");
        QTest::newRow("woken on time") << 0;
        QTest::newRow("woken late, the late answers read before their requests are given up") << 30;
    }

    // An answer counts within the time-out (and the microsecond its request's call took), not after,
    // even when it is read before its request is given up.
    void lateAnswersAreSilence()
    {
        QFETCH(int, wakeLateMs);
        Fake network;
        network.setWakeLateNs(wakeLateMs * Ms);
        network.setHost("192.0.2.1", Fake::answering(99));
        network.setHost("192.0.2.2", Fake::answering(101));
        network.setHost("2001:db8::1", Fake::answering(100));
        network.setHost("2001:db8::2", Fake::answering(150));
        Sweep::Settings settings;
        settings.timeoutMs = 100;
        const SweepTargets targets = targetsOf({"192.0.2.1-192.0.2.2", "2001:db8::1-2001:db8::2"});
        Sweep sweep(targets, settings, network);
        sweep.run();
        QCOMPARE(addressesIn(sweep.answers()), (QStringList{"192.0.2.1", "2001:db8::1"}));
    }

    // A call held up half-way leaves its requests' times uncertain: each host that answered one is
    // asked again, and its time is the shortest measured, never below the truth.
    void heldUpCallsAreTimedAgain()
    {
        Fake network;
        for (int host = 1; host <= 40; ++host)
            network.setHost("192.0.2." + std::to_string(host), Fake::answering(host));
        // Slower when asked again: its best time is the one kept.
        auto asked = std::make_shared<int>(0);
        network.setHost("192.0.2.50", [asked](const Fake::Request &request) {
            return Fake::Response{0, false, {Fake::replyTo(request, (++*asked == 1 ? 50 : 90) * Ms)}};
        });
        network.setCallNs(3 * Ms);
        Sweep::Settings settings;
        settings.timeoutMs = 200;
        std::multiset<std::string> handed;
        const SweepTargets targets = targetsOf({"192.0.2.0/26"});
        Sweep sweep(targets, settings, network);
        sweep.onAnswers = [&handed](const Sweep::Answer *answers, size_t count) {
            for (size_t i = 0; i < count; ++i)
                handed.insert(answers[i].address.toString());
        };
        sweep.run();

        QCOMPARE(sweep.answers().size(), size_t(41));
        for (const auto &[address, rttMs] : timesOf(sweep)) {
            const double truth = std::stoi(address.substr(address.rfind('.') + 1));
            QVERIFY2(rttMs >= truth && rttMs <= truth + 3, qPrintable(QString::fromStdString(address)));
        }
        QVERIFY(network.requests().size() > 64);
        QCOMPARE(sweep.progress().sent, 64ull);
        // Each handed over once, with its final time.
        QCOMPARE(handed.size(), size_t(41));
        QCOMPARE(std::set<std::string>(handed.begin(), handed.end()).size(), size_t(41));
    }

    // Retries ask again only those not heard from, across the 64-address words of the bookkeeping.
    void retriesAskOnlyTheSilent()
    {
        Fake network;
        const SweepTargets targets = targetsOf({"192.0.2.0-192.0.2.130"});
        int answering = 0;
        for (int host = 0; host <= 130; host += 3, ++answering)
            network.setHost("192.0.2." + std::to_string(host), Fake::answering(1));
        network.setHost("192.0.2.64", Fake::failing(1, IP_DEST_HOST_UNREACHABLE, "192.0.2.254"));
        Sweep::Settings settings;
        settings.timeoutMs = 50;
        settings.retries = 2;
        Sweep sweep(targets, settings, network);
        sweep.run();
        QCOMPARE(sweep.answers().size(), size_t(answering + 1));
        const uint64_t silent = targets.count() - uint64_t(answering + 1);
        QCOMPARE(sweep.progress().sent, targets.count() + 2 * silent);
        std::map<std::string, int> asked;
        for (const Fake::Request &request : network.requests())
            ++asked[request.address.toString()];
        QCOMPARE(asked["192.0.2.3"], 1);
        QCOMPARE(asked["192.0.2.64"], 1);
        QCOMPARE(asked["192.0.2.65"], 3);
        QCOMPARE(asked["192.0.2.130"], 3);
    }

    void droppedAnswersAreAskedAgain_data()
    {
        QTest::addColumn<int>("dropsPerHost");
        QTest::addColumn<bool>("complete");
        QTest::newRow("dropped once") << 1 << true;
        QTest::newRow("always dropped") << 1000 << false;
    }

    // Answers the system dropped for want of room: the silent are asked again, slower, and a sweep
    // that still lost some says so.
    void droppedAnswersAreAskedAgain()
    {
        QFETCH(int, dropsPerHost);
        QFETCH(bool, complete);
        Fake network;
        std::map<std::string, int> dropped;
        for (int host = 1; host <= 20; ++host)
            network.setHost("192.0.2." + std::to_string(host), [&dropped, dropsPerHost](const Fake::Request &request) {
                Fake::Response response;
                response.deliveries.push_back(Fake::replyTo(request, Ms));
                response.deliveries.back().dropped = dropped[request.address.toString()]++ < dropsPerHost;
                return response;
            });
        Sweep::Settings settings;
        settings.rate = 1000;
        settings.timeoutMs = 50;
        const SweepTargets targets = targetsOf({"192.0.2.0/27"});
        Sweep sweep(targets, settings, network);
        sweep.run();
        QCOMPARE(sweep.answers().size(), complete ? size_t(20) : size_t(0));
        QCOMPARE(sweep.droppedInLastPass() == 0, complete);
        // The passes that ask again go at half the rate, and half again.
        const std::vector<Fake::Request> &sent = network.requests();
        QVERIFY(sent.size() > 32);
        const double firstGap = double(sent[31].sentNs - sent[0].sentNs) / 31;
        const double secondGap = double(sent[43].sentNs - sent[32].sentNs) / 11;
        QVERIFY2(secondGap >= 1.9 * firstGap, qPrintable(QString("%1 %2").arg(firstGap).arg(secondGap)));
    }

    // Requests the system refuses are counted by reason, the first three listed, none retried; a
    // refusal for want of a route stands for its whole routed block, sent to no further.
    void refusalsAreCountedByReason()
    {
        Fake network;
        for (int host : {3, 4, 5, 6})
            network.setHost("192.0.2." + std::to_string(host), Fake::refusing(IP_DEST_HOST_UNREACHABLE));
        network.setHost("192.0.2.9", Fake::refusing(IP_GENERAL_FAILURE));
        network.setHost("192.0.2.1", Fake::answering(1));
        network.setHost("198.51.100.7", Fake::refusing(IP_DEST_NET_UNREACHABLE, true));
        network.setRoutedBlock("198.51.100.0", "198.51.100.127");
        Sweep::Settings settings;
        settings.retries = 1;
        settings.timeoutMs = 20;
        const SweepTargets targets = targetsOf({"192.0.2.0/28", "198.51.100.7-198.51.100.200"});
        Sweep sweep(targets, settings, network);
        sweep.run();

        QCOMPARE(addressesIn(sweep.answers()), QStringList{"192.0.2.1"});
        QCOMPARE(sweep.unsent().size(), size_t(3));
        const Sweep::Unsent &host = sweep.unsent()[0];
        QCOMPARE(host.status, uint32_t(IP_DEST_HOST_UNREACHABLE));
        QCOMPARE(host.count, 4ull);
        QCOMPARE(host.first,
                 (std::vector<IpAddress>{Fake::ip("192.0.2.3"), Fake::ip("192.0.2.4"), Fake::ip("192.0.2.5")}));
        QCOMPARE(sweep.unsent()[1].status, uint32_t(IP_GENERAL_FAILURE));
        QCOMPARE(sweep.unsent()[1].count, 1ull);
        const Sweep::Unsent &route = sweep.unsent()[2];
        QCOMPARE(route.status, uint32_t(IP_DEST_NET_UNREACHABLE));
        QCOMPARE(route.count, 121ull);
        QCOMPARE(route.first, (std::vector<IpAddress>{Fake::ip("198.51.100.7"), Fake::ip("198.51.100.8"),
                                                      Fake::ip("198.51.100.9")}));
        std::map<std::string, int> asked;
        for (const Fake::Request &request : network.requests())
            ++asked[request.address.toString()];
        QCOMPARE(asked["198.51.100.7"], 1);
        QCOMPARE(asked.count("198.51.100.8"), size_t(0));
        QCOMPARE(asked["198.51.100.128"], 2);
        QCOMPARE(asked["192.0.2.3"], 1);
        QCOMPARE(asked["192.0.2.2"], 2);
        QCOMPARE(sweep.progress().unsent, 126ull);
    }

    void shardsAreDisjointAndComplete_data()
    {
        QTest::addColumn<int>("shards");
        QTest::addColumn<bool>("random");
        for (int shards : {1, 2, 3, 7})
            for (bool random : {false, true})
                QTest::addRow("%d shards, %s", shards, random ? "random" : "ascending") << shards << random;
    }

    // Every target in exactly one shard, both families.
    void shardsAreDisjointAndComplete()
    {
        QFETCH(int, shards);
        QFETCH(bool, random);
        const SweepTargets targets = targetsOf({"192.0.2.0/26", "198.51.100.250-198.51.101.5", "2001:db8::/123"});
        std::multiset<std::string> swept;
        for (int shard = 0; shard < shards; ++shard) {
            Fake network;
            Sweep::Settings settings;
            settings.shardIndex = uint32_t(shard);
            settings.shardCount = uint32_t(shards);
            settings.randomOrder = random;
            settings.seed = 7;
            settings.timeoutMs = 10;
            Sweep sweep(targets, settings, network);
            sweep.run();
            QCOMPARE(sweep.progress().addresses, settings.shareOf(targets.count()));
            for (const Fake::Request &request : network.requests())
                swept.insert(request.address.toString());
        }
        QCOMPARE(swept.size(), size_t(targets.count()));
        QCOMPARE(std::set<std::string>(swept.begin(), swept.end()).size(), size_t(targets.count()));
    }

    // Ascending by default; a random order is every target once, drawn again from the same seed.
    void orderIsAscendingOrDrawn()
    {
        const SweepTargets targets = targetsOf({"192.0.2.0/24"});
        const auto orderOf = [&targets](bool random, uint64_t seed) {
            Fake network;
            Sweep::Settings settings;
            settings.randomOrder = random;
            settings.seed = seed;
            settings.timeoutMs = 10;
            Sweep sweep(targets, settings, network);
            sweep.run();
            return addressesOf(network.requests());
        };
        const QStringList ascending = orderOf(false, 0);
        QStringList expected;
        for (int host = 0; host < 256; ++host)
            expected << "192.0.2." + QString::number(host);
        QCOMPARE(ascending, expected);
        const QStringList drawn = orderOf(true, 42);
        QCOMPARE(orderOf(true, 42), drawn);
        QVERIFY(orderOf(true, 43) != drawn);
        QVERIFY(drawn != ascending);
        QStringList sorted = drawn;
        std::sort(sorted.begin(), sorted.end(), [](const QString &a, const QString &b) {
            return a.section('.', 3).toInt() < b.section('.', 3).toInt();
        });
        QCOMPARE(sorted, ascending);
    }

    void onlyProvenAnswersCount_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("field");
        QTest::addColumn<bool>("counted");
        const QStringList families{"192.0.2.5", "2001:db8::5"};
        for (const QString &target : families) {
            const char *family = target.contains(':') ? "IPv6" : "IPv4";
            QTest::addRow("%s: the true reply", family) << target << 0 << true;
            QTest::addRow("%s: reply with another check", family) << target << 1 << false;
            QTest::addRow("%s: reply from another address", family) << target << 2 << false;
            QTest::addRow("%s: reply whose payload differs past the check", family) << target << 3 << false;
            QTest::addRow("%s: reply one byte short", family) << target << 4 << false;
            QTest::addRow("%s: reply to another sequence number", family) << target << 5 << false;
            QTest::addRow("%s: reply to another identifier", family) << target << 6 << false;
            QTest::addRow("%s: the true error", family) << target << 7 << true;
            QTest::addRow("%s: error quoting another check", family) << target << 8 << false;
            QTest::addRow("%s: error quoting another destination", family) << target << 9 << false;
            QTest::addRow("%s: error quoting only the header", family) << target << 10 << true;
        }
    }

    // Every field the proof reads, changed one at a time, in echo replies and in errors that quote
    // our request, for both families: a forger who cannot see the requests gets none counted.
    void onlyProvenAnswersCount()
    {
        QFETCH(QString, target);
        QFETCH(int, field);
        QFETCH(bool, counted);
        const bool v6 = target.contains(':');
        const IpAddress other = Fake::ip(v6 ? "2001:db8::6" : "192.0.2.6");
        Fake network;
        network.setHost(target.toStdString(), answeringChanged([&](Fake::Delivery &answer) {
                            answer.reply = field < 7;
                            if (!answer.reply) {
                                answer.status = IP_DEST_HOST_UNREACHABLE;
                                answer.from = Fake::ip(v6 ? "2001:db8::fe" : "192.0.2.254");
                                answer.echoed.resize(8);
                            }
                            switch (field) {
                            case 1:
                            case 8: answer.echoed[0] ^= 1; break;
                            case 2: answer.from = answer.about = other; break;
                            case 3: answer.echoed.back() ^= 0x20; break;
                            case 4: answer.echoed.pop_back(); break;
                            case 5: ++answer.sequence; break;
                            case 6: answer.identifier += 1; break;
                            case 9: answer.about = other; break;
                            case 10: answer.echoed.clear(); break;
                            }
                        }));
        Sweep::Settings settings;
        settings.timeoutMs = 20;
        const SweepTargets targets = targetsOf({v6 ? "2001:db8::4-2001:db8::7" : "192.0.2.4-192.0.2.7"});
        Sweep sweep(targets, settings, network);
        sweep.run();
        QCOMPARE(addressesIn(sweep.answers()), counted ? QStringList{target} : QStringList());
        if (counted)
            QCOMPARE(sweep.answers().front().status,
                     field < 7 ? uint32_t(IP_SUCCESS) : uint32_t(IP_DEST_HOST_UNREACHABLE));
    }

    // Replies sprayed at every identifier and sequence number the sweep could hold, from the addresses
    // it sweeps, carrying the public payload: none is taken for an answer.
    void blindSprayFindsNothing()
    {
        Fake network;
        const SweepTargets targets = targetsOf({"192.0.2.0/29"});
        Fake::Request forged{Fake::ip("192.0.2.3"), 0, 0, EchoTerms::payloadOf(EchoTerms::DefaultSize), 0};
        for (int identifier = 0x4ff0; identifier < 0x5010; ++identifier)
            for (int sequence = 0; sequence < 16; ++sequence) {
                forged.identifier = uint16_t(identifier);
                forged.sequence = uint16_t(sequence);
                network.inject(network.startNs() + Ms, Fake::replyTo(forged, 0));
            }
        Sweep::Settings settings;
        settings.rate = 100;
        settings.timeoutMs = 100;
        Sweep sweep(targets, settings, network);
        sweep.run();
        QVERIFY(sweep.answers().empty());
    }

    // Asked from an answer's hand-over, the sweep ends with what it had; asked before it runs, it
    // sends nothing.
    void stopEndsTheRun()
    {
        Fake network;
        network.setHost("192.0.2.3", Fake::answering(1));
        Sweep::Settings settings;
        settings.rate = 100;
        settings.timeoutMs = 60000;
        const SweepTargets targets = targetsOf({"192.0.2.0/24"});
        Sweep sweep(targets, settings, network);
        sweep.onAnswers = [&sweep](const Sweep::Answer *, size_t) { sweep.stop(); };
        sweep.run();
        QCOMPARE(addressesIn(sweep.answers()), QStringList{"192.0.2.3"});
        QVERIFY(sweep.progress().sent < 10);

        Fake idle;
        Sweep early(targets, settings, idle);
        early.stop();
        early.run();
        QCOMPARE(early.progress().sent, 0ull);
        QVERIFY(idle.requests().empty());
    }

    // The ring holds as many requests as its sequence numbers, and gives a slot back only once its
    // deadline has passed, telling only an unanswered recheck's.
    void slotsComeBackInTurnAtTheirDeadline()
    {
        SweepSlots ring(1, 10 * Ms);
        for (uint64_t i = 0; i + 1 < ring.count(); ++i)
            ring.issue({uint32_t(i), 0, Ms});
        QVERIFY(!ring.full());
        ring.issue({0, SweepSlots::RecheckFlag | 500, Ms});
        QVERIFY(ring.full());

        std::vector<uint32_t> expired;
        const auto collect = [&expired](uint32_t index) { expired.push_back(index); };
        ring.at(0).sentNs = 0; // answered
        ring.expire(11 * Ms - 1, collect);
        QCOMPARE(ring.free(), uint64_t(1));
        ring.expire(11 * Ms, collect);
        QCOMPARE(ring.free(), ring.count() - 1);
        QVERIFY(expired.empty());
        ring.expire(11 * Ms + 500 * 1000, collect);
        QVERIFY(ring.allRetired());
        const std::vector<uint32_t> recheck{uint32_t(ring.count() - 1)};
        QCOMPARE(expired, recheck);
    }

    void roomThatRunsOut_data()
    {
        QTest::addColumn<int>("roomPerWait"); // 0: all it is given
        QTest::addColumn<int>("noRoomFromMs");
        QTest::addColumn<int>("noRoomForMs"); // -1: it never comes back
        QTest::newRow("short of room at each wait") << 7 << 0 << 0;
        QTest::newRow("no room for less than the time-out") << 0 << 1 << 450;
        QTest::newRow("no carrier from the start") << 0 << 0 << -1;
        QTest::newRow("carrier lost mid-sweep") << 0 << 1 << -1;
    }

    // A system with no room for a while: what it did not take goes out later, none twice, none lost.
    // With no room for longer than the time-out, the sweep waits out that much and no more: what it
    // could not send is counted as not sent for want of resources, and the rest is found as ever.
    void roomThatRunsOut()
    {
        QFETCH(int, roomPerWait);
        QFETCH(int, noRoomFromMs);
        QFETCH(int, noRoomForMs);
        Fake network;
        for (int host = 0; host < 256; host += 5)
            network.setHost("192.0.2." + std::to_string(host), Fake::answering(2));
        if (roomPerWait != 0)
            network.setRoomPerWait(size_t(roomPerWait));
        const int64_t lostNs = network.startNs() + noRoomFromMs * Ms;
        network.setNoRoom(lostNs, noRoomForMs < 0 ? INT64_MAX : lostNs + noRoomForMs * Ms);
        Sweep::Settings settings;
        settings.rate = 100000;
        const SweepTargets targets = targetsOf({"192.0.2.0/24"});
        Sweep sweep(targets, settings, network);
        sweep.run();

        const QStringList sent = addressesOf(network.requests());
        QCOMPARE(std::set<QString>(sent.begin(), sent.end()).size(), size_t(sent.size()));
        const auto count = uint32_t(sent.size());
        QCOMPARE(sweep.answers().size(), size_t((count + 4) / 5));
        QCOMPARE(sweep.progress().sent + sweep.progress().unsent, 256ull);
        if (noRoomForMs >= 0) {
            QCOMPARE(count, 256u);
            QVERIFY(sweep.unsent().empty());
            return;
        }
        QCOMPARE(sweep.unsent().size(), size_t(1));
        const Sweep::Unsent &unsent = sweep.unsent().front();
        QCOMPARE(unsent.status, uint32_t(IP_NO_RESOURCES));
        QCOMPARE(unsent.count, uint64_t(256 - count));
        QStringList first;
        for (const IpAddress &address : unsent.first)
            first << QString::fromStdString(address.toString());
        QCOMPARE(first, (QStringList{QString("192.0.2.%1").arg(count), QString("192.0.2.%1").arg(count + 1),
                                     QString("192.0.2.%1").arg(count + 2)}));
        const int64_t timeoutNs = settings.timeoutMs * Ms;
        QVERIFY(network.nowNs() >= lostNs + timeoutNs);
        QVERIFY(network.nowNs() <= lostNs + timeoutNs + (count != 0 ? timeoutNs : 0) + 5 * Ms);
    }
};

TOZELO_GUILESS_TEST_MAIN(tst_Sweep)
#include "tst_Sweep.moc"
