#pragma once
#include "Ping.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The re-ping walk over the found machines: a snapshot of the summary's lines taken at the start,
// one entry per timer tick, once through or pass after pass. The re-ping dialog and the command
// line drive it, each through its own View.
class RePingWalk {
public:
    // A cyclic walk runs for hours; the log keeps only its most recent lines.
    static constexpr int MaxLogLines = 10000;

    // Every member must be set except recordMachine, which is skipped when empty.
    struct View {
        std::function<std::vector<std::string>()> machineLines; // the lines of ips
        std::function<bool()> cyclic;                           // ciclo, read at the end of each pass
        std::function<void(int)> setInterval;                   // rTimer1
        std::function<void(bool)> setTimerEnabled;
        std::function<void(bool)> setRetryEnabled; // rping
        std::function<void()> clearLog;            // Memo1
        std::function<void(const std::string &)> appendLine;
        std::function<void(int count)> removeFirstLines;
        std::function<void(int)> setProgressMax; // status, whose minimum is 0
        std::function<void(int)> setProgress;
        std::function<void(int panel, const std::string &)> setInfo;
        std::function<void(const std::string &ip, uint32_t rtt, bool answered)> recordMachine; // addico
        std::function<void(const std::string &)> reportError; // the general error report
    };

    // What the retry command shows instead of a walk when the summary holds no line.
    static const std::vector<std::string> &rpingerrorLines();

    // Binds the lookup and echo reply events of ping to this walk.
    RePingWalk(TPing &ping, View view);

    // The time-out and the timer's interval are one setting: a silent machine takes one interval.
    void setTimeout(int ms);

    void rpingClick();
    void rTimer1Timer();
    void BitBtn1Click();

    void Ping3DnsLookupDone(uint16_t error);
    void Ping3EchoReply(int replies);

    bool walking() const { return m_walking; }
    int position() const { return m_rpos; }
    int count() const { return static_cast<int>(m_rips.size()); }

private:
    void lookUp(const std::string &entry);
    void endWalk();
    void log(const std::string &line);

    TPing &m_ping;
    View m_view;
    std::vector<std::string> m_rips;
    int m_rpos = 0;
    int m_logLines = 0;
    bool m_walking = false;
};
