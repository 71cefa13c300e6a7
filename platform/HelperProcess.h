#pragma once
#include "HelperProtocol.h"

#include <sys/types.h>

#include <string>

// tozelo-icmp, the privileged helper, started for one channel: by the absolute path of the program's
// own copy, found from this program's path (never through PATH or the environment), with an empty
// environment, standard input and output from /dev/null, standard error shared, and the channel's
// end of a socket pair as its descriptor 3. posix_spawn starts it safely from a process with threads.
class HelperProcess {
public:
    HelperProcess() = default;
    // Waits for the helper to end, which it does once its channel is closed: close that first.
    ~HelperProcess();
    HelperProcess(const HelperProcess &) = delete;
    HelperProcess &operator=(const HelperProcess &) = delete;

    // False with errno set when the helper cannot be started.
    bool start(int channel);
    // Starts the helper and opens its channel for a purpose: the client's end of the channel (the
    // caller's to close) with the helper's answer, or -1 with errno set when the helper cannot be
    // started or gives no answer. A channel waits for each record no longer than a few seconds.
    int openChannel(const HelperProtocol::Open &request, HelperProtocol::Opened &opened);
    // The helper program: where the package installs it, or beside this program in the build tree.
    static std::string program();

    // Seams for tests: never read by the shipped program from its environment.
    struct Testing {
        // The helper to start in place of the program's own; empty: the program's own.
        static std::string &program();
    };

private:
    pid_t m_pid = -1;
};
