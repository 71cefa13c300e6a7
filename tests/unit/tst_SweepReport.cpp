// What a sweep found as the command line prints it and the window exports it, byte for byte: text,
// CSV, JSON and XML, with and without names, names that need quoting; and the XML as ndiff reads it.
#include "TestMain.h"
#include "platform/IcmpTypes.h"
#include "sweep/SweepReport.h"

#include "TestFiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <optional>
#include <sstream>

namespace {
IpAddress ip(const char *text)
{
    const std::optional<IpAddress> address = IpAddress::parse(text);
    if (!address)
        qFatal("bad address in the test: %s", text);
    return *address;
}

// Replies, errors with their sender and one without, of both families, and refusals to send.
SweepReport canned()
{
    SweepReport report;
    report.answers = {{ip("10.0.0.1"), IP_SUCCESS, {}, 0.1234},
                      {ip("10.0.0.2"), IP_DEST_HOST_UNREACHABLE, ip("10.0.0.254"), 3},
                      {ip("10.0.0.3"), IP_TTL_EXPIRED_TRANSIT, {}, 5},
                      {ip("10.0.0.10"), IP_SUCCESS, {}, 12},
                      {ip("fd00::1"), IP_SUCCESS, {}, 4},
                      {ip("fd00::2"), IP_DEST_HOST_UNREACHABLE, ip("fd00::fe"), 1}};
    report.unsent = {{IP_DEST_NET_UNREACHABLE, 5, {ip("10.0.1.0"), ip("10.0.1.1"), ip("10.0.1.2")}}};
    report.addresses = 300;
    report.requests = 296;
    report.dropped = 7;
    report.command = "tozelo-cli sweep 10.0.0.0/24 \"x<y\"";
    report.startedMs = 1700000000250;
    report.endedMs = 1700000003500;
    report.timeoutMs = 500;
    return report;
}

QByteArray written(const SweepReport &report, void (SweepReport::*write)(std::ostream &) const)
{
    std::ostringstream out;
    (report.*write)(out);
    return QByteArray::fromStdString(out.str());
}
} // namespace

class tst_SweepReport : public QObject {
    Q_OBJECT
private slots:
    void formats_data();
    void formats();
    void namesThatNeedQuoting();
    void hostsFoundOnTheLink();
    void ndiffReadsTheXml();
};

void tst_SweepReport::formats_data()
{
    QTest::addColumn<bool>("withNames");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QByteArray>("xml");
    const QByteArray xmlHead =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE nmaprun>\n<nmaprun scanner=\"tozelo-cli\" "
        "args=\"tozelo-cli sweep 10.0.0.0/24 &quot;x&lt;y&quot;\" start=\"1700000000\" "
        "startstr=\"Tue Nov 14 22:13:20 2023\" version=\"1.1\" xmloutputversion=\"1.05\">\n"
        "<verbose level=\"0\"/>\n<debugging level=\"0\"/>\n";
    const QByteArray xmlErrors = "<host><status state=\"down\" reason=\"host-unreach\" reason_ttl=\"0\"/>\n"
                                 "<address addr=\"10.0.0.2\" addrtype=\"ipv4\"/>\n<hostnames>\n</hostnames>\n</host>\n"
                                 "<host><status state=\"down\" reason=\"time-exceeded\" reason_ttl=\"0\"/>\n"
                                 "<address addr=\"10.0.0.3\" addrtype=\"ipv4\"/>\n<hostnames>\n</hostnames>\n</host>\n";
    const QByteArray xmlTenth = "<host><status state=\"up\" reason=\"echo-reply\" reason_ttl=\"0\"/>\n"
                                "<address addr=\"10.0.0.10\" addrtype=\"ipv4\"/>\n<hostnames>\n</hostnames>\n"
                                "<times srtt=\"12000\" rttvar=\"6000\" to=\"500000\"/>\n</host>\n"
                                "<host><status state=\"up\" reason=\"echo-reply\" reason_ttl=\"0\"/>\n"
                                "<address addr=\"fd00::1\" addrtype=\"ipv6\"/>\n<hostnames>\n";
    const QByteArray xmlLast =
        "</hostnames>\n<times srtt=\"4000\" rttvar=\"2000\" to=\"500000\"/>\n</host>\n"
        "<host><status state=\"down\" reason=\"host-unreach\" reason_ttl=\"0\"/>\n"
        "<address addr=\"fd00::2\" addrtype=\"ipv6\"/>\n<hostnames>\n</hostnames>\n</host>\n"
        "<runstats><finished time=\"1700000003\" timestr=\"Tue Nov 14 22:13:23 2023\" summary=\"300 IP addresses (3 "
        "hosts up) swept in 3.25 seconds\" elapsed=\"3.25\" exit=\"success\"/><hosts up=\"3\" down=\"297\" "
        "total=\"300\"/>\n</runstats>\n</nmaprun>\n";
    const QByteArray xmlFirst = "<host><status state=\"up\" reason=\"echo-reply\" reason_ttl=\"0\"/>\n"
                                "<address addr=\"10.0.0.1\" addrtype=\"ipv4\"/>\n<hostnames>\n";
    const QByteArray xmlFirstTimes = "</hostnames>\n<times srtt=\"123\" rttvar=\"61\" to=\"500000\"/>\n</host>\n";
    const QByteArray unsent = R"("unsent":[{"count":5,"error":"Destination network unreachable",)"
                              R"("first":["10.0.1.0","10.0.1.1","10.0.1.2"],"status":11002}]})";
    const QByteArray errors =
        R"("errors":[{"address":"10.0.0.2","error":"Destination host unreachable","from":"10.0.0.254",)"
        R"("status":11003},{"address":"10.0.0.3","error":"TTL expired in transit","status":11013},)"
        R"({"address":"fd00::2","error":"Destination host unreachable","from":"fd00::fe","status":11003}],)";
    QTest::newRow("without names")
        << false
        << QByteArray("10.0.0.1 0.123 ms\n10.0.0.2 Destination host unreachable from 10.0.0.254\n"
                      "10.0.0.3 TTL expired in transit\n10.0.0.10 12.000 ms\nfd00::1 4.000 ms\n"
                      "fd00::2 Destination host unreachable from fd00::fe\n3 of 300 addresses answered\n")
        << QByteArray("address,rtt_ms,error,error_from\n10.0.0.1,0.123,,\n"
                      "10.0.0.2,,Destination host unreachable,10.0.0.254\n10.0.0.3,,TTL expired in transit,\n"
                      "10.0.0.10,12.000,,\nfd00::1,4.000,,\nfd00::2,,Destination host unreachable,fd00::fe\n")
        << R"({"addresses":300,"dropped":7,)" + errors +
               R"("replies":[{"address":"10.0.0.1","rtt_ms":0.123},{"address":"10.0.0.10","rtt_ms":12},)"
               R"({"address":"fd00::1","rtt_ms":4}],"requests":296,)" +
               unsent + "\n"
        << xmlHead + xmlFirst + xmlFirstTimes + xmlErrors + xmlTenth + xmlLast;
    QTest::newRow("with names")
        << true
        << QByteArray("10.0.0.1 0.123 ms one.example\n10.0.0.2 Destination host unreachable from 10.0.0.254\n"
                      "10.0.0.3 TTL expired in transit\n10.0.0.10 12.000 ms\nfd00::1 4.000 ms six.example\n"
                      "fd00::2 Destination host unreachable from fd00::fe\n3 of 300 addresses answered\n")
        << QByteArray("address,rtt_ms,error,error_from,name\n10.0.0.1,0.123,,,one.example\n"
                      "10.0.0.2,,Destination host unreachable,10.0.0.254,\n10.0.0.3,,TTL expired in transit,,\n"
                      "10.0.0.10,12.000,,,\nfd00::1,4.000,,,six.example\n"
                      "fd00::2,,Destination host unreachable,fd00::fe,\n")
        << R"({"addresses":300,"dropped":7,)" + errors +
               R"("replies":[{"address":"10.0.0.1","name":"one.example","rtt_ms":0.123},)"
               R"({"address":"10.0.0.10","name":"","rtt_ms":12},{"address":"fd00::1","name":"six.example",)"
               R"("rtt_ms":4}],"requests":296,)" +
               unsent + "\n"
        << xmlHead + xmlFirst + "<hostname name=\"one.example\" type=\"PTR\"/>\n" + xmlFirstTimes + xmlErrors +
               xmlTenth + "<hostname name=\"six.example\" type=\"PTR\"/>\n" + xmlLast;
}

void tst_SweepReport::formats()
{
    QFETCH(bool, withNames);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, csv);
    QFETCH(QByteArray, json);
    QFETCH(QByteArray, xml);
    SweepReport report = canned();
    report.withNames = withNames;
    report.names[ip("10.0.0.1")] = "one.example";
    report.names[ip("10.0.0.2")] = "ignored.example"; // only those that answered carry names
    report.names[ip("fd00::1")] = "six.example";
    QCOMPARE(written(report, &SweepReport::writeText), text);
    QCOMPARE(written(report, &SweepReport::writeCsv), csv);
    QCOMPARE(written(report, &SweepReport::writeJson), json);
    QCOMPARE(written(report, &SweepReport::writeXml), xml);
}

// A hosts file may give a name any character but a blank.
void tst_SweepReport::namesThatNeedQuoting()
{
    SweepReport report;
    report.answers = {{ip("10.0.0.1"), IP_SUCCESS, {}, 1}, {ip("10.0.0.2"), IP_SUCCESS, {}, 2}};
    report.withNames = true;
    report.names[ip("10.0.0.1")] = "a,b";
    report.names[ip("10.0.0.2")] = "say\"hi\"";
    QCOMPARE(written(report, &SweepReport::writeCsv),
             QByteArray("address,rtt_ms,error,error_from,name\n10.0.0.1,1.000,,,\"a,b\"\n"
                        "10.0.0.2,2.000,,,\"say\"\"hi\"\"\"\n"));
    // Control characters (C0, DEL, C1), which a terminal may act on, markup and bytes that are not UTF-8
    // (read as U+FFFD); JSON has escapes of its own.
    report.names[ip("10.0.0.1")] = "a&b\x01<c>\\\xff\xc3\xa9\x1b[2J\x7f\xc2\x9b";
    const QByteArray tail = "\\\xef\xbf\xbd\xc3\xa9\\027[2J\\127\\194\\155";
    QVERIFY(written(report, &SweepReport::writeText).contains("10.0.0.1 1.000 ms a&b\\001<c>" + tail + "\n"));
    QVERIFY(written(report, &SweepReport::writeCsv).contains("10.0.0.1,1.000,,,a&b\\001<c>" + tail + "\n"));
    QVERIFY(written(report, &SweepReport::writeXml)
                .contains("<hostname name=\"a&amp;b\\001&lt;c&gt;" + tail + "\" type=\"PTR\"/>"));
    const QJsonArray replies = QJsonDocument::fromJson(written(report, &SweepReport::writeJson))["replies"].toArray();
    QCOMPARE(replies[0]["name"].toString(), QString::fromUtf8("a&b\x01<c>\\\xef\xbf\xbd\xc3\xa9\x1b[2J\x7f\xc2\x9b"));
    QCOMPARE(replies[1]["name"].toString(), QString("say\"hi\""));
}

// ndiff, which compares two port scanners' XML files, reads two sweeps: the host that went silent,
// the one that came up with its name, the one that now sends an error; the one whose error stayed,
// the IPv6 ones that did not change and the command line that did not change are no difference.
// With presence, every format tells how each host was found and its hardware: a host silent to echo
// but found by ARP, one whose ICMP error does not hide that it answered ND, and one found by TCP
// beyond the link, beside the echo answers (one with its hardware address, one without).
void tst_SweepReport::hostsFoundOnTheLink()
{
    SweepReport report = canned();
    report.answers.resize(2);
    report.answers.push_back({ip("fd00::2"), IP_DEST_HOST_UNREACHABLE, ip("fd00::fe"), 1});
    report.withPresence = true;
    report.presence[ip("10.0.0.1")] = {HostPresence::Method::Echo, 0, "00:16:3e:00:00:01", "Xen \"source\""};
    report.presence[ip("10.0.0.5")] = {HostPresence::Method::Arp, 0, "02:00:00:00:00:05", "locally administered"};
    report.presence[ip("fd00::2")] = {HostPresence::Method::Nd, 0, "00:50:56:00:00:02", ""};
    report.presence[ip("10.9.0.1")] = {HostPresence::Method::Tcp, 443, "", ""};
    report.presence[ip("10.0.0.1")].maker += ",\x01";
    QCOMPARE(written(report, &SweepReport::writeText),
             "10.0.0.1 0.123 ms by echo 00:16:3e:00:00:01 Xen \"source\",\\001\n"
             "10.0.0.2 Destination host unreachable from 10.0.0.254\n"
             "10.0.0.5 by arp 02:00:00:00:00:05 locally administered\n"
             "10.9.0.1 by tcp:443\n"
             "fd00::2 Destination host unreachable from fd00::fe by nd 00:50:56:00:00:02\n"
             "1 of 300 addresses answered, 3 more found without echo\n");
    QCOMPARE(written(report, &SweepReport::writeCsv),
             "address,rtt_ms,error,error_from,found_by,mac,maker\n"
             "10.0.0.1,0.123,,,echo,00:16:3e:00:00:01,\"Xen \"\"source\"\",\\001\"\n"
             "10.0.0.2,,Destination host unreachable,10.0.0.254,,,\n"
             "10.0.0.5,,,,arp,02:00:00:00:00:05,locally administered\n"
             "10.9.0.1,,,,tcp:443,,\n"
             "fd00::2,,Destination host unreachable,fd00::fe,nd,00:50:56:00:00:02,\n");
    const QJsonObject json = QJsonDocument::fromJson(written(report, &SweepReport::writeJson)).object();
    QCOMPARE(json["replies"].toArray()[0].toObject()["maker"].toString(), QString("Xen \"source\",\x01"));
    QCOMPARE(json["errors"].toArray().size(), 2);
    QCOMPARE(
        QJsonDocument(json["present"].toArray()).toJson(QJsonDocument::Compact),
        "[{\"address\":\"10.0.0.5\",\"found_by\":\"arp\",\"mac\":\"02:00:00:00:00:05\",\"maker\":"
        "\"locally administered\"},{\"address\":\"10.9.0.1\",\"found_by\":\"tcp:443\",\"mac\":\"\",\"maker\":\"\"},"
        "{\"address\":\"fd00::2\",\"found_by\":\"nd\",\"mac\":\"00:50:56:00:00:02\",\"maker\":\"\"}]");
    const QByteArray xml = written(report, &SweepReport::writeXml);
    QVERIFY(
        xml.contains("<host><status state=\"up\" reason=\"echo-reply\" reason_ttl=\"0\"/>\n"
                     "<address addr=\"10.0.0.1\" addrtype=\"ipv4\"/>\n"
                     "<address addr=\"00:16:3e:00:00:01\" addrtype=\"mac\" vendor=\"Xen &quot;source&quot;,?\"/>\n"));
    QVERIFY(xml.contains("<host><status state=\"up\" reason=\"arp-response\" reason_ttl=\"0\"/>\n"
                         "<address addr=\"10.0.0.5\" addrtype=\"ipv4\"/>\n"
                         "<address addr=\"02:00:00:00:00:05\" addrtype=\"mac\" vendor=\"locally administered\"/>\n"
                         "<hostnames>\n</hostnames>\n</host>\n"));
    QVERIFY(xml.contains("<host><status state=\"up\" reason=\"nd-response\" reason_ttl=\"0\"/>\n"
                         "<address addr=\"fd00::2\" addrtype=\"ipv6\"/>\n"
                         "<address addr=\"00:50:56:00:00:02\" addrtype=\"mac\"/>\n"));
    QVERIFY(xml.contains("<hosts up=\"4\" down=\"296\" total=\"300\"/>"));
}

void tst_SweepReport::ndiffReadsTheXml()
{
    const QString ndiff = QStandardPaths::findExecutable("ndiff");
    if (ndiff.isEmpty())
        QSKIP("no ndiff (scripts/install-deps.sh installs it)");
    SweepReport before = canned();
    SweepReport after = canned();
    after.answers = {{ip("10.0.0.2"), IP_SUCCESS, {}, 1},
                     {ip("10.0.0.3"), IP_TTL_EXPIRED_TRANSIT, {}, 5},
                     {ip("10.0.0.10"), IP_DEST_HOST_UNREACHABLE, {}, 2},
                     {ip("fd00::1"), IP_SUCCESS, {}, 3},
                     {ip("fd00::2"), IP_DEST_HOST_UNREACHABLE, ip("fd00::fe"), 1}};
    after.withNames = true;
    after.names[ip("10.0.0.2")] = "two.example";
    QTemporaryDir folder;
    const QString beforeFile = folder.filePath("before.xml");
    const QString afterFile = folder.filePath("after.xml");
    writeFile(beforeFile, written(before, &SweepReport::writeXml));
    writeFile(afterFile, written(after, &SweepReport::writeXml));
    QProcess process;
    process.start(ndiff, {beforeFile, afterFile});
    QVERIFY(process.waitForFinished(30000));
    const QByteArray errors = process.readAllStandardError();
    QVERIFY2(errors.isEmpty(), errors.constData());
    QCOMPARE(process.exitCode(), 1); // they differ
    QStringList lines = QString::fromUtf8(process.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines, (QStringList{"-10.0.0.1:", "-Host is up.", " 10.0.0.10:", "-Host is up.", "+Host is down.",
                                 "-10.0.0.2:", "-Host is down.", "+two.example (10.0.0.2):", "+Host is up."}));
}

// The XML's times are local; the test's are those of one zone.
static int runTest(int argc, char **argv)
{
    qputenv("TZ", "UTC");
    tzset();
    QCoreApplication app(argc, argv);
    tst_SweepReport test;
    return TestMain::run(test, argc, argv);
}
TOZELO_TEST_ENTRY(runTest)
#include "tst_SweepReport.moc"
