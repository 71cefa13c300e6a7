// Pace of the range scan and memory of a long re-ping walk:
//   (a) tozelo-cli scan over 255 testbed addresses, half of them silent, at 50 ms interval and
//       time-out, against 1.05 x 255 x 50 ms; and over loopback at 1 ms interval, in addresses/s;
//   (b) a cyclic re-ping of 1,000 loopback addresses over 5 passes: resident memory growth;
//   (c) tozelo-cli reping of 1,000 loopback addresses through each way: datagram sockets, and the
//       privileged helper's raw socket with datagram sockets refused; with TOZELO_BASELINE_CLI naming
//       the tozelo-cli of another build, the same command lines by both programs in turn.
// The testbed part, (c) included, runs only under tests/testbed/testbed.sh run; the rest anywhere.
#include "Spread.h"
#include "flows/RePingWalk.h"
#include "ping/Ping.h"
#include "platform/HelperProcess.h"
#include "tests/testbed/DatagramRefusal.h"
#include "tests/testbed/TestbedGuard.h"
#include "tests/testbed/TestbedNamespaces.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <deque>
#include <optional>
#include <sys/resource.h>

namespace {

QString cliPath()
{
    const QString fromEnvironment = qEnvironmentVariable("TOZELO_CLI");
    return fromEnvironment.isEmpty() ? QCoreApplication::applicationDirPath() + "/../tozelo-cli" : fromEnvironment;
}

double childrenCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct CliRun {
    double seconds = -1; // negative when the run failed
    double cpuSeconds = 0;
};

// How long a run of program took, and its CPU time, its helpers' included.
CliRun runCli(const QString &program, const QStringList &args)
{
    const double cpuBefore = childrenCpuSeconds();
    QProcess cli;
    cli.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    cli.start(program, args);
    if (!cli.waitForFinished(120000)) {
        cli.kill();
        cli.waitForFinished();
        return {};
    }
    const double seconds = clock.nsecsElapsed() / 1e9;
    const bool ended = cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == 0;
    return {ended ? seconds : -1, childrenCpuSeconds() - cpuBefore};
}

// Seconds that `tozelo-cli scan` took, or a negative number when it failed.
double timeScan(const QStringList &args)
{
    return runCli(cliPath(), QStringList{"scan"} + args).seconds;
}

QStringList loopbackEntries(int count)
{
    QStringList entries;
    for (int i = 0; i < count; ++i)
        entries << "127.2." + QString::number(i / 250) + "." + QString::number(i % 250 + 1);
    return entries;
}

void benchTestbedPace()
{
    std::printf("(a) pace, testbed 198.18.6.1-198.18.6.255 (127 answering, 128 silent), interval 50 ms, "
                "time-out 50 ms:\n");
    const std::string outside = TestbedGuard::whyOutside();
    if (!outside.empty()) {
        std::printf("    skipped: %s\n", outside.c_str());
        return;
    }
    if (!TestbedNamespaces::scanRange("add")) {
        std::printf("    skipped: cannot add the routes of the half-silent range\n");
        TestbedNamespaces::scanRange("del");
        return;
    }
    const double seconds = timeScan({"198.18.6.1", "198.18.6.255", "--interval", "50", "--timeout", "50"});
    TestbedNamespaces::scanRange("del");
    const double bound = 1.05 * 255 * 0.050;
    if (seconds < 0)
        std::printf("    the scan failed\n");
    else
        std::printf("    255 addresses in %.2f s; bound 1.05 x 255 x 50 ms = %.2f s: %s\n", seconds, bound,
                    seconds <= bound ? "within" : "EXCEEDED");
}

void benchLoopbackRate()
{
    const int addresses = 8 * 255;
    std::printf("(a) rate, loopback 127.0.1.1-127.0.8.255, interval 1 ms:\n");
    const double seconds = timeScan({"127.0.1.1", "127.0.8.255", "--interval", "1", "--timeout", "500"});
    if (seconds < 0) {
        std::printf("    the scan failed\n");
        return;
    }
    const double rate = addresses / seconds;
    std::printf("    %d addresses in %.2f s = %.0f addresses/s (target >= 500): %s\n", addresses, seconds, rate,
                rate >= 500 ? "met" : "MISSED");
}

double residentMegabytes()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    return 0;
}

// The dialog's log, bounded as the walk asks it to be.
class WalkLog : public RePingWalk::View {
public:
    WalkLog(const QStringList &entries, int passes, QTimer &timer)
        : m_entries(entries), m_passes(passes), m_timer(timer)
    {
    }

private:
    QStringList machineLines() const override { return m_entries; }
    bool cyclic() override { return ++m_done < m_passes; }
    void setInterval(int ms) override { m_timer.setInterval(ms); }
    void setTimerEnabled(bool on) override { on ? m_timer.start() : m_timer.stop(); }
    void setRetryEnabled(bool) override {}
    void clearLog() override { m_memo.clear(); }
    void appendLine(const QString &line) override { m_memo.push_back(line); }
    void removeFirstLines(int count) override { m_memo.erase(m_memo.begin(), m_memo.begin() + count); }
    void setProgressMax(int) override {}
    void setProgress(int) override {}
    void setInfo(int, const QString &) override {}
    void recordMachine(const QString &, uint32_t, bool) override {}
    void reportError(const QString &text) override { std::printf("    %s\n", qPrintable(text)); }

    const QStringList &m_entries;
    const int m_passes;
    int m_done = 0;
    QTimer &m_timer;
    std::deque<QString> m_memo;
};

void benchRePingMemory()
{
    const int addresses = 1000;
    const int passes = 5;
    std::printf("(b) cyclic re-ping of %d loopback addresses over %d passes:\n", addresses, passes);
    const QStringList entries = loopbackEntries(addresses);
    TPing ping;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    WalkLog log(entries, passes, timer);
    RePingWalk walk(ping, log);
    walk.setTimeout(1);
    QEventLoop loop;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        walk.rTimer1Timer();
        if (!walk.walking())
            loop.quit();
    });
    const double before = residentMegabytes();
    QElapsedTimer clock;
    clock.start();
    walk.rpingClick();
    loop.exec();
    const double after = residentMegabytes();
    std::printf("    %d requests in %.2f s; resident memory %.1f MB -> %.1f MB, growth %.2f MB (bound 5 MB): %s\n",
                addresses * passes, clock.nsecsElapsed() / 1e9, before, after, after - before,
                after - before < 5 ? "met" : "EXCEEDED");
}

// Runs each program in turn, this build's first, then the other's first, and so on.
void rePingInTurn(const QStringList &programs, const QString &list, bool helper)
{
    constexpr int Runs = 3;
    std::vector<double> seconds[2];
    std::vector<double> cpuSeconds[2];
    for (int run = 0; run < Runs * int(programs.size()); ++run) {
        const int which = programs.size() == 1 ? 0 : (run + run / 2) % 2;
        std::optional<DatagramRefusal> refusal;
        if (helper)
            refusal.emplace();
        const CliRun timed =
            refusal && !refusal->refused() ? CliRun() : runCli(programs[which], {"reping", list, "--timeout", "1"});
        if (timed.seconds < 0) {
            std::printf("    %-10s %s failed\n", helper ? "helper raw" : "datagram", qPrintable(programs[which]));
            return;
        }
        seconds[which].push_back(timed.seconds);
        cpuSeconds[which].push_back(timed.cpuSeconds);
    }
    std::printf("    %-10s %-22s %-22s", helper ? "helper raw" : "datagram", qPrintable(Spread::of(seconds[0]).text()),
                qPrintable(Spread::of(cpuSeconds[0]).text()));
    if (programs.size() > 1)
        std::printf(" %-22s %-22s", qPrintable(Spread::of(seconds[1]).text()),
                    qPrintable(Spread::of(cpuSeconds[1]).text()));
    std::printf("\n");
}

void benchRePingPaths()
{
    const int addresses = 1000;
    std::printf("(c) tozelo-cli reping of %d loopback addresses, time-out 1 ms, 3 runs: median (lowest-highest)\n",
                addresses);
    // Datagram sockets are refused in the testbed's namespace alone.
    const std::string outside = TestbedGuard::whyOutside();
    if (!outside.empty()) {
        std::printf("    skipped: %s\n", outside.c_str());
        return;
    }
    const QTemporaryDir folder;
    QFile list(folder.filePath("machines.dat"));
    if (!list.open(QIODevice::WriteOnly) || list.write(loopbackEntries(addresses).join('\n').toLatin1()) < 0) {
        std::printf("    cannot write the list\n");
        return;
    }
    list.close();
    QStringList programs{cliPath()};
    const QString baseline = qEnvironmentVariable("TOZELO_BASELINE_CLI");
    if (!baseline.isEmpty())
        programs << baseline;
    if (!baseline.isEmpty())
        std::printf("    baseline: %s\n", qPrintable(baseline));
    std::printf("    %-10s %-22s %-22s", "way", "time s", "CPU s");
    if (!baseline.isEmpty())
        std::printf(" %-22s %-22s", "baseline time s", "baseline CPU s");
    std::printf("\n");
    for (const bool helper : {false, true})
        rePingInTurn(programs, list.fileName(), helper);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    HelperProcess::Testing::program() = TOZELO_HELPER;
    std::printf("bench_scan: range scan pace and re-ping memory\n");
    try {
        benchTestbedPace();
        benchLoopbackRate();
        benchRePingMemory();
        benchRePingPaths();
    } catch (const std::exception &e) {
        std::printf("    failed: %s\n", e.what());
        return 1;
    }
    return 0;
}
