// Names at scale: tozelo-cli sweep --names over 127.0.0.0/16, where every address answers (on
// loopback), with a name server on the resolver's address that takes every query and never answers,
// at the defaults of --names-parallel and --names-timeout: how long the whole run takes, and how
// many lookup threads the command held at most. Runs only in the testbed (tests/testbed/testbed.sh).
#include "sweep/ReverseNames.h"
#include "tests/testbed/SilentNameServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <cstdio>

namespace {

QString cliPath()
{
    const QString fromEnvironment = qEnvironmentVariable("TOZELO_CLI");
    return fromEnvironment.isEmpty() ? QCoreApplication::applicationDirPath() + "/../tozelo-cli" : fromEnvironment;
}

// The threads of a running process, from the kernel; 0 once it is gone.
int threadsOf(qint64 pid)
{
    return int(QDir(QString("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

void benchSilentServer()
{
    std::printf("(a) 127.0.0.0/16, every address answering, a name server that never answers, names %d at once, "
                "%d ms each:\n",
                ReverseNames::DefaultConcurrency, ReverseNames::DefaultTimeoutMs);
    const std::string outside = TestbedGuard::whyOutside();
    if (!outside.empty()) {
        std::printf("    skipped: %s\n", outside.c_str());
        return;
    }
    SilentNameServer server("127.0.0.1 localhost\n");
    if (!server.ready()) {
        std::printf("    skipped: cannot set up the name service\n");
        return;
    }
    QProcess cli;
    cli.setStandardOutputFile(QProcess::nullDevice());
    cli.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    cli.start(cliPath(), {"sweep", "127.0.0.0/16", "--names"});
    int mostThreads = 0;
    while (!cli.waitForFinished(200) && clock.elapsed() < 580000)
        mostThreads = std::max(mostThreads, threadsOf(cli.processId()));
    if (cli.state() != QProcess::NotRunning) {
        cli.kill();
        cli.waitForFinished();
        std::printf("    did not end within %.0f s\n", clock.elapsed() / 1000.0);
        return;
    }
    std::printf("    %.1f s, exit status %d, %d threads at most\n", clock.nsecsElapsed() / 1e9, cli.exitCode(),
                mostThreads);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::printf("bench_names: the names of a sweep's hosts through a silent name server\n");
    benchSilentServer();
    return 0;
}
