#include "PingCommand.h"

#include "echo/EchoTerms.h"
#include "flows/SinglePing.h"
#include "ping/Ping.h"

#include <QEventLoop>

namespace {
const std::string &onlyHost(const CommandLine &args)
{
    if (args.positional().size() != 1)
        throw CommandLine::UsageError("ping needs exactly one HOST");
    return args.positional().front();
}

// The sequence's lines go to out. The buttons come back when the lookup has ended, and with it the
// whole sequence.
class PingLines : public SinglePing::View {
public:
    PingLines(const std::string &host, Sockets::Family family, std::ostream &out, std::ostream &err)
        : m_host(QString::fromLocal8Bit(host.c_str())), m_family(family), m_out(out), m_err(err)
    {
    }

    // Runs the sequence to its end; true when the host answered.
    bool run(SinglePing &sequence)
    {
        sequence.start();
        if (!m_finished)
            m_loop.exec();
        return m_answered;
    }

private:
    QString hostText() const override { return m_host; }
    Sockets::Family family() const override { return m_family; }
    void clearLog() override {}
    void appendLine(const QString &line) override { m_out << line.toStdString() << '\n' << std::flush; }
    void setButtons(bool pingEnabled, bool) override
    {
        if (pingEnabled) {
            m_finished = true;
            m_loop.quit();
        }
    }
    void setStatus(const QString &) override {}
    void recordMachine(const QString &, uint32_t) override { m_answered = true; }
    void reportError(const QString &text) override { m_err << text.toStdString() << '\n' << std::flush; }

    const QString m_host;
    const Sockets::Family m_family;
    std::ostream &m_out;
    std::ostream &m_err;
    QEventLoop m_loop;
    bool m_finished = false;
    bool m_answered = false;
};

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
    : m_host(onlyHost(args)), m_size(args.integer("size", EchoTerms::DefaultSize)),
      m_ttl(args.integer("ttl", EchoTerms::DefaultTTL)),
      m_timeout(args.milliseconds("timeout", EchoTerms::DefaultTimeoutMs)), m_family(familyOf(args))
{
}

int PingCommand::run(std::ostream &out, std::ostream &err) const
{
    TPing ping;
    ping.SetSize(m_size);
    ping.SetTTL(m_ttl);
    ping.SetTimeout(m_timeout);
    PingLines lines(m_host, m_family, out, err);
    SinglePing sequence(ping, lines);
    return lines.run(sequence) ? 0 : 1;
}
