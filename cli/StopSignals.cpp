#include "StopSignals.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>
#include <system_error>

namespace {

constexpr int Taken[] = {SIGINT, SIGTERM, SIGHUP};
// What the watcher reads when it is to end: no signal has the number 0.
constexpr unsigned char EndWatch = 0;

// The pipe's end the handler writes to.
volatile sig_atomic_t g_pipe = -1;

struct sigaction g_former[NSIG];

// Only calls that are safe in a handler: the pipe never blocks, and errno is as it was.
extern "C" void onSignal(int signal)
{
    const int saved = errno;
    const auto number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_pipe, &number, 1);
    errno = saved;
}

// A handler rather than SIG_IGN: a program started from here gets SIGPIPE's default back.
extern "C" void onBrokenPipe(int) {}

sigset_t takenSet()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : Taken)
        sigaddset(&set, signal);
    return set;
}

// sigaction fails only for a signal that does not exist.
void take(int signal, void (*handler)(int))
{
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, &g_former[signal]);
}

} // namespace

StopSignals::StopSignals()
{
    if (pipe2(m_pipe, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("cannot take signals: ") + std::strerror(errno));
    fcntl(m_pipe[1], F_SETFL, O_NONBLOCK);
    try {
        m_watcher = std::thread([this] { watch(); });
    } catch (const std::system_error &e) {
        ::close(m_pipe[0]);
        ::close(m_pipe[1]);
        throw std::runtime_error(std::string("cannot take signals: ") + e.what());
    }
    g_pipe = m_pipe[1];
    for (const int signal : Taken)
        take(signal, onSignal);
    take(SIGPIPE, onBrokenPipe);
    // The threads started from here on inherit the mask: the signals come to the watcher alone.
    const sigset_t taken = takenSet();
    pthread_sigmask(SIG_BLOCK, &taken, nullptr);
}

StopSignals::~StopSignals()
{
    for (const int signal : Taken)
        sigaction(signal, &g_former[signal], nullptr);
    sigaction(SIGPIPE, &g_former[SIGPIPE], nullptr);
    [[maybe_unused]] const ssize_t written = ::write(m_pipe[1], &EndWatch, 1);
    m_watcher.join();
    g_pipe = -1;
    const sigset_t taken = takenSet();
    pthread_sigmask(SIG_UNBLOCK, &taken, nullptr);
    ::close(m_pipe[0]);
    ::close(m_pipe[1]);
}

void StopSignals::watch()
{
    for (;;) {
        unsigned char number = EndWatch;
        const ssize_t got = ::read(m_pipe[0], &number, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0 || number == EndWatch)
            return;
        // Held while the work is stopped, so that onStop() never replaces what is being called.
        const std::lock_guard<std::mutex> lock(m_mutex);
        if (m_signal == 0)
            m_signal = number;
        if (m_stop)
            m_stop();
    }
}

void StopSignals::onStop(std::function<void()> stop)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = std::move(stop);
    if (m_signal != 0 && m_stop)
        m_stop();
}

int StopSignals::signal() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_signal;
}

std::string StopSignals::nameOf(int signal)
{
    switch (signal) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "signal " + std::to_string(signal);
    }
}
