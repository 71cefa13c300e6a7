#pragma once
#include "Ping.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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

    // Every member must be set.
    struct View {
        std::function<std::string(Edit)> editText;
        std::function<void(Edit, const std::string &)> setEditText;
        std::function<void(Edit)> focusEdit;
        std::function<std::string(Caption)> caption;
        std::function<void(Caption, const std::string &)> setCaption;
        std::function<bool(Button)> isEnabled;
        std::function<void(Button, bool)> setEnabled;
        std::function<bool()> timerEnabled;
        std::function<void(bool)> setTimerEnabled;
        std::function<void()> clearLog;
        std::function<void(const std::string &)> appendLine;
        std::function<void(const std::string &)> setStatus;                     // status panel 0
        std::function<void(const std::string &ip, uint32_t rtt)> recordMachine; // addico
        std::function<int()> machineCount;
        std::function<void(Message)> showMessage;
        std::function<void(const std::string &)> reportError; // the general error report
    };

    static const std::vector<std::string> &linesOf(Message message);

    // Binds the three echo events of ping to this scan.
    MultiPingScan(TPing &ping, View view);

    void MipPinGClick();
    void MipTimer1Timer();
    void mipHaltClick();
    void MipStopClick();
    void ip03KeyUp();
    void ip02KeyUp();
    void ip01KeyUp();

    void Ping2Display(const std::string &msg);
    void Ping2EchoRequest();
    void Ping2EchoReply(int replies);

private:
    using Octets = std::array<long, 4>;       // index 0 is the fourth octet, as in the names
    using Texts = std::array<std::string, 4>; // the same order

    bool anyEditEmpty() const;
    Texts captionTexts(const std::array<Caption, 4> &captions) const;
    Texts editTexts(const std::array<Edit, 4> &edits) const;
    std::optional<Octets> readOctets(const Texts &texts);
    static std::optional<uint32_t> addressOf(const Octets &octets);
    void ping(const std::string &address);
    void advance(uint32_t current, uint32_t end);
    void writeCurrent(uint32_t address);
    void stopWith(Message message);

    TPing &m_ping;
    View m_view;
};
