#include "MonitorLoader.h"

#include "history/HistoryStore.h"

#include <QMetaObject>
#include <exception>
#include <sys/stat.h>

namespace {
// The first batch is small, so that the first rows show before the list's end is read.
constexpr size_t FirstBatch = 20;
constexpr size_t Batch = 100;

bool exists(const std::string &file)
{
    struct stat status {};
    return stat(file.c_str(), &status) == 0;
}
} // namespace

MonitorLoader::MonitorLoader(QObject *parent) : QObject(parent) {}

MonitorLoader::~MonitorLoader()
{
    stop(true);
}

void MonitorLoader::stop(bool waiting)
{
    for (Load &load : m_loads)
        *load.stopping = true;
    for (auto load = m_loads.begin(); load != m_loads.end();) {
        if (!waiting && !*load->over) {
            ++load;
            continue;
        }
        load->thread.join();
        load = m_loads.erase(load);
    }
}

void MonitorLoader::load(const Request &request)
{
    stop(false);
    const uint64_t generation = ++m_generation;
    m_loading = true;
    Load load{{}, std::make_shared<std::atomic<bool>>(false), std::make_shared<std::atomic<bool>>(false)};
    load.thread = std::thread([this, request, generation, stopping = load.stopping, over = load.over] {
        run(request, generation, *stopping);
        *over = true;
    });
    m_loads.push_back(std::move(load));
}

// Nothing may leave the thread: a history that cannot be read is handed back as a failure.
void MonitorLoader::run(const Request &request, uint64_t generation, const std::atomic<bool> &stopping)
{
    try {
        if (request.file.empty() || !exists(request.file)) {
            post(generation, [this] {
                if (OnMachines)
                    OnMachines({});
            });
        } else {
            readRows(HistoryStore(request.file, HistoryStore::Mode::Read), request, generation, stopping);
        }
        post(generation, [this] {
            m_loading = false;
            if (OnDone)
                OnDone();
        });
    } catch (const HistoryError &e) {
        fail(e, generation);
    } catch (const std::exception &e) {
        fail(HistoryError(request.file, e.what()), generation);
    }
}

void MonitorLoader::fail(const HistoryError &failure, uint64_t generation)
{
    post(generation, [this, failure] {
        m_loading = false;
        if (OnFailure)
            OnFailure(failure);
    });
}

void MonitorLoader::readRows(const HistoryStore &store, const Request &request, uint64_t generation,
                             const std::atomic<bool> &stopping)
{
    const std::vector<std::string> machines = store.machines();
    post(generation, [this, machines] {
        if (OnMachines)
            OnMachines(machines);
    });
    std::vector<MonitorRow> rows;
    size_t first = 0;
    for (size_t i = 0; i < machines.size() && !stopping; ++i) {
        rows.push_back(MonitorHistory::read(store, machines[i], request.span, request.nowMs, request.downAfter));
        if (rows.size() == (first == 0 ? FirstBatch : Batch) || i + 1 == machines.size()) {
            post(generation, [this, first, rows] {
                if (OnRows)
                    OnRows(first, rows);
            });
            first = i + 1;
            rows.clear();
        }
    }
}

// Runs on the window's thread, unless a newer load or the loader's end came first.
void MonitorLoader::post(uint64_t generation, std::function<void()> work)
{
    QMetaObject::invokeMethod(
        this,
        [this, generation, work = std::move(work)] {
            if (generation == m_generation)
                work();
        },
        Qt::QueuedConnection);
}
