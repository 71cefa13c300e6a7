#include "HistoryRecorder.h"

#include "HistoryError.h"
#include "HistoryRollup.h"
#include "HistoryStore.h"
#include "WallClock.h"

#include <pthread.h>

#include <chrono>
#include <memory>
#include <utility>

HistoryRecorder::HistoryRecorder(std::string file, const WallClock &clock, int batchMs)
    : m_file(std::move(file)), m_clock(clock), m_batchMs(batchMs), m_thread([this] { run(); })
{
}

HistoryRecorder::~HistoryRecorder()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void HistoryRecorder::record(HistoryAnswer answer)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_failed)
        return;
    if (m_waiting.size() >= MaxWaiting) {
        m_waiting.clear();
        m_failed = true;
        m_failure = HistoryError(m_file, "the disk does not keep up with the answers");
        return;
    }
    m_waiting.push_back(std::move(answer));
}

std::optional<HistoryError> HistoryRecorder::takeFailure()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return std::exchange(m_failure, std::nullopt);
}

void HistoryRecorder::flush()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const uint64_t asked = ++m_flushAsked;
    m_wake.notify_one();
    m_written.wait(lock, [&] { return m_flushDone >= asked || m_failed; });
}

void HistoryRecorder::run()
{
    pthread_setname_np(pthread_self(), "tozelo-history");
    std::unique_ptr<HistoryStore> store;
    try {
        store = std::make_unique<HistoryStore>(m_file);
        HistoryRollup::age(*store, m_clock.nowMs());
    } catch (const HistoryError &e) {
        fail(e);
    }
    int64_t agedAt = m_clock.nowMs();
    std::unique_lock<std::mutex> lock(m_mutex);
    while (store && !m_failed) {
        m_wake.wait_for(lock, std::chrono::milliseconds(m_batchMs),
                        [this] { return m_stopping || m_flushAsked > m_flushDone; });
        const bool stopping = m_stopping;
        if (!writeWaiting(lock, *store) || stopping)
            break;
        if (m_clock.nowMs() - agedAt >= AgeEveryMs) {
            agedAt = m_clock.nowMs();
            lock.unlock();
            try {
                HistoryRollup::age(*store, agedAt);
            } catch (const HistoryError &e) {
                fail(e);
            }
            lock.lock();
        }
    }
}

// The batch is written with the lock let go, so that recording goes on meanwhile.
bool HistoryRecorder::writeWaiting(std::unique_lock<std::mutex> &lock, HistoryStore &store)
{
    std::vector<HistoryAnswer> batch;
    batch.swap(m_waiting);
    const uint64_t asked = m_flushAsked;
    lock.unlock();
    bool written = true;
    try {
        if (!batch.empty())
            store.append(batch);
    } catch (const HistoryError &e) {
        fail(e);
        written = false;
    }
    lock.lock();
    m_flushDone = asked;
    m_written.notify_all();
    return written;
}

void HistoryRecorder::fail(const HistoryError &failure)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failed = true;
    m_waiting.clear();
    if (!m_failure)
        m_failure = failure;
    m_written.notify_all();
}
