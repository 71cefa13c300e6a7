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

int positiveOption(const CommandLine &args, const std::string &name, int fallback)
{
    const int value = args.integer(name, fallback);
    if (value < 1)
        throw CommandLine::UsageError("--" + name + " must be at least 1");
    return value;
}

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
} // namespace

int runRePingCommand(const CommandLine &args, std::ostream &out, std::ostream &err)
{
    if (args.positional().size() != 1)
        throw CommandLine::UsageError("reping needs exactly one FILE");
    const int timeout = positiveOption(args, "timeout", 200);
    const int passes = positiveOption(args, "passes", 1);
    const int size = args.integer("size", 56);
    const int ttl = args.integer("ttl", 64);
    const MachineListFile list = MachineListFile::read(QString::fromLocal8Bit(args.positional().front()));
    if (list.isEmpty()) {
        for (const std::string &line : RePingWalk::rpingerrorLines())
            err << line << '\n';
        return 3;
    }

    TPing ping;
    ping.SetSize(size);
    ping.SetTTL(ttl);
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    RePingWalk walk(ping, viewOf(list, passes, timer, out, err));
    walk.setTimeout(timeout);

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
