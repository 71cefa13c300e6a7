#pragma once
#include <functional>
#include <mutex>
#include <string>
#include <thread>

// For as long as it lives, SIGINT, SIGTERM and SIGHUP ask the work in hand to stop rather than end
// the program, so that what it found is still written. The handler only writes the signal's number
// to a pipe; a thread of this object's reads it and stops the work, outside the handler. Only that
// thread takes the signals, so that no call of the work's is interrupted by them. SIGPIPE no longer
// ends the program either: a write to a closed pipe fails with EPIPE, for the writer to tell. One
// at a time in a program; made once no capability is held any more, as it starts a thread.
class StopSignals {
public:
    // std::runtime_error when the signals cannot be taken.
    StopSignals();
    // The signals are the system's again.
    ~StopSignals();
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    // What stops the work in hand, in place of the one before: called on this object's thread when a
    // signal comes, or at once when one came already.
    void onStop(std::function<void()> stop);
    // The first signal that came, or 0.
    int signal() const;

    // "SIGINT" for SIGINT, and so on.
    static std::string nameOf(int signal);

private:
    void watch();

    int m_pipe[2] = {-1, -1};
    mutable std::mutex m_mutex;
    std::function<void()> m_stop;
    int m_signal = 0;
    std::thread m_watcher;
};
