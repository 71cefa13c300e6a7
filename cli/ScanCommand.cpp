#include "ScanCommand.h"

#include "ping/MachineListFile.h"
#include "ping/MultiPingScan.h"
#include "ping/Ping.h"

#include <QEventLoop>
#include <QTimer>
#include <array>
#include <cctype>
#include <exception>
#include <string>
#include <vector>

namespace {
using Edit = MultiPingScan::Edit;
using Caption = MultiPingScan::Caption;
using Button = MultiPingScan::Button;

// What the range scan page shows, kept in memory: its fields, hidden captions and buttons.
struct ScanPage {
    std::array<std::string, 8> edits;
    std::array<std::string, 9> captions;
    bool pingEnabled = true;
    std::vector<std::string> tickLines;
    std::string status;
    bool checkFailed = false;
    MachineListFile found;
};

// A dotted address as the four octet fields of the page would hold it, first octet first.
std::array<std::string, 4> octetFields(const std::string &address, const char *which)
{
    std::vector<std::string> fields;
    size_t start = 0;
    for (size_t dot = 0; dot != std::string::npos; start = dot + 1) {
        dot = address.find('.', start);
        fields.push_back(address.substr(start, dot - start));
    }
    bool digits = fields.size() == 4;
    for (const std::string &field : fields) {
        digits = digits && !field.empty();
        for (char c : field)
            digits = digits && std::isdigit(static_cast<unsigned char>(c));
    }
    if (!digits)
        throw CommandLine::UsageError(std::string(which) + " must be four numbers joined by dots, not '" + address +
                                      "'");
    return {fields[0], fields[1], fields[2], fields[3]};
}

void fillEdits(ScanPage &page, const std::string &start, const std::string &end)
{
    const std::array<std::string, 4> first = octetFields(start, "START");
    const std::array<std::string, 4> last = octetFields(end, "END");
    for (size_t i = 0; i < 4; ++i) {
        page.edits[static_cast<size_t>(Edit::ip03) - i] = first[i];
        page.edits[static_cast<size_t>(Edit::ip13) - i] = last[i];
    }
}

MultiPingScan::View viewOf(ScanPage &page, QTimer &timer, std::ostream &err)
{
    MultiPingScan::View view;
    view.editText = [&page](Edit edit) { return page.edits[static_cast<size_t>(edit)]; };
    view.setEditText = [&page](Edit edit, const std::string &text) { page.edits[static_cast<size_t>(edit)] = text; };
    view.focusEdit = [](Edit) {};
    view.caption = [&page](Caption caption) { return page.captions[static_cast<size_t>(caption)]; };
    view.setCaption = [&page](Caption caption, const std::string &text) {
        page.captions[static_cast<size_t>(caption)] = text;
    };
    view.isEnabled = [&page](Button button) { return button == Button::MipPinG && page.pingEnabled; };
    view.setEnabled = [&page](Button button, bool enabled) {
        if (button == Button::MipPinG)
            page.pingEnabled = enabled;
    };
    view.timerEnabled = [&timer] { return timer.isActive(); };
    view.setTimerEnabled = [&timer](bool enabled) { enabled ? timer.start() : timer.stop(); };
    view.clearLog = [] {};
    view.appendLine = [&page](const std::string &line) { page.tickLines.push_back(line); };
    view.setStatus = [&page](const std::string &text) { page.status = text; };
    view.recordMachine = [&page](const std::string &ip, uint32_t) { page.found.addLine(QString::fromStdString(ip)); };
    view.machineCount = [&page] { return static_cast<int>(page.found.lines().size()); };
    view.showMessage = [&page, &err](MultiPingScan::Message message) {
        for (const std::string &line : MultiPingScan::linesOf(message))
            err << line << '\n';
        err << std::flush;
        page.checkFailed = true;
    };
    view.reportError = [&page, &err](const std::string &text) {
        err << text << '\n' << std::flush;
        page.checkFailed = true;
    };
    return view;
}

int positiveOption(const CommandLine &args, const std::string &name, int fallback)
{
    const int value = args.integer(name, fallback);
    if (value < 1)
        throw CommandLine::UsageError("--" + name + " must be at least 1");
    return value;
}
} // namespace

int runScanCommand(const CommandLine &args, std::ostream &out, std::ostream &err)
{
    if (args.positional().size() != 2)
        throw CommandLine::UsageError("scan needs a START and an END address");
    ScanPage page;
    fillEdits(page, args.positional()[0], args.positional()[1]);

    // A usage error is told as one, also where no echo session can be opened.
    const int size = args.integer("size", 56);
    const int ttl = args.integer("ttl", 64);
    const int timeout = args.integer("timeout", 500);
    const int interval = positiveOption(args, "interval", 1000);

    TPing ping;
    ping.SetSize(size);
    ping.SetTTL(ttl);
    ping.SetTimeout(timeout);
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(interval);

    MultiPingScan scan(ping, viewOf(page, timer, err));
    QEventLoop loop;
    std::exception_ptr failure;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        try {
            scan.MipTimer1Timer();
        } catch (...) {
            failure = std::current_exception();
            timer.stop();
        }
        for (const std::string &line : page.tickLines)
            out << line << '\n';
        out << std::flush;
        page.tickLines.clear();
        if (!timer.isActive())
            loop.quit();
    });
    scan.MipPinGClick();
    loop.exec();
    if (failure)
        std::rethrow_exception(failure);

    out << page.status << '\n' << std::flush;
    if (args.has("save"))
        page.found.write(QString::fromLocal8Bit(args.text("save", "")));
    return page.checkFailed ? 3 : 0;
}
