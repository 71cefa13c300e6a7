#include "ScanCommand.h"

#include "echo/EchoTerms.h"
#include "echo/Notation.h"
#include "flows/MachineListFile.h"
#include "flows/MultiPingScan.h"
#include "ping/Ping.h"

#include <QEventLoop>
#include <QStringList>
#include <QTimer>
#include <array>
#include <exception>
#include <optional>
#include <string>
#include <utility>

namespace {
using Edit = MultiPingScan::Edit;
using Caption = MultiPingScan::Caption;
using Button = MultiPingScan::Button;

// What the range scan page shows, kept in memory: its fields, hidden captions and buttons. The lines
// a tick leaves are kept until the tick has ended; the message boxes' lines go to err.
class ScanPage : public MultiPingScan::View {
public:
    ScanPage(const std::array<std::string, 4> &first, const std::array<std::string, 4> &last, QTimer &timer,
             std::ostream &err)
        : m_timer(timer), m_err(err)
    {
        for (size_t i = 0; i < 4; ++i) {
            m_edits[static_cast<size_t>(Edit::ip03) - i] = QString::fromStdString(first[i]);
            m_edits[static_cast<size_t>(Edit::ip13) - i] = QString::fromStdString(last[i]);
        }
    }

    QStringList takeTickLines() { return std::exchange(m_tickLines, {}); }
    const QString &status() const { return m_status; }
    bool checkFailed() const { return m_checkFailed; }
    const MachineListFile &found() const { return m_found; }

private:
    QString editText(Edit edit) const override { return m_edits[static_cast<size_t>(edit)]; }
    void setEditText(Edit edit, const QString &text) override { m_edits[static_cast<size_t>(edit)] = text; }
    void focusEdit(Edit) override {}
    QString caption(Caption caption) const override { return m_captions[static_cast<size_t>(caption)]; }
    void setCaption(Caption caption, const QString &text) override { m_captions[static_cast<size_t>(caption)] = text; }
    bool isEnabled(Button button) const override { return button == Button::MipPinG && m_pingEnabled; }
    void setEnabled(Button button, bool enabled) override
    {
        if (button == Button::MipPinG)
            m_pingEnabled = enabled;
    }
    bool timerEnabled() const override { return m_timer.isActive(); }
    void setTimerEnabled(bool enabled) override { enabled ? m_timer.start() : m_timer.stop(); }
    void clearLog() override {}
    void appendLine(const QString &line) override { m_tickLines << line; }
    void setStatus(const QString &text) override { m_status = text; }
    void recordMachine(const QString &ip, uint32_t) override { m_found.addLine(ip); }
    int machineCount() const override { return static_cast<int>(m_found.lines().size()); }
    void showMessage(MultiPingScan::Message message) override
    {
        for (const QString &line : MultiPingScan::linesOf(message))
            m_err << line.toStdString() << '\n';
        m_err << std::flush;
        m_checkFailed = true;
    }
    void reportError(const QString &text) override
    {
        m_err << text.toStdString() << '\n' << std::flush;
        m_checkFailed = true;
    }

    QTimer &m_timer;
    std::ostream &m_err;
    std::array<QString, 8> m_edits;
    std::array<QString, 9> m_captions;
    bool m_pingEnabled = true;
    QStringList m_tickLines;
    QString m_status;
    bool m_checkFailed = false;
    MachineListFile m_found;
};

// A dotted address as the four octet fields of the page would hold it, first octet first.
std::array<std::string, 4> octetFields(const std::string &address, const char *which)
{
    const std::optional<std::array<std::string, 4>> fields = Notation::dottedFields(address);
    if (!fields)
        throw CommandLine::UsageError(std::string(which) + " must be four numbers joined by dots, not '" + address +
                                      "'");
    return *fields;
}

const std::string &positional(const CommandLine &args, size_t index)
{
    if (args.positional().size() != 2)
        throw CommandLine::UsageError("scan needs a START and an END address");
    return args.positional()[index];
}
} // namespace

ScanCommand::ScanCommand(const CommandLine &args)
    : m_start(octetFields(positional(args, 0), "START")), m_end(octetFields(positional(args, 1), "END")),
      m_size(args.integer("size", EchoTerms::DefaultSize)), m_ttl(args.integer("ttl", EchoTerms::DefaultTTL)),
      m_timeout(args.milliseconds("timeout", EchoTerms::DefaultTimeoutMs)),
      m_interval(CommandLine::positive("interval", args.milliseconds("interval", DefaultIntervalMs))),
      m_saveFile(args.writableFile("save"))
{
}

int ScanCommand::run(std::ostream &out, std::ostream &err) const
{
    TPing ping;
    ping.SetSize(m_size);
    ping.SetTTL(m_ttl);
    ping.SetTimeout(m_timeout);
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(m_interval);

    ScanPage page(m_start, m_end, timer, err);
    MultiPingScan scan(ping, page);
    QEventLoop loop;
    std::exception_ptr failure;
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        try {
            scan.MipTimer1Timer();
        } catch (...) {
            failure = std::current_exception();
            timer.stop();
        }
        for (const QString &line : page.takeTickLines())
            out << line.toStdString() << '\n';
        out << std::flush;
        if (!timer.isActive())
            loop.quit();
    });
    scan.MipPinGClick();
    loop.exec();
    if (failure)
        std::rethrow_exception(failure);

    out << page.status().toStdString() << '\n' << std::flush;
    if (!m_saveFile.empty())
        page.found().write(QString::fromLocal8Bit(m_saveFile.c_str()));
    return page.checkFailed() ? 3 : 0;
}
