#pragma once
#include "HistoryAnswer.h"
#include "HistoryError.h"

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class WallClock;

// Writes answers to the history on a thread of its own (tozelo-history), a batch a second, so that
// the thread that records never waits for the disk and a killed process loses at most the last
// batch. The file is opened and aged there too. The first failure ends the recording: it is kept
// for the recording thread to report, and what comes after is dropped.
class HistoryRecorder {
public:
    static constexpr int DefaultBatchMs = 1000;
    static constexpr int64_t AgeEveryMs = 10 * 60 * 1000;
    // Answers waiting beyond this, on a disk that does not keep up, are dropped and told as a failure.
    static constexpr size_t MaxWaiting = 1000000;

    HistoryRecorder(std::string file, const WallClock &clock, int batchMs = DefaultBatchMs);
    // Writes what is waiting, then ends the thread.
    ~HistoryRecorder();
    HistoryRecorder(const HistoryRecorder &) = delete;
    HistoryRecorder &operator=(const HistoryRecorder &) = delete;

    const std::string &file() const { return m_file; }
    // From any thread.
    void record(HistoryAnswer answer);
    // The failure that ended the recording, given once.
    std::optional<HistoryError> takeFailure();
    // Writes what is waiting and returns once it is in the file (or has failed).
    void flush();

private:
    void run();
    bool writeWaiting(std::unique_lock<std::mutex> &lock, class HistoryStore &store);
    void fail(const HistoryError &failure);

    const std::string m_file;
    const WallClock &m_clock;
    const int m_batchMs;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_written;
    std::vector<HistoryAnswer> m_waiting;
    uint64_t m_flushAsked = 0;
    uint64_t m_flushDone = 0;
    bool m_stopping = false;
    bool m_failed = false;
    std::optional<HistoryError> m_failure;
    std::thread m_thread;
};
