// `tozelo-cli sweep --neighbours` against arp-scan and nmap's ARP ping (-sn -PR) on a /24 of the
// client's own link, in the bench's testbed. The bench gives the client a link of its own,
// 198.18.8.0/24 (the client 198.18.8.1 on to-b), whose far end lies in the testbed's namespace E:
// 50 hosts scattered over the /24, each a macvlan with a hardware address of its own that answers ARP
// for its own address alone, as a machine of its own would; half of them drop echo (nftables).
// Each tool runs Runs times, the three in turn so that the machine's other work weighs on all alike,
// with the client's neighbour table emptied before each run (the kernel's table is what the sweep
// reads; the peers keep none) and the client's routes seen to put every address of the /24 on that
// link, and on no other, before each run. Printed: the median time (lowest-highest) and the hosts
// found of the 50, and any found that is none of them (the client's own address is neither).
// As root, the sweep has the helper ask by ARP; a row runs it as nobody, whom the kernel's neighbour
// table serves. Target: every present host found, in no longer than the faster peer.
#include "Measure.h"
#include "Spread.h"
#include "tests/testbed/TestbedGuard.h"
#include "tests/testbed/TestbedNamespaces.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int Runs = 5;
constexpr int Hosts = 50;
constexpr int RunLimitSeconds = 60;
const QString Block = "198.18.8.0/24";
const QString Prefix = "198.18.8.";
const QString Own = "198.18.8.1";
const char *const Link = "to-b";
const char *const FarEnd = "b-c";
// The makers' block the hosts' hardware addresses come from; the last octet is the host's.
const QString MakerBlock = "00:16:3e:18:08:";

// The hosts' last octets, scattered over the /24, the same on every run.
QList<int> hostOctets()
{
    QList<int> octets;
    uint32_t state = 0x1B873593u;
    while (octets.size() < Hosts) {
        state = state * 1664525u + 1013904223u;
        const int octet = 2 + int((state >> 16) % 253);
        if (!octets.contains(octet))
            octets << octet;
    }
    return octets;
}

// ARGS run in namespace E.
bool inFarEnd(const QStringList &args, const QByteArray &input = {})
{
    QProcess process;
    process.start(TestbedNamespaces::tool("ip"), QStringList{"netns", "exec", TestbedNamespaces::nameOf("e")} + args);
    process.write(input);
    process.closeWriteChannel();
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// The bench's link and its hosts; the link, and with it every host, goes with the object.
class BenchLink {
public:
    explicit BenchLink(const QList<int> &octets) : m_octets(octets) {}
    ~BenchLink()
    {
        inFarEnd({TestbedNamespaces::tool("nft"), "delete", "table", "ip", "bench_neighbours"});
        TestbedNamespaces::batch("c", {QString("link del %1").arg(Link)});
    }
    BenchLink(const BenchLink &) = delete;
    BenchLink &operator=(const BenchLink &) = delete;

    QString setUp() const
    {
        if (!TestbedNamespaces::batch("c", {QString("link add %1 type veth peer name %2 netns %3")
                                                .arg(Link, FarEnd, TestbedNamespaces::nameOf("e")),
                                            QString("addr add %1/24 dev %2").arg(Own, Link),
                                            QString("link set %1 up").arg(Link)}))
            return "cannot add the bench's link to the client";
        QStringList hosts{QString("link set %1 up").arg(FarEnd)};
        // Neither the far end nor a host answers ARP for another's address; each asks with its own.
        QStringList settings{QString("net.ipv4.conf.%1.arp_ignore=1").arg(FarEnd)};
        for (const int octet : m_octets) {
            const QString name = QString("b%1").arg(octet);
            hosts << QString("link add link %1 name %2 address %3%4 type macvlan mode bridge")
                         .arg(FarEnd, name, MakerBlock)
                         .arg(octet, 2, 16, QChar('0'))
                  << QString("addr add %1%2/24 dev %3").arg(Prefix).arg(octet).arg(name)
                  << QString("link set %1 up").arg(name);
            settings << QString("net.ipv4.conf.%1.arp_ignore=1").arg(name)
                     << QString("net.ipv4.conf.%1.arp_announce=2").arg(name);
        }
        if (!TestbedNamespaces::batch("e", hosts) ||
            !inFarEnd(QStringList{TestbedNamespaces::tool("sysctl"), "-qw"} + settings))
            return "cannot add the bench's hosts";
        if (!inFarEnd({TestbedNamespaces::tool("nft"), "-f", "-"}, echoDrops()))
            return "cannot have half the hosts drop echo (nft)";
        return {};
    }

    QStringList truth() const
    {
        QStringList hosts;
        for (const int octet : m_octets)
            hosts << Prefix + QString::number(octet);
        return hosts;
    }

private:
    QByteArray echoDrops() const
    {
        QStringList silent;
        for (int i = 0; i < m_octets.size(); i += 2)
            silent << Prefix + QString::number(m_octets[i]);
        return QString("table ip bench_neighbours {\n"
                       "    chain input {\n"
                       "        type filter hook input priority 0; policy accept;\n"
                       "        ip daddr { %1 } icmp type echo-request drop\n"
                       "    }\n"
                       "}\n")
            .arg(silent.join(", "))
            .toLatin1();
    }

    const QList<int> m_octets;
};

// Where the client's routes send each address of the /24 that is not to the bench's link alone.
QString routeBeyondLink()
{
    QStringList gets;
    for (int octet = 0; octet < 256; ++octet)
        gets << "route get " + Prefix + QString::number(octet);
    QProcess ip;
    ip.start(TestbedNamespaces::tool("ip"), {"-batch", "-"});
    ip.write(gets.join('\n').toLatin1() + '\n');
    ip.closeWriteChannel();
    if (!ip.waitForFinished(10000) || ip.exitCode() != 0)
        return "cannot read the client's routes";
    const QRegularExpression onLink(QString("^((broadcast )?198\\.18\\.8\\.\\d+ dev %1 |local %2 dev lo )")
                                        .arg(Link, QRegularExpression::escape(Own)));
    int routed = 0;
    for (const QString &line : QString::fromLatin1(ip.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts)) {
        if (line.startsWith(' '))
            continue;
        if (!onLink.match(line).hasMatch() || line.contains(" via "))
            return "an address of the /24 is routed beyond the bench's link: " + line;
        ++routed;
    }
    return routed == 256 ? QString() : "the client's routes to the /24 could not all be read";
}

struct Row {
    QString tool;
    std::vector<double> seconds;
    int runs = 0;
    int exactRuns = 0;
    int leastFound = Hosts;
    int falseOnes = 0;
};

// One run's addresses of the /24 as found, judged against the truth.
void judge(Row &row, const Measured &run, const QStringList &truth, const QStringList &found)
{
    QSet<QString> seen;
    for (const QString &address : found)
        if (address != Own)
            seen.insert(address);
    int right = 0;
    for (const QString &address : seen)
        right += truth.contains(address) ? 1 : 0;
    const int falseOnes = int(seen.size()) - right;
    ++row.runs;
    row.seconds.push_back(run.seconds);
    row.leastFound = std::min(row.leastFound, right);
    row.falseOnes += falseOnes;
    row.exactRuns += run.ran && !run.stopped && right == truth.size() && falseOnes == 0 ? 1 : 0;
}

QString ourCli()
{
    return QCoreApplication::applicationDirPath() + "/../tozelo-cli";
}

// The replies' and the present hosts' addresses of the sweep's JSON.
QStringList sweepFound(const Measured &run)
{
    const QJsonObject json = QJsonDocument::fromJson(run.out).object();
    QStringList found;
    for (const char *list : {"replies", "present"})
        for (const QJsonValue &host : json[list].toArray())
            found << host.toObject()["address"].toString();
    return found;
}

// The addresses of the /24 that a peer's output names at the start of a line or after its words.
QStringList peerFound(const Measured &run, const QString &before)
{
    QStringList found;
    const QRegularExpression address("^" + before + "(198\\.18\\.8\\.\\d+)\\b");
    for (const QString &line : QString::fromLatin1(run.out).split('\n')) {
        const QRegularExpressionMatch match = address.match(line);
        if (match.hasMatch())
            found << match.captured(1);
    }
    return found;
}

// The namespace's groups that may open ICMP datagram sockets, set for the object's life.
class PingGroups {
public:
    explicit PingGroups(const QByteArray &range) : m_before(write(range)) {}
    ~PingGroups() { write(m_before); }
    PingGroups(const PingGroups &) = delete;
    PingGroups &operator=(const PingGroups &) = delete;

private:
    // The range before.
    static QByteArray write(const QByteArray &range)
    {
        QFile setting("/proc/sys/net/ipv4/ping_group_range");
        if (!setting.open(QIODevice::ReadOnly))
            return range;
        const QByteArray before = setting.readAll().simplified();
        setting.close();
        if (setting.open(QIODevice::WriteOnly))
            setting.write(range);
        return before;
    }

    const QByteArray m_before;
};

struct Contender {
    QString name;
    QStringList argv;
    std::function<QStringList(const Measured &)> found;
};

std::vector<Contender> contenders()
{
    std::vector<Contender> all{{"tozelo-cli sweep --neighbours (helper's ARP)",
                                {ourCli(), "sweep", "--neighbours", "--format", "json", Block},
                                sweepFound},
                               {"tozelo-cli sweep --neighbours --timeout 100",
                                {ourCli(), "sweep", "--neighbours", "--timeout", "100", "--format", "json", Block},
                                sweepFound}};
    // A user who may not send frames has the kernel ask, and reads its neighbour table.
    if (!TestbedNamespaces::tool("setpriv").isEmpty())
        all.push_back({"tozelo-cli sweep --neighbours (kernel's table)",
                       {TestbedNamespaces::tool("setpriv"), "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--",
                        ourCli(), "sweep", "--neighbours", "--format", "json", Block},
                       sweepFound});
    if (!TestbedNamespaces::tool("arp-scan").isEmpty())
        all.push_back({QString("arp-scan -I %1").arg(Link),
                       {TestbedNamespaces::tool("arp-scan"), "-x", "-q", "-I", Link, Block},
                       [](const Measured &run) { return peerFound(run, ""); }});
    if (!TestbedNamespaces::tool("nmap").isEmpty())
        all.push_back({"nmap -sn -PR -n --send-eth",
                       {TestbedNamespaces::tool("nmap"), "-sn", "-PR", "-n", "--send-eth", Block},
                       [](const Measured &run) { return peerFound(run, "Nmap scan report for "); }});
    return all;
}

// What our sweep says on its standard error (a link it could not ask as told, say), which the timed
// runs throw away: a row is only what its name says when this is empty.
void printWhatOursSay(const std::vector<Contender> &all)
{
    for (const Contender &contender : all) {
        if (!contender.name.startsWith("tozelo-cli"))
            continue;
        QProcess run;
        run.start(contender.argv.first(), contender.argv.mid(1));
        if (!run.waitForFinished(RunLimitSeconds * 1000))
            run.kill();
        for (const QByteArray &line : run.readAllStandardError().split('\n'))
            if (!line.isEmpty())
                std::printf("  %s said: %s\n", qPrintable(contender.name), line.constData());
    }
}

void printRow(const Row &row)
{
    const Spread time = Spread::of(row.seconds);
    std::printf("  %-46s %-22s %4d/%-3d %6d %5d/%d\n", qPrintable(row.tool), qPrintable(time.text()), row.leastFound,
                Hosts, row.falseOnes, row.exactRuns, row.runs);
}

const char *verdict(bool met)
{
    return met ? "met" : "MISSED";
}

void printTarget(const std::vector<Row> &rows)
{
    const auto median = [](const Row &row) { return Spread::of(row.seconds).median; };
    const Row &ours = rows.front();
    double fasterPeer = 0;
    QString peerName;
    for (const Row &row : rows) {
        if (row.tool.startsWith("tozelo-cli"))
            continue;
        if (peerName.isEmpty() || median(row) < fasterPeer) {
            fasterPeer = median(row);
            peerName = row.tool;
        }
    }
    if (peerName.isEmpty()) {
        std::printf("  no peer ran: needs arp-scan or nmap (scripts/install-deps.sh bench)\n");
        return;
    }
    std::printf("\n  every present host found in every run, in %.3f s against %s's %.3f s (target: at most as long): "
                "%s\n",
                median(ours), qPrintable(peerName), fasterPeer,
                verdict(ours.exactRuns == ours.runs && median(ours) <= fasterPeer));
}

int runBench()
{
    std::printf("bench_neighbours: tozelo-cli sweep --neighbours against arp-scan and nmap -sn -PR on %s of the "
                "client's link, %d hosts, half dropping echo\n",
                qPrintable(Block), Hosts);
    const std::string outside = TestbedGuard::whyOutside();
    if (!outside.empty()) {
        std::printf("  skipped: %s\n", outside.c_str());
        return 0;
    }
    if (TestbedNamespaces::tool("ip").isEmpty() || TestbedNamespaces::tool("nft").isEmpty()) {
        std::printf("  skipped: needs ip and nft\n");
        return 0;
    }
    const BenchLink link(hostOctets());
    const QString failure = link.setUp();
    if (!failure.isEmpty()) {
        std::printf("  skipped: %s\n", qPrintable(failure));
        return 0;
    }
    // The unprivileged run's echo goes through datagram sockets, open to every group in this namespace.
    const PingGroups everyGroup("0 2147483647");
    const std::vector<Contender> all = contenders();
    std::vector<Row> rows;
    for (const Contender &contender : all) {
        rows.emplace_back();
        rows.back().tool = contender.name;
    }
    for (int run = 0; run < Runs; ++run) {
        for (size_t i = 0; i < all.size(); ++i) {
            const QString beyond = routeBeyondLink();
            if (!beyond.isEmpty()) {
                std::printf("  stopped: %s\n", qPrintable(beyond));
                return 0;
            }
            TestbedNamespaces::batch("c", {QString("neigh flush dev %1").arg(Link)});
            const Measured measured = measure(all[i].argv, RunLimitSeconds);
            judge(rows[i], measured, link.truth(), all[i].found(measured));
        }
    }
    printWhatOursSay(all);
    std::printf("  %-46s %-22s %8s %6s %7s\n", "run", "time s", "found", "false", "exact");
    for (const Row &row : rows)
        printRow(row);
    printTarget(rows);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    return runBench();
}
