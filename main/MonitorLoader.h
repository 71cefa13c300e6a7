#pragma once
#include "MonitorHistory.h"
#include "history/HistoryError.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class HistoryStore;

// Reads the Monitor's rows off the window's thread, in a database of its own: first every
// machine's name, then their rows a batch at a time, so that the first rows show at once however
// long the list. A new load ends the one under way without waiting for it, since a read the writer
// holds up may take a while and the window must not; what an ended load would still hand back is
// dropped.
class MonitorLoader : public QObject {
public:
    struct Request {
        std::string file;
        MonitorHistory::Span span = MonitorHistory::Span::Hour;
        int64_t nowMs = 0;
        int downAfter = 1;
    };

    explicit MonitorLoader(QObject *parent = nullptr);
    ~MonitorLoader() override;

    void load(const Request &request);
    bool loading() const { return m_loading; }

    // On the window's thread, in this order: the names, rows from a position on, the end or a failure.
    std::function<void(const std::vector<std::string> &machines)> OnMachines;
    std::function<void(size_t first, const std::vector<MonitorRow> &rows)> OnRows;
    std::function<void()> OnDone;
    std::function<void(const HistoryError &failure)> OnFailure;

private:
    // A load's thread, told to stop by its own flag, and telling when it is over.
    struct Load {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> stopping;
        std::shared_ptr<std::atomic<bool>> over;
    };

    // Has every load stop; joins those over, or all of them when waiting.
    void stop(bool waiting);
    void run(const Request &request, uint64_t generation, const std::atomic<bool> &stopping);
    void fail(const HistoryError &failure, uint64_t generation);
    void readRows(const HistoryStore &store, const Request &request, uint64_t generation,
                  const std::atomic<bool> &stopping);
    void post(uint64_t generation, std::function<void()> work);

    std::vector<Load> m_loads;
    uint64_t m_generation = 0;
    bool m_loading = false;
};
