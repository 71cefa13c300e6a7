// `tozelo-cli sweep` side by side with `fping -a -g`, `masscan --ping` and zmap's icmp_echoscan, in
// the bench's testbed. The router drops the two blocks but for 75 hosts it sends to the delay
// namespace, where a responder of this bench answers each after as many milliseconds as its last
// octet (1 to 40, as the testbed's own). The router's work runs on the sender's CPU here (a veth
// pair hands each packet over on the spot): part of each tool's CPU time is the router's. So that
// it is a small part, as on a wire where another machine does that work, the router drops what no
// host answers as it comes in on its link (nftables at the link's ingress), before its routing.
// The sweep goes three ways, each row saying which: through this process's ICMP datagram sockets;
// through the privileged helper's raw sockets, with datagram sockets refused to every group for the
// run; and, where the testbed is sealed, as the helper's frames (--frames), refused them as well.
//   a /24 (198.18.64.0/24) with 25 answering hosts, a /16 (198.19.0.0/16) with 50: sweep and fping
//   with the same time-out and no retry, each at its fastest setting that stays exact (tozelo-cli's
//   highest --rate, fping's shortest -i) over three runs, timed by their median (on the /24, where
//   the time-out is most of it, the sweep is to take no longer than fping); masscan and zmap on
//   the /16 at a million packets a second, waiting their shortest (a second);
//   a silent /12 (240.0.0.0/12, dropped by the router): the sweep (median of three), masscan and
//   zmap at that rate, and the sweep at its highest;
//   an unrouted /8 (250.0.0.0/8, no route from the client): the sweep at that rate, once;
//   in IPv6, a /116 (fd00:198:18:19::/116) with 50 hosts that answer after 5 ms, a second responder
//   of this bench's answering for them, the rest dropped by the router: the sweep against
//   `fping -6 -f LIST` (fping takes no IPv6 range), each at its fastest exact setting; and the /112
//   around it alone, at the sweep's highest rate and at a million a second.
// fping, like masscan and zmap, runs only once the client's routes of both families were seen to
// reach the testbed and nothing else.
// masscan and zmap send raw frames: they run only after the client's routes and links, and the
// router's links, were seen to reach the testbed's namespaces and nothing else. Each run is timed
// from outside, with its CPU time (its helpers' included; also per address of the block: other work
// on the machine stretches the time, hardly the CPU) and peak memory from the kernel.
// With TOZELO_BASELINE_CLI naming the tozelo-cli of another build (one from before a change, say),
// the helper's rows of the /16 and the silent /12, and a few more, are run again by both programs
// in turn, and this build's times are held to within 10 % of the baseline's.
#include "Measure.h"
#include "Spread.h"
#include "sweep/SweepTargets.h"
#include "tests/testbed/DatagramRefusal.h"
#include "tests/testbed/TestbedGuard.h"
#include "tests/testbed/TestbedNamespaces.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <optional>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int TimeoutMs = 100;
constexpr int MaxDelayMs = 40;
constexpr int Runs = 3;
constexpr int NarrowRunsInTurn = 15;
constexpr int BaselineRuns = 5;
constexpr double BaselineSlack = 1.10;
const QString Wide = "198.19.0.0/16";
const QString Narrow = "198.18.64.0/24";
const QString Silent = "240.0.0.0/12";
const QString Unrouted = "250.0.0.0/8";
const QString Block6 = "fd00:198:18:19::/116";
const QString Wide6 = "fd00:198:18:19::/112";
const QString Delay6Ms = "5";
// masscan's, zmap's and the silent blocks' rate.
constexpr int FastRate = 1000000;
// The sweep's highest rate: as fast as this machine sends.
const QString TopRate = "10000000";

// Which way a sweep's requests go.
enum class Path { Datagram, HelperRaw, HelperFrames };

const char *nameOf(Path path)
{
    switch (path) {
    case Path::Datagram: return "datagram";
    case Path::HelperRaw: return "helper raw";
    case Path::HelperFrames: return "helper frames";
    }
    return "";
}

struct Row {
    QString block;
    QString tool;
    uint64_t addresses = 0;
    Measured run;
    int found = 0;
    int missed = 0;
    int falseOnes = 0;
    std::optional<Path> path; // a sweep's, at its rate
    QString rate;
    bool exact() const { return run.ran && missed == 0 && falseOnes == 0; }
};

QString tool(const char *name)
{
    return QStandardPaths::findExecutable(name, {"/usr/sbin", "/sbin", "/usr/bin", "/bin"});
}

QString namespaceOf(const char *role)
{
    return qEnvironmentVariable("TOZELO_TESTBED") + "-" + role;
}

// Hosts scattered over a block, the same on every run, each answering within MaxDelayMs.
QStringList answeringHosts(const QString &prefix, bool wide, int count)
{
    QStringList hosts;
    uint32_t state = 0x2545F491u;
    while (hosts.size() < count) {
        state = state * 1664525u + 1013904223u;
        const uint32_t third = (state >> 8) & 0xFF;
        const uint32_t last = 1 + (state >> 16) % MaxDelayMs;
        const QString host =
            wide ? QString("%1.%2.%3").arg(prefix).arg(third).arg(last) : QString("%1.%2").arg(prefix).arg(last);
        if (!hosts.contains(host))
            hosts << host;
    }
    return hosts;
}

// Hosts scattered over the IPv6 /116, the same on every run, in their one written form.
QStringList answeringHosts6(int count)
{
    QStringList hosts;
    uint32_t state = 0x6C078965u;
    while (hosts.size() < count) {
        state = state * 1664525u + 1013904223u;
        const QString host = QString("fd00:198:18:19::%1").arg(1 + (state >> 16) % 4095, 0, 16);
        if (!hosts.contains(host))
            hosts << host;
    }
    return hosts;
}

QStringList routeCommands(const QString &action, const QStringList &hosts)
{
    QStringList commands{
        QString("route %1 blackhole %2").arg(action, Wide), QString("route %1 blackhole %2").arg(action, Narrow),
        QString("route %1 blackhole %2").arg(action, Silent), QString("route %1 blackhole %2").arg(action, Wide6)};
    for (const QString &host : hosts)
        commands << (host.contains(':') ? QString("route %1 %2/128 via fd00:198:18:3::1").arg(action, host)
                                        : QString("route %1 %2/32 via 198.18.3.1").arg(action, host));
    return commands;
}

// The delay namespace takes the blocks' hosts as its own.
QStringList localRoutes(const QString &action)
{
    return {QString("route %1 local %2 dev lo").arg(action, Wide),
            QString("route %1 local %2 dev lo").arg(action, Narrow),
            QString("route %1 local %2 dev lo").arg(action, Wide6)};
}

// The router's rule for what no host answers: dropped as it comes in from the client.
QByteArray ingressDrops(const QStringList &hosts)
{
    const QStringList hosts4 = hosts.filter(".");
    const QStringList hosts6 = hosts.filter(":");
    // A prefix compared, then a lookup among single addresses: the cheapest rules for the router.
    return QString("table netdev bench_sweep {\n"
                   "    set answering4 { type ipv4_addr; elements = { %4 } }\n"
                   "    set answering6 { type ipv6_addr; elements = { %6 } }\n"
                   "    chain ingress {\n"
                   "        type filter hook ingress device \"to-c\" priority 0; policy accept;\n"
                   "        ip daddr %1 drop\n"
                   "        ip daddr %2 ip daddr != @answering4 drop\n"
                   "        ip daddr %3 ip daddr != @answering4 drop\n"
                   "        ip6 daddr %5 ip6 daddr != @answering6 drop\n"
                   "    }\n"
                   "}\n")
        .arg(Silent, Wide, Narrow, hosts4.join(", "), Wide6, hosts6.join(", "))
        .toLatin1();
}

class Testbed {
public:
    explicit Testbed(const QStringList &hosts) : m_hosts(hosts) {}
    ~Testbed() { tearDown(); }

    QString setUp()
    {
        if (!TestbedNamespaces::batch("r", routeCommands("add", m_hosts)) ||
            !TestbedNamespaces::batch("d", localRoutes("add")))
            return "cannot add the bench's routes";
        if (!nft({"-f", "-"}, ingressDrops(m_hosts)))
            std::printf("  the router drops by its routes alone: no nft here\n");
        const bool started = start(m_responder, {"--network", Wide, "--network", Narrow}) &&
                             start(m_responder6, {"--network", Wide6, "--delay", Delay6Ms});
        return started ? QString() : "the bench's echo responders did not start";
    }

private:
    // A responder leaves when this end of its standard input closes, however the bench ends.
    static bool start(QProcess &process, const QStringList &serving)
    {
        const QString ready = QDir::temp().filePath(QString("bench_sweep.%1.ready").arg(getpid()));
        QFile::remove(ready);
        const QString responder = QCoreApplication::applicationDirPath() + "/../tests/echo_responder";
        process.start(tool("ip"), QStringList{"netns", "exec", namespaceOf("d"), responder, "--lifeline", "--ready",
                                              ready, "--lifetime", "900"} +
                                      serving);
        bool started = process.waitForStarted(5000);
        for (int tries = 0; started && tries < 50 && !QFile::exists(ready); ++tries)
            started = !process.waitForFinished(100);
        return started && QFile::remove(ready);
    }

    void tearDown()
    {
        for (QProcess *process : {&m_responder, &m_responder6}) {
            if (process->state() == QProcess::NotRunning)
                continue;
            process->closeWriteChannel();
            if (!process->waitForFinished(5000))
                process->kill();
        }
        nft({"delete", "table", "netdev", "bench_sweep"});
        TestbedNamespaces::batch("d", localRoutes("del"));
        TestbedNamespaces::batch("r", routeCommands("del", m_hosts));
    }

    static bool nft(const QStringList &args, const QByteArray &input = {})
    {
        if (tool("nft").isEmpty())
            return false;
        QProcess nft;
        nft.start(tool("ip"), QStringList{"netns", "exec", namespaceOf("r"), tool("nft")} + args);
        nft.write(input);
        nft.closeWriteChannel();
        return nft.waitForFinished(10000) && nft.exitStatus() == QProcess::NormalExit && nft.exitCode() == 0;
    }

    QStringList m_hosts;
    QProcess m_responder;
    QProcess m_responder6;
};

uint64_t blockSize(const QString &block)
{
    return uint64_t(1) << ((block.contains(':') ? 128 : 32) - block.section('/', 1).toInt());
}

Row judge(const QString &block, const QString &toolName, const Measured &run, const QStringList &truth,
          const QStringList &found)
{
    Row row;
    row.block = block;
    row.tool = toolName;
    row.addresses = blockSize(block);
    row.run = run;
    const QSet<QString> expected(truth.begin(), truth.end());
    const QSet<QString> seen(found.begin(), found.end());
    row.found = int((seen & expected).size());
    row.missed = int(expected.size()) - row.found;
    row.falseOnes = int((seen - expected).size());
    return row;
}

QString ourCli()
{
    return QCoreApplication::applicationDirPath() + "/../tozelo-cli";
}

// The helper's ways are taken with datagram sockets refused; where they cannot be, the run is not made.
Row runSweep(const QString &block, const QStringList &truth, const QString &rate, Path path,
             const QString &cli = ourCli())
{
    const QStringList framed = path == Path::HelperFrames ? QStringList{"--frames"} : QStringList();
    std::optional<DatagramRefusal> refusal;
    if (path != Path::Datagram)
        refusal.emplace();
    const Measured run = refusal && !refusal->refused()
                             ? Measured()
                             : measure(QStringList{cli, "sweep", block, "--rate", rate, "--timeout",
                                                   QString::number(TimeoutMs), "--retries", "0"} +
                                       framed);
    QStringList found;
    const QRegularExpression reply("^(\\S+) \\d+\\.\\d+ ms$");
    for (const QString &line : QString::fromLatin1(run.out).split('\n')) {
        const QRegularExpressionMatch match = reply.match(line);
        if (match.hasMatch())
            found << match.captured(1);
    }
    Row row = judge(block, QString("sweep %1 --rate %2").arg(nameOf(path), rate), run, truth, found);
    row.path = path;
    row.rate = rate;
    return row;
}

Row runFping(const QString &block, const QStringList &truth, const QString &interval)
{
    const Measured run =
        measure({tool("fping"), "-a", "-r", "0", "-t", QString::number(TimeoutMs), "-i", interval, "-g", block});
    return judge(block, "fping -i " + interval, run, truth,
                 QString::fromLatin1(run.out).split('\n', Qt::SkipEmptyParts));
}

// fping takes no IPv6 range: the /116's addresses one a line, as fping -6 -f reads them.
Row runFping6(const QString &list, const QStringList &truth, const QString &interval)
{
    const Measured run =
        measure({tool("fping"), "-6", "-a", "-r", "0", "-t", QString::number(TimeoutMs), "-i", interval, "-f", list});
    return judge(Block6, "fping -6 -f LIST -i " + interval, run, truth,
                 QString::fromLatin1(run.out).split('\n', Qt::SkipEmptyParts));
}

void printRow(const Row &row)
{
    std::printf("  %-20s %-36s %8.2f %8.2f %7.2f %9.1f %6d/%-3d %6d %6d\n", qPrintable(row.block), qPrintable(row.tool),
                row.run.seconds, row.run.cpuSeconds, row.run.cpuSeconds * 1e6 / row.addresses, row.run.maxRssMb,
                row.found, row.found + row.missed, row.missed, row.falseOnes);
}

// One setting, Runs times while it stays exact: the median time and CPU time, the highest peak
// memory; or the first run that was not exact.
Row repeated(const std::function<Row(const QString &)> &run, const QString &setting)
{
    std::vector<Row> rows;
    for (int i = 0; i < Runs; ++i) {
        rows.push_back(run(setting));
        if (!rows.back().exact())
            return rows.back();
    }
    const auto median = [&rows](double Measured::*field) {
        std::vector<double> values;
        for (const Row &row : rows)
            values.push_back(row.run.*field);
        std::sort(values.begin(), values.end());
        return values[values.size() / 2];
    };
    Row middle = rows.front();
    middle.run.seconds = median(&Measured::seconds);
    middle.run.cpuSeconds = median(&Measured::cpuSeconds);
    for (const Row &row : rows)
        middle.run.maxRssMb = std::max(middle.run.maxRssMb, row.run.maxRssMb);
    return middle;
}

// From the fastest setting on; the first that stays exact is the tool's best.
Row best(const std::function<Row(const QString &)> &run, const QStringList &settings)
{
    Row last;
    for (const QString &setting : settings) {
        last = repeated(run, setting);
        printRow(last);
        if (last.exact())
            return last;
    }
    return last;
}

const char *verdict(bool met)
{
    return met ? "met" : "MISSED";
}

// Routes of one family of the client that the pattern does not allow.
QString routeBeyond(const char *family, const QRegularExpression &allowed)
{
    QProcess routes;
    routes.start(tool("ip"), {family, "route", "show", "table", "all"});
    if (!routes.waitForFinished(10000))
        return "cannot read the client's routes";
    for (const QString &route : QString::fromLatin1(routes.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts))
        if (!allowed.match(route).hasMatch())
            return "the client has a route beyond the testbed: " + route;
    return {};
}

// The routes of the client (where this bench runs) and its links reach the testbed's router and the
// client's own link (a bridge in the testbed) and nothing else, and the router has no link but to
// the testbed's namespaces: a raw frame sent here cannot get out, nor can a request of either family.
QString whyNotSealed()
{
    const QString beyond =
        routeBeyond(
            "-4", QRegularExpression("^(198\\.18\\.0\\.0/15 via 198\\.18\\.1\\.254 |240\\.0\\.0\\.0/5 via "
                                     "198\\.18\\.1\\.254 |198\\.18\\.1\\.0/24 dev to-r |198\\.18\\.6\\.0/24 dev to-l |"
                                     "(local|broadcast) )"))
            .append(routeBeyond("-6", QRegularExpression("^(fd00:198:18::/48 via fd00:198:18:1::254 dev to-r |"
                                                         "fd00:198:18:1::/64 dev to-r |fd00:198:18:6::/64 dev to-l |"
                                                         "fe80::/64 dev to-[lr] |"
                                                         "local (::1|fd00:198:18:[16]::1|fe80::[0-9a-f:]+) dev |"
                                                         "multicast ff00::/8 dev to-[lr] table local )")));
    if (!beyond.isEmpty())
        return beyond;
    const auto links = [](const QStringList &args) {
        QProcess ip;
        ip.start(tool("ip"), args + QStringList{"-o", "link"});
        ip.waitForFinished(10000);
        QStringList names;
        for (const QString &line : QString::fromLatin1(ip.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts))
            names << line.section(": ", 1, 1).section('@', 0, 0);
        names.sort();
        return names;
    };
    if (links({}) != QStringList{"lo", "to-l", "to-r"})
        return "the client has links beyond the testbed: " + links({}).join(' ');
    if (links({"-n", namespaceOf("r")}) != QStringList{"lo", "to-c", "to-d", "to-h"})
        return "the router has links beyond the testbed: " + links({"-n", namespaceOf("r")}).join(' ');
    return {};
}

QString routerMac()
{
    QProcess ip;
    ip.start(tool("ip"), {"-n", namespaceOf("r"), "-o", "link", "show", "to-c"});
    ip.waitForFinished(10000);
    return QRegularExpression("link/ether ([0-9a-f:]{17})")
        .match(QString::fromLatin1(ip.readAllStandardOutput()))
        .captured(1);
}

QStringList linesOfFile(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts)
                                          : QStringList();
}

// Both send raw frames from the client's link to the router's address, the fastest they can.
struct Peer {
    QString mac;
    QString outputs;
};

// masscan may keep waiting long past --wait: it is stopped once it has had thirty times its sending
// time and ten seconds, and the row says so.
Row runMasscan(const Peer &peer, const QString &block, const QStringList &truth, uint64_t addresses)
{
    const QString output = peer.outputs + "/masscan.txt";
    QFile::remove(output);
    const QStringList command{tool("masscan"),
                              "--ping",
                              block,
                              "--rate",
                              QString::number(FastRate),
                              "--interface",
                              "to-r",
                              "--adapter-ip",
                              "198.18.1.1",
                              "--router-mac",
                              peer.mac,
                              "--wait",
                              "1",
                              "-oL",
                              output};
    // Asked to stop, it leaves the state to resume from in the folder it runs in.
    const Measured run = measure(command, int(30 * addresses / FastRate) + 10, peer.outputs);
    QStringList found;
    for (const QString &line : linesOfFile(output))
        if (line.startsWith("open icmp"))
            found << line.section(' ', 3, 3);
    return judge(block, run.stopped ? "masscan --ping --wait 1 (stopped)" : "masscan --ping --wait 1", run, truth,
                 found);
}

Row runZmap(const Peer &peer, const QString &block, const QStringList &truth)
{
    const QString output = peer.outputs + "/zmap.txt";
    const QString noBlocklist = peer.outputs + "/empty.conf";
    QFile::remove(output);
    QFile(noBlocklist).open(QIODevice::WriteOnly);
    const Measured run =
        measure({tool("zmap"), "--probe-module=icmp_echoscan", "-i", "to-r", "-S", "198.18.1.1", "-G", peer.mac, "-r",
                 QString::number(FastRate), "-b", noBlocklist, "--cooldown-time=1", "-q", "-o", output, block});
    return judge(block, "zmap icmp_echoscan --cooldown 1", run, truth, linesOfFile(output));
}

// Every way of the sweep: frames only where the testbed is sealed.
std::vector<Path> sweepPaths()
{
    if (whyNotSealed().isEmpty())
        return {Path::Datagram, Path::HelperRaw, Path::HelperFrames};
    return {Path::Datagram, Path::HelperRaw};
}

Row bestSweep(const QString &block, const QStringList &truth, Path path)
{
    return best([&](const QString &rate) { return runSweep(block, truth, rate, path); },
                {TopRate, "1000000", "500000", "200000", "100000", "50000"});
}

void compare(const QString &block, const QStringList &truth, std::vector<Row> &rows)
{
    for (const Path path : sweepPaths())
        rows.push_back(bestSweep(block, truth, path));
    rows.push_back(best([&](const QString &interval) { return runFping(block, truth, interval); },
                        {"0", "0.05", "0.1", "0.2", "0.5", "1"}));
}

// The fast peers, where the testbed is sealed; an empty row where they cannot run.
void comparePeers(const QString &block, const QStringList &truth, uint64_t addresses, std::vector<Row> &rows)
{
    const QString sealed = whyNotSealed();
    if (!sealed.isEmpty()) {
        std::printf("  %-14s masscan and zmap not run: %s\n", qPrintable(block), qPrintable(sealed));
        return;
    }
    const QTemporaryDir outputs;
    const Peer peer{routerMac(), outputs.path()};
    if (!tool("masscan").isEmpty()) {
        rows.push_back(runMasscan(peer, block, truth, addresses));
        printRow(rows.back());
    }
    if (!tool("zmap").isEmpty()) {
        rows.push_back(runZmap(peer, block, truth));
        printRow(rows.back());
    }
}

// Medians in milliseconds of the sweep and fping on the /24, each at its best exact setting, run in
// turn: work of others on a shared machine then stretches both alike.
std::pair<double, double> narrowInTurn(const QStringList &truth, const Row &sweep, const Row &fping)
{
    std::vector<double> sweeps;
    std::vector<double> fpings;
    for (int i = 0; i < NarrowRunsInTurn; ++i) {
        sweeps.push_back(runSweep(Narrow, truth, sweep.rate, *sweep.path).run.seconds * 1000);
        fpings.push_back(runFping(Narrow, truth, fping.tool.section(' ', -1)).run.seconds * 1000);
    }
    std::sort(sweeps.begin(), sweeps.end());
    std::sort(fpings.begin(), fpings.end());
    return {sweeps[sweeps.size() / 2], fpings[fpings.size() / 2]};
}

// The /116 against fping -6, where the testbed is sealed, and the /112 alone; frames are of IPv4 alone.
void compare6(const QStringList &hosts, std::vector<Row> &rows)
{
    for (const Path path : {Path::Datagram, Path::HelperRaw})
        rows.push_back(bestSweep(Block6, hosts, path));
    const QString sealed = whyNotSealed();
    if (!sealed.isEmpty()) {
        std::printf("  %-20s fping -6 not run: %s\n", qPrintable(Block6), qPrintable(sealed));
    } else {
        const QTemporaryDir folder;
        const QString list = folder.filePath("list");
        QFile file(list);
        if (!file.open(QIODevice::WriteOnly))
            return;
        SweepTargets block;
        block.add(Block6.toStdString());
        for (SweepTargets::Wide address = block.ranges6().front().first; address <= block.ranges6().front().last;
             ++address)
            file.write(QByteArray::fromStdString(SweepTargets::addressOf(address).toString() + "\n"));
        file.close();
        rows.push_back(best([&](const QString &interval) { return runFping6(list, hosts, interval); },
                            {"0", "0.05", "0.1", "0.2", "0.5", "1"}));
    }
    for (const auto &[path, rate] :
         {std::pair{Path::Datagram, TopRate}, std::pair{Path::Datagram, QString::number(FastRate)},
          std::pair{Path::HelperRaw, TopRate}}) {
        rows.push_back(repeated([&](const QString &setting) { return runSweep(Wide6, hosts, setting, path); }, rate));
        printRow(rows.back());
    }
}

void printTargets6(const std::vector<Row> &rows)
{
    const auto rowOf = [&rows](const QString &block, const QString &tool) {
        for (const Row &row : rows)
            if (row.block == block && row.tool.startsWith(tool))
                return row;
        return Row();
    };
    const Row sweep = rowOf(Block6, "sweep datagram");
    const Row fping = rowOf(Block6, "fping");
    const double speedup = sweep.run.seconds > 0 ? fping.run.seconds / sweep.run.seconds : 0;
    std::printf("  IPv6 /116 %.2fx faster than fping -6's best exact setting: %s\n", speedup,
                verdict(sweep.exact() && fping.exact() && speedup > 1));
    const Row wide = rowOf(Wide6, "sweep datagram --rate " + TopRate);
    std::printf("  IPv6 /112 alone in %.2f s, %.2f CPU s, peak memory %.1f MB: %s\n", wide.run.seconds,
                wide.run.cpuSeconds, wide.run.maxRssMb, verdict(wide.exact()));
}

// Of the rows of one block, the fastest exact one of a tool (the first when none is exact).
Row fastestOf(const std::vector<Row> &rows, const QString &block, const QString &toolName)
{
    Row fastest;
    for (const Row &row : rows) {
        if (row.block != block || !row.tool.startsWith(toolName))
            continue;
        if (fastest.tool.isEmpty() || (row.exact() && (!fastest.exact() || row.run.seconds < fastest.run.seconds)))
            fastest = row;
    }
    return fastest;
}

void printTargets(const std::vector<Row> &rows, const Row &unrouted, const QStringList &narrow)
{
    // A peer that had to be stopped told nothing false; it is named apart. A sweep that had to be
    // stopped is not exact.
    QStringList inexact;
    QStringList stoppedPeers;
    for (const Row &row : rows) {
        if (row.exact())
            continue;
        const QString name = row.block + " " + row.tool;
        if (row.run.stopped && !row.path && row.falseOnes == 0)
            stoppedPeers << name;
        else
            inexact << name + (row.run.ran ? "" : " (did not run)");
    }
    const bool exact = inexact.isEmpty();
    const Row narrowSweep = fastestOf(rows, Narrow, "sweep");
    const Row narrowFping = fastestOf(rows, Narrow, "fping");
    const Row sweep = fastestOf(rows, Wide, "sweep");
    const Row fping = fastestOf(rows, Wide, "fping");
    const Row silent = fastestOf(rows, Silent, "sweep");
    const double speedup = sweep.run.seconds > 0 ? fping.run.seconds / sweep.run.seconds : 0;
    std::printf("\n  every row that ran to its end exact (every answering host found, no false one): %s%s\n",
                verdict(exact), exact ? "" : qPrintable(", not: " + inexact.join("; ")));
    if (!stoppedPeers.isEmpty())
        std::printf("  stopped before they ended, nothing false found: %s\n", qPrintable(stoppedPeers.join("; ")));
    const bool narrowExact = narrowSweep.exact() && narrowFping.exact();
    const auto [sweepMs, fpingMs] = narrowExact ? narrowInTurn(narrow, narrowSweep, narrowFping) : std::pair{0.0, 0.0};
    std::printf("  /24 in %.1f ms (%s) against fping's best exact setting's %.1f ms, medians of %d runs in turn "
                "(target: at most as long): %s\n",
                sweepMs, qPrintable(narrowSweep.tool), fpingMs, NarrowRunsInTurn,
                verdict(narrowExact && sweepMs <= fpingMs));
    std::printf("  /16 %.2fx faster (%s) than fping's best exact setting (target >= 3x): %s\n", speedup,
                qPrintable(sweep.tool), verdict(sweep.exact() && fping.exact() && speedup >= 3));
    std::printf("  silent /12 in %.2f s, %.2f CPU s (%s; target <= 1.0 s): %s\n", silent.run.seconds,
                silent.run.cpuSeconds, qPrintable(silent.tool), verdict(silent.exact() && silent.run.seconds <= 1.0));
    std::printf("  unrouted /8 in %.2f s at %d a second (ideal %.1f s), peak memory %.1f MB (target < 64 MB): %s\n",
                unrouted.run.seconds, FastRate, double(1 << 24) / FastRate, unrouted.run.maxRssMb,
                verdict(unrouted.run.ran && unrouted.run.maxRssMb < 64));
}

// A sweep's command line, as one of the rows ran it, to run again by this build and the baseline.
struct BaselineLine {
    Row row;
    QStringList truth;
    bool target = false; // held to within BaselineSlack of the baseline's time
};

// Of each block, the fastest exact row of each way; the helper's rows of the /16 and the silent /12 are
// the targets, the datagram rows show how far the machine alone moves the figures.
std::vector<BaselineLine> baselineLines(const std::vector<Row> &rows, const QList<QPair<QString, QStringList>> &blocks)
{
    std::vector<BaselineLine> lines;
    for (const auto &[block, truth] : blocks) {
        for (const Path path : sweepPaths()) {
            const Row row = fastestOf(rows, block, QString("sweep ") + nameOf(path));
            if (row.path)
                lines.push_back({row, truth, path != Path::Datagram && (block == Wide || block == Silent)});
        }
    }
    return lines;
}

// Each line BaselineRuns times by this build and by the baseline in turn, first one then the other
// first, so that the machine's other work weighs on both alike.
void compareWithBaseline(const QString &baseline, const std::vector<BaselineLine> &lines)
{
    std::printf("\n  against the baseline %s, %d runs each in turn: median (lowest-highest)\n", qPrintable(baseline),
                BaselineRuns);
    std::printf("  %-20s %-36s %-22s %-22s %6s %-22s %-22s %6s\n", "block", "run", "time s", "baseline time s", "ratio",
                "CPU s", "baseline CPU s", "ratio");
    for (const BaselineLine &line : lines) {
        std::vector<double> seconds[2];
        std::vector<double> cpuSeconds[2];
        bool exact = true;
        for (int run = 0; run < 2 * BaselineRuns; ++run) {
            const int which = (run + run / 2) % 2; // this, baseline, baseline, this, ...
            const Row row =
                runSweep(line.row.block, line.truth, line.row.rate, *line.row.path, which == 0 ? ourCli() : baseline);
            exact = exact && row.exact();
            seconds[which].push_back(row.run.seconds);
            cpuSeconds[which].push_back(row.run.cpuSeconds);
        }
        const Spread time = Spread::of(seconds[0]);
        const Spread baselineTime = Spread::of(seconds[1]);
        const Spread cpu = Spread::of(cpuSeconds[0]);
        const Spread baselineCpu = Spread::of(cpuSeconds[1]);
        const double ratio = baselineTime.median > 0 ? time.median / baselineTime.median : 0;
        std::printf("  %-20s %-36s %-22s %-22s %6.2f %-22s %-22s %6.2f %s\n", qPrintable(line.row.block),
                    qPrintable(line.row.tool), qPrintable(time.text()), qPrintable(baselineTime.text()), ratio,
                    qPrintable(cpu.text()), qPrintable(baselineCpu.text()),
                    baselineCpu.median > 0 ? cpu.median / baselineCpu.median : 0,
                    !exact        ? "NOT EXACT"
                    : line.target ? verdict(ratio <= BaselineSlack)
                                  : "");
    }
    std::printf("  target: the helper's rows of the /16 and the silent /12 within %.0f %% of the baseline's time\n",
                (BaselineSlack - 1) * 100);
}

int runBench()
{
    std::printf("bench_sweep: tozelo-cli sweep against fping, masscan and zmap, time-out %d ms, no retry\n", TimeoutMs);
    const std::string outside = TestbedGuard::whyOutside();
    if (!outside.empty()) {
        std::printf("  skipped: %s\n", outside.c_str());
        return 0;
    }
    if (tool("fping").isEmpty() || tool("ip").isEmpty()) {
        std::printf("  skipped: needs fping and ip\n");
        return 0;
    }
    const QStringList wide = answeringHosts("198.19", true, 50);
    const QStringList narrow = answeringHosts("198.18.64", false, 25);
    const QStringList hosts6 = answeringHosts6(50);
    Testbed testbed(wide + narrow + hosts6);
    const QString failure = testbed.setUp();
    if (!failure.isEmpty()) {
        std::printf("  skipped: %s\n", qPrintable(failure));
        return 0;
    }
    std::printf("  %-20s %-36s %8s %8s %7s %9s %10s %6s %6s\n", "block", "run", "time s", "CPU s", "CPU us/a",
                "max RSS MB", "found", "missed", "false");
    std::vector<Row> rows;
    compare(Narrow, narrow, rows);
    compare(Wide, wide, rows);
    comparePeers(Wide, wide, 1 << 16, rows);
    const auto silent = [](Path path) {
        return [path](const QString &rate) { return runSweep(Silent, {}, rate, path); };
    };
    rows.push_back(repeated(silent(Path::Datagram), QString::number(FastRate)));
    printRow(rows.back());
    for (const Path path : sweepPaths()) {
        rows.push_back(repeated(silent(path), TopRate));
        printRow(rows.back());
    }
    comparePeers(Silent, {}, 1 << 20, rows);
    const Row unrouted = runSweep(Unrouted, {}, QString::number(FastRate), Path::Datagram);
    printRow(unrouted);
    rows.push_back(runSweep(Unrouted, {}, QString::number(FastRate), Path::HelperRaw));
    printRow(rows.back());
    std::vector<Row> rows6;
    compare6(hosts6, rows6);
    printTargets(rows, unrouted, narrow);
    printTargets6(rows6);
    const QString baseline = qEnvironmentVariable("TOZELO_BASELINE_CLI");
    if (!baseline.isEmpty())
        compareWithBaseline(baseline,
                            baselineLines(rows, {{Narrow, narrow}, {Wide, wide}, {Silent, {}}, {Unrouted, {}}}));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    return runBench();
}
