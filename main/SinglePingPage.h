#pragma once
#include "StartFocus.h"
#include "flows/SinglePing.h"

class TForm1;

// The single ping page's side of the sequence: the host edit, the buttons, the log and the status
// panel it shows, and the found machines it records into.
class SinglePingPage : private SinglePing::View {
public:
    explicit SinglePingPage(TForm1 &form);

    SinglePing &sequence() { return m_sequence; }
    void setPingEnabled(bool enabled) { m_pingFocus.setEnabled(enabled); }

private:
    QString hostText() const override;
    Sockets::Family family() const override;
    void clearLog() override;
    void appendLine(const QString &line) override;
    void setButtons(bool pingEnabled, bool cancelEnabled) override;
    void setStatus(const QString &text) override;
    void recordMachine(const QString &ip, uint32_t rtt) override;
    void reportError(const QString &text) override;

    TForm1 &m_form;
    StartFocus m_pingFocus;
    SinglePing m_sequence;
};
