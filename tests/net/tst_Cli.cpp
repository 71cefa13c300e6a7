#include "CliRun.h"
#include "TestFiles.h"
#include "net/TestbedMain.h"
#include "testbed/BlindForger.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

// tozelo-cli against the testbed's hosts: every way a single ping ends, as a user reads it, and the
// exit status a script would test; no answer that a forger who sees nothing could fake; a sweep of
// targets from files and standard input, less exclusions, with the names the testbed's hosts file
// gives.
class TestCliNet : public QObject {
    Q_OBJECT

    static constexpr const char *PingGroupRange = "/proc/sys/net/ipv4/ping_group_range";
    static constexpr const char *OpenToEveryGroup = "0 2147483647";

    QTemporaryDir m_folder;

    // The same over IPv6: the address in its one written form, names of one family or both.
    static void addIpv6Rows()
    {
        const QString host = "fd00:198:18:2::1", delayed = "fd00:198:18:3::40";
        const auto sent = [](const QString &name, const QString &address, const QString &last) {
            return QStringList{"Resolving host '" + name + "'", "Host '" + name + "' is " + address,
                               "Sending 56 bytes to " + address + " (" + address + ")", last};
        };
        const auto received = [](const QString &address) {
            return "^Received 56 bytes from " + QRegularExpression::escape(address) + " in (\\d+) mSecs$";
        };
        const auto failed = [&sent](const QString &name, const QString &address, const QString &error) {
            return sent(name, address, "Cannot ping host (" + address + ") : ") << "==> " + error + " <==";
        };
        QTest::newRow("IPv6 address, written long") << QStringList{"ping", "FD00:198:18:2:0:0:0:1"} << 0
                                                    << sent("FD00:198:18:2:0:0:0:1", host, received(host)) << 0;
        QTest::newRow("IPv6 name") << QStringList{"ping", "delayed40.v6.tozelo.test", "--timeout", "1000"} << 0
                                   << sent("delayed40.v6.tozelo.test", delayed, received(delayed)) << 40;
        QTest::newRow("both families, -6") << QStringList{"ping", "-6", "answering.tozelo.test"} << 0
                                           << sent("answering.tozelo.test", host, received(host)) << 0;
        QTest::newRow("both families, -4") << QStringList{"ping", "answering.tozelo.test", "-4"} << 0
                                           << sent("answering.tozelo.test", "198.18.2.1", received("198.18.2.1")) << 0;
        QTest::newRow("IPv6 name, -4") << QStringList{"ping", "-4", "answering.v6.tozelo.test"} << 1
                                       << QStringList{"Resolving host 'answering.v6.tozelo.test'",
                                                      "Dominio desconocido 'answering.v6.tozelo.test'"}
                                       << 0;
        QTest::newRow("IPv6 silent") << QStringList{"ping", "silent.v6.tozelo.test", "--timeout", "200"} << 1
                                     << failed("silent.v6.tozelo.test", "fd00:198:18:4::1", "Request timed out") << 0;
        QTest::newRow("IPv6 unreachable")
            << QStringList{"ping", "unreachable.v6.tozelo.test"} << 1
            << failed("unreachable.v6.tozelo.test", "fd00:198:18:5::1", "Destination host unreachable") << 0;
        QTest::newRow("IPv6 hop limit 1") << QStringList{"ping", "-6", "answering.tozelo.test", "--ttl", "1"} << 1
                                          << failed("answering.tozelo.test", host, "TTL expired in transit") << 0;
    }

private slots:
    void initTestCase()
    {
        const QString cli = qEnvironmentVariable("TOZELO_CLI");
        QVERIFY2(QFile::exists(cli), qPrintable("no tozelo-cli at '" + cli + "' (TOZELO_CLI)"));
    }

    // As the testbed leaves its client: every group may open ICMP datagram sockets.
    void cleanup() { writeFile(PingGroupRange, OpenToEveryGroup); }

    void ping_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("lines"); // a line starting with ^ is a pattern: its number, a time
        QTest::addColumn<int>("minRtt");
        QTest::newRow("answering name") << QStringList{"ping", "answering.tozelo.test"} << 0
                                        << QStringList{"Resolving host 'answering.tozelo.test'",
                                                       "Host 'answering.tozelo.test' is 198.18.2.1",
                                                       "Sending 56 bytes to 198.18.2.1 (198.18.2.1)",
                                                       "^Received 56 bytes from 198\\.18\\.2\\.1 in (\\d+) mSecs$"}
                                        << 0;
        QTest::newRow("delayed, size and ttl")
            << QStringList{"ping", "delayed40.tozelo.test", "--size", "100", "--ttl", "3", "--timeout", "1000"} << 0
            << QStringList{"Resolving host 'delayed40.tozelo.test'", "Host 'delayed40.tozelo.test' is 198.18.3.40",
                           "Sending 100 bytes to 198.18.3.40 (198.18.3.40)",
                           "^Received 100 bytes from 198\\.18\\.3\\.40 in (\\d+) mSecs$"}
            << 40;
        QTest::newRow("dotted address") << QStringList{"ping", "198.18.3.5"} << 0
                                        << QStringList{"Resolving host '198.18.3.5'", "Host '198.18.3.5' is 198.18.3.5",
                                                       "Sending 56 bytes to 198.18.3.5 (198.18.3.5)",
                                                       "^Received 56 bytes from 198\\.18\\.3\\.5 in (\\d+) mSecs$"}
                                        << 5;
        QTest::newRow("silent") << QStringList{"ping", "silent.tozelo.test", "--timeout", "200"} << 1
                                << QStringList{"Resolving host 'silent.tozelo.test'",
                                               "Host 'silent.tozelo.test' is 198.18.4.1",
                                               "Sending 56 bytes to 198.18.4.1 (198.18.4.1)",
                                               "Cannot ping host (198.18.4.1) : ", "==> Request timed out <=="}
                                << 0;
        QTest::newRow("unreachable") << QStringList{"ping", "unreachable.tozelo.test"} << 1
                                     << QStringList{"Resolving host 'unreachable.tozelo.test'",
                                                    "Host 'unreachable.tozelo.test' is 198.18.5.1",
                                                    "Sending 56 bytes to 198.18.5.1 (198.18.5.1)",
                                                    "Cannot ping host (198.18.5.1) : ",
                                                    "==> Destination host unreachable <=="}
                                     << 0;
        QTest::newRow("ttl 1") << QStringList{"ping", "answering.tozelo.test", "--ttl", "1"} << 1
                               << QStringList{"Resolving host 'answering.tozelo.test'",
                                              "Host 'answering.tozelo.test' is 198.18.2.1",
                                              "Sending 56 bytes to 198.18.2.1 (198.18.2.1)",
                                              "Cannot ping host (198.18.2.1) : ", "==> TTL expired in transit <=="}
                               << 0;
        // A size the engine refuses is a failed request, not a usage error.
        QTest::newRow("refused size") << QStringList{"ping", "198.18.2.1", "--size", "70000"} << 1
                                      << QStringList{"Resolving host '198.18.2.1'", "Host '198.18.2.1' is 198.18.2.1",
                                                     "Sending 70000 bytes to 198.18.2.1 (198.18.2.1)",
                                                     "Cannot ping host (198.18.2.1) : ", "==> Packet too big <=="}
                                      << 0;
        QTest::newRow("unknown host") << QStringList{"ping", "nosuch.tozelo.test"} << 1
                                      << QStringList{"Resolving host 'nosuch.tozelo.test'",
                                                     "Dominio desconocido 'nosuch.tozelo.test'"}
                                      << 0;
        addIpv6Rows();
    }

    void ping()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QStringList, lines);
        QFETCH(int, minRtt);
        const CliRun cli = CliRun::of(args, 10000);
        QVERIFY2(cli.ended, "tozelo-cli did not end");
        QVERIFY2(cli.errorOutput.isEmpty(), cli.errorOutput.constData());
        QCOMPARE(cli.status, status);
        const QStringList &out = cli.out;
        QCOMPARE(out.size(), lines.size());
        for (int i = 0; i < lines.size(); ++i) {
            if (lines[i].startsWith('^')) {
                const QRegularExpressionMatch match = QRegularExpression(lines[i]).match(out[i]);
                QVERIFY2(match.hasMatch() && match.captured(1).toInt() >= minRtt, qPrintable(out[i]));
            } else {
                QCOMPARE(out[i], lines[i]);
            }
        }
    }

    void blindForgeryAnswersNothing_data()
    {
        QTest::addColumn<bool>("helper");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("last");
        const QString list = m_folder.filePath("silent.dat");
        writeFile(list, "198.18.4.1\r\n");
        for (const auto &[kind, helper] : {std::pair{"datagram", false}, std::pair{"helper", true}}) {
            QTest::addRow("%s: ping", kind)
                << helper << QStringList{"ping", "198.18.4.1", "--timeout", "2000"} << 1 << "==> Request timed out <==";
            QTest::addRow("%s: scan", kind)
                << helper << QStringList{"scan", "198.18.4.1", "198.18.4.1", "--timeout", "2000", "--interval", "100"}
                << 0 << "Encontradas 0 Maquinas";
            QTest::addRow("%s: reping", kind)
                << helper << QStringList{"reping", list, "--timeout", "2000"} << 0 << "198.18.4.1(error)";
        }
    }

    // A forger who sprays echo replies from a silent host for every identifier, with the first
    // sequence numbers and the public payload, finds none of them taken as an answer: on datagram
    // sockets, and through the helper where this network refuses them.
    void blindForgeryAnswersNothing()
    {
        QFETCH(bool, helper);
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, last);
        writeFile(PingGroupRange, helper ? "1 0" : OpenToEveryGroup);
        BlindForger forger;
        QVERIFY2(forger.ready(), "the forger did not start");
        const CliRun cli = CliRun::of(args, 20000);
        QVERIFY2(cli.ended && cli.errorOutput.isEmpty(), cli.errorOutput.constData());
        QCOMPARE(cli.status, status);
        QCOMPARE(cli.out.last(), last);
    }

    // Of 198.18.3.0/26 only the delayed hosts .1, .5, .10, .20 and .40 answer (the router finds no
    // other); .5 and .32-.63 are excluded.
    void sweepFromFilesLessExclusions()
    {
        QTemporaryDir folder;
        const QString exclusions = folder.filePath("exclusions.txt");
        writeFile(exclusions, "# the upper half\r\n198.18.3.32-198.18.3.63\r\n");
        const CliRun cli = CliRun::of({"sweep", "-f", "-", "--exclude", "198.18.3.5", "--exclude-file", exclusions,
                                       "--names", "--timeout", "300"},
                                      10000, "198.18.3.0/26   # the delayed hosts\n\n198.18.2.1\n");
        QVERIFY2(cli.ended, "tozelo-cli did not end");
        QVERIFY2(cli.errorOutput.isEmpty(), cli.errorOutput.constData());
        QCOMPARE(cli.status, 0);
        QStringList lines = cli.out;
        lines.replaceInStrings(QRegularExpression(" \\d+\\.\\d{3} ms "), " ms ");
        QCOMPARE(lines, (QStringList{"198.18.2.1 ms answering.tozelo.test", "198.18.3.1 ms delayed1.tozelo.test",
                                     "198.18.3.10 ms delayed10.tozelo.test", "198.18.3.20 ms delayed20.tozelo.test",
                                     "4 of 32 addresses answered"}));
    }

    // On a pipe only when asked for: a line a second with the count sent, the answers, the rate and
    // the time left. 198.18.4.0/24 is silent: 256 requests at 200 a second take 1.3 s. A busy machine
    // may send more slowly and so leave more time, but a line a second cannot show more than were sent.
    void sweepProgress()
    {
        const QStringList sweep{"sweep", "198.18.4.0/24", "--rate", "200", "--timeout", "300"};
        const CliRun quiet = CliRun::of(sweep, 10000);
        QCOMPARE(quiet.status, 1);
        QCOMPARE(quiet.err, QStringList());
        const CliRun told = CliRun::of(sweep + QStringList{"--progress"}, 10000);
        QCOMPARE(told.status, 1);
        QCOMPARE(told.out, QStringList{"0 of 256 addresses answered"});
        QVERIFY2(!told.err.isEmpty(), "no progress");
        const QRegularExpression line("^sweep: (\\d+) sent to 256 addresses, 0 answered, (\\d+)/s, \\d+:\\d\\d left$");
        for (const QString &each : told.err) {
            const QRegularExpressionMatch match = line.match(each);
            QVERIFY2(match.hasMatch(), qPrintable(each));
            const int sent = match.captured(1).toInt();
            const int rate = match.captured(2).toInt();
            QVERIFY2(sent > 0 && sent <= 256 && rate > 0 && rate <= 256, qPrintable(each));
        }
    }
};

TOZELO_TESTBED_TEST_MAIN(TestCliNet)

#include "tst_Cli.moc"
