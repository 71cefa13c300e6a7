#pragma once
#include "Ping.h"

#include <cstdint>
#include <functional>
#include <string>

// The single ping sequence: look the host up, then send one request, then report the reply. The
// single ping page and the command line both run it, each with its own way of showing the lines.
class SinglePing {
public:
    struct View {
        std::function<void()> clearLog;
        std::function<void(const std::string &)> appendLine;
        std::function<std::string()> hostText;   // read each time a line names the host
        std::function<Sockets::Family()> family; // a name's, read at the start; either when not set
        std::function<void(bool pingEnabled, bool cancelEnabled)> setButtons;
        std::function<void(const std::string &)> setStatus;
        std::function<void(const std::string &ip, uint32_t rtt)> recordMachine;
    };

    // Binds the four events of ping to this sequence.
    SinglePing(TPing &ping, View view);

    void start();  // the "PinG" click
    void cancel(); // the "Stop" click

    void lookupDone(uint16_t error);
    void echoRequest();
    void echoReply(int replies);
    void display(const std::string &msg);

private:
    std::string host() const;
    void status(const std::string &text);

    TPing &m_ping;
    View m_view;
};
