#pragma once
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <string>

// What bounds the life of a tool of the tests, so that none outlives the testbed or the test that
// started it: --lifeline (leave when standard input ends: the other end of the pipe is the starter's),
// --ready FILE (created, holding the pid, once the tool serves) and --lifetime SECONDS (at most 30
// minutes, whatever happens).
struct ToolLife {
    static constexpr int MaxLifetimeSeconds = 30 * 60;
    enum class Taken { No, Yes, Bad };

    bool lifeline = false;
    std::string readyFile;
    int lifetimeSeconds = MaxLifetimeSeconds;

    // Reads every option: these, and the tool's own through own(arg, i), which moves i past a value it
    // reads and says whether the option is good. False at the first that neither knows or that is bad.
    template <typename Own> bool parse(int argc, char **argv, Own own)
    {
        for (int i = 1; i < argc; ++i) {
            const Taken taken = take(argc, argv, i);
            if (taken == Taken::Bad || (taken == Taken::No && !own(std::string(argv[i]), i)))
                return false;
        }
        return true;
    }

    // Reads argv[i] and the value after it when it is one of these options, moving i past them.
    Taken take(int argc, char **argv, int &i)
    {
        const std::string arg = argv[i];
        if (arg == "--lifeline") {
            lifeline = true;
        } else if (arg == "--ready" && i + 1 < argc) {
            readyFile = argv[++i];
        } else if (arg == "--lifetime" && i + 1 < argc) {
            lifetimeSeconds = std::atoi(argv[++i]);
            if (lifetimeSeconds <= 0 || lifetimeSeconds > MaxLifetimeSeconds)
                return Taken::Bad;
        } else {
            return Taken::No;
        }
        return Taken::Yes;
    }

    void announceReady() const
    {
        if (!readyFile.empty())
            std::ofstream(readyFile) << getpid() << '\n';
    }

    // True while standard input is open; a closed pipe means the starter is gone.
    static bool holds()
    {
        char buffer[256];
        const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
        return n > 0 || (n < 0 && (errno == EAGAIN || errno == EINTR));
    }
};
