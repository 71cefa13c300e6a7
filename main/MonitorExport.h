#pragma once
#include "history/HistoryExport.h"

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// Writes an export of the history off the window's thread: a week of many machines is a long read
// and a big file. One at a time; it ends before its owner does, so a file is written whole or not
// at all.
class MonitorExport : public QObject {
public:
    struct Request {
        std::string history;
        std::vector<std::string> machines; // all of them when empty
        int64_t fromMs = 0;
        int64_t toMs = 0;
        HistoryExport::Format format = HistoryExport::Format::Csv;
        QString fileName;
    };

    explicit MonitorExport(QObject *parent = nullptr);
    ~MonitorExport() override;

    void start(Request request);
    bool running() const { return m_running; }

    // On the window's thread once the export ended: the file, and why it was not written, in the
    // window's language, or nothing.
    std::function<void(const QString &fileName, const QString &failure)> OnDone;

private:
    static QString write(const Request &request);
    void join();

    std::thread m_thread;
    bool m_running = false;
};
