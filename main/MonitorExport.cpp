#include "MonitorExport.h"

#include "ExportFile.h"
#include "history/HistoryError.h"
#include "history/HistoryStore.h"
#include "ui/HistoryFile.h"

#include <QMetaObject>
#include <exception>
#include <sstream>

MonitorExport::MonitorExport(QObject *parent) : QObject(parent) {}

MonitorExport::~MonitorExport()
{
    join();
}

void MonitorExport::start(Request request)
{
    join();
    m_running = true;
    m_thread = std::thread([this, request = std::move(request)] {
        const QString failure = write(request);
        QMetaObject::invokeMethod(
            this,
            [this, fileName = request.fileName, failure] {
                m_running = false;
                if (OnDone)
                    OnDone(fileName, failure);
            },
            Qt::QueuedConnection);
    });
}

// Nothing may leave the thread: every failure is handed back as its text.
QString MonitorExport::write(const Request &request)
{
    try {
        std::ostringstream text;
        {
            const HistoryStore store(request.history, HistoryStore::Mode::Read);
            HistoryExport::write(store, request.machines, request.fromMs, request.toMs, request.format, text);
        }
        ExportFile::write(request.fileName, text.str());
        return {};
    } catch (const HistoryError &e) {
        return HistoryFile::failureText(e);
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    }
}

void MonitorExport::join()
{
    if (m_thread.joinable())
        m_thread.join();
}
