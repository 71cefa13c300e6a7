#pragma once
#include "EchoLines.h"
#include "ping/Ping.h"

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>

// The range scan: one address per timer tick from the start address to the end address. Its state
// lives in the page's hidden captions (the address to ping next, and the end address the last tick
// went by), so the window and the command line, each with its own View, run the same scan.
class MultiPingScan {
public:
    // The octet edits and captions, numbered as on the page: ip03 and cip3 hold the first octet.
    enum class Edit { ip00, ip01, ip02, ip03, ip10, ip11, ip12, ip13 };
    enum class Caption { cip0, cip1, cip2, cip3, cipf0, cipf1, cipf2, cipf3, lipo };
    enum class Button { MipPinG, mipHalt };
    enum class Message { iperror, ipferror };

    // The page as the scan reads and changes it.
    class View : public EchoLines::View {
    public:
        virtual QString editText(Edit edit) const = 0;
        virtual void setEditText(Edit edit, const QString &text) = 0;
        virtual void focusEdit(Edit edit) = 0;
        virtual QString caption(Caption caption) const = 0;
        virtual void setCaption(Caption caption, const QString &text) = 0;
        virtual bool isEnabled(Button button) const = 0;
        virtual void setEnabled(Button button, bool enabled) = 0;
        virtual bool timerEnabled() const = 0;
        virtual void setTimerEnabled(bool enabled) = 0;
        virtual void clearLog() = 0;
        virtual int machineCount() const = 0;
        virtual void showMessage(Message message) = 0;
        virtual void reportError(const QString &text) = 0; // the general error report
    };

    static const QStringList &linesOf(Message message);

    // The echo events of ping belong to this scan for as long as it lives.
    MultiPingScan(TPing &ping, View &view);
    MultiPingScan(const MultiPingScan &) = delete;
    MultiPingScan &operator=(const MultiPingScan &) = delete;

    void MipPinGClick();
    void MipTimer1Timer();
    void mipHaltClick();
    void MipStopClick();
    // typed: the key released put a character into the edit; a key that only moved about never
    // moves the focus on.
    void ip03KeyUp(bool typed);
    void ip02KeyUp();
    void ip01KeyUp();

private:
    using Octets = std::array<int, 4>;    // index 0 is the fourth octet, as in the names
    using Texts = std::array<QString, 4>; // the same order

    bool anyEditEmpty() const;
    Texts captionTexts(const std::array<Caption, 4> &captions) const;
    Texts editTexts(const std::array<Edit, 4> &edits) const;
    std::optional<Octets> readOctets(const Texts &texts);
    static std::optional<uint32_t> addressOf(const Octets &octets);
    void ping(uint32_t address);
    void advance(uint32_t current, uint32_t end);
    void writeCurrent(uint32_t address);
    void stopWith(Message message);

    TPing &m_ping;
    View &m_view;
    EchoLines m_lines;
};
