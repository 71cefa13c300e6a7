// The TCP probe against the testbed: T (198.18.7.1, fd00:198:18:7::1) drops echo requests, listens on
// port 443 and resets the others; the router drops 198.18.4.0/24 and fd00:198:18:4::/64 and answers
// host unreachable for 198.18.5.0/24 and fd00:198:18:5::/64; the client has no route to 250.0.0.0/8
// or fd00:198:19::/48.
#include "SweepTargetList.h"
#include "net/TestbedMain.h"
#include "sweep/TcpProbe.h"
#include "testbed/TestbedNamespaces.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QtTest>
#include <atomic>
#include <chrono>
#include <sys/resource.h>
#include <thread>

Q_DECLARE_METATYPE(std::vector<uint16_t>)

namespace {

QStringList found(const TcpProbe &probe)
{
    QStringList lines;
    for (const TcpProbe::Answer &answer : probe.answers())
        lines << QString("%1 %2 %3")
                     .arg(QString::fromStdString(answer.address.toString()))
                     .arg(answer.port)
                     .arg(answer.open ? "open" : "closed");
    return lines;
}

int openDescriptors()
{
    return int(QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size());
}

// The most descriptors open at once while run() runs, sampled every millisecond.
int peakDescriptorsWhile(TcpProbe &probe)
{
    std::atomic<bool> running{true};
    std::atomic<int> peak{0};
    std::thread sampler([&] {
        for (int i = 0; running && i < 60000; ++i) {
            peak = std::max(peak.load(), openDescriptors());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    probe.run();
    running = false;
    sampler.join();
    return peak;
}

// The client's connections in TIME_WAIT, of either family.
int timeWaits()
{
    int count = 0;
    for (const char *table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file(table);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : file.readAll().split('\n'))
            count += line.simplified().split(' ').value(3) == "06";
    }
    return count;
}

// nft on the router; an empty stdin for a command alone.
bool routerNft(const QStringList &args, const QByteArray &input = {})
{
    QProcess process;
    process.start(TestbedNamespaces::tool("ip"),
                  QStringList{"netns", "exec", TestbedNamespaces::nameOf("r"), TestbedNamespaces::tool("nft")} + args);
    process.write(input);
    process.closeWriteChannel();
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

class tst_TcpProbe : public QObject {
    Q_OBJECT

    const QStringList m_fates{"198.18.4.1",       "198.18.5.1",       "198.18.7.1",       "250.0.0.1",
                              "fd00:198:18:4::1", "fd00:198:18:5::1", "fd00:198:18:7::1", "fd00:198:19::1"};

private slots:
    // The host that answers, by the first port that did; silence, an ICMP error and no route are no
    // answer, and each port is asked in turn until one answers. A connection made is reset at once, so
    // that none is left waiting out TIME_WAIT.
    void findsTheHostsThatAnswer_data()
    {
        QTest::addColumn<std::vector<uint16_t>>("ports");
        QTest::addColumn<QStringList>("answers");
        QTest::newRow("SYN-ACK") << std::vector<uint16_t>{443, 444}
                                 << QStringList{"198.18.7.1 443 open", "fd00:198:18:7::1 443 open"};
        QTest::newRow("RST") << std::vector<uint16_t>{444, 443}
                             << QStringList{"198.18.7.1 444 closed", "fd00:198:18:7::1 444 closed"};
    }
    void findsTheHostsThatAnswer()
    {
        QFETCH(std::vector<uint16_t>, ports);
        QFETCH(QStringList, answers);
        const SweepTargets targets = targetsOf(m_fates);
        TcpProbe::Settings settings;
        settings.ports = ports;
        settings.timeoutMs = 500;
        TcpProbe probe(targets, settings);
        probe.run();
        QCOMPARE(found(probe), answers);
        // Both ports to each of the six that did not answer, one to each that did.
        QCOMPARE(probe.progress().attempts, uint64_t(6 * 2 + 2));
        QCOMPARE(probe.progress().refused, uint64_t(2 * 2));
        QCOMPARE(timeWaits(), 0);
    }

    // A router's port unreachable ends the connect() as a host's reset does, but proves nothing of the
    // host: the next port is asked.
    void portUnreachableIsNoAnswer()
    {
        if (TestbedNamespaces::tool("nft").isEmpty())
            QSKIP("the router's port unreachable needs nft");
        QVERIFY(routerNft({"-f", "-"},
                          "table inet tcpprobe {\n"
                          "    chain forward {\n"
                          "        type filter hook forward priority -10; policy accept;\n"
                          "        ip daddr 198.18.7.1 tcp dport 445 reject with icmp type port-unreachable\n"
                          "        ip6 daddr fd00:198:18:7::1 tcp dport 445 reject with icmpv6 type "
                          "port-unreachable\n"
                          "    }\n"
                          "}\n"));
        const SweepTargets targets = targetsOf({"198.18.7.1", "fd00:198:18:7::1"});
        TcpProbe::Settings settings;
        settings.ports = {445, 443};
        TcpProbe probe(targets, settings);
        probe.run();
        QVERIFY(routerNft({"delete", "table", "inet", "tcpprobe"}));
        QCOMPARE(found(probe), (QStringList{"198.18.7.1 443 open", "fd00:198:18:7::1 443 open"}));
    }

    // Never more attempts open than the bound, which the descriptor limit holds to a quarter of it: the
    // silent block takes at least a time-out for each bound's worth of hosts.
    void holdsTheBoundInFlight_data()
    {
        QTest::addColumn<int>("inFlight");
        QTest::addColumn<int>("descriptors");
        QTest::addColumn<int>("bound");
        QTest::newRow("asked") << 8 << 0 << 8;
        QTest::newRow("descriptor limit") << 1000 << 64 << 16;
    }
    void holdsTheBoundInFlight()
    {
        QFETCH(int, inFlight);
        QFETCH(int, descriptors);
        QFETCH(int, bound);
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_NOFILE, &saved), 0);
        if (descriptors > 0) {
            const rlimit lowered{rlim_t(descriptors), saved.rlim_max};
            QCOMPARE(setrlimit(RLIMIT_NOFILE, &lowered), 0);
        }
        const SweepTargets targets = targetsOf({"198.18.4.0/26"});
        TcpProbe::Settings settings;
        settings.ports = {80};
        settings.inFlight = inFlight;
        settings.rate = TcpProbe::Settings::MaxRate;
        settings.timeoutMs = 300;
        TcpProbe probe(targets, settings);
        setrlimit(RLIMIT_NOFILE, &saved);
        QCOMPARE(probe.inFlightBound(), size_t(bound));
        const int before = openDescriptors();
        QElapsedTimer timer;
        timer.start();
        const int peak = peakDescriptorsWhile(probe);
        const qint64 elapsedMs = timer.elapsed();
        QVERIFY(probe.answers().empty());
        QCOMPARE(probe.progress().attempts, uint64_t(64));
        // The epoll set and the stop descriptor beside the sockets.
        QVERIFY2(peak - before <= bound + 2, qPrintable(QString("%1 descriptors more at once").arg(peak - before)));
        QVERIFY2(elapsedMs >= 64 / bound * settings.timeoutMs, qPrintable(QString("over in %1 ms").arg(elapsedMs)));
    }

    // Stopped while every attempt waits out a long time-out, the probe ends at once, its sockets closed.
    void stopsPromptly()
    {
        const SweepTargets targets = targetsOf({"198.18.4.0/24"});
        TcpProbe::Settings settings;
        settings.timeoutMs = TcpProbe::Settings::MaxTimeoutMs;
        TcpProbe probe(targets, settings);
        const int before = openDescriptors();
        std::thread stopper([&probe] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            probe.stop();
        });
        QElapsedTimer timer;
        timer.start();
        probe.run();
        const qint64 elapsedMs = timer.elapsed();
        stopper.join();
        QVERIFY2(elapsedMs < 10000, qPrintable(QString("stopped after %1 ms").arg(elapsedMs)));
        QCOMPARE(openDescriptors(), before);
        QVERIFY(probe.progress().attempts > 0);
    }
};

TOZELO_TESTBED_TEST_MAIN(tst_TcpProbe)
#include "tst_TcpProbe.moc"
