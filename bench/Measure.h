#pragma once
#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// How long a run may take before it is asked to stop.
constexpr int MeasureLimitSeconds = 300;

// One run of another program, timed from outside, with its CPU time and peak memory from the kernel.
struct Measured {
    bool ran = false;
    bool stopped = false; // had not ended by itself within its time
    double seconds = 0;
    double cpuSeconds = 0;
    double maxRssMb = 0;
    QByteArray out;
};

inline double secondsOf(const timeval &time)
{
    return double(time.tv_sec) + double(time.tv_usec) / 1e6;
}

// Runs argv with its standard output collected, asked to stop after limitSeconds, in folder when given.
inline Measured measure(const QStringList &argv, int limitSeconds = MeasureLimitSeconds, const QString &folder = {})
{
    const QByteArray where = QFile::encodeName(folder);
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
        if (!where.isEmpty() && chdir(where.constData()) != 0)
            _exit(127);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(pipeFds[1]);
    if (pid < 0) {
        close(pipeFds[0]);
        return {};
    }
    Measured measured;
    auto deadline = start + std::chrono::seconds(limitSeconds);
    char buffer[65536];
    for (;;) {
        pollfd pfd{pipeFds[0], POLLIN, 0};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() > 0 && poll(&pfd, 1, int(left.count())) > 0) {
            const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
            if (n <= 0)
                break;
            measured.out.append(buffer, int(n));
            continue;
        }
        // Asked to stop first, so that it writes what it found; then stopped.
        if (measured.stopped) {
            kill(pid, SIGKILL);
            break;
        }
        kill(pid, SIGINT);
        measured.stopped = true;
        deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    }
    close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    measured.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    measured.cpuSeconds = secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime);
    measured.maxRssMb = usage.ru_maxrss / 1024.0;
    measured.ran = measured.stopped || (WIFEXITED(status) && WEXITSTATUS(status) != 127);
    return measured;
}
