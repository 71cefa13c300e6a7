#pragma once
#include "PresenceSearch.h"
#include "Sweep.h"
#include "SweepReport.h"
#include "SweepTargets.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A sweep on a thread of its own, for a caller that must not wait for it, such as a window: what it
// has found and where it stands are taken from it whenever the caller likes. Once the sweep is over
// the searches it was given look, one after another, for the hosts echo did not tell of.
class BackgroundSweep {
public:
    using Searches = std::vector<std::unique_ptr<PresenceSearch>>;

    // What came since the last take.
    struct News {
        Sweep::Progress progress;
        std::vector<Sweep::Answer> answers;  // in the order they came
        bool searching = false;              // the sweep is over, its searches are under way
        bool finished = false;               // run() has returned: nothing more will come
        std::string failure;                 // why it could not sweep, once finished
        std::vector<std::string> shortfalls; // what kept the searches from finding every host, once finished
    };

    // What the system calls the sweep's thread.
    static constexpr const char *ThreadName = "tozelo-sweep";

    // Opens the sockets and starts sweeping. finished, when given, is called on the sweep's thread
    // once nothing more will come, so that the caller need not look for the end. Throws what Sweep's
    // constructor and open() throw.
    BackgroundSweep(SweepTargets targets, const Sweep::Settings &settings, std::function<void()> finished = {},
                    Searches searches = {});
    // Stops the sweep and waits for its thread: a few milliseconds.
    ~BackgroundSweep();
    BackgroundSweep(const BackgroundSweep &) = delete;
    BackgroundSweep &operator=(const BackgroundSweep &) = delete;

    int effectiveRate() const { return m_sweep->effectiveRate(); }
    // Returns at once; the sweep ends within milliseconds, its answers so far kept.
    void stop();
    bool stopped() const { return m_stopped; }
    // From any thread.
    News take();
    // The whole of it, in address order, with what the searches found, once take() said finished.
    const SweepReport &report() const { return m_report; }

private:
    void run();
    std::vector<std::string> search();

    const SweepTargets m_targets;
    const std::unique_ptr<Sweep> m_sweep;
    const std::function<void()> m_finished;
    const Searches m_searches;
    SweepReport m_report;
    std::mutex m_mutex;
    News m_news;
    std::atomic<bool> m_stopped{false};
    std::thread m_thread;
};
