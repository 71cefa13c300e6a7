#include "HelperProcess.h"

#include "FileDescriptor.h"
#include "HelperProtocol.h"
#include "ProgramFiles.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

namespace {

// A helper whose channel is closed ends at once; one that has not within this is ended.
constexpr int EndWaitMs = 1000;
// A helper starts, opens its sockets and gives up its privileges within this, on a busy machine too,
// and answers a request as soon as it has handed it to the system.
constexpr int ReplyWaitMs = 5000;

// The parts of a spawn, released on every way out.
struct Spawn {
    Spawn()
    {
        posix_spawn_file_actions_init(&actions);
        posix_spawnattr_init(&attributes);
    }
    ~Spawn()
    {
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
    }
    Spawn(const Spawn &) = delete;
    Spawn &operator=(const Spawn &) = delete;

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
};

} // namespace

HelperProcess::~HelperProcess()
{
    if (m_pid <= 0)
        return;
    const FileDescriptor process(int(syscall(SYS_pidfd_open, m_pid, 0)));
    pollfd ended{process.get(), POLLIN, 0};
    if (process.get() < 0 || poll(&ended, 1, EndWaitMs) <= 0)
        kill(m_pid, SIGKILL);
    while (waitpid(m_pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

// Signals come to the helper as the system sets them, none blocked or ignored because the starter
// had them so.
bool HelperProcess::start(int channel)
{
    // Duplicated onto itself, the channel would keep its close-on-exec flag.
    const FileDescriptor moved(
        channel == HelperProtocol::ChannelFd ? fcntl(channel, F_DUPFD_CLOEXEC, HelperProtocol::ChannelFd + 1) : -1);
    const int end = channel == HelperProtocol::ChannelFd ? moved.get() : channel;
    if (end < 0)
        return false;
    Spawn spawn;
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&spawn.attributes, &none);
    posix_spawnattr_setsigdefault(&spawn.attributes, &all);
    posix_spawnattr_setflags(&spawn.attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    posix_spawn_file_actions_adddup2(&spawn.actions, end, HelperProtocol::ChannelFd);
    posix_spawn_file_actions_addopen(&spawn.actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&spawn.actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    const std::string path = program();
    char name[] = "tozelo-icmp";
    char *const argv[] = {name, nullptr};
    char *const environment[] = {nullptr};
    const int error = posix_spawn(&m_pid, path.c_str(), &spawn.actions, &spawn.attributes, argv, environment);
    if (error != 0) {
        m_pid = -1;
        errno = error;
        return false;
    }
    return true;
}

int HelperProcess::openChannel(const HelperProtocol::Open &request, HelperProtocol::Opened &opened)
{
    int ends[2];
    const timeval replyWait{ReplyWaitMs / 1000, ReplyWaitMs % 1000 * 1000};
    if (socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends) != 0)
        return -1;
    FileDescriptor ours(ends[0]);
    FileDescriptor helpers(ends[1]);
    setsockopt(ours.get(), SOL_SOCKET, SO_RCVTIMEO, &replyWait, sizeof replyWait);
    if (!start(helpers.get()))
        return -1;
    // Ours closed, the helper's end is the helper's alone: its end closes the channel.
    helpers.close();
    const bool answered = ::send(ours.get(), &request, sizeof request, MSG_NOSIGNAL) == ssize_t(sizeof request) &&
                          recv(ours.get(), &opened, sizeof opened, 0) == ssize_t(sizeof opened) &&
                          opened.header.version == HelperProtocol::Version &&
                          opened.header.type == HelperProtocol::Type::Opened;
    if (!answered) {
        errno = EPROTO;
        return -1;
    }
    return ours.release();
}

std::string HelperProcess::program()
{
    if (!Testing::program().empty())
        return Testing::program();
    return ProgramFiles::find(TOZELO_HELPER_FROM_PROGRAM, "tozelo-icmp");
}

std::string &HelperProcess::Testing::program()
{
    static std::string path;
    return path;
}
