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

Sockets::Family familyOf(const CommandLine &args)
{
    if (args.has("4") && args.has("6"))
        throw CommandLine::UsageError("-4 and -6 exclude each other");
    if (args.has("4"))
        return Sockets::Family::IPv4;
    return args.has("6") ? Sockets::Family::IPv6 : Sockets::Family::Either;
}
} // namespace

PingCommand::PingCommand(const CommandLine &args)
    : m_host(onlyHost(args)), m_size(args.integer("size", 56)), m_ttl(args.integer("ttl", 64)),
      m_timeout(args.integer("timeout", 500)), m_family(familyOf(args))
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
    view.family = [this] { return m_family; };
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
