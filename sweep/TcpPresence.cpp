#include "TcpPresence.h"

#include <algorithm>
#include <set>
#include <utility>

namespace {

TcpProbe::Settings settingsOf(std::vector<uint16_t> ports, int rate, int timeoutMs)
{
    TcpProbe::Settings settings;
    settings.ports = std::move(ports);
    settings.rate = std::min(rate, TcpProbe::Settings::MaxRate);
    settings.timeoutMs = std::min(timeoutMs, TcpProbe::Settings::MaxTimeoutMs);
    return settings;
}

} // namespace

TcpPresence::TcpPresence(std::vector<uint16_t> ports, int rate, int timeoutMs)
    : m_settings(settingsOf(std::move(ports), rate, timeoutMs))
{
}

void TcpPresence::run(const Sweep &sweep, SweepReport &report)
{
    const std::set<IpAddress> found = report.hostsFound();
    SweepTargets silent;
    sweep.eachAddress([&](const IpAddress &address) {
        if (found.count(address) == 0)
            silent.add(address);
    });
    if (silent.count() == 0)
        return;
    TcpProbe probe(silent, m_settings);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopped)
            return;
        m_probe = &probe;
    }
    probe.run();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_probe = nullptr;
    }
    m_refused = probe.progress().refused;
    for (const TcpProbe::Answer &answer : probe.answers()) {
        HostPresence &present = report.presence[answer.address];
        present.method = HostPresence::Method::Tcp;
        present.port = answer.port;
        present.reset = !answer.open;
    }
}

void TcpPresence::stop()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopped = true;
    if (m_probe)
        m_probe->stop();
}

std::vector<std::string> TcpPresence::shortfalls()
{
    if (m_refused == 0)
        return {};
    return {std::to_string(m_refused) + (m_refused == 1 ? " TCP connection attempt" : " TCP connection attempts") +
            " could not be sent (no route, a broadcast address, or this host's firewall)"};
}
