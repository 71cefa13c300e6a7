#include "RePingWalk.h"

#include "echo/EchoTerms.h"
#include "history/HistoryLocation.h"
#include "history/HistoryTime.h"

#include <exception>
#include <stdexcept>

const QStringList &RePingWalk::rpingerrorLines()
{
    static const QStringList lines = {"El resumen de maquinas esta vacio . Esta opcion",
                                      "solo funciona al existir al menos 1 en el listado .."};
    return lines;
}

namespace {
const char *const UnknownDomain = "Dominio desconocido ";
} // namespace

RePingWalk::RePingWalk(TPing &ping, View &view, const WallClock &clock)
    : m_ping(ping), m_view(view), m_clock(clock), m_historyFile(HistoryLocation::defaultFile())
{
    // A lookup ends in the event loop, where nothing may be thrown: what goes wrong is reported.
    m_ping.OnDnsLookupDone = [this](QObject *, uint16_t error) {
        try {
            Ping3DnsLookupDone(error);
        } catch (const std::exception &e) {
            m_view.reportError(QString::fromUtf8(e.what()));
        }
    };
    m_ping.SetOnEchoReply([this](QObject *, int replies) { Ping3EchoReply(replies); });
}

RePingWalk::~RePingWalk()
{
    m_ping.OnDnsLookupDone = nullptr;
    m_ping.SetOnEchoReply(nullptr);
}

void RePingWalk::setTimeout(int ms)
{
    m_view.setInterval(ms);
    m_ping.SetTimeout(ms);
}

void RePingWalk::flushHistory()
{
    if (!m_history)
        return;
    m_history->flush();
    reportHistoryFailure();
}

// The history opens on its own thread; a file that cannot be used is reported at the next tick,
// and the walk goes on without it.
void RePingWalk::rpingClick()
{
    if (!m_history)
        m_history = std::make_unique<HistoryRecorder>(m_historyFile, m_clock);
    m_view.setRetryEnabled(false);
    m_view.clearLog();
    m_logLines = 0;
    m_rips = m_view.machineLines();
    m_view.setProgressMax(count());
    m_rpos = 0;
    m_walking = true;
    m_view.setTimerEnabled(true);
}

void RePingWalk::rTimer1Timer()
{
    reportHistoryFailure();
    m_view.setInfo(1, "Activo..");
    if (m_rpos != count()) {
        const QString &entry = m_rips[m_rpos];
        m_view.setProgress(m_rpos);
        m_view.setInfo(0, "Actual IP: " + entry);
        lookUp(entry);
        return;
    }
    logChanges();
    // One idle tick between passes; the check box is read only here, so unchecking it ends the walk
    // after the pass under way.
    if (m_view.cyclic())
        m_rpos = 0;
    else
        endWalk();
}

void RePingWalk::BitBtn1Click()
{
    m_walking = false;
    m_view.setTimerEnabled(false);
    m_view.setRetryEnabled(true);
    m_view.setInfo(1, "InActivo");
    m_view.setProgress(0);
    logChanges();
}

void RePingWalk::Ping3DnsLookupDone(uint16_t error)
{
    if (error != 0) {
        log(UnknownDomain);
        record(false, 0, UnknownDomain);
        return;
    }
    m_ping.SetAddress(m_ping.LookupResult());
    m_ping.SendPing();
}

void RePingWalk::Ping3EchoReply(int replies)
{
    const uint32_t rtt = replies != 0 ? m_ping.LastReply().RoundTripTime : 0;
    log(QString::fromStdString(m_ping.Address()) + (replies != 0 ? "(" + QString::number(rtt) + "mSeg)" : "(error)"));
    m_view.recordMachine(QString::fromStdString(m_ping.ResolvedIP()), rtt, replies != 0);
    record(replies != 0, rtt, replies != 0 ? std::string() : EchoTerms::errorText(int(m_ping.LastReply().Status)));
}

// A machine is known by its entry in the list, a name or an address.
void RePingWalk::record(bool answered, uint32_t rtt, const std::string &status)
{
    HistoryAnswer answer;
    answer.machine = m_entry;
    answer.atMs = m_clock.nowMs();
    answer.answered = answered;
    answer.rttMs = rtt;
    answer.status = QString::fromStdString(status).trimmed().toStdString();
    if (answered)
        m_reachability.answered(answer.machine, answer.atMs, rtt);
    else
        m_reachability.missed(answer.machine, answer.atMs);
    if (m_history)
        m_history->record(std::move(answer));
}

void RePingWalk::reportHistoryFailure()
{
    if (!m_history)
        return;
    if (const auto failure = m_history->takeFailure())
        m_view.reportHistoryFailure(*failure);
}

// The changes of a pass are told together, once it is over.
void RePingWalk::logChanges()
{
    const std::vector<Reachability::Change> changes = m_reachability.endPass();
    for (const Reachability::Change &change : changes) {
        const QString machine = QString::fromStdString(change.machine);
        const QString at = QString::fromStdString(HistoryTime::text(change.atMs));
        log(machine +
            (change.state == Reachability::State::Down ? " no responde desde " : " responde otra vez desde ") + at);
    }
    if (!changes.empty())
        m_view.reachabilityChanged(changes);
}

// A lookup that cannot start leaves the entry in place for the next tick. The timer rests while
// the report is up, so that a modal report is not stacked again by the ticks behind it. The
// summary's lines are 8-bit text, as the machine list file holds them.
void RePingWalk::lookUp(const QString &entry)
{
    try {
        m_entry = entry.toLatin1().trimmed().toStdString();
        m_ping.LookupHost(entry.toLatin1().toStdString());
    } catch (const std::runtime_error &e) {
        m_view.setTimerEnabled(false);
        m_view.reportError(QString::fromUtf8(e.what()));
        m_view.setTimerEnabled(m_walking);
        return;
    }
    ++m_rpos;
}

void RePingWalk::endWalk()
{
    m_walking = false;
    m_view.setTimerEnabled(false);
    m_view.setRetryEnabled(true);
    m_view.setInfo(0, "");
    m_view.setInfo(1, "InActivo");
    m_view.setProgress(0);
}

void RePingWalk::log(const QString &line)
{
    m_view.appendLine(line);
    if (++m_logLines > MaxLogLines) {
        m_view.removeFirstLines(m_logLines - MaxLogLines);
        m_logLines = MaxLogLines;
    }
}
