// How long `tozelo-cli sweep` takes to load target files of separate addresses (every fourth, so that
// none touches another), in no order: a file of 1,000,000 lines and one of 16,777,216, each read as
// the targets and again as the exclusions (-f FILE --exclude-file FILE), so that the run ends once both
// are loaded, before anything is sent. Wall time, CPU time and peak memory from the kernel, and the
// machine's load when they ran (it is shared).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <numeric>
#include <random>
#include <string>
#include <vector>

namespace {

// Lines of dotted addresses from 10.0.0.0 up, four apart, shuffled.
bool writeTargets(const std::string &path, uint32_t count)
{
    std::vector<uint32_t> order(count);
    std::iota(order.begin(), order.end(), 0u);
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    std::FILE *file = std::fopen(path.c_str(), "we");
    if (file == nullptr)
        return false;
    for (const uint32_t i : order) {
        const uint32_t address = (10u << 24) + (i << 2);
        std::fprintf(file, "%u.%u.%u.%u\n", address >> 24, address >> 16 & 255, address >> 8 & 255, address & 255);
    }
    return std::fclose(file) == 0;
}

std::string load()
{
    double averages[3] = {};
    return getloadavg(averages, 3) == 3 ? std::to_string(averages[0]).substr(0, 4) : std::string("unknown");
}

void measure(const std::string &program, const std::string &path, uint32_t count)
{
    const auto started = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        dup2(null, STDERR_FILENO);
        execl(program.c_str(), program.c_str(), "sweep", "-f", path.c_str(), "--exclude-file", path.c_str(),
              static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) {
        std::printf("%9u lines: cannot run %s\n", count, program.c_str());
        return;
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::printf("%9u lines: %6.2f s, CPU %6.2f s, peak memory %6ld MiB (exit status %d)\n", count, wall, cpu,
                usage.ru_maxrss / 1024, WIFEXITED(status) ? WEXITSTATUS(status) : -1);
}

} // namespace

int main()
{
    char self[4096] = {};
    if (readlink("/proc/self/exe", self, sizeof self - 1) <= 0)
        return 1;
    const std::string here(self);
    const std::string program = here.substr(0, here.rfind('/')) + "/../tozelo-cli";
    char folder[] = "/tmp/bench_targets.XXXXXX";
    if (mkdtemp(folder) == nullptr)
        return 1;
    const std::string path = std::string(folder) + "/targets.txt";
    std::printf("Loading -f FILE --exclude-file FILE of separate addresses; load average %s, %ld cores\n",
                load().c_str(), sysconf(_SC_NPROCESSORS_ONLN));
    for (const uint32_t count : {1000000u, 16777216u}) {
        if (!writeTargets(path, count)) {
            std::printf("%9u lines: cannot write %s\n", count, path.c_str());
            break;
        }
        measure(program, path, count);
    }
    unlink(path.c_str());
    rmdir(folder);
    std::printf("load average after: %s\n", load().c_str());
    return 0;
}
