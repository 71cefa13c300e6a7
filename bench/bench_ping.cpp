// Figures for the ping engine, on datagram sockets and through the privileged helper: round-trip
// times against iputils ping on the testbed's delayed hosts, the cost of one request to loopback, and
// resident memory over many requests. It prints; it never fails. Run it through scripts/bench.sh,
// which starts it inside the testbed.
#include "ping/Ping.h"
#include "platform/HelperProcess.h"
#include "platform/IcmpAccess.h"
#include "platform/IcmpApi.h"
#include "tests/testbed/TestbedGuard.h"

#include <QCoreApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int RttSamples = 10;
constexpr int LatencyCalls = 1000;
constexpr long MedianTargetUs = 200;

template <typename T> T percentile(std::vector<T> values, double fraction)
{
    std::sort(values.begin(), values.end());
    const size_t index = std::min(values.size() - 1, size_t(fraction * double(values.size())));
    return values[index];
}

const char *kindOf(bool helper)
{
    return helper ? "helper raw" : "datagram";
}

// A ping component on a datagram socket or the helper's, or null with the reason printed.
std::unique_ptr<TPing> makePing(bool helper, const char *address)
{
    IcmpAccess::Testing::helperOnly() = helper;
    try {
        auto ping = std::make_unique<TPing>();
        ping->SetAddress(address);
        ping->SetTimeout(1000);
        return ping;
    } catch (const TICMPException &e) {
        std::printf("   (%s socket: %s)\n", kindOf(helper), e.what());
        return nullptr;
    }
}

// Median reported round-trip time in ms, or -1 when no request was answered.
double engineRtt(bool helper, const char *host)
{
    std::unique_ptr<TPing> ping = makePing(helper, host);
    std::vector<double> rtts;
    for (int i = 0; ping && i < RttSamples; ++i) {
        if (ping->SendPing() == 1)
            rtts.push_back(ping->LastReply().RoundTripTime);
    }
    return rtts.empty() ? -1 : percentile(rtts, 0.5);
}

double iputilsRtt(const QString &program, const char *host)
{
    QProcess ping;
    ping.start(program, {"-n", "-c", QString::number(RttSamples), "-i", "0.2", "-W", "1", host});
    if (!ping.waitForFinished(30000)) {
        ping.kill();
        ping.waitForFinished();
        return -1;
    }
    std::vector<double> rtts;
    static const QRegularExpression time("time=([0-9.]+) ms");
    for (auto it = time.globalMatch(QString::fromUtf8(ping.readAllStandardOutput())); it.hasNext();)
        rtts.push_back(it.next().captured(1).toDouble());
    return rtts.empty() ? -1 : percentile(rtts, 0.5);
}

QString milliseconds(double value)
{
    return value < 0 ? QString("-") : QString::number(value, 'f', 2);
}

void roundTripTable()
{
    std::printf("\n(a) Reported round-trip time, median of %d, ms: engine (whole ms, cut) against iputils ping\n",
                RttSamples);
    const std::string outside = TestbedGuard::whyOutside();
    if (!outside.empty()) {
        std::printf("   skipped: %s\n", outside.c_str());
        return;
    }
    const QString program = QStandardPaths::findExecutable("ping");
    if (program.isEmpty()) {
        std::printf("   skipped: iputils ping is not installed\n");
        return;
    }
    std::printf("   %-12s %10s %10s %10s %14s %8s\n", "host", "datagram", "helper raw", "iputils", "worst diff", "");
    for (const char *host : {"198.18.3.1", "198.18.3.5", "198.18.3.20", "198.18.3.40"}) {
        const double datagram = engineRtt(false, host);
        const double helper = engineRtt(true, host);
        const double reference = iputilsRtt(program, host);
        const bool measured = datagram >= 0 && helper >= 0 && reference >= 0;
        const double diff = measured ? std::max(std::abs(datagram - reference), std::abs(helper - reference)) : -1;
        std::printf("   %-12s %10s %10s %10s %14s %8s\n", host, qPrintable(milliseconds(datagram)),
                    qPrintable(milliseconds(helper)), qPrintable(milliseconds(reference)),
                    qPrintable(milliseconds(diff)),
                    !measured     ? "no data"
                    : diff <= 1.0 ? "ok"
                                  : "OVER 1");
    }
}

void latencyRow(bool helper)
{
    std::unique_ptr<TPing> ping = makePing(helper, "127.0.0.1");
    if (!ping)
        return;
    ping->SendPing(); // resolves, and warms the path
    std::vector<long> micros;
    int failed = 0;
    const Clock::time_point first = Clock::now();
    for (int i = 0; i < LatencyCalls; ++i) {
        const Clock::time_point start = Clock::now();
        failed += ping->SendPing() == 1 ? 0 : 1;
        micros.push_back(long(std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count()));
    }
    const double totalMs = std::chrono::duration<double, std::milli>(Clock::now() - first).count();
    const long median = percentile(micros, 0.5);
    std::printf("   %-10s %10ld %10ld %10.1f %10d %12s\n", kindOf(helper), median, percentile(micros, 0.99), totalMs,
                failed, median <= MedianTargetUs ? "ok" : "OVER");
}

void latencyTable()
{
    std::printf("\n(b) %d sequential SendPing calls to 127.0.0.1, µs per call (target: median <= %ld)\n", LatencyCalls,
                MedianTargetUs);
    std::printf("   %-10s %10s %10s %10s %10s %12s\n", "socket", "median", "p99", "all, ms", "failed", "");
    latencyRow(false);
    latencyRow(true);
}

long residentKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

void memoryRow(bool helper)
{
    std::unique_ptr<TPing> ping = makePing(helper, "127.0.0.1");
    if (!ping)
        return;
    int done = 0;
    const auto sendUpTo = [&](int count) {
        for (; done < count; ++done)
            ping->SendPing();
    };
    sendUpTo(100);
    const long after100 = residentKb();
    sendUpTo(10000);
    const long after10000 = residentKb();
    std::printf("   %-10s %12ld %14ld %10ld %8s\n", kindOf(helper), after100, after10000, after10000 - after100,
                after10000 <= after100 ? "ok" : "GROWS");
}

void memoryTable()
{
    std::printf("\n(c) Resident memory (VmRSS), kB, one component pinging 127.0.0.1\n");
    std::printf("   %-10s %12s %14s %10s %8s\n", "socket", "after 100", "after 10,000", "growth", "");
    memoryRow(false);
    memoryRow(true);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    HelperProcess::Testing::program() = TOZELO_HELPER;
    std::printf("Tozelo ping engine benchmark\n");
    roundTripTable();
    latencyTable();
    memoryTable();
    std::printf("\n");
    return 0;
}
