#include "PingCommand.h"

#include "ping/Ping.h"
#include "ping/SinglePing.h"

#include <QEventLoop>

namespace {
const std::string &onlyHost(const CommandLine &args)
{
    if (args.positional().size() != 1)
        throw CommandLine::UsageError("ping needs exactly one HOST");
    return args.positional().front();
}
} // namespace

PingCommand::PingCommand(const CommandLine &args)
    : m_host(onlyHost(args)), m_size(args.integer("size", 56)), m_ttl(args.integer("ttl", 64)),
      m_timeout(args.integer("timeout", 500))
{
}

int PingCommand::run(std::ostream &out) const
{
    TPing ping;
    ping.SetSize(m_size);
    ping.SetTTL(m_ttl);
    ping.SetTimeout(m_timeout);

    bool answered = false;
    bool finished = false;
    QEventLoop loop;
    SinglePing::View view;
    view.appendLine = [&out](const std::string &line) { out << line << '\n' << std::flush; };
    view.hostText = [this] { return m_host; };
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
