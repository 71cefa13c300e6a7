#pragma once
#include "EchoLines.h"
#include "ping/Ping.h"

#include <QString>
#include <cstdint>
#include <string>

// The single ping sequence: look the host up, then send one request, then report the reply. The
// single ping page and the command line both run it, each with its own way of showing the lines.
class SinglePing {
public:
    class View : public EchoLines::View {
    public:
        virtual QString hostText() const = 0;       // read each time a line names the host
        virtual Sockets::Family family() const = 0; // a name's, read at the start
        virtual void clearLog() = 0;
        virtual void setButtons(bool pingEnabled, bool cancelEnabled) = 0;
        virtual void reportError(const QString &text) = 0; // the general error report
    };

    // The four events of ping belong to this sequence for as long as it lives.
    SinglePing(TPing &ping, View &view);
    ~SinglePing();
    SinglePing(const SinglePing &) = delete;
    SinglePing &operator=(const SinglePing &) = delete;

    void start();  // the "PinG" click
    void cancel(); // the "Stop" click

private:
    void Ping1DnsLookupDone(uint16_t error);

    QString host() const;

    TPing &m_ping;
    View &m_view;
    EchoLines m_lines;
};
