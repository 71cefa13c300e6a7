#include "RePingCommand.h"

#include "ping/MachineListFile.h"
#include "ping/Ping.h"
#include "ping/RePingWalk.h"

#include <QEventLoop>
#include <QTimer>
#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace {
// A name lookup still under way when the last pass ends is waited for this long at most.
constexpr int LastLookupWaitMs = 30000;

std::vector<std::string> entriesOf(const MachineListFile &list)
{
    std::vector<std::string> entries;
    entries.reserve(static_cast<size_t>(list.lines().size()));
    for (const QString &line : list.lines())
        entries.push_back(line.toLatin1().toStdString());
    return entries;
}

RePingWalk::View viewOf(const MachineListFile &list, int passes, QTimer &timer, std::ostream &out, std::ostream &err)
{
    RePingWalk::View view;
    view.machineLines = [&list] { return entriesOf(list); };
    view.cyclic = [passes, done = 0]() mutable { return ++done < passes; };
    view.setInterval = [&timer](int ms) { timer.setInterval(ms); };
    view.setTimerEnabled = [&timer](bool enabled) { enabled ? timer.start() : timer.stop(); };
    view.setRetryEnabled = [](bool) {};
    view.clearLog = [] {};
    view.appendLine = [&out](const std::string &line) { out << line << '\n' << std::flush; };
    view.removeFirstLines = [](int) {};
    view.setProgressMax = [](int) {};
    view.setProgress = [](int) {};
    view.setInfo = [](int, const std::string &) {};
    view.reportError = [&err](const std::string &text) { err << text << '\n' << std::flush; };
    return view;
}

const std::string &onlyFile(const CommandLine &args)
{
    if (args.positional().size() != 1)
        throw CommandLine::UsageError("reping needs exactly one FILE");
    return args.positional().front();
}
} // namespace

RePingCommand::RePingCommand(const CommandLine &args)
    : m_timeout(args.positive("timeout", 200)), m_passes(args.positive("passes", 1)), m_size(args.integer("size", 56)),
      m_ttl(args.integer("ttl", 64)), m_list(MachineListFile::read(QString::fromLocal8Bit(onlyFile(args).c_str())))
{
}

int RePingCommand::run(std::ostream &out, std::ostream &err) const
{
    if (m_list.isEmpty()) {
        for (const std::string &line : RePingWalk::rpingerrorLines())
            err << line << '\n';
        return 3;
    }

    TPing ping;
    ping.SetSize(m_size);
    ping.SetTTL(m_ttl);
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    RePingWalk walk(ping, viewOf(m_list, m_passes, timer, out, err));
    walk.setTimeout(m_timeout);

    QEventLoop loop;
    std::exception_ptr failure;
    const auto guarded = [&](const std::function<void()> &step) {
        try {
            step();
        } catch (...) {
            failure = std::current_exception();
            timer.stop();
            loop.quit();
        }
    };
    QObject::connect(&timer, &QTimer::timeout, &loop, [&] {
        guarded([&] { walk.rTimer1Timer(); });
        if (!walk.walking())
            loop.quit();
    });
    // The last entry's name may still be resolving when the walk ends; its line is still due.
    const TDnsLookupDone walkLookupDone = ping.OnDnsLookupDone;
    ping.OnDnsLookupDone = [&](QObject *sender, uint16_t error) {
        guarded([&] { walkLookupDone(sender, error); });
        if (!walk.walking())
            loop.quit();
    };
    walk.rpingClick();
    loop.exec();
    if (!failure && ping.LookupPending()) {
        QTimer::singleShot(LastLookupWaitMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (failure)
        std::rethrow_exception(failure);
    return 0;
}
