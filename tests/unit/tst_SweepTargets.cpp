// The targets of a sweep: the three forms, merging, exclusions, the bound on their size, lists typed on
// one line and what is refused.
#include "Refusal.h"
#include "SweepTargetList.h"
#include "TestMain.h"
#include "echo/Notation.h"
#include "sweep/Sweep.h"
#include "sweep/SweepTargets.h"

#include <QtTest>
#include <stdexcept>

using Range = SweepTargets::Range;
using Ranges = std::vector<Range>;
Q_DECLARE_METATYPE(Ranges)

namespace {
uint32_t ip(const char *dotted)
{
    const std::optional<uint32_t> address = Notation::parseDotted(dotted);
    if (!address)
        qFatal("bad address in the test: %s", dotted);
    return *address;
}

Range range(const char *first, const char *last)
{
    return {ip(first), ip(last)};
}

} // namespace

class tst_SweepTargets : public QObject {
    Q_OBJECT
private slots:
    void forms_data();
    void forms();
    void severalTargetsMerge_data();
    void severalTargetsMerge();
    void boundOnEachShard();
    void exclusions_data();
    void exclusions();
    void badExclusion();
    void ipv6Targets_data();
    void ipv6Targets();
    void addressesAsFound();
    void wordsOfALine_data();
    void wordsOfALine();
    void badInput_data();
    void badInput();
};

void tst_SweepTargets::forms_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<Ranges>("ranges");
    QTest::addColumn<qulonglong>("count");
    QTest::newRow("address") << "10.1.2.3" << Ranges{range("10.1.2.3", "10.1.2.3")} << 1ull;
    QTest::newRow("lowest") << "0.0.0.0" << Ranges{range("0.0.0.0", "0.0.0.0")} << 1ull;
    QTest::newRow("highest") << "255.255.255.255" << Ranges{range("255.255.255.255", "255.255.255.255")} << 1ull;
    QTest::newRow("range") << "10.1.2.250-10.1.3.4" << Ranges{range("10.1.2.250", "10.1.3.4")} << 11ull;
    QTest::newRow("range of one") << "10.1.2.3-10.1.2.3" << Ranges{range("10.1.2.3", "10.1.2.3")} << 1ull;
    QTest::newRow("/24") << "192.168.7.0/24" << Ranges{range("192.168.7.0", "192.168.7.255")} << 256ull;
    QTest::newRow("host bits dropped") << "10.1.2.3/20" << Ranges{range("10.1.0.0", "10.1.15.255")} << 4096ull;
    QTest::newRow("/32") << "10.1.2.3/32" << Ranges{range("10.1.2.3", "10.1.2.3")} << 1ull;
    QTest::newRow("/31") << "10.1.2.3/31" << Ranges{range("10.1.2.2", "10.1.2.3")} << 2ull;
    QTest::newRow("/8 at the top") << "255.1.2.3/8" << Ranges{range("255.0.0.0", "255.255.255.255")} << 16777216ull;
}

void tst_SweepTargets::forms()
{
    QFETCH(QString, target);
    QFETCH(Ranges, ranges);
    QFETCH(qulonglong, count);
    const SweepTargets targets = targetsOf({target});
    QCOMPARE(targets.ranges(), ranges);
    QCOMPARE(targets.count(), count);
}

void tst_SweepTargets::severalTargetsMerge_data()
{
    QTest::addColumn<QStringList>("targets");
    QTest::addColumn<Ranges>("ranges");
    QTest::addColumn<qulonglong>("count");
    QTest::newRow("given twice") << QStringList{"10.0.0.7", "10.0.0.7"} << Ranges{range("10.0.0.7", "10.0.0.7")}
                                 << 1ull;
    QTest::newRow("sorted, apart") << QStringList{"10.0.9.1", "10.0.0.0/30", "10.0.5.5-10.0.5.6"}
                                   << Ranges{range("10.0.0.0", "10.0.0.3"), range("10.0.5.5", "10.0.5.6"),
                                             range("10.0.9.1", "10.0.9.1")}
                                   << 7ull;
    QTest::newRow("overlapping") << QStringList{"10.0.0.0/24", "10.0.0.128-10.0.1.5", "10.0.0.7"}
                                 << Ranges{range("10.0.0.0", "10.0.1.5")} << 262ull;
    QTest::newRow("touching") << QStringList{"10.0.0.0-10.0.0.9", "10.0.0.10", "10.0.0.11/32"}
                              << Ranges{range("10.0.0.0", "10.0.0.11")} << 12ull;
    QTest::newRow("bridging three") << QStringList{"10.0.0.1", "10.0.0.9", "10.0.0.20", "10.0.0.0/28"}
                                    << Ranges{range("10.0.0.0", "10.0.0.15"), range("10.0.0.20", "10.0.0.20")} << 17ull;
    QTest::newRow("inside another") << QStringList{"10.0.0.0/8", "10.200.0.0/16", "10.255.255.255"}
                                    << Ranges{range("10.0.0.0", "10.255.255.255")} << 16777216ull;
    QTest::newRow("ends of the space") << QStringList{"255.255.255.255", "0.0.0.0", "255.255.255.254"}
                                       << Ranges{range("0.0.0.0", "0.0.0.0"),
                                                 range("255.255.255.254", "255.255.255.255")}
                                       << 3ull;
    QTest::newRow("overlapping at the top") << QStringList{"255.255.255.255", "255.255.255.250-255.255.255.255"}
                                            << Ranges{range("255.255.255.250", "255.255.255.255")} << 6ull;
    QTest::newRow("reaching the top over another")
        << QStringList{"255.255.255.0-255.255.255.10", "255.255.255.5-255.255.255.255"}
        << Ranges{range("255.255.255.0", "255.255.255.255")} << 256ull;
    QTest::newRow("touching at the top") << QStringList{"255.255.255.0/25", "255.255.255.255",
                                                        "255.255.255.128-255.255.255.254"}
                                         << Ranges{range("255.255.255.0", "255.255.255.255")} << 256ull;
}

void tst_SweepTargets::severalTargetsMerge()
{
    QFETCH(QStringList, targets);
    QFETCH(Ranges, ranges);
    QFETCH(qulonglong, count);
    const SweepTargets merged = targetsOf(targets);
    QCOMPARE(merged.ranges(), ranges);
    QCOMPARE(merged.count(), count);
}

// A set of any size is kept; what one process may send is bounded by its shard's share alone.
void tst_SweepTargets::boundOnEachShard()
{
    const auto refusalOf = [](const QStringList &list, uint32_t shard, uint32_t shards) {
        Sweep::Settings settings;
        settings.shardIndex = shard;
        settings.shardCount = shards;
        return ::refusalOf([&] { Sweep::checkSize(targetsOf(list), settings); });
    };
    QCOMPARE(targetsOf({"0.0.0.0/0"}).count(), 4294967296ull);
    QCOMPARE(refusalOf({"10.0.0.0/9", "10.128.0.0-10.255.255.255"}, 0, 1), QString());
    QCOMPARE(refusalOf({"10.0.0.0/8", "11.0.0.0"}, 0, 1),
             QString("the targets hold 16777217 addresses, more than 16777216"));
    QCOMPARE(refusalOf({"10.0.0.0/7"}, 0, 2), QString());
    QCOMPARE(refusalOf({"10.0.0.0/7"}, 1, 2), QString());
    QCOMPARE(refusalOf({"10.0.0.0/7", "12.0.0.0"}, 0, 2),
             QString("shard 1/2 holds 16777217 of the 33554433 addresses, more than 16777216"));
    QCOMPARE(refusalOf({"10.0.0.0/7", "12.0.0.0"}, 1, 2), QString());
}

void tst_SweepTargets::exclusions_data()
{
    QTest::addColumn<QStringList>("targets"); // "-" before a target excludes it, in the order given
    QTest::addColumn<Ranges>("ranges");
    QTest::addColumn<qulonglong>("count");
    QTest::newRow("split in three") << QStringList{"10.0.0.0/24", "-10.0.0.10-10.0.0.19", "-10.0.0.128/25"}
                                    << Ranges{range("10.0.0.0", "10.0.0.9"), range("10.0.0.20", "10.0.0.127")}
                                    << 118ull;
    QTest::newRow("excluded before") << QStringList{"-10.0.0.5", "10.0.0.0/29", "10.0.0.5"}
                                     << Ranges{range("10.0.0.0", "10.0.0.4"), range("10.0.0.6", "10.0.0.7")} << 7ull;
    QTest::newRow("both ends") << QStringList{"10.0.0.0-10.0.0.9", "-10.0.0.0", "-10.0.0.9-10.0.0.20"}
                               << Ranges{range("10.0.0.1", "10.0.0.8")} << 8ull;
    QTest::newRow("across ranges") << QStringList{"10.0.0.1", "10.0.0.5-10.0.0.9", "10.0.1.0/30", "-10.0.0.7-10.0.1.1"}
                                   << Ranges{range("10.0.0.1", "10.0.0.1"), range("10.0.0.5", "10.0.0.6"),
                                             range("10.0.1.2", "10.0.1.3")}
                                   << 5ull;
    QTest::newRow("nothing left") << QStringList{"10.0.0.0/30", "-10.0.0.0/24"} << Ranges{} << 0ull;
    QTest::newRow("outside the targets") << QStringList{"10.0.0.0/30", "-10.9.0.0/16"}
                                         << Ranges{range("10.0.0.0", "10.0.0.3")} << 4ull;
    QTest::newRow("ends of the space") << QStringList{"0.0.0.0/30", "255.255.255.252/30", "-0.0.0.0",
                                                      "-255.255.255.255"}
                                       << Ranges{range("0.0.0.1", "0.0.0.3"),
                                                 range("255.255.255.252", "255.255.255.254")}
                                       << 6ull;
}

void tst_SweepTargets::exclusions()
{
    QFETCH(QStringList, targets);
    QFETCH(Ranges, ranges);
    QFETCH(qulonglong, count);
    SweepTargets swept;
    for (const QString &target : targets) {
        if (target.startsWith('-'))
            swept.exclude(target.mid(1).toStdString());
        else
            swept.add(target.toStdString());
    }
    QCOMPARE(swept.ranges(), ranges);
    QCOMPARE(swept.count(), count);
}

// A bad exclusion changes nothing.
void tst_SweepTargets::badExclusion()
{
    SweepTargets targets = targetsOf({"10.0.0.0/30"});
    try {
        targets.exclude("10.0.0.1/33");
        QFAIL("a bad exclusion was taken");
    } catch (const std::invalid_argument &e) {
        QCOMPARE(QString(e.what()), QString("'10.0.0.1/33': the prefix length must be 0 to 32"));
    }
    QCOMPARE(targets.count(), 4ull);
}

// IPv6 ranges as text, "FIRST-LAST" each.
QStringList textOf(const std::vector<SweepTargets::Range6> &ranges)
{
    QStringList text;
    for (const SweepTargets::Range6 &range : ranges)
        text << QString::fromStdString(SweepTargets::addressOf(range.first, range.scope).toString() + "-" +
                                       SweepTargets::addressOf(range.last, range.scope).toString());
    return text;
}

void tst_SweepTargets::ipv6Targets_data()
{
    QTest::addColumn<QStringList>("targets"); // "-" before a target excludes it
    QTest::addColumn<QStringList>("ranges6");
    QTest::addColumn<qulonglong>("count");
    QTest::addColumn<QString>("error"); // of the last target
    QTest::newRow("address, written long")
        << QStringList{"FD00:0:0:0:0:0:0:1"} << QStringList{"fd00::1-fd00::1"} << 1ull << "";
    QTest::newRow("/120, host bits dropped")
        << QStringList{"fd00::1:2:3/120"} << QStringList{"fd00::1:2:0-fd00::1:2:ff"} << 256ull << "";
    QTest::newRow("/112 and a range across it") << QStringList{"fd00::/112", "fd00::fff0-fd00::1:f", "fd00::7"}
                                                << QStringList{"fd00::-fd00::1:f"} << 65552ull << "";
    QTest::newRow("both families, one run")
        << QStringList{"10.0.0.0/30", "fd00::/126", "::/127"} << QStringList{"::-::1", "fd00::-fd00::3"} << 10ull << "";
    QTest::newRow("exclusions") << QStringList{"-fd00::5", "fd00::/125", "-fd00::7", "-10.0.0.0/8"}
                                << QStringList{"fd00::-fd00::4", "fd00::6-fd00::6"} << 6ull << "";
    QTest::newRow("top of the space")
        << QStringList{"ffff:ffff:ffff:ffff:ffff:ffff:ffff:fffe-ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff",
                       "ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff"}
        << QStringList{"ffff:ffff:ffff:ffff:ffff:ffff:ffff:fffe-ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff"} << 2ull << "";
    QTest::newRow("a /111") << QStringList{"fd00::/126", "fd00::/111"} << QStringList{"fd00::-fd00::3"} << 4ull
                            << "'fd00::/111': an IPv6 range or block may hold 65536 addresses at most (a /112)";
    QTest::newRow("a long range")
        << QStringList{"fd00::-fd00::1:0"} << QStringList() << 0ull
        << "'fd00::-fd00::1:0': an IPv6 range or block may hold 65536 addresses at most (a /112)";
    QTest::newRow("/129") << QStringList{"fd00::/129"} << QStringList() << 0ull
                          << "'fd00::/129': the prefix length must be 0 to 128";
    QTest::newRow("backwards") << QStringList{"fd00::9-fd00::1"} << QStringList() << 0ull
                               << "'fd00::9-fd00::1': the range ends before it starts";
    QTest::newRow("families mixed") << QStringList{"fd00::1-10.0.0.1"} << QStringList() << 0ull
                                    << "'fd00::1-10.0.0.1': '10.0.0.1' is not an IPv6 address";
    QTest::newRow("zone") << QStringList{"fe80::1%lo", "fe80::1"}
                          << QStringList{"fe80::1-fe80::1", "fe80::1%lo-fe80::1%lo"} << 2ull << "";
    QTest::newRow("zone of a block, either side of the length")
        << QStringList{"fe80::%lo/127", "fe80::2/127%lo"} << QStringList{"fe80::%lo-fe80::3%lo"} << 4ull << "";
    QTest::newRow("zone excluded on its link alone")
        << QStringList{"fe80::/126", "fe80::/126%lo", "-fe80::1%lo"}
        << QStringList{"fe80::-fe80::3", "fe80::%lo-fe80::%lo", "fe80::2%lo-fe80::3%lo"} << 7ull << "";
    QTest::newRow("no such link") << QStringList{"fe80::1%nosuchlink0"} << QStringList() << 0ull
                                  << "'fe80::1%nosuchlink0': this machine has no link 'nosuchlink0'";
    QTest::newRow("zone of IPv4") << QStringList{"10.0.0.1%lo"} << QStringList() << 0ull
                                  << "'10.0.0.1%lo': only an IPv6 address takes a zone";
    QTest::newRow("three colons") << QStringList{"fd00:::1"} << QStringList() << 0ull
                                  << "'fd00:::1': 'fd00:::1' is not an IPv6 address";
    QTest::newRow("IPv4 inside, a block") << QStringList{"0:0:0:0:0:FFFF:198.18.0.7/126"}
                                          << QStringList{"::ffff:198.18.0.4-::ffff:198.18.0.7"} << 4ull << "";
    QTest::newRow("prefix beyond every integer") << QStringList{"fd00::/99999999999999999999"} << QStringList() << 0ull
                                                 << "'fd00::/99999999999999999999': the prefix length must be 0 to 128";
}

// Each family's intervals apart, one count; an IPv6 target of more than a /112 is refused whole.
void tst_SweepTargets::ipv6Targets()
{
    QFETCH(QStringList, targets);
    QFETCH(QStringList, ranges6);
    QFETCH(qulonglong, count);
    QFETCH(QString, error);
    SweepTargets swept;
    QString refusal;
    for (const QString &target : targets) {
        if (target.startsWith('-'))
            swept.exclude(target.mid(1).toStdString());
        else
            refusal = refusalOf([&] { swept.add(target.toStdString()); });
    }
    QCOMPARE(refusal, error);
    QCOMPARE(textOf(swept.ranges6()), ranges6);
    QCOMPARE(swept.count(), count);
}

// An address the program found itself (a silent host asked again) is the same target as its text.
void tst_SweepTargets::addressesAsFound()
{
    for (const char *text : {"198.18.0.7", "255.255.255.255", "fd00:198:18::1", "fe80::1%lo"}) {
        SweepTargets written, found;
        written.add(text);
        found.add(*IpAddress::parse(text));
        QCOMPARE(found.ranges(), written.ranges());
        QCOMPARE(found.ranges6(), written.ranges6());
    }
}

void tst_SweepTargets::wordsOfALine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("words");
    QTest::newRow("empty") << "" << QStringList();
    QTest::newRow("blanks only") << " \t, ,\n" << QStringList();
    QTest::newRow("one") << "10.0.0.1" << QStringList{"10.0.0.1"};
    QTest::newRow("mixed separators") << " 10.0.0.0/24,10.0.1.1-10.0.1.9 ,\t10.0.2.2,,10.0.3.3 "
                                      << QStringList{"10.0.0.0/24", "10.0.1.1-10.0.1.9", "10.0.2.2", "10.0.3.3"};
}

void tst_SweepTargets::wordsOfALine()
{
    QFETCH(QString, line);
    QFETCH(QStringList, words);
    QStringList found;
    for (const std::string &word : SweepTargets::wordsOf(line.toStdString()))
        found << QString::fromStdString(word);
    QCOMPARE(found, words);
}

void tst_SweepTargets::badInput_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("error");
    const QString notDotted = "'%1': '%2' is not a dotted IPv4 address";
    QTest::newRow("empty") << "" << notDotted.arg("", "");
    QTest::newRow("three octets") << "10.0.0" << notDotted.arg("10.0.0", "10.0.0");
    QTest::newRow("five octets") << "10.0.0.0.1" << notDotted.arg("10.0.0.0.1", "10.0.0.0.1");
    QTest::newRow("octet above 255") << "10.0.0.256" << notDotted.arg("10.0.0.256", "10.0.0.256");
    QTest::newRow("octet too long for an integer")
        << "10.0.0.99999999999" << notDotted.arg("10.0.0.99999999999", "10.0.0.99999999999");
    QTest::newRow("leading zero") << "10.0.0.010" << notDotted.arg("10.0.0.010", "10.0.0.010");
    QTest::newRow("empty octet") << "10..0.1" << notDotted.arg("10..0.1", "10..0.1");
    QTest::newRow("sign") << "+10.0.0.1" << notDotted.arg("+10.0.0.1", "+10.0.0.1");
    QTest::newRow("blank") << " 10.0.0.1" << notDotted.arg(" 10.0.0.1", " 10.0.0.1");
    QTest::newRow("name") << "router.example" << notDotted.arg("router.example", "router.example");
    QTest::newRow("range end missing") << "10.0.0.1-" << notDotted.arg("10.0.0.1-", "");
    QTest::newRow("short range end") << "10.0.0.1-9" << notDotted.arg("10.0.0.1-9", "9");
    QTest::newRow("three ends") << "10.0.0.1-10.0.0.2-10.0.0.3"
                                << notDotted.arg("10.0.0.1-10.0.0.2-10.0.0.3", "10.0.0.2-10.0.0.3");
    QTest::newRow("backwards") << "10.0.0.9-10.0.0.1"
                               << "'10.0.0.9-10.0.0.1': the range ends before it starts";
    const QString badLength = "'%1': the prefix length must be 0 to 32";
    QTest::newRow("/33") << "10.0.0.0/33" << badLength.arg("10.0.0.0/33");
    QTest::newRow("no length") << "10.0.0.0/" << badLength.arg("10.0.0.0/");
    QTest::newRow("negative length") << "10.0.0.0/-1" << badLength.arg("10.0.0.0/-1");
    QTest::newRow("length too long for an integer") << "10.0.0.0/99999999999" << badLength.arg("10.0.0.0/99999999999");
    QTest::newRow("two slashes") << "10.0.0.0/8/8" << badLength.arg("10.0.0.0/8/8");
    QTest::newRow("mask form") << "10.0.0.0/255.0.0.0" << badLength.arg("10.0.0.0/255.0.0.0");
    QTest::newRow("range with length") << "10.0.0.1-10.0.0.9/24"
                                       << notDotted.arg("10.0.0.1-10.0.0.9/24", "10.0.0.1-10.0.0.9");
}

void tst_SweepTargets::badInput()
{
    QFETCH(QString, target);
    QFETCH(QString, error);
    SweepTargets targets = targetsOf({"10.0.0.0/30"});
    QCOMPARE(refusalOf([&] { targets.add(target.toStdString()); }), error);
    QCOMPARE(targets.count(), 4ull);
}

TOZELO_GUILESS_TEST_MAIN(tst_SweepTargets)
#include "tst_SweepTargets.moc"
