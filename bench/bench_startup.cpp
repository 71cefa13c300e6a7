// How soon `tozelo-cli sweep` sends: from the moment it is started to its first echo request on the
// wire, as a raw socket of this bench sees it arrive on loopback, timed by the kernel. Beside it,
// fping's and ping's for the same address, and the whole run of each. Medians of 31 runs, the
// fastest, and the machine's load when they ran (it is shared).
#include "tests/testbed/TestbedGuard.h"

#include <arpa/inet.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <vector>

extern char **environ;

namespace {

constexpr int Runs = 31;
constexpr int64_t Second = 1000000000;
constexpr const char *Target = "127.0.0.9";

int64_t realtimeNs()
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return int64_t(now.tv_sec) * Second + now.tv_nsec;
}

// A raw socket that lets in echo requests only, each with the kernel's time of arrival.
int requestWatcher()
{
    const int fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0)
        return -1;
    const icmp_filter onlyRequests{~(1u << ICMP_ECHO)};
    const int on = 1;
    if (setsockopt(fd, SOL_RAW, ICMP_FILTER, &onlyRequests, sizeof onlyRequests) != 0 ||
        setsockopt(fd, SOL_SOCKET, SO_TIMESTAMPNS, &on, sizeof on) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void drain(int fd)
{
    char buffer[2048];
    while (recv(fd, buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
    }
}

// The arrival of the first echo request to Target within a second, or -1.
int64_t firstRequestNs(int fd, int64_t deadlineNs)
{
    in_addr target{};
    inet_pton(AF_INET, Target, &target);
    for (int64_t now; (now = realtimeNs()) < deadlineNs;) {
        pollfd pfd{fd, POLLIN, 0};
        if (poll(&pfd, 1, int((deadlineNs - now) / 1000000) + 1) <= 0)
            continue;
        char packet[2048];
        char control[256];
        iovec io{packet, sizeof packet};
        msghdr message{};
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        if (recvmsg(fd, &message, MSG_DONTWAIT) < 20 || std::memcmp(packet + 16, &target, 4) != 0)
            continue;
        for (cmsghdr *each = CMSG_FIRSTHDR(&message); each; each = CMSG_NXTHDR(&message, each)) {
            if (each->cmsg_level == SOL_SOCKET && each->cmsg_type == SO_TIMESTAMPNS) {
                timespec stamp{};
                std::memcpy(&stamp, CMSG_DATA(each), sizeof stamp);
                return int64_t(stamp.tv_sec) * Second + stamp.tv_nsec;
            }
        }
    }
    return -1;
}

struct Run {
    double firstSendMs = -1;
    double wholeMs = -1;
};

Run runOnce(int watcher, const std::vector<std::string> &command)
{
    std::vector<char *> argv;
    for (const std::string &arg : command)
        argv.push_back(const_cast<char *>(arg.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    drain(watcher);
    Run run;
    pid_t pid = 0;
    const int64_t start = realtimeNs();
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return run;
    const int64_t first = firstRequestNs(watcher, start + Second);
    int status = 0;
    waitpid(pid, &status, 0);
    const int64_t end = realtimeNs();
    if (first > 0)
        run.firstSendMs = double(first - start) / 1e6;
    run.wholeMs = double(end - start) / 1e6;
    return run;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

void measure(int watcher, const char *name, const std::vector<std::string> &command)
{
    std::vector<double> firsts;
    std::vector<double> wholes;
    for (int i = 0; i < Runs; ++i) {
        const Run run = runOnce(watcher, command);
        if (run.firstSendMs >= 0)
            firsts.push_back(run.firstSendMs);
        if (run.wholeMs >= 0)
            wholes.push_back(run.wholeMs);
    }
    if (firsts.empty()) {
        std::printf("%-34s no request seen\n", name);
        return;
    }
    std::printf("%-34s first request %6.2f ms (fastest %6.2f), whole run %6.2f ms (fastest %6.2f), %zu of %d\n", name,
                median(firsts), *std::min_element(firsts.begin(), firsts.end()), median(wholes),
                *std::min_element(wholes.begin(), wholes.end()), firsts.size(), Runs);
}

std::string found(const char *name)
{
    for (const char *folder : {"/usr/bin/", "/usr/sbin/", "/bin/", "/sbin/"}) {
        const std::string path = std::string(folder) + name;
        if (access(path.c_str(), X_OK) == 0)
            return path;
    }
    return std::string();
}

std::string load()
{
    double averages[3] = {};
    return getloadavg(averages, 3) == 3 ? std::to_string(averages[0]).substr(0, 4) : std::string("unknown");
}

} // namespace

int main()
{
    const std::string outside = TestbedGuard::whyOutside();
    if (!outside.empty()) {
        std::printf("bench_startup: left out: %s\n", outside.c_str());
        return 0;
    }
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
        return 1;
    const std::string here(self);
    const std::string program = here.substr(0, here.rfind('/')) + "/../tozelo-cli";
    const int watcher = requestWatcher();
    if (watcher < 0) {
        std::printf("bench_startup: left out: no raw ICMP socket to watch the requests (%s)\n", std::strerror(errno));
        return 0;
    }
    std::printf("From start to the first echo request to %s on loopback; load average %s, %ld cores\n", Target,
                load().c_str(), sysconf(_SC_NPROCESSORS_ONLN));
    measure(watcher, "tozelo-cli sweep", {program, "sweep", Target, "--timeout", "20"});
    if (!found("fping").empty())
        measure(watcher, "fping", {found("fping"), "-t", "20", Target});
    if (!found("ping").empty())
        measure(watcher, "ping -c 1", {found("ping"), "-c", "1", "-W", "1", Target});
    std::printf("load average after: %s\n", load().c_str());
    close(watcher);
    return 0;
}
