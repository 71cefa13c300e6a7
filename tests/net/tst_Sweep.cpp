#include "CliRun.h"
#include "TestFiles.h"
#include "net/TestbedMain.h"
#include "ping/Sweep.h"
#include "ping/SweepTargets.h"
#include "platform/IcmpApi.h"
#include "platform/IcmpTypes.h"
#include "testbed/TestbedNamespaces.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <arpa/inet.h>
#include <chrono>
#include <thread>

// The sweep against the testbed. The host namespace answers for whole blocks (local routes); on the
// way the router drops or rejects chosen parts of them, through an nft table of this test's own, so
// that the fate of every address is known:
//   10.77.8.0/24   silent .0-.63 and .200, rejecting .100-.119 and .255, the rest answers;
//   10.77.16.0/20  silent 10.77.16.0/22 and 10.77.24.0/23, rejecting 10.77.20.0/24 and
//                  10.77.31.128/25, the rest answers;
//   10.78.0.0/15   131,072 addresses, silent but for a few scattered ones (the sequence wrap); the
//                  router looks for 10.78.1.0/26 on a link where they are not, and sends host
//                  unreachable for each request when it gives up, 1.74 s later: by then the request
//                  has timed out and its sequence number has come back into use for another address.
class TestSweep : public QObject {
    Q_OBJECT

    struct Fate {
        QString block;
        QStringList silent;
        QStringList rejecting;
    };

    struct Truth {
        QStringList answering;
        QStringList rejecting;
    };

    const Fate m_small{"10.77.8.0/24", {"10.77.8.0/26", "10.77.8.200"}, {"10.77.8.100-10.77.8.119", "10.77.8.255"}};
    const Fate m_large{"10.77.16.0/20", {"10.77.16.0/22", "10.77.24.0/23"}, {"10.77.20.0/24", "10.77.31.128/25"}};
    const QStringList m_wrapAnswering{"10.78.0.1",    "10.78.0.200-10.78.0.209", "10.78.255.255",
                                      "10.79.0.0",    "10.79.128.0/27",          "10.79.200.17",
                                      "10.79.255.254"};
    const QString m_unresolved = "10.78.1.0/26";
    const QString m_router = "10.77.1.254";
    QTemporaryDir m_dir;
    QMap<QString, QByteArray> m_routerSettings;

    // PROGRAM ARGS... inside one of this testbed's namespaces, with input on its standard input.
    static QByteArray inNamespace(const char *role, const QStringList &command, const QByteArray &input = {},
                                  bool *ok = nullptr)
    {
        QProcess process;
        process.start(TestbedNamespaces::tool("ip"),
                      QStringList{"netns", "exec", TestbedNamespaces::nameOf(role)} + command);
        process.write(input);
        process.closeWriteChannel();
        const bool finished = process.waitForFinished(10000);
        if (ok)
            *ok = finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
        return process.readAllStandardOutput().trimmed();
    }

    bool routes(const QString &action) const
    {
        bool ok = TestbedNamespaces::route("r", action, {m_unresolved, "dev", "to-d"});
        for (const char *block : {"10.77.8.0/24", "10.77.16.0/20", "10.78.0.0/15"}) {
            ok = TestbedNamespaces::route("h", action, {"local", block, "dev", "lo"}) && ok;
            ok = TestbedNamespaces::route("r", action, {block, "via", "10.77.2.1"}) && ok;
        }
        return ok;
    }

    bool setRouter(const QString &name, const QByteArray &value)
    {
        if (!m_routerSettings.contains(name))
            m_routerSettings[name] = inNamespace("r", {"sysctl", "-n", name});
        bool ok = false;
        inNamespace("r", {"sysctl", "-qw", name + "=" + value}, {}, &ok);
        return ok;
    }

    static QString elements(const QStringList &list) { return "{ " + list.join(", ") + " }"; }

    QByteArray nftTable() const
    {
        return QString("table ip sweeptest {\n"
                       "    set silent { type ipv4_addr; flags interval; elements = %1; }\n"
                       "    set rejecting { type ipv4_addr; flags interval; elements = %2; }\n"
                       "    set wrapPassing { type ipv4_addr; flags interval; elements = %3; }\n"
                       "    chain forward {\n"
                       "        type filter hook forward priority -10; policy accept;\n"
                       "        ip daddr @silent drop\n"
                       "        ip daddr @rejecting reject with icmp type host-unreachable\n"
                       "        ip daddr 10.78.0.0/15 ip daddr != @wrapPassing drop\n"
                       "    }\n"
                       "}\n")
            .arg(elements(m_small.silent + m_large.silent), elements(m_small.rejecting + m_large.rejecting),
                 elements(m_wrapAnswering + QStringList{m_unresolved}))
            .toLatin1();
    }

    static SweepTargets targetsOf(const QStringList &list)
    {
        SweepTargets targets;
        for (const QString &target : list)
            targets.add(target.toStdString());
        return targets;
    }

    static bool contains(const SweepTargets &targets, uint32_t address)
    {
        for (const SweepTargets::Range &range : targets.ranges())
            if (address >= range.first && address <= range.last)
                return true;
        return false;
    }

    static QString dotted(uint32_t address)
    {
        char text[INET_ADDRSTRLEN];
        const in_addr networkOrder{htonl(address)};
        return inet_ntop(AF_INET, &networkOrder, text, sizeof text);
    }

    static Truth truthOf(const Fate &fate)
    {
        const SweepTargets silent = targetsOf(fate.silent);
        const SweepTargets rejecting = targetsOf(fate.rejecting);
        const SweepTargets::Range block = targetsOf({fate.block}).ranges().front();
        Truth truth;
        for (uint64_t address = block.first; address <= block.last; ++address) {
            if (contains(rejecting, uint32_t(address)))
                truth.rejecting << dotted(uint32_t(address));
            else if (!contains(silent, uint32_t(address)))
                truth.answering << dotted(uint32_t(address));
        }
        return truth;
    }

    static QStringList addressesOf(const SweepTargets &targets)
    {
        QStringList list;
        for (const SweepTargets::Range &range : targets.ranges())
            for (uint64_t address = range.first; address <= range.last; ++address)
                list << dotted(uint32_t(address));
        return list;
    }

    static Sweep sweepOf(const QStringList &targets, const Sweep::Settings &settings, SweepTargets &storage)
    {
        storage = targetsOf(targets);
        return Sweep(storage, settings);
    }

    // The replies and the errors of a sweep, each in address order.
    static Truth foundBy(const Sweep &sweep)
    {
        Truth found;
        for (const Sweep::Answer &answer : sweep.answers())
            (answer.status == IP_SUCCESS ? found.answering : found.rejecting) << dotted(answer.address);
        return found;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(qEnvironmentVariable("TOZELO_CLI")), "TOZELO_CLI not set");
        QVERIFY(m_dir.isValid());
        if (TestbedNamespaces::tool("nft").isEmpty())
            QSKIP("the silent and rejecting hosts need nft");
        QVERIFY2(routes("add"), "cannot add the sweep's routes to the testbed");
        bool ok = false;
        inNamespace("r", {"nft", "-f", "-"}, nftTable(), &ok);
        QVERIFY2(ok, "cannot add the sweep's nft table to the router");
        // The router's errors are limited per second by default; here every one of them counts.
        QVERIFY2(setRouter("net.ipv4.icmp_ratemask", "0"), "cannot lift the router's limit on ICMP errors");
        // Three neighbour probes 580 ms apart: given up 1.74 s after the request, half a time-out after
        // the sequence wrap test has used its number again (65,536 requests at 40,000 a second).
        QVERIFY2(setRouter("net.ipv4.neigh.to-d.retrans_time_ms", "580") &&
                     setRouter("net.ipv4.neigh.to-d.mcast_solicit", "3"),
                 "cannot set the router's neighbour probes");
    }

    void cleanupTestCase()
    {
        IcmpApi::Testing::faults() = IcmpApi::Testing::Faults();
        for (auto setting = m_routerSettings.cbegin(); setting != m_routerSettings.cend(); ++setting)
            inNamespace("r", {"sysctl", "-qw", setting.key() + "=" + QString::fromLatin1(setting.value())});
        inNamespace("r", {"nft", "delete", "table", "ip", "sweeptest"});
        routes("del");
    }

    void exactTruth_data()
    {
        QTest::addColumn<bool>("raw");
        QTest::addColumn<int>("which");
        QTest::newRow("/24, datagram socket") << false << 0;
        QTest::newRow("/24, raw socket") << true << 0;
        QTest::newRow("/20, datagram socket") << false << 1;
        QTest::newRow("/20, raw socket") << true << 1;
    }

    // Every answering host, every rejecting one with the router's error, and nothing else.
    void exactTruth()
    {
        QFETCH(bool, raw);
        QFETCH(int, which);
        const Fate &fate = which == 0 ? m_small : m_large;
        IcmpApi::Testing::faults().forbidDatagram = raw;
        SweepTargets targets;
        Sweep::Settings settings;
        settings.timeoutMs = 300;
        Sweep sweep = sweepOf({fate.block}, settings, targets);
        sweep.run();
        QCOMPARE(sweep.socketKind(), raw ? IcmpSocket::Kind::Raw : IcmpSocket::Kind::Datagram);

        const Truth truth = truthOf(fate);
        const Truth found = foundBy(sweep);
        QCOMPARE(found.answering, truth.answering);
        QCOMPARE(found.rejecting, truth.rejecting);
        QCOMPARE(sweep.progress().sent, targets.count());
        for (const Sweep::Answer &answer : sweep.answers()) {
            QVERIFY2(answer.rttMs > 0 && answer.rttMs < settings.timeoutMs, qPrintable(QString::number(answer.rttMs)));
            if (answer.status != IP_SUCCESS) {
                QCOMPARE(answer.status, uint32_t(IP_DEST_HOST_UNREACHABLE));
                QCOMPARE(dotted(answer.from), m_router);
            }
        }
    }

    // More than 65,536 requests: every sequence number comes back into use, and a retry pass asks the
    // silent ones again, without an answer going to the wrong address or getting lost. The late errors
    // about 10.78.1.0/26 name sequence numbers that other requests hold when they come.
    void sequenceWrap()
    {
        SweepTargets targets;
        Sweep::Settings settings;
        settings.rate = 40000;
        settings.timeoutMs = 200;
        settings.retries = 1;
        Sweep sweep = sweepOf({"10.78.0.0/15"}, settings, targets);
        sweep.run();
        const QStringList truth = addressesOf(targetsOf(m_wrapAnswering));
        QCOMPARE(foundBy(sweep).answering, truth);
        QCOMPARE(sweep.progress().errors, 0ull);
        QCOMPARE(sweep.progress().sent, 2 * targets.count() - quint64(truth.size()));
    }

    // Retries ask again only the addresses not heard from, over a count of addresses that is not a
    // multiple of 64 and across the edges of the bookkeeping's 64-address words: every host that
    // answers or rejects is listed once.
    void retriesAskOnlyTheSilent_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("retries");
        QTest::newRow("11 addresses, 4 silent") << "10.77.8.60-10.77.8.70" << 1;
        QTest::newRow("131 addresses, 64 silent") << "10.77.8.0-10.77.8.130" << 2;
    }

    void retriesAskOnlyTheSilent()
    {
        QFETCH(QString, target);
        QFETCH(int, retries);
        SweepTargets targets;
        Sweep::Settings settings;
        settings.timeoutMs = 100;
        settings.retries = retries;
        Sweep sweep = sweepOf({target}, settings, targets);
        sweep.run();
        const Truth truth = truthOf(m_small);
        const auto inTarget = [&targets](const QStringList &list) {
            QStringList kept;
            for (const QString &address : list)
                if (contains(targets, ntohl(inet_addr(qPrintable(address)))))
                    kept << address;
            return kept;
        };
        const QStringList answering = inTarget(truth.answering), rejecting = inTarget(truth.rejecting);
        const Truth found = foundBy(sweep);
        QCOMPARE(found.answering, answering);
        QCOMPARE(found.rejecting, rejecting);
        const quint64 silent = targets.count() - quint64(answering.size() + rejecting.size());
        QCOMPARE(sweep.progress().sent, targets.count() + quint64(retries) * silent);
    }

    // The delayed hosts answer after as many milliseconds as their last octet: a reply after the
    // time-out is no reply, whether it comes after the request was given up or while the sweep was
    // held up elsewhere (here by its progress report) and is read before the request is given up.
    void lateAnswersAreSilence()
    {
        SweepTargets targets;
        Sweep::Settings settings;
        settings.timeoutMs = 35;
        Sweep sweep = sweepOf({"10.77.3.40", "10.77.3.1", "10.77.3.5"}, settings, targets);
        sweep.run();
        QCOMPARE(foundBy(sweep).answering, (QStringList{"10.77.3.1", "10.77.3.5"}));
        for (const Sweep::Answer &answer : sweep.answers())
            QVERIFY2(answer.rttMs >= (answer.address & 0xFF) && answer.rttMs <= settings.timeoutMs,
                     qPrintable(dotted(answer.address) + " " + QString::number(answer.rttMs)));

        Sweep heldUp = sweepOf({"10.77.3.40"}, settings, targets);
        bool held = false;
        heldUp.onProgress = [&held](const Sweep::Progress &progress) {
            if (held || progress.sent == 0)
                return;
            held = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(70));
        };
        heldUp.run();
        QVERIFY(held);
        QVERIFY(heldUp.answers().empty());
    }

    void rateIsHonoured_data()
    {
        QTest::addColumn<QString>("block");
        QTest::addColumn<int>("rate");
        QTest::newRow("1,000 a second") << "10.78.64.0/21" << 1000;
        QTest::newRow("20,000 a second") << "10.78.64.0/18" << 20000;
    }

    // Silent addresses, so the sweep lasts as long as its sending and one time-out.
    void rateIsHonoured()
    {
        QFETCH(QString, block);
        QFETCH(int, rate);
        SweepTargets targets;
        Sweep::Settings settings;
        settings.rate = rate;
        settings.timeoutMs = 50;
        Sweep sweep = sweepOf({block}, settings, targets);
        QElapsedTimer clock;
        clock.start();
        sweep.run();
        const double sending = clock.nsecsElapsed() / 1e9 - settings.timeoutMs / 1e3;
        const double expected = double(targets.count() - 1) / rate;
        QVERIFY2(
            qAbs(sending - expected) <= 0.1 * expected,
            qPrintable(
                QString("%1 requests took %2 s to send, not %3 s").arg(targets.count()).arg(sending).arg(expected)));
        QCOMPARE(sweep.progress().sent, targets.count());
        QVERIFY(sweep.answers().empty());
    }

    // The three formats and the saved machine list, from the command line.
    void commandLine()
    {
        const Truth truth = truthOf(m_small);
        const QString saved = m_dir.filePath("found.dat");
        CliRun run = CliRun::of({"sweep", m_small.block, "--timeout", "300", "--save", saved});
        QCOMPARE(run.status, 0);
        QCOMPARE(run.err, QStringList());
        QCOMPARE(contentsOf(saved), (truth.answering.join("\r\n") + "\r\n").toLatin1());

        const QStringList lines = run.out;
        QCOMPARE(lines.size(), truth.answering.size() + truth.rejecting.size() + 1);
        QCOMPARE(lines.last(), QString("%1 of 256 addresses answered").arg(truth.answering.size()));
        const QRegularExpression replyLine("^(\\S+) \\d+\\.\\d{3} ms$");
        QStringList replies;
        QStringList errors;
        for (const QString &line : lines.mid(0, lines.size() - 1)) {
            const QRegularExpressionMatch reply = replyLine.match(line);
            if (reply.hasMatch())
                replies << reply.captured(1);
            else
                errors << line;
        }
        QCOMPARE(replies, truth.answering);
        QCOMPARE(errors.first(), "10.77.8.100 Destination host unreachable from " + m_router);
        QCOMPARE(errors.size(), truth.rejecting.size());

        run = CliRun::of({"sweep", m_small.block, "--timeout", "300", "--format", "csv"});
        QCOMPARE(run.status, 0);
        const QStringList rows = run.out;
        QCOMPARE(rows.first(), "address,rtt_ms,error,error_from");
        QCOMPARE(rows.size(), 1 + truth.answering.size() + truth.rejecting.size());
        QVERIFY2(QRegularExpression("^10\\.77\\.8\\.64,\\d+\\.\\d{3},,$").match(rows[1]).hasMatch(),
                 qPrintable(rows[1]));
        QVERIFY(rows.contains("10.77.8.255,,Destination host unreachable," + m_router));

        run = CliRun::of({"sweep", "10.77.8.119-10.77.8.121", "10.77.8.200", "--timeout", "300", "--format", "json"});
        QCOMPARE(run.status, 0);
        const QJsonObject json = QJsonDocument::fromJson(run.output).object();
        QCOMPARE(json["addresses"].toInt(), 4);
        QCOMPARE(json["requests"].toInt(), 4);
        const QJsonArray replyList = json["replies"].toArray();
        QCOMPARE(replyList.size(), 2);
        QCOMPARE(replyList[0]["address"].toString(), "10.77.8.120");
        QVERIFY(replyList[1]["rtt_ms"].toDouble() > 0);
        QCOMPARE(json["errors"].toArray(), (QJsonArray{QJsonObject{{"address", "10.77.8.119"},
                                                                   {"status", int(IP_DEST_HOST_UNREACHABLE)},
                                                                   {"error", "Destination host unreachable"},
                                                                   {"from", m_router}}}));
    }

    void noneAnswered()
    {
        const QString saved = m_dir.filePath("none.dat");
        const CliRun run = CliRun::of({"sweep", "10.77.8.0/26", "--timeout", "50", "--retries", "1", "--save", saved});
        QCOMPARE(run.status, 1);
        QCOMPARE(run.output, QByteArray("0 of 64 addresses answered\n"));
        QCOMPARE(contentsOf(saved), QByteArray());
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no target") << QStringList{"--rate", "100"};
        QTest::newRow("bad target") << QStringList{"10.77.8.300"};
        QTest::newRow("too many addresses") << QStringList{"10.77.8.0/24", "10.0.0.0/7"};
        QTest::newRow("rate 0") << QStringList{"10.77.8.0/24", "--rate", "0"};
        QTest::newRow("negative retries") << QStringList{"10.77.8.0/24", "--retries", "-1"};
        QTest::newRow("TTL 0") << QStringList{"10.77.8.0/24", "--ttl", "0"};
        QTest::newRow("size too big") << QStringList{"10.77.8.0/24", "--size", "65501"};
        QTest::newRow("unknown format") << QStringList{"10.77.8.0/24", "--format", "xml"};
        QTest::newRow("unknown option") << QStringList{"10.77.8.0/24", "--interval", "5"};
    }

    void usageErrors()
    {
        QFETCH(QStringList, args);
        const CliRun run = CliRun::of(QStringList{"sweep"} + args);
        QCOMPARE(run.status, 2);
        QCOMPARE(run.output, QByteArray());
        QCOMPARE(run.err.size(), 1);
    }
};

int main(int argc, char **argv)
{
    return runInTestbed<TestSweep>(argc, argv);
}
#include "tst_Sweep.moc"
