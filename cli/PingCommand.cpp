#include "PingCommand.h"

#include "ping/Ping.h"
#include "ping/SinglePing.h"

#include <QCoreApplication>
#include <QEventLoop>

int runPingCommand(const CommandLine &args, std::ostream &out)
{
    if (args.positional().size() != 1)
        throw CommandLine::UsageError("ping needs exactly one HOST");
    const std::string host = args.positional().front();
    // A usage error is told as one, also where no echo session can be opened.
    const int size = args.integer("size", 56);
    const int ttl = args.integer("ttl", 64);
    const int timeout = args.integer("timeout", 500);

    TPing ping;
    ping.SetSize(size);
    ping.SetTTL(ttl);
    ping.SetTimeout(timeout);

    bool answered = false;
    bool finished = false;
    QEventLoop loop;
    SinglePing::View view;
    view.appendLine = [&out](const std::string &line) { out << line << '\n' << std::flush; };
    view.hostText = [&host] { return host; };
    view.setButtons = [&](bool pingEnabled, bool) {
        // The buttons come back when the lookup has ended, and with it the whole sequence.
        if (pingEnabled) {
            finished = true;
            loop.quit();
        }
    };
    view.recordMachine = [&answered](const std::string &, uint32_t) { answered = true; };

    SinglePing sequence(ping, view);
    sequence.start();
    if (!finished)
        loop.exec();
    return answered ? 0 : 1;
}
