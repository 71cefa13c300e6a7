// `tozelo-cli sweep` against `fping -a -g`, side by side in the bench's testbed. The router drops
// the two blocks but for 75 hosts it sends to the delay namespace, where a responder of this bench
// answers each after as many milliseconds as its last octet (1 to 40, as the testbed's own):
//   a /24 (198.18.64.0/24) with 25 answering hosts, a /16 (198.19.0.0/16) with 50;
//   both tools with the same time-out and no retry, each at its fastest setting that stays exact
//   (tozelo-cli's highest --rate, fping's shortest -i) over three runs, timed by their median.
// Each run is timed from outside, with its CPU time and peak memory from the kernel.
#include "tests/testbed/TestbedGuard.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int TimeoutMs = 100;
constexpr int MaxDelayMs = 40;
constexpr int Runs = 3;
constexpr int RunLimitSeconds = 120;
const QString Wide = "198.19.0.0/16";
const QString Narrow = "198.18.64.0/24";
const QString Silent = "240.0.0.0/14";

struct Measured {
    bool ran = false;
    double seconds = 0;
    double cpuSeconds = 0;
    double maxRssMb = 0;
    QByteArray out;
};

struct Row {
    QString block;
    QString tool;
    Measured run;
    int found = 0;
    int missed = 0;
    int falseOnes = 0;
    bool exact() const { return run.ran && missed == 0 && falseOnes == 0; }
};

double secondsOf(const timeval &time)
{
    return double(time.tv_sec) + double(time.tv_usec) / 1e6;
}

// Runs argv with its standard output collected, killed after RunLimitSeconds.
Measured measure(const QStringList &argv)
{
    std::vector<QByteArray> bytes;
    for (const QString &arg : argv)
        bytes.push_back(arg.toLocal8Bit());
    std::vector<char *> args;
    for (QByteArray &arg : bytes)
        args.push_back(arg.data());
    args.push_back(nullptr);
    int pipeFds[2];
    if (pipe2(pipeFds, O_CLOEXEC) != 0)
        return {};
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDERR_FILENO);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(pipeFds[1]);
    if (pid < 0) {
        close(pipeFds[0]);
        return {};
    }
    Measured measured;
    const auto deadline = start + std::chrono::seconds(RunLimitSeconds);
    char buffer[65536];
    for (;;) {
        pollfd pfd{pipeFds[0], POLLIN, 0};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || poll(&pfd, 1, int(left.count())) <= 0) {
            kill(pid, SIGKILL);
            break;
        }
        const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        measured.out.append(buffer, int(n));
    }
    close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    measured.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    measured.cpuSeconds = secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime);
    measured.maxRssMb = usage.ru_maxrss / 1024.0;
    measured.ran = WIFEXITED(status) && WEXITSTATUS(status) != 127;
    return measured;
}

QString tool(const char *name)
{
    return QStandardPaths::findExecutable(name, {"/usr/sbin", "/sbin", "/usr/bin", "/bin"});
}

QString namespaceOf(const char *role)
{
    return qEnvironmentVariable("TOZELO_TESTBED") + "-" + role;
}

bool ipBatch(const char *role, const QStringList &commands)
{
    QProcess ip;
    ip.start(tool("ip"), {"-n", namespaceOf(role), "-batch", "-"});
    ip.write(commands.join('\n').toLatin1() + '\n');
    ip.closeWriteChannel();
    return ip.waitForFinished(30000) && ip.exitStatus() == QProcess::NormalExit && ip.exitCode() == 0;
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

QStringList routeCommands(const QString &action, const QStringList &hosts)
{
    QStringList commands{QString("route %1 blackhole %2").arg(action, Wide),
                         QString("route %1 blackhole %2").arg(action, Narrow),
                         QString("route %1 blackhole %2").arg(action, Silent)};
    for (const QString &host : hosts)
        commands << QString("route %1 %2/32 via 198.18.3.1").arg(action, host);
    return commands;
}

// The delay namespace takes the blocks' hosts as its own.
QStringList localRoutes(const QString &action)
{
    return {QString("route %1 local %2 dev lo").arg(action, Wide),
            QString("route %1 local %2 dev lo").arg(action, Narrow)};
}

class Testbed {
public:
    explicit Testbed(const QStringList &hosts) : m_hosts(hosts) {}
    ~Testbed() { tearDown(); }

    QString setUp()
    {
        if (!ipBatch("r", routeCommands("add", m_hosts)) || !ipBatch("d", localRoutes("add")))
            return "cannot add the bench's routes";
        const QString ready = QDir::temp().filePath(QString("bench_sweep.%1.ready").arg(getpid()));
        QFile::remove(ready);
        const QString responder = QCoreApplication::applicationDirPath() + "/../tests/echo_responder";
        // The responder leaves when this end of its standard input closes, however the bench ends.
        m_responder.start(tool("ip"), {"netns", "exec", namespaceOf("d"), responder, "--lifeline", "--ready", ready,
                                       "--lifetime", "900", "--network", Wide, "--network", Narrow});
        bool started = m_responder.waitForStarted(5000);
        for (int tries = 0; started && tries < 50 && !QFile::exists(ready); ++tries)
            started = !m_responder.waitForFinished(100);
        started = started && QFile::remove(ready);
        return started ? QString() : "the bench's echo responder did not start";
    }

private:
    void tearDown()
    {
        if (m_responder.state() != QProcess::NotRunning) {
            m_responder.closeWriteChannel();
            if (!m_responder.waitForFinished(5000))
                m_responder.kill();
        }
        ipBatch("d", localRoutes("del"));
        ipBatch("r", routeCommands("del", m_hosts));
    }

    QStringList m_hosts;
    QProcess m_responder;
};

Row judge(const QString &block, const QString &toolName, const Measured &run, const QStringList &truth,
          const QStringList &found)
{
    Row row{block, toolName, run};
    const QSet<QString> expected(truth.begin(), truth.end());
    const QSet<QString> seen(found.begin(), found.end());
    row.found = int((seen & expected).size());
    row.missed = int(expected.size()) - row.found;
    row.falseOnes = int((seen - expected).size());
    return row;
}

Row runSweep(const QString &block, const QStringList &truth, const QString &rate)
{
    const QString cli = QCoreApplication::applicationDirPath() + "/../tozelo-cli";
    const Measured run =
        measure({cli, "sweep", block, "--rate", rate, "--timeout", QString::number(TimeoutMs), "--retries", "0"});
    QStringList found;
    const QRegularExpression reply("^(\\S+) \\d+\\.\\d+ ms$");
    for (const QString &line : QString::fromLatin1(run.out).split('\n')) {
        const QRegularExpressionMatch match = reply.match(line);
        if (match.hasMatch())
            found << match.captured(1);
    }
    return judge(block, "tozelo-cli sweep --rate " + rate, run, truth, found);
}

Row runFping(const QString &block, const QStringList &truth, const QString &interval)
{
    const Measured run =
        measure({tool("fping"), "-a", "-r", "0", "-t", QString::number(TimeoutMs), "-i", interval, "-g", block});
    return judge(block, "fping -i " + interval, run, truth,
                 QString::fromLatin1(run.out).split('\n', Qt::SkipEmptyParts));
}

void printRow(const Row &row)
{
    std::printf("  %-14s %-30s %8.2f %8.2f %9.1f %6d/%-3d %6d %6d\n", qPrintable(row.block), qPrintable(row.tool),
                row.run.seconds, row.run.cpuSeconds, row.run.maxRssMb, row.found, row.found + row.missed, row.missed,
                row.falseOnes);
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

void compare(const QString &block, const QStringList &truth, std::vector<Row> &rows)
{
    rows.push_back(best([&](const QString &rate) { return runSweep(block, truth, rate); },
                        {"1000000", "500000", "200000", "100000", "50000"}));
    rows.push_back(best([&](const QString &interval) { return runFping(block, truth, interval); },
                        {"0", "0.05", "0.1", "0.2", "0.5", "1"}));
}

void printTargets(const std::vector<Row> &rows, const Row &silent)
{
    const Row &narrow = rows[0];
    const Row &sweep = rows[2];
    const Row &fping = rows[3];
    const double speedup = sweep.run.seconds > 0 ? fping.run.seconds / sweep.run.seconds : 0;
    std::printf("\n  best exact settings: /24 %s (%.2f s) and %s (%.2f s); /16 %s (%.2f s) and %s (%.2f s)\n",
                qPrintable(narrow.tool), narrow.run.seconds, qPrintable(rows[1].tool), rows[1].run.seconds,
                qPrintable(sweep.tool), sweep.run.seconds, qPrintable(fping.tool), fping.run.seconds);
    std::printf("  /16 in %.2f s (target <= 3 s): %s\n", sweep.run.seconds,
                verdict(sweep.run.ran && sweep.run.seconds <= 3));
    std::printf("  /16 every answering host found, no false one: %s\n", verdict(sweep.exact()));
    std::printf("  /16 %.2fx faster than fping's best exact setting (target >= 3x): %s\n", speedup,
                verdict(fping.exact() && speedup >= 3));
    std::printf("  /16 CPU time %.2f s (target <= 1 core-second): %s\n", sweep.run.cpuSeconds,
                verdict(sweep.run.ran && sweep.run.cpuSeconds <= 1));
    std::printf("  peak memory %.1f MB for a /24, %.1f MB for a /16, %.1f MB for a silent /14 (%.2f s): %s\n",
                narrow.run.maxRssMb, sweep.run.maxRssMb, silent.run.maxRssMb, silent.run.seconds,
                verdict(silent.run.maxRssMb - narrow.run.maxRssMb < 8));
}

int runBench()
{
    std::printf("bench_sweep: tozelo-cli sweep against fping, time-out %d ms, no retry\n", TimeoutMs);
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
    Testbed testbed(wide + narrow);
    const QString failure = testbed.setUp();
    if (!failure.isEmpty()) {
        std::printf("  skipped: %s\n", qPrintable(failure));
        return 0;
    }
    std::printf("  %-14s %-30s %8s %8s %9s %10s %6s %6s\n", "block", "run", "time s", "CPU s", "max RSS MB", "found",
                "missed", "false");
    std::vector<Row> rows;
    compare(Narrow, narrow, rows);
    compare(Wide, wide, rows);
    const Row silent = runSweep(Silent, {}, rows[2].tool.section(' ', -1));
    printRow(silent);
    printTargets(rows, silent);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    return runBench();
}
