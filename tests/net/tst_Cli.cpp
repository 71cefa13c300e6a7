#include "CliRun.h"
#include "TestFiles.h"
#include "TextMatch.h"
#include "net/AskedOnLink.h"
#include "net/RequestTrap.h"
#include "net/TestbedMain.h"
#include "testbed/BlindForger.h"
#include "testbed/SilentNameServer.h"
#include "testbed/TestbedNamespaces.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>
#include <csignal>
#include <memory>
#include <optional>

// A link of the client's whose far end went down for good: it has no carrier, and what is sent to
// its block, 198.18.224.0/19, waits in its queue for neighbours that never answer. The link goes
// with the object.
class LostLink {
public:
    LostLink()
    {
        const auto ip = [](const QStringList &args) {
            return QProcess::execute(TestbedNamespaces::tool("ip"),
                                     QStringList{"-n", TestbedNamespaces::nameOf("c")} + args) == 0;
        };
        m_ready = ip({"link", "add", Near, "type", "veth", "peer", "name", Far}) &&
                  ip({"addr", "add", "198.18.255.254/19", "dev", Near}) && ip({"link", "set", Near, "up"}) &&
                  ip({"link", "set", Far, "down"});
    }
    ~LostLink()
    {
        QProcess::execute(TestbedNamespaces::tool("ip"), {"-n", TestbedNamespaces::nameOf("c"), "link", "del", Near});
    }
    LostLink(const LostLink &) = delete;
    LostLink &operator=(const LostLink &) = delete;

    bool ready() const { return m_ready; }

private:
    static constexpr const char *Near = "lost0";
    static constexpr const char *Far = "lost1";
    bool m_ready = false;
};

// tozelo-cli against the testbed's hosts: every way a single ping ends, as a user reads it, and the
// exit status a script would test; no answer that a forger who sees nothing could fake; every
// option of a sweep, by what it prints and by what it sends to a trap routed 198.18.200.0/24 and
// fd00:198:18:200::/120, where nothing answers.
class TestCliNet : public QObject {
    Q_OBJECT

    static constexpr const char *PingGroupRange = "/proc/sys/net/ipv4/ping_group_range";
    static constexpr const char *OpenToEveryGroup = "0 2147483647";

    QTemporaryDir m_folder;

    std::unique_ptr<RequestTrap> m_trap;

    // The first count addresses of the trap's block of one family, in order.
    static QStringList trapped(bool v6, int count)
    {
        QStringList addresses;
        for (int i = 0; i < count; ++i)
            addresses << (v6 ? (i == 0 ? QString("fd00:198:18:200::") : QString("fd00:198:18:200::%1").arg(i, 0, 16))
                             : QString("198.18.200.%1").arg(i));
        return addresses;
    }

    static QStringList sorted(QStringList list)
    {
        list.sort();
        return list;
    }

    // Packets this namespace's IPv4 stack was given to send, so far.
    static qint64 ipRequestsSent()
    {
        const QList<QByteArray> lines = contentsOf("/proc/net/snmp").split('\n');
        const QList<QByteArray> names = lines.value(0).simplified().split(' ');
        const qsizetype column = names.indexOf("OutRequests");
        return column > 0 && names.first() == "Ip:" ? lines.value(1).simplified().split(' ').value(column).toLongLong()
                                                    : -1;
    }

    // The least round-trip time of an address: 198.18.3.N and fd00:198:18:3::N answer N ms late.
    static int leastMs(const QString &address)
    {
        const QRegularExpressionMatch delayed =
            QRegularExpression("^(?:198\\.18\\.3\\.|fd00:198:18:3::)(\\d+)$").match(address);
        return delayed.hasMatch() ? delayed.captured(1).toInt() : 0;
    }

    // A sweep's output with its times as T, and those of the clock and the version as S and V; a
    // round-trip time below its least shows as such.
    static QStringList masked(QStringList lines)
    {
        // An address and its time in text, CSV and JSON.
        const QRegularExpression reply("^(\\S+) (\\d+\\.\\d{3}) ms|^([^,]+),(\\d+\\.\\d{3}),|"
                                       "\"address\":\"([^\"]+)\"(?:,\"name\":\"[^\"]*\")?,\"rtt_ms\":([\\d.]+)");
        const std::pair<const char *, const char *> xml[] = {
            {"srtt=\"\\d+\" rttvar=\"\\d+\"", "srtt=\"T\" rttvar=\"T\""},
            {"(start|time)=\"\\d+\"", "\\1=\"S\""},
            {"(startstr|timestr)=\"[^\"]+\"", "\\1=\"S\""},
            {"swept in [\\d.]+ seconds\" elapsed=\"[\\d.]+\"", "swept in S seconds\" elapsed=\"S\""},
            {" version=\"[^\"]+\" xmloutputversion", " version=\"V\" xmloutputversion"}};
        for (QString &line : lines) {
            QList<QRegularExpressionMatch> lastFirst;
            for (QRegularExpressionMatchIterator each = reply.globalMatch(line); each.hasNext();)
                lastFirst.prepend(each.next());
            for (const QRegularExpressionMatch &match : lastFirst) {
                const int time = match.lastCapturedIndex();
                const bool early = match.captured(time).toDouble() < leastMs(match.captured(time - 1));
                line.replace(match.capturedStart(time), match.capturedLength(time),
                             early ? "early " + match.captured(time) : "T");
            }
            for (const auto &[pattern, text] : xml)
                line.replace(QRegularExpression(pattern), text);
        }
        return lines;
    }

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

    // The hosts of 198.18.3.0/24 and fd00:198:18:3::/120 that answer, each N ms late. Tests that
    // follow one another ask only these: the router remembers the others as unreachable for a while
    // once it failed to find them, and says so at once.
    static QStringList delayedHosts()
    {
        QStringList hosts;
        for (const int delay : {1, 5, 10, 20, 40})
            hosts << QString("198.18.3.%1").arg(delay) << QString("fd00:198:18:3::%1").arg(delay);
        return hosts;
    }

    // The addresses that answered, as a sweep's result in format tells them, or nothing when the
    // result is not whole: a line that is not one of its own, JSON or XML not closed.
    static std::optional<QStringList> answeredIn(const QString &format, const QByteArray &bytes)
    {
        QStringList lines = QString::fromUtf8(bytes).split('\n');
        if (lines.takeLast() != "")
            return std::nullopt;
        QStringList found;
        if (format == "json") {
            const QJsonDocument json = QJsonDocument::fromJson(bytes);
            for (const QJsonValue &reply : json.object().value("replies").toArray())
                found << reply.toObject().value("address").toString();
            return json.isObject() ? std::optional(found) : std::nullopt;
        }
        if (format == "xml") {
            QXmlStreamReader xml(bytes);
            while (xml.readNext() != QXmlStreamReader::EndDocument && !xml.hasError())
                if (xml.name() == u"address" && xml.isStartElement())
                    found << xml.attributes().value("addr").toString();
            return xml.hasError() ? std::nullopt : std::optional(found);
        }
        const QRegularExpression line(format == "text"  ? "^(\\S+) [\\d.]+ ms$|^\\d+ of \\d+ addresses answered$"
                                      : format == "csv" ? "^(?:([^,]+),[\\d.]+,,|address,rtt_ms,error,error_from$)"
                                                        : "^\\{\"address\":\"([^\"]+)\",\"rtt_ms\":[\\d.]+\\}$|"
                                                          "^\\{\"addresses\":.*\"stopped\":true.*\\}$");
        for (const QString &each : lines) {
            const QRegularExpressionMatch match = line.match(each);
            if (!match.hasMatch())
                return std::nullopt;
            if (match.hasCaptured(1))
                found << match.captured(1);
        }
        // Text and JSON lines end with their counts, CSV starts with its header.
        const bool ends = format == "csv"    ? lines.first().startsWith("address,")
                          : format == "text" ? lines.last().endsWith(" addresses answered")
                                             : lines.last().startsWith("{\"addresses\"");
        return ends ? std::optional(found) : std::nullopt;
    }

    // The UDP datagrams the client has sent of both families, as its kernel counts them.
    static qint64 datagramsSent()
    {
        qint64 total = 0;
        QFile v4("/proc/net/snmp");
        if (v4.open(QIODevice::ReadOnly)) {
            const QStringList lines = QString::fromLatin1(v4.readAll()).split('\n');
            for (int i = 0; i + 1 < lines.size(); ++i)
                if (lines[i].startsWith("Udp: ") && lines[i + 1].startsWith("Udp: ")) {
                    const int at = lines[i].split(' ').indexOf("OutDatagrams");
                    total += lines[i + 1].split(' ').value(at).toLongLong();
                    break;
                }
        }
        QFile v6("/proc/net/snmp6");
        if (v6.open(QIODevice::ReadOnly))
            for (const QString &line : QString::fromLatin1(v6.readAll()).split('\n'))
                if (line.startsWith("Udp6OutDatagrams"))
                    total += line.simplified().section(' ', 1, 1).toLongLong();
        return total;
    }

    // The maker the installed assignment list names, or "" where it is not installed.
    static QString makerListed(const QString &maker)
    {
        return QFile::exists("/usr/share/ieee-data/oui.csv") ? maker : QString();
    }

private slots:
    void initTestCase()
    {
        const QString cli = qEnvironmentVariable("TOZELO_CLI");
        QVERIFY2(QFile::exists(cli), qPrintable("no tozelo-cli at '" + cli + "' (TOZELO_CLI)"));
        m_trap = std::make_unique<RequestTrap>(QStringList{"198.18.200.0/24", "fd00:198:18:200::/120"});
        QVERIFY2(m_trap->ready(), "cannot make the trap's link and routes");
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
        const CliRun cli = CliRun::of(args);
        QVERIFY2(cli.ended && cli.errorOutput.isEmpty(), cli.errorOutput.constData());
        QCOMPARE(cli.status, status);
        QCOMPARE(cli.out.last(), last);
    }

    // Of 198.18.3.0/26 only the delayed hosts .1, .5, .10, .20 and .40 answer (the router finds no
    // other); .5 and .32-.63 are excluded. Targets come from a file and from standard input. The
    // history keeps what answered, and nothing of the silent.
    void sweepFromFilesLessExclusions()
    {
        QTemporaryDir folder;
        const QString history = folder.filePath("history.sqlite");
        const QString exclusions = folder.filePath("exclusions.txt");
        writeFile(exclusions, "# the upper half\r\n198.18.3.32-198.18.3.63\r\n");
        const QString targets = folder.filePath("targets.txt");
        writeFile(targets, "fd00:198:18:3::1, fd00:198:18:3::2\n");
        const CliRun cli =
            CliRun::of({"sweep", "-f", "-", "--exclude", "198.18.3.5", "--exclude-file", exclusions, "-iL", targets,
                        "--exclude", "fd00:198:18:3::2", "--timeout", "300ms", "--record", "--history", history},
                       10000, "198.18.3.0/26   # the delayed hosts\n\n198.18.2.1\n");
        QVERIFY2(cli.ended, "tozelo-cli did not end");
        QCOMPARE(cli.err, QStringList());
        QCOMPARE(cli.status, 0);
        QCOMPARE(masked(cli.out),
                 (QStringList{"198.18.2.1 T ms", "198.18.3.1 T ms", "198.18.3.10 T ms", "198.18.3.20 T ms",
                              "fd00:198:18:3::1 T ms", "5 of 33 addresses answered"}));
        const CliRun kept = CliRun::of({"history", "--history", history});
        QCOMPARE(kept.status, 0);
        QStringList machines;
        for (const QString &line : kept.out.mid(1))
            machines << line.section(',', 0, 0) + (line.section(',', 3, 3).isEmpty() ? " silent" : "");
        QCOMPARE(machines, (QStringList{"198.18.2.1", "198.18.3.1", "198.18.3.10", "198.18.3.20", "fd00:198:18:3::1"}));
    }

    void sweepPrints_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("out"); // T: a round-trip time; S: a time of day or a span
        QTest::addColumn<QStringList>("err");
        const QStringList every{"198.18.2.1",
                                "198.18.3.4-198.18.3.10",
                                "198.18.3.16/28",
                                "198.18.5.1",
                                "198.18.4.1",
                                "250.0.0.1",
                                "fd00:198:18:3::1-fd00:198:18:3::3",
                                "fd00:198:18:3::4/126",
                                "FD00:198:18:2:0:0:0:1",
                                "fd00:198:18:5::1",
                                "--timeout",
                                "300",
                                "--names"};
        // 250.0.0.1 has no route: a count short of a request ends with status 4.
        const QStringList unsent{"tozelo-cli: sweep: Destination network unreachable: 1 request not sent (250.0.0.1)"};
        QTest::newRow("each form of target, both families, names")
            << every << 4
            << QStringList{"198.18.2.1 T ms answering.tozelo.test",
                           "198.18.3.5 T ms delayed5.tozelo.test",
                           "198.18.3.10 T ms delayed10.tozelo.test",
                           "198.18.3.20 T ms delayed20.tozelo.test",
                           "198.18.5.1 Destination host unreachable from 198.18.1.254",
                           "fd00:198:18:2::1 T ms answering.tozelo.test",
                           "fd00:198:18:3::1 T ms delayed1.tozelo.test",
                           "fd00:198:18:3::5 T ms delayed5.tozelo.test",
                           "fd00:198:18:5::1 Destination host unreachable from fd00:198:18:1::254",
                           "7 of 36 addresses answered"}
            << unsent;
        const QStringList some{"198.18.3.5", "198.18.5.1", "198.18.4.0/31", "fd00:198:18:2::1",
                               "250.0.0.1",  "--timeout",  "300",           "--names"};
        QTest::newRow("names, CSV") << some + QStringList{"--format", "csv"} << 4
                                    << QStringList{"address,rtt_ms,error,error_from,name",
                                                   "198.18.3.5,T,,,delayed5.tozelo.test",
                                                   "198.18.5.1,,Destination host unreachable,198.18.1.254,",
                                                   "fd00:198:18:2::1,T,,,answering.tozelo.test"}
                                    << unsent;
        QTest::newRow("names, JSON")
            << some + QStringList{"--format", "json"} << 4
            << QStringList{"{\"addresses\":6,\"dropped\":0,\"errors\":[{\"address\":\"198.18.5.1\",\"error\":"
                           "\"Destination "
                           "host unreachable\",\"from\":\"198.18.1.254\",\"status\":11003}],\"replies\":[{\"address\":"
                           "\"198.18.3.5\",\"name\":\"delayed5.tozelo.test\",\"rtt_ms\":T},{\"address\":\"fd00:198:18:"
                           "2::1\",\"name\":\"answering.tozelo.test\",\"rtt_ms\":T}],\"requests\":5,\"unsent\":[{"
                           "\"count\":1,\"error\":\"Destination network unreachable\",\"first\":[\"250.0.0.1\"],"
                           "\"status\":11002}]}"}
            << unsent;
        QTest::newRow("names, XML")
            << QStringList{"198.18.3.5", "198.18.4.1", "--timeout", "300", "--names", "--format", "xml"} << 0
            << QStringList{"<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
                           "<!DOCTYPE nmaprun>",
                           "<nmaprun scanner=\"tozelo-cli\" args=\"tozelo-cli sweep 198.18.3.5 198.18.4.1 --timeout "
                           "300 "
                           "--names --format xml\" start=\"S\" startstr=\"S\" version=\"V\" xmloutputversion=\"1.05\">",
                           "<verbose level=\"0\"/>",
                           "<debugging level=\"0\"/>",
                           "<host><status state=\"up\" reason=\"echo-reply\" reason_ttl=\"0\"/>",
                           "<address addr=\"198.18.3.5\" addrtype=\"ipv4\"/>",
                           "<hostnames>",
                           "<hostname name=\"delayed5.tozelo.test\" type=\"PTR\"/>",
                           "</hostnames>",
                           "<times srtt=\"T\" rttvar=\"T\" to=\"300000\"/>",
                           "</host>",
                           "<runstats><finished time=\"S\" timestr=\"S\" summary=\"2 IP addresses (1 hosts up) swept "
                           "in S "
                           "seconds\" elapsed=\"S\" exit=\"success\"/><hosts up=\"1\" down=\"1\" total=\"2\"/>",
                           "</runstats>",
                           "</nmaprun>"}
            << QStringList();
        QTest::newRow("TTL 1") << QStringList{"198.18.2.1", "fd00:198:18:2::1", "--ttl", "1", "--timeout", "300"} << 1
                               << QStringList{"198.18.2.1 TTL expired in transit from 198.18.1.254",
                                              "fd00:198:18:2::1 TTL expired in transit from fd00:198:18:1::254",
                                              "0 of 2 addresses answered"}
                               << QStringList();
        // Far shorter: a request is given its time-out from the end of the call that sent it, which a
        // busy machine can hold up a while.
        QTest::newRow("time-out shorter than the delay")
            << QStringList{"198.18.3.40", "fd00:198:18:3::40", "--timeout", "2"} << 1
            << QStringList{"0 of 2 addresses answered"} << QStringList();
    }

    // The client's own link: hosts silent to echo are found by ARP and ND with their hardware
    // addresses and makers, a locally administered address says so, a host that answers echo gets its
    // hardware address too, and a host behind the router only what echo told. The link's addresses
    // are asked all at once, nearly all of them no host's: none is taken for one that answered. The
    // subnet's network address and the client's own are in the sweep, as when a user sweeps the
    // subnet, and keep none of it from the helper.
    void neighboursOfTheLink()
    {
        const CliRun cli = CliRun::of({"sweep", "--neighbours", "--format", "json", "198.18.9.0-198.18.9.254",
                                       "fd00:198:18:9::2", "fd00:198:18:9::3", "198.18.2.1"},
                                      20000);
        QVERIFY2(cli.ended, "tozelo-cli did not end");
        QCOMPARE(cli.status, 0);
        QCOMPARE(cli.err, makerListed("x").isEmpty()
                              ? QStringList{"tozelo-cli: sweep: cannot read the makers of hardware addresses from "
                                            "/usr/share/ieee-data/oui.csv: No such file or directory"}
                              : QStringList());
        const QJsonObject json = QJsonDocument::fromJson(cli.output).object();
        const auto host = [](const QString &address, const QString &by, const QString &mac, const QString &maker) {
            return QJsonObject{{"address", address}, {"found_by", by}, {"mac", mac}, {"maker", maker}};
        };
        const QString xensource = makerListed("Xensource, Inc.");
        QCOMPARE(json["present"].toArray(),
                 (QJsonArray{host("198.18.9.2", "arp", "00:16:3e:18:09:02", xensource),
                             host("198.18.9.3", "arp", "02:18:09:00:00:03", "locally administered"),
                             host("fd00:198:18:9::2", "nd", "00:16:3e:18:09:02", xensource),
                             host("fd00:198:18:9::3", "nd", "02:18:09:00:00:03", "locally administered")}));
        const QJsonArray replies = json["replies"].toArray();
        QCOMPARE(replies.size(), 3);
        QJsonObject echo = replies[0].toObject();
        QVERIFY(echo.take("rtt_ms").toDouble() > 0);
        QCOMPARE(echo, host("198.18.2.1", "echo", "", ""));
        echo = replies[1].toObject();
        echo.remove("rtt_ms");
        QCOMPARE(echo, host("198.18.9.1", "echo", "", ""));
        echo = replies[2].toObject();
        echo.remove("rtt_ms");
        QCOMPARE(echo, host("198.18.9.4", "echo", "00:50:56:18:09:04", makerListed("VMware, Inc.")));
    }

    // An entry the kernel held from before names a host that was there once: a host that left is not
    // reported, one still there is, once the kernel has checked it again.
    void staleNeighboursAreCheckedAgain()
    {
        QVERIFY(TestbedNamespaces::batch(
            "c", {"neigh replace fd00:198:18:9::3 lladdr 02:18:09:00:00:03 dev to-l nud stale",
                  "neigh replace fd00:198:18:9::77 lladdr 00:16:3e:18:09:77 dev to-l nud stale"}));
        const CliRun cli =
            CliRun::of({"sweep", "--neighbours", "--format", "json", "fd00:198:18:9::3", "fd00:198:18:9::77"}, 30000);
        QVERIFY2(cli.ended, "tozelo-cli did not end");
        const QJsonArray present = QJsonDocument::fromJson(cli.output).object()["present"].toArray();
        QCOMPARE(present.size(), 1);
        QCOMPARE(present[0].toObject()["address"].toString(), QString("fd00:198:18:9::3"));
    }

    // Only targets on a link of the client's are asked: a sweep of hosts behind the router and of a
    // block with no route sends no datagram and asks for none of its targets on the client's link,
    // while one of the client's own link has the helper ask its IPv4 targets by ARP and the kernel
    // its IPv6 one.
    void neighboursAskNothingOffTheLink()
    {
        // The kernel would go on asking for the addresses of earlier tests for seconds.
        QVERIFY(TestbedNamespaces::batch("c", {"neigh flush dev to-l"}));
        AskedOnLink link("to-l");
        QVERIFY(link.watching());
        const qint64 before = datagramsSent();
        // Behind the router, dropped there, unrouted, and on the trap's tunnel, which asks nobody.
        CliRun cli = CliRun::of({"sweep", "--neighbours", "--format", "json", "198.18.2.0/29", "fd00:198:18:2::/125",
                                 "198.18.4.0/29", "250.0.0.1", "198.18.200.8/30", "fd00:198:18:200::8"},
                                20000);
        QVERIFY2(cli.ended, "tozelo-cli did not end");
        QCOMPARE(datagramsSent(), before);
        // The kernel may still ask for the link's own hosts; nothing else is asked there.
        for (const QString &address : link.asked())
            QVERIFY2(address.startsWith("198.18.9.") || address.startsWith("fd00:198:18:9:") ||
                         address.startsWith("fe80:"),
                     qPrintable(address));
        QCOMPARE(QJsonDocument::fromJson(cli.output).object()["present"].toArray().size(), 0);
        cli = CliRun::of({"sweep", "--neighbours", "-q", "198.18.9.5-198.18.9.7", "fd00:198:18:9::5"}, 20000);
        QVERIFY2(cli.ended, "tozelo-cli did not end");
        QCOMPARE(cli.status, 1);
        QCOMPARE(cli.err, QStringList());
        QVERIFY(datagramsSent() >= before + 1);
        const QSet<QString> asked = link.asked();
        for (const char *target : {"198.18.9.5", "198.18.9.6", "198.18.9.7", "fd00:198:18:9::5"})
            QVERIFY2(asked.contains(target), target);
    }

    // A host that drops echo is found by the port that answered, open or closed; one that answers
    // echo stays found by echo, and a silent one is not found. Bare, the option asks 80 and 443, and
    // a target after it stays a target.
    void tcpFindsHostsThatDropEcho()
    {
        CliRun cli = CliRun::of({"sweep", "--tcp", "443", "--format", "json", "--timeout", "300", "198.18.7.1",
                                 "198.18.2.1", "198.18.4.1", "fd00:198:18:7::1"},
                                20000);
        QVERIFY2(cli.ended, "tozelo-cli did not end");
        QCOMPARE(cli.err, QStringList());
        QCOMPARE(cli.status, 0);
        const QJsonObject json = QJsonDocument::fromJson(cli.output).object();
        const auto host = [](const QString &address) {
            return QJsonObject{{"address", address}, {"found_by", "tcp:443"}, {"mac", ""}, {"maker", ""}};
        };
        QCOMPARE(json["present"].toArray(), (QJsonArray{host("198.18.7.1"), host("fd00:198:18:7::1")}));
        QCOMPARE(json["replies"].toArray().size(), 1);
        QCOMPARE(json["replies"].toArray()[0].toObject()["found_by"].toString(), QString("echo"));

        // An address with no route can be sent nothing, echo or TCP, and says so.
        cli = CliRun::of({"sweep", "--tcp", "198.18.7.1", "250.0.0.1", "--timeout", "300"}, 20000);
        QCOMPARE(cli.out,
                 (QStringList{"198.18.7.1 by tcp:80", "0 of 2 addresses answered, 1 more found without echo"}));
        QCOMPARE(cli.err.value(1), QString("tozelo-cli: sweep: 2 TCP connection attempts could not be sent (no route, "
                                           "a broadcast address, or this host's firewall)"));
        cli = CliRun::of({"sweep", "198.18.7.1", "--tcp=444,443", "--format", "xml", "--timeout", "300"}, 20000);
        QVERIFY2(cli.output.contains("<status state=\"up\" reason=\"reset\""), cli.output.constData());
        cli = CliRun::of({"sweep", "198.18.7.1", "--tcp", "443,0"});
        QCOMPARE(cli.status, 2);
        QVERIFY2(cli.err.value(0).startsWith("tozelo-cli: --tcp: bad port '0'"), qPrintable(cli.err.join('\n')));
    }

    // Every line exact, but for the times, and those never below a delayed host's delay.
    void sweepPrints()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QStringList, out);
        QFETCH(QStringList, err);
        const CliRun cli = CliRun::of(QStringList{"sweep"} + args, 20000);
        QVERIFY2(cli.ended, "tozelo-cli did not end");
        QCOMPARE(cli.err, err);
        QCOMPARE(cli.status, status);
        QCOMPARE(masked(cli.out), out);
    }

    // Found through the sockets and as frames alike, and saved over an older list; as frames, the
    // client's IP stack sends none of the requests to the router's far links.
    void sweepAsFramesAndSaved()
    {
        QTemporaryDir folder;
        const QString saved = folder.filePath("found.dat");
        const QStringList sweep{"sweep",     "198.18.3.0/27", "198.18.2.1", "198.18.5.1", "fd00:198:18:3::5",
                                "--timeout", "300",           "--save",     saved};
        const QStringList found{"198.18.2.1 T ms",       "198.18.3.1 T ms",
                                "198.18.3.5 T ms",       "198.18.3.10 T ms",
                                "198.18.3.20 T ms",      "198.18.5.1 Destination host unreachable from 198.18.1.254",
                                "fd00:198:18:3::5 T ms", "6 of 35 addresses answered"};
        for (const bool frames : {false, true}) {
            writeFile(saved, "10.0.0.1\r\n");
            const qint64 sentBefore = ipRequestsSent();
            const CliRun cli = CliRun::of(sweep + (frames ? QStringList{"--frames"} : QStringList()), 20000);
            const qint64 stackSent = ipRequestsSent() - sentBefore;
            QCOMPARE(cli.err, QStringList());
            QCOMPARE(cli.status, 0);
            QCOMPARE(masked(cli.out), found);
            QCOMPARE(contentsOf(saved), QByteArray("198.18.2.1\r\n198.18.3.1\r\n198.18.3.5\r\n198.18.3.10\r\n"
                                                   "198.18.3.20\r\nfd00:198:18:3::5\r\n"));
            // Frames carry most of the 34 IPv4 requests; a busy machine sends a few more through the
            // stack while the way to the router is learnt, and asks hosts again.
            QVERIFY2(frames ? stackSent < 17 : stackSent >= 34, qPrintable(QString::number(stackSent)));
        }
    }

    // Bare lists for scripts: the addresses that answered, or those that did not (silent, or an ICMP
    // error), one a line. After the frames' test, which the router's neighbours these leave failed
    // would answer if it came soon after.
    void bareLists()
    {
        const QStringList sweep{"sweep", "198.18.2.1",       "198.18.3.5",       "198.18.5.1", "198.18.4.0/31",
                                "-q",    "fd00:198:18:2::1", "fd00:198:18:5::1", "--rate",     "1k"};
        const CliRun answered = CliRun::of(sweep + QStringList{"-a", "--timeout", "1s"}, 20000);
        QCOMPARE(answered.err, QStringList());
        QCOMPARE(answered.out, (QStringList{"198.18.2.1", "198.18.3.5", "fd00:198:18:2::1"}));
        const CliRun unanswered = CliRun::of(sweep + QStringList{"--unanswered", "--timeout", "300ms"}, 20000);
        QCOMPARE(unanswered.err, QStringList());
        QCOMPARE(unanswered.out, (QStringList{"198.18.4.0", "198.18.4.1", "198.18.5.1", "fd00:198:18:5::1"}));
    }

    // A link-local target is swept on the link its zone names: the router's address on the client's
    // link to it answers there, and an exclusion on that link takes it out.
    void scopedTargetsOnTheirLink()
    {
        QProcess ip;
        ip.start(TestbedNamespaces::tool("ip"),
                 {"-n", TestbedNamespaces::nameOf("r"), "-6", "-o", "addr", "show", "dev", "to-c", "scope", "link"});
        QVERIFY(ip.waitForFinished(5000));
        const QString router = QRegularExpression("inet6 (fe80::[0-9a-f:]+)/")
                                   .match(QString::fromLatin1(ip.readAllStandardOutput()))
                                   .captured(1);
        QVERIFY2(!router.isEmpty(), "the router has no link-local address on the client's link");
        const CliRun found = CliRun::of({"sweep", router + "%to-r", "::1%lo", "-a", "--timeout", "1s"}, 20000);
        QCOMPARE(found.err, QStringList());
        QCOMPARE(found.out, (QStringList{"::1%lo", router + "%to-r"}));
        const CliRun excluded = CliRun::of(
            {"sweep", router + "%to-r", "::1%lo", "--exclude", router + "%to-r,::1", "-a", "--timeout", "1s"}, 20000);
        QCOMPARE(excluded.err, QStringList());
        QCOMPARE(excluded.out, QStringList{"::1%lo"});
    }

    // What a sweep sends: each target once a pass, in address order, at the size and time-to-live
    // asked for; never faster than the rate, and the last pass waited out to its time-out. None
    // answered: the list saved is empty.
    void sweepSends_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("passes");
        QTest::addColumn<int>("ttl");
        QTest::addColumn<int>("size");
        QTest::addColumn<double>("seconds"); // at the least
        QTest::newRow("defaults") << QStringList{} << 1 << 64 << 56 << 0.5;
        QTest::newRow("retries, smallest size, TTL 7")
            << QStringList{"--retries", "2", "--size", "8", "--ttl", "7", "--timeout", "100ms"} << 3 << 7 << 8 << 0.3;
        QTest::newRow("TTL 255, long time-out")
            << QStringList{"--ttl", "255", "--timeout", "900ms"} << 1 << 255 << 56 << 0.9;
        // IPv4 holds 16 of the 20 targets, and so 16 of the 20 requests a second.
        QTest::newRow("slow rate, TTL 1")
            << QStringList{"--rate", "20", "--timeout", "50", "--size", "1000", "--ttl", "1"} << 1 << 1 << 1000
            << 15 / 16.0 + 0.05;
    }

    void sweepSends()
    {
        QFETCH(QStringList, options);
        QFETCH(int, passes);
        QFETCH(int, ttl);
        QFETCH(int, size);
        QFETCH(double, seconds);
        QTemporaryDir folder;
        const QString saved = folder.filePath("found.dat");
        writeFile(saved, "10.0.0.1\r\n");
        m_trap->take();
        QElapsedTimer clock;
        clock.start();
        const CliRun cli = CliRun::of(
            QStringList{"sweep", "198.18.200.0/28", "fd00:198:18:200::/126", "--save", saved} + options, 20000);
        const double took = clock.nsecsElapsed() / 1e9;
        QCOMPARE(cli.err, QStringList());
        QCOMPARE(cli.out, QStringList{"0 of 20 addresses answered"});
        QCOMPARE(cli.status, 1);
        QCOMPARE(contentsOf(saved), QByteArray());
        const std::vector<RequestTrap::Request> sent = m_trap->take();
        QStringList v4, v6;
        for (int pass = 0; pass < passes; ++pass) {
            v4 << trapped(false, 16);
            v6 << trapped(true, 4);
        }
        QCOMPARE(RequestTrap::addressesOf(sent, false), v4);
        QCOMPARE(RequestTrap::addressesOf(sent, true), v6);
        for (const RequestTrap::Request &request : sent) {
            QCOMPARE(request.ttl, ttl);
            QCOMPARE(request.payloadSize, size);
        }
        QVERIFY2(took >= seconds && took < 15, qPrintable(QString::number(took)));
    }

    // A random order sends to every target once, and the same seed draws the same order again.
    void randomOrderFromItsSeed()
    {
        const QStringList sweep{"sweep", "198.18.200.0/26", "fd00:198:18:200::/122", "--timeout", "50"};
        QList<QStringList> orders;
        for (const QStringList &order :
             {QStringList{}, QStringList{"--order", "random", "--seed", "7"},
              QStringList{"--order", "random", "--seed", "7"}, QStringList{"--order", "random", "--seed", "8"}}) {
            m_trap->take();
            const CliRun cli = CliRun::of(sweep + order, 20000);
            QCOMPARE(cli.out, QStringList{"0 of 128 addresses answered"});
            const std::vector<RequestTrap::Request> sent = m_trap->take();
            orders << RequestTrap::addressesOf(sent, false) + RequestTrap::addressesOf(sent, true);
        }
        const QStringList ascending = trapped(false, 64) + trapped(true, 64);
        QCOMPARE(orders[0], ascending);
        QCOMPARE(orders[1], orders[2]);
        QVERIFY(orders[1] != ascending && orders[3] != ascending && orders[1] != orders[3]);
        for (QStringList each : orders) {
            each.sort();
            QCOMPARE(each, sorted(ascending));
        }
    }

    void shardsSplitTheTargets_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("random");
        QTest::newRow("1") << 1 << false;
        QTest::newRow("2") << 2 << false;
        QTest::newRow("3, random order") << 3 << true;
        QTest::newRow("4") << 4 << false;
        QTest::newRow("7, random order") << 7 << true;
    }

    // The shards of a sweep, each swept on its own, send to every target once between them: none
    // is left out, none is swept twice, and each holds its share.
    void shardsSplitTheTargets()
    {
        QFETCH(int, count);
        QFETCH(bool, random);
        QStringList all;
        for (int shard = 1; shard <= count; ++shard) {
            m_trap->take();
            const CliRun cli =
                CliRun::of(QStringList{"sweep", "198.18.200.0/28", "fd00:198:18:200::/126", "--timeout", "50",
                                       "--shard", QString("%1/%2").arg(shard).arg(count)} +
                               (random ? QStringList{"--order", "random", "--seed", "3"} : QStringList()),
                           20000);
            const std::vector<RequestTrap::Request> sent = m_trap->take();
            const int share = (20 - shard) / count + 1;
            QCOMPARE(int(sent.size()), share);
            QCOMPARE(cli.out, QStringList{QString("0 of %1 addresses answered").arg(share)});
            for (const RequestTrap::Request &request : sent)
                all << request.address;
        }
        QCOMPARE(sorted(all), sorted(trapped(false, 16) + trapped(true, 4)));
    }

    // Sends over a link without carrier find no room; once that has lasted longer than the time-out,
    // the sweep counts what it could not send and ends, saying its count is incomplete. (Waiting for
    // room, it sent 256 requests every 3 s, as the neighbours failed to resolve.)
    void sweepOverALinkThatWentAway()
    {
        LostLink link;
        QVERIFY2(link.ready(), "cannot make the link");
        const CliRun cli = CliRun::of({"sweep", "198.18.224.0/20"}, 30000);
        QVERIFY2(cli.ended, "the sweep waited for the link");
        QCOMPARE(cli.status, 4);
        QCOMPARE(cli.out, QStringList{"0 of 4096 addresses answered"});
        const QRegularExpression unsent("^tozelo-cli: sweep: No resources \\(no room to send for longer than the "
                                        "time-out\\): (\\d+) requests not sent \\(198\\.18\\.2[23]\\d\\.\\d+, ");
        const QStringList told = cli.err.filter(unsent);
        QVERIFY2(told.size() == 1, cli.errorOutput.constData());
        const int count = unsent.match(told.first()).captured(1).toInt();
        QVERIFY2(count > 0 && count < 4096, qPrintable(told.first()));
    }

    // Every host of 127.0.1.0/24 answers and the name server never does: the names are given up at
    // the time-out, many at once, with a line a second of how far they are; the one name of the hosts
    // file, full of control characters, is written with them escaped. 256 lookups, 64 at a time, of
    // 1.5 s each take 6 s (at 16 at a time and 2 s each, as once, 32 s).
    void sweepNamesThroughASilentServer()
    {
        SilentNameServer server("127.0.0.1 localhost\n127.0.1.1 red\x1b[31m\x01.tozelo.test\n");
        QVERIFY2(server.ready(), "cannot set up the name service");
        QElapsedTimer timer;
        timer.start();
        const CliRun cli = CliRun::of(
            {"sweep", "127.0.1.0/24", "--names", "--names-timeout", "1500", "--names-parallel", "64", "--progress"},
            60000);
        const qint64 tookMs = timer.elapsed();
        QVERIFY2(cli.ended, "the lookups did not end");
        QCOMPARE(cli.status, 0);
        QCOMPARE(cli.out.size(), 256 + 1);
        QVERIFY2(matches("127\\.0\\.1\\.1 \\d+\\.\\d{3} ms red\\\\027\\[31m\\\\001\\.tozelo\\.test", cli.out[1]),
                 qPrintable(cli.out[1]));
        QVERIFY2(matches("127\\.0\\.1\\.2 \\d+\\.\\d{3} ms", cli.out[2]), qPrintable(cli.out[2]));
        QCOMPARE(cli.out.last(), "256 of 256 addresses answered");
        const QStringList names = cli.err.filter(QRegularExpression("^names: "));
        QVERIFY2(names.size() >= 3, cli.errorOutput.constData());
        const QRegularExpression line("^names: (\\d+) of 256 looked up, [01] found, \\d+/s, .*$");
        int done = 0;
        for (const QString &each : names) {
            const QRegularExpressionMatch match = line.match(each);
            QVERIFY2(match.hasMatch() && match.captured(1).toInt() >= done, qPrintable(each));
            done = match.captured(1).toInt();
        }
        QVERIFY2(tookMs >= 3 * 1500 && tookMs < 20000, qPrintable(QString::number(tookMs)));
    }

    void signalStopsTheSweep_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<int>("signal");
        QTest::addColumn<QString>("file"); // where the result goes besides standard output: -o or --save
        QTest::newRow("text, SIGINT") << "text" << SIGINT << "";
        QTest::newRow("CSV, SIGTERM, -o") << "csv" << SIGTERM << "-o";
        QTest::newRow("JSON, SIGHUP, --save") << "json" << SIGHUP << "--save";
        QTest::newRow("JSON lines, SIGINT") << "jsonl" << SIGINT << "";
        QTest::newRow("XML, SIGTERM, -o") << "xml" << SIGTERM << "-o";
    }

    // A signal once hosts answered ends the sweep long before its end: 260 requests at 40 a second
    // take 6.5 s, the delayed hosts asked first. What was found is written whole, in its format and
    // where it was to go, and said to be short.
    void signalStopsTheSweep()
    {
        QFETCH(QString, format);
        QFETCH(int, signal);
        QFETCH(QString, file);
        QTemporaryDir folder;
        const QString saved = folder.filePath("result");
        QProcess cli;
        cli.start(qEnvironmentVariable("TOZELO_CLI"),
                  QStringList{"sweep", "198.18.200.0/24", "--rate", "40", "--format", format, "--progress"} +
                      delayedHosts().filter(".") + (file.isEmpty() ? QStringList() : QStringList{file, saved}));
        QByteArray err;
        QElapsedTimer waited;
        waited.start();
        const QRegularExpression someAnswered(", [1-9] answered,");
        while (!someAnswered.match(QString::fromUtf8(err)).hasMatch() && waited.elapsed() < 20000) {
            cli.waitForReadyRead(100);
            err += cli.readAllStandardError();
        }
        QVERIFY2(cli.state() == QProcess::Running, err.constData());
        QElapsedTimer stopping;
        stopping.start();
        QCOMPARE(::kill(pid_t(cli.processId()), signal), 0);
        QVERIFY(cli.waitForFinished(20000));
        QVERIFY2(stopping.elapsed() < 3000, qPrintable(QString::number(stopping.elapsed())));
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), 4);
        err += cli.readAllStandardError();
        const QByteArray name = signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP";
        QVERIFY2(err.contains("\ntozelo-cli: sweep: stopped by " + name + ": "), err.constData());
        const QByteArray out = cli.readAllStandardOutput();
        const std::optional<QStringList> found = answeredIn(format, file == "-o" ? contentsOf(saved) : out);
        QVERIFY2(found && !found->isEmpty(), out.constData());
        for (const QString &address : *found)
            QVERIFY2(delayedHosts().contains(address), qPrintable(address));
        if (file == "--save")
            QCOMPARE(contentsOf(saved), (found->join("\r\n") + "\r\n").toUtf8());
        if (file == "-o")
            QCOMPARE(out, QByteArray());
    }

    void writeFailuresAreFailures_data()
    {
        QTest::addColumn<QString>("to"); // DISK: a full disk, on which the file "old" holds "old"
        QTest::addColumn<QString>("error");
        const QString full = ": No space left on device";
        QTest::newRow("standard output on /dev/full") << "> /dev/full"
                                                      << "cannot write standard output" + full;
        QTest::newRow("standard output closed") << ">&-"
                                                << "cannot write standard output: Bad file descriptor";
        QTest::newRow("-o on a full disk") << "-o DISK/old > /dev/null"
                                           << "cannot write DISK/old" + full;
        QTest::newRow("--save on a full disk") << "--save DISK/old > /dev/null"
                                               << "Cannot create file DISK/old" + full;
    }

    // A result that cannot be written whole is a failure, with its reason; a file that was there is
    // left as it was, and nothing beside it. The full disk is a tmpfs of a mount namespace of its own.
    void writeFailuresAreFailures()
    {
        QFETCH(QString, to);
        QFETCH(QString, error);
        QTemporaryDir folder;
        const QString disk = folder.filePath("disk");
        QVERIFY(QDir().mkpath(disk));
        const bool onDisk = to.contains("DISK");
        // 198.18.5.0/24 sends 256 errors: more than one page of CSV.
        const QString sweep = "\"$TOZELO_CLI\" sweep 198.18.5.0/24 198.18.3.1 --timeout 300 --format csv " +
                              QString(to).replace("DISK", "\"$0\"") + "; echo $?";
        const QString script = onDisk ? "mount -t tmpfs -o size=4k tmpfs \"$0\" && printf old > \"$0/old\" && "
                                        "{ cat /dev/zero > \"$0/fill\"; } 2>/dev/null; " +
                                            sweep + "; ls \"$0\"; cat \"$0/old\""
                                      : sweep;
        QProcess shell;
        shell.start("unshare", {"-m", "sh", "-c", script, disk});
        QVERIFY(shell.waitForFinished(30000));
        const QStringList out = QString::fromUtf8(shell.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(out.first(), "6");
        if (onDisk)
            QCOMPARE(out.mid(1), (QStringList{"fill", "old", "old"}));
        QCOMPARE(QString::fromUtf8(shell.readAllStandardError()),
                 "tozelo-cli: " + QString(error).replace("DISK", disk) + "\n");
    }

    // The shards of a sweep, run at once as three processes with one of them tried again, each
    // into its own file, merge as README says into the whole sweep: in address order, IPv4 before
    // IPv6, with the header of the first file, and no row twice even with a file given twice.
    void shardsMergeAsTheReadmeSays()
    {
        const QString readme = QString::fromUtf8(contentsOf(qEnvironmentVariable("TOZELO_README")));
        const qsizetype recipe = readme.indexOf("```sh\n", readme.indexOf("The CSV files of the shards merge"));
        QVERIFY2(recipe > 0, "no merge in README");
        const QString merge = readme.mid(recipe + 6, readme.indexOf("```", recipe + 6) - recipe - 6);
        QTemporaryDir folder;
        const QStringList sweep = QStringList{"sweep",    "198.18.5.0/30", "fd00:198:18:2::1", "--timeout", "300",
                                              "--format", "csv",           "--names"} +
                                  delayedHosts() + QStringList{"-o"};
        const auto shard = [&](const QString &index) {
            return sweep + QStringList{folder.filePath("shard-" + index + ".csv"), "--shard", index + "/3"};
        };
        std::vector<std::unique_ptr<QProcess>> shards;
        for (const QString index : {"1", "2", "3"}) {
            shards.push_back(std::make_unique<QProcess>());
            shards.back()->start(qEnvironmentVariable("TOZELO_CLI"), shard(index));
        }
        for (const std::unique_ptr<QProcess> &each : shards) {
            QVERIFY(each->waitForFinished(30000));
            QVERIFY2(each->exitCode() <= 1, each->readAllStandardError().constData());
        }
        QVERIFY(CliRun::of(shard("2")).status <= 1);
        QVERIFY(QFile::copy(folder.filePath("shard-3.csv"), folder.filePath("shard-3.again.csv")));
        QProcess shell;
        shell.setWorkingDirectory(folder.path());
        shell.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        shell.start("sh", {"-c", "LC_ALL=en_US.UTF-8; " + merge});
        QVERIFY(shell.waitForFinished(30000));
        QCOMPARE(shell.exitCode(), 0);
        QStringList merged{"address,rtt_ms,error,error_from,name"};
        for (const int delay : {1, 5, 10, 20, 40})
            merged << QString("198.18.3.%1,T,,,delayed%1.tozelo.test").arg(delay);
        for (int host = 0; host < 4; ++host)
            merged << QString("198.18.5.%1,,Destination host unreachable,198.18.1.254,").arg(host);
        merged << "fd00:198:18:2::1,T,,,answering.tozelo.test";
        for (const int delay : {1, 5, 10, 20, 40})
            merged << QString("fd00:198:18:3::%1,T,,,delayed%1.tozelo.test").arg(delay);
        QCOMPARE(masked(QString::fromUtf8(contentsOf(folder.filePath("sweep.csv"))).split('\n', Qt::SkipEmptyParts)),
                 merged);
    }

    // On a pipe only when asked for: a line a second with the count sent, the answers, the rate and
    // the time left. Of 198.18.3.0/25 five hosts answer, 198.18.5.0/25 sends errors: 256 requests
    // at 200 a second take 1.3 s. A busy machine may send more slowly and so leave more time, but a
    // line a second cannot show more than were sent.
    void sweepProgress()
    {
        const QStringList sweep{"sweep", "198.18.3.0/25", "198.18.5.0/25", "--rate", "200", "--timeout", "300"};
        const CliRun quiet = CliRun::of(sweep, 10000);
        QCOMPARE(quiet.status, 0);
        QCOMPARE(quiet.err, QStringList());
        const CliRun told = CliRun::of(sweep + QStringList{"--progress"}, 10000);
        QCOMPARE(told.status, 0);
        QCOMPARE(told.out.size(), 5 + 128 + 1);
        QCOMPARE(told.out.last(), "5 of 256 addresses answered");
        QVERIFY2(!told.err.isEmpty(), "no progress");
        // Counts that only grow, and no more gone out in a second than were sent at all.
        const QRegularExpression line(
            "^sweep: (\\d+) sent to 256 addresses, (\\d) answered, (\\d+)/s, \\d+:\\d\\d left$");
        int sent = 0;
        int answered = 0;
        for (const QString &each : told.err) {
            const QRegularExpressionMatch match = line.match(each);
            QVERIFY2(match.hasMatch(), qPrintable(each));
            QVERIFY2(match.captured(1).toInt() >= sent && match.captured(1).toInt() <= 256, qPrintable(each));
            QVERIFY2(match.captured(2).toInt() >= answered && match.captured(2).toInt() <= 5, qPrintable(each));
            QVERIFY2(match.captured(3).toInt() <= 256, qPrintable(each));
            sent = match.captured(1).toInt();
            answered = match.captured(2).toInt();
        }
    }
};

TOZELO_TESTBED_TEST_MAIN(TestCliNet)

#include "tst_Cli.moc"
