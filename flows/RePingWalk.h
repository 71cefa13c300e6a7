#pragma once
#include "history/HistoryRecorder.h"
#include "history/Reachability.h"
#include "history/WallClock.h"
#include "ping/Ping.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The re-ping walk over the found machines: a snapshot of the summary's lines taken at the start,
// one entry per timer tick, once through or pass after pass. The re-ping dialog and the command
// line drive it, each through its own View. Each entry's answer goes to the history, timed by the
// wall clock given, and the machines that go down or come back up are logged at the end of a pass.
class RePingWalk {
public:
    // A cyclic walk runs for hours; the log keeps only its most recent lines.
    static constexpr int MaxLogLines = 10000;

    class View {
    public:
        virtual ~View() = default;
        virtual QStringList machineLines() const = 0; // the lines of ips
        virtual bool cyclic() = 0;                    // ciclo, read at the end of each pass
        virtual void setInterval(int ms) = 0;         // rTimer1
        virtual void setTimerEnabled(bool enabled) = 0;
        virtual void setRetryEnabled(bool enabled) = 0; // rping
        virtual void clearLog() = 0;                    // Memo1
        virtual void appendLine(const QString &line) = 0;
        virtual void removeFirstLines(int count) = 0;
        virtual void setProgressMax(int max) = 0; // status, whose minimum is 0
        virtual void setProgress(int position) = 0;
        virtual void setInfo(int panel, const QString &text) = 0;
        virtual void recordMachine(const QString &ip, uint32_t rtt, bool answered) = 0; // addico
        virtual void reportError(const QString &text) = 0;                              // the general error report
        // The history cannot be used; the walk goes on without it.
        virtual void reportHistoryFailure(const HistoryError &failure)
        {
            reportError(QString::fromStdString(failure.what()) + "; the walk goes on without it.");
        }
        // The machines that went down or came back up, once a pass is over.
        virtual void reachabilityChanged(const std::vector<Reachability::Change> &) {}
    };

    // What the retry command shows instead of a walk when the summary holds no line.
    static const QStringList &rpingerrorLines();

    // The lookup and echo reply events of ping belong to this walk for as long as it lives.
    RePingWalk(TPing &ping, View &view, const WallClock &clock = WallClock::system());
    ~RePingWalk();
    RePingWalk(const RePingWalk &) = delete;
    RePingWalk &operator=(const RePingWalk &) = delete;

    // The time-out and the timer's interval are one setting: a silent machine takes one interval.
    void setTimeout(int ms);

    // The history's file, opened at the first start: the user's data folder's unless set before it.
    void setHistoryFile(const std::string &file) { m_historyFile = file; }
    const std::string &historyFile() const { return m_historyFile; }
    // How many answers missed in a row take a machine down.
    void setDownAfter(int requests) { m_reachability.setDownAfter(requests); }
    // Waits until every answer so far is in the history, and reports what kept it out.
    void flushHistory();
    const Reachability &reachability() const { return m_reachability; }

    void rpingClick();
    void rTimer1Timer();
    void BitBtn1Click();

    bool walking() const { return m_walking; }
    int position() const { return m_rpos; }
    int count() const { return static_cast<int>(m_rips.size()); }

private:
    void Ping3DnsLookupDone(uint16_t error);
    void Ping3EchoReply(int replies);

    void lookUp(const QString &entry);
    void record(bool answered, uint32_t rtt, const std::string &status);
    void reportHistoryFailure();
    void logChanges();
    void endWalk();
    void log(const QString &line);

    TPing &m_ping;
    View &m_view;
    const WallClock &m_clock;
    std::string m_historyFile;
    std::unique_ptr<HistoryRecorder> m_history;
    Reachability m_reachability;
    std::string m_entry; // the one whose lookup or echo is under way
    QStringList m_rips;
    int m_rpos = 0;
    int m_logLines = 0;
    bool m_walking = false;
};
