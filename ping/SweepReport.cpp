#include "SweepReport.h"

#include "icmp.h"
#include "platform/IcmpTypes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <arpa/inet.h>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

using Answer = Sweep::Answer;

std::string milliseconds(double ms)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", ms);
    return text;
}

bool answered(const Answer &answer)
{
    return answer.status == IP_SUCCESS;
}

std::string errorFrom(const Answer &answer)
{
    return answer.from != 0 ? SweepReport::dotted(answer.from) : std::string();
}

QString qText(const std::string &text)
{
    return QString::fromStdString(text);
}

// A field with a separator, a quote or a line break in it is quoted, its quotes doubled.
std::string csvField(const std::string &text)
{
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + '"';
}

// Control characters have no place in XML 1.0, even escaped.
std::string xmlText(const std::string &text)
{
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        default: escaped += uint8_t(c) < 0x20 && c != '\t' ? '?' : c;
        }
    }
    return escaped;
}

// As ctime() writes it, in local time, in English whatever the locale.
std::string timeText(int64_t ms)
{
    static const char *const Days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char *const Months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const time_t seconds = time_t(ms / 1000);
    tm local{};
    localtime_r(&seconds, &local);
    char text[64];
    std::snprintf(text, sizeof text, "%s %s %2d %02d:%02d:%02d %d", Days[local.tm_wday % 7], Months[local.tm_mon % 12],
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, local.tm_year + 1900);
    return text;
}

// The reasons port scanners give for a host's state.
std::string reasonOf(uint32_t status)
{
    switch (status) {
    case IP_SUCCESS: return "echo-reply";
    case IP_DEST_NET_UNREACHABLE: return "net-unreach";
    case IP_DEST_HOST_UNREACHABLE: return "host-unreach";
    case IP_DEST_PROT_UNREACHABLE: return "proto-unreach";
    case IP_DEST_PORT_UNREACHABLE: return "port-unreach";
    case IP_TTL_EXPIRED_TRANSIT:
    case IP_TTL_EXPIRED_REASSEM: return "time-exceeded";
    case IP_PARAM_PROBLEM: return "param-problem";
    case IP_SOURCE_QUENCH: return "source-quench";
    default: return "unknown-response";
    }
}

} // namespace

SweepReport SweepReport::of(const Sweep &sweep)
{
    SweepReport report;
    report.answers = sweep.answers();
    report.unsent = sweep.unsent();
    report.addresses = sweep.progress().addresses;
    report.requests = sweep.progress().sent;
    report.dropped = sweep.droppedInLastPass();
    return report;
}

std::string SweepReport::dotted(uint32_t address)
{
    char text[INET_ADDRSTRLEN];
    const in_addr networkOrder{htonl(address)};
    return inet_ntop(AF_INET, &networkOrder, text, sizeof text);
}

std::string SweepReport::nameOf(uint32_t address) const
{
    const auto found = names.find(address);
    return found != names.end() ? found->second : std::string();
}

void SweepReport::writeText(std::ostream &out) const
{
    uint64_t count = 0;
    for (const Answer &answer : answers) {
        if (!answered(answer)) {
            const std::string from = errorFrom(answer);
            out << dotted(answer.address) << ' ' << TICMP::ErrorTextOf(int(answer.status))
                << (from.empty() ? "" : " from " + from) << '\n';
            continue;
        }
        out << dotted(answer.address) << ' ' << milliseconds(answer.rttMs) << " ms";
        const std::string name = withNames ? nameOf(answer.address) : std::string();
        out << (name.empty() ? "" : " " + name) << '\n';
        ++count;
    }
    out << count << " of " << addresses << " addresses answered\n";
}

void SweepReport::writeCsv(std::ostream &out) const
{
    out << "address,rtt_ms,error,error_from" << (withNames ? ",name" : "") << '\n';
    for (const Answer &answer : answers) {
        out << dotted(answer.address) << ',';
        if (answered(answer))
            out << milliseconds(answer.rttMs) << ",,";
        else
            out << ',' << csvField(TICMP::ErrorTextOf(int(answer.status))) << ',' << errorFrom(answer);
        if (withNames)
            out << ',' << csvField(answered(answer) ? nameOf(answer.address) : std::string());
        out << '\n';
    }
}

void SweepReport::writeJson(std::ostream &out) const
{
    QJsonArray replies;
    QJsonArray errors;
    for (const Answer &answer : answers) {
        const QString address = qText(dotted(answer.address));
        if (answered(answer)) {
            QJsonObject reply{{"address", address}, {"rtt_ms", std::round(answer.rttMs * 1000) / 1000}};
            if (withNames)
                reply.insert("name", qText(nameOf(answer.address)));
            replies.append(reply);
            continue;
        }
        QJsonObject error{{"address", address},
                          {"status", qint64(answer.status)},
                          {"error", qText(TICMP::ErrorTextOf(int(answer.status)))}};
        if (answer.from != 0)
            error.insert("from", qText(dotted(answer.from)));
        errors.append(error);
    }
    QJsonArray unsentList;
    for (const Sweep::Unsent &each : unsent) {
        QJsonArray first;
        for (uint32_t address : each.first)
            first.append(qText(dotted(address)));
        unsentList.append(QJsonObject{{"status", qint64(each.status)},
                                      {"error", qText(TICMP::ErrorTextOf(int(each.status)))},
                                      {"count", qint64(each.count)},
                                      {"first", first}});
    }
    const QJsonObject document{
        {"addresses", qint64(addresses)}, {"requests", qint64(requests)}, {"replies", replies}, {"errors", errors},
        {"unsent", unsentList},           {"dropped", qint64(dropped)}};
    out << QJsonDocument(document).toJson(QJsonDocument::Compact).toStdString() << '\n';
}

// A host that answered is up, its round-trip time in microseconds, as a first sample sets a smoothed
// time and its variation; one that sent an ICMP error is down for that reason; silent ones are only
// counted.
void SweepReport::writeXml(std::ostream &out) const
{
    const std::string start = std::to_string(startedMs / 1000);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE nmaprun>\n"
        << "<nmaprun scanner=\"tozelo-cli\" args=\"" << xmlText(command) << "\" start=\"" << start << "\" startstr=\""
        << timeText(startedMs) << "\" version=\"" TOZELO_VERSION "\" xmloutputversion=\"1.05\">\n"
        << "<verbose level=\"0\"/>\n<debugging level=\"0\"/>\n";
    uint64_t up = 0;
    for (const Answer &answer : answers) {
        const bool isUp = answered(answer);
        up += isUp ? 1 : 0;
        out << "<host><status state=\"" << (isUp ? "up" : "down") << "\" reason=\"" << reasonOf(answer.status)
            << "\" reason_ttl=\"0\"/>\n<address addr=\"" << dotted(answer.address) << "\" addrtype=\"ipv4\"/>\n";
        const std::string name = isUp && withNames ? nameOf(answer.address) : std::string();
        if (name.empty())
            out << "<hostnames>\n</hostnames>\n";
        else
            out << "<hostnames>\n<hostname name=\"" << xmlText(name) << "\" type=\"PTR\"/>\n</hostnames>\n";
        if (isUp) {
            const auto rttUs = int64_t(std::llround(answer.rttMs * 1000));
            out << "<times srtt=\"" << rttUs << "\" rttvar=\"" << rttUs / 2 << "\" to=\"" << int64_t(timeoutMs) * 1000
                << "\"/>\n";
        }
        out << "</host>\n";
    }
    char elapsed[32];
    std::snprintf(elapsed, sizeof elapsed, "%.2f", double(std::max<int64_t>(0, endedMs - startedMs)) / 1000);
    out << "<runstats><finished time=\"" << endedMs / 1000 << "\" timestr=\"" << timeText(endedMs) << "\" summary=\""
        << addresses << " IP addresses (" << up << " hosts up) swept in " << elapsed << " seconds\" elapsed=\""
        << elapsed << "\" exit=\"success\"/><hosts up=\"" << up << "\" down=\"" << addresses - up << "\" total=\""
        << addresses << "\"/>\n</runstats>\n</nmaprun>\n";
}
