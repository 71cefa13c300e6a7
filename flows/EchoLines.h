#pragma once
#include "ping/Ping.h"

#include <QString>
#include <cstdint>
#include <string>

// What a page writes as its component's echo goes: the session's own messages, the request, then the
// reply or the reason none came, with the status panel and the record of a machine that answered.
// The single ping and the range scan write the same lines but for the words of a reply.
class EchoLines {
public:
    class View {
    public:
        virtual ~View() = default;
        virtual void appendLine(const QString &line) = 0;
        virtual void setStatus(const QString &text) = 0;                 // status panel 0
        virtual void recordMachine(const QString &ip, uint32_t rtt) = 0; // addico
    };

    // replyLine: %1 the bytes received, %2 the address, %3 the round-trip time in ms. The display,
    // request and reply events of ping belong to these lines for as long as they live.
    EchoLines(TPing &ping, View &view, const QString &replyLine);
    ~EchoLines();
    EchoLines(const EchoLines &) = delete;
    EchoLines &operator=(const EchoLines &) = delete;

private:
    void display(const std::string &msg);
    void request();
    void reply(int replies);

    TPing &m_ping;
    View &m_view;
    const QString m_replyLine;
};
