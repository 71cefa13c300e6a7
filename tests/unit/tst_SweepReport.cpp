// What a sweep found as the command line prints it and the window exports it, byte for byte: text,
// CSV and JSON, with and without names, and names that need quoting in CSV.
#include "TestMain.h"
#include "ping/SweepReport.h"
#include "platform/IcmpTypes.h"

#include <QtTest>
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
    void csvQuotesWhatWouldSplitAField();
};

void tst_SweepReport::formats_data()
{
    QTest::addColumn<bool>("withNames");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QByteArray>("json");
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
               unsent + "\n";
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
               unsent + "\n";
}

void tst_SweepReport::formats()
{
    QFETCH(bool, withNames);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, csv);
    QFETCH(QByteArray, json);
    SweepReport report = canned();
    report.withNames = withNames;
    report.names[ip("10.0.0.1")] = "one.example";
    report.names[ip("10.0.0.2")] = "ignored.example"; // only those that answered carry names
    report.names[ip("fd00::1")] = "six.example";
    QCOMPARE(written(report, &SweepReport::writeText), text);
    QCOMPARE(written(report, &SweepReport::writeCsv), csv);
    QCOMPARE(written(report, &SweepReport::writeJson), json);
}

// A hosts file may give a name any character but a blank.
void tst_SweepReport::csvQuotesWhatWouldSplitAField()
{
    SweepReport report;
    report.answers = {{ip("10.0.0.1"), IP_SUCCESS, {}, 1}, {ip("10.0.0.2"), IP_SUCCESS, {}, 2}};
    report.withNames = true;
    report.names[ip("10.0.0.1")] = "a,b";
    report.names[ip("10.0.0.2")] = "say\"hi\"";
    QCOMPARE(written(report, &SweepReport::writeCsv),
             QByteArray("address,rtt_ms,error,error_from,name\n10.0.0.1,1.000,,,\"a,b\"\n"
                        "10.0.0.2,2.000,,,\"say\"\"hi\"\"\"\n"));
}

TOZELO_GUILESS_TEST_MAIN(tst_SweepReport)
#include "tst_SweepReport.moc"
