#include "RePingCommand.h"

#include "echo/EchoTerms.h"
#include "flows/MachineListFile.h"
#include "flows/RePingWalk.h"
#include "history/HistoryLocation.h"
#include "ping/Ping.h"

#include <QEventLoop>
#include <QStringList>
#include <QTimer>
#include <exception>
#include <functional>
#include <string>
#include <utility>

namespace {
// A name lookup still under way when the last pass ends is waited for this long at most.
constexpr int LastLookupWaitMs = 30000;

// The walk's lines go to out, its reports to err; the timer is the walk's own. A pass is counted
// each time the walk asks whether to go round again.
class WalkLines : public RePingWalk::View {
public:
    WalkLines(const MachineListFile &list, int passes, std::ostream &out, std::ostream &err)
        : m_list(list), m_passes(passes), m_out(out), m_err(err)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
    }

    QTimer &timer() { return m_timer; }
    // Called with each entry's line: the loop that waits for the last one may end then.
    void setLineWritten(std::function<void()> written) { m_written = std::move(written); }

private:
    QStringList machineLines() const override { return m_list.lines(); }
    bool cyclic() override { return ++m_passesDone < m_passes; }
    void setInterval(int ms) override { m_timer.setInterval(ms); }
    void setTimerEnabled(bool enabled) override { enabled ? m_timer.start() : m_timer.stop(); }
    void setRetryEnabled(bool) override {}
    void clearLog() override {}
    void appendLine(const QString &line) override
    {
        m_out << line.toStdString() << '\n' << std::flush;
        if (m_written)
            m_written();
    }
    void removeFirstLines(int) override {}
    void setProgressMax(int) override {}
    void setProgress(int) override {}
    void setInfo(int, const QString &) override {}
    void recordMachine(const QString &, uint32_t, bool) override {}
    void reportError(const QString &text) override { m_err << text.toStdString() << '\n' << std::flush; }

    const MachineListFile &m_list;
    const int m_passes;
    int m_passesDone = 0;
    std::ostream &m_out;
    std::ostream &m_err;
    QTimer m_timer;
    std::function<void()> m_written;
};

const std::string &onlyFile(const CommandLine &args)
{
    if (args.positional().size() != 1)
        throw CommandLine::UsageError("reping needs exactly one FILE");
    return args.positional().front();
}
} // namespace

RePingCommand::RePingCommand(const CommandLine &args)
    : m_timeout(CommandLine::positive("timeout", args.milliseconds("timeout", EchoTerms::DefaultRePingTimeoutMs))),
      m_passes(CommandLine::positive("passes", args.integer("passes", 1))),
      m_size(args.integer("size", EchoTerms::DefaultSize)), m_ttl(args.integer("ttl", EchoTerms::DefaultTTL)),
      m_downAfter(CommandLine::positive("down-after", args.integer("down-after", Reachability::DefaultDownAfter))),
      m_history(args.text("history", HistoryLocation::defaultFile())),
      m_list(MachineListFile::read(QString::fromLocal8Bit(onlyFile(args).c_str())))
{
}

int RePingCommand::run(std::ostream &out, std::ostream &err) const
{
    if (m_list.isEmpty()) {
        for (const QString &line : RePingWalk::rpingerrorLines())
            err << line.toStdString() << '\n';
        return 3;
    }

    TPing ping;
    ping.SetSize(m_size);
    ping.SetTTL(m_ttl);
    WalkLines lines(m_list, m_passes, out, err);
    RePingWalk walk(ping, lines);
    walk.setTimeout(m_timeout);
    walk.setHistoryFile(m_history);
    walk.setDownAfter(m_downAfter);

    QEventLoop loop;
    std::exception_ptr failure;
    QObject::connect(&lines.timer(), &QTimer::timeout, &loop, [&] {
        try {
            walk.rTimer1Timer();
        } catch (...) {
            failure = std::current_exception();
            lines.timer().stop();
        }
        if (!walk.walking() || failure)
            loop.quit();
    });
    // The last entry's name may still be resolving when the walk ends; its line is still due.
    lines.setLineWritten([&] {
        if (!walk.walking() && !ping.LookupPending())
            loop.quit();
    });
    walk.rpingClick();
    loop.exec();
    if (!failure && ping.LookupPending()) {
        QTimer::singleShot(LastLookupWaitMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    walk.flushHistory();
    if (failure)
        std::rethrow_exception(failure);
    return 0;
}
