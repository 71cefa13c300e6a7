#include "SweepReport.h"

#include "echo/EchoTerms.h"
#include "echo/TextFields.h"
#include "platform/IcmpTypes.h"

#include <algorithm>
#include <arpa/inet.h>
#include <charconv>
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
    return answer.from.toString();
}

// A name as a person or a program reads it safely: the control characters (C0, DEL, C1), which a
// terminal may act on, written as the resolver writes them in a name, \DDD for each byte.
std::string printable(const std::string &text)
{
    const std::string valid = TextFields::utf8(text);
    std::string shown;
    for (size_t i = 0; i < valid.size(); ++i) {
        const auto byte = uint8_t(valid[i]);
        const bool c1 = byte == 0xC2 && i + 1 < valid.size() && uint8_t(valid[i + 1]) < 0xA0;
        if (byte >= 0x20 && byte != 0x7F && !c1) {
            shown += char(byte);
            continue;
        }
        for (size_t k = i; k <= i + (c1 ? 1 : 0); ++k) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\%03u", unsigned(uint8_t(valid[k])));
            shown += escaped;
        }
        i += c1 ? 1 : 0;
    }
    return shown;
}

// The shortest text that reads back as the same number: 12 for 12.0, 0.123.
std::string jsonNumber(double value)
{
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

// Keys in alphabetical order, as a JSON library sorts them, so that the bytes stay the same. A host
// that answered carries its name when one is given.
std::string jsonOf(const Answer &answer, const std::string *name = nullptr)
{
    const std::string address = "{\"address\":" + TextFields::json(answer.address.toString());
    if (answered(answer))
        return address + (name ? ",\"name\":" + TextFields::json(*name) : std::string()) +
               ",\"rtt_ms\":" + jsonNumber(std::round(answer.rttMs * 1000) / 1000) + "}";
    return address + ",\"error\":" + TextFields::json(EchoTerms::errorText(int(answer.status))) +
           (!answer.from.isNull() ? ",\"from\":" + TextFields::json(answer.from.toString()) : std::string()) +
           ",\"status\":" + std::to_string(answer.status) + "}";
}

std::string jsonOf(const std::vector<Sweep::Unsent> &unsent)
{
    std::string list;
    for (const Sweep::Unsent &each : unsent) {
        std::string first;
        for (const IpAddress &address : each.first)
            first += std::string(first.empty() ? "" : ",") + TextFields::json(address.toString());
        list += std::string(list.empty() ? "" : ",") + "{\"count\":" + std::to_string(each.count) +
                ",\"error\":" + TextFields::json(EchoTerms::errorText(int(each.status))) + ",\"first\":[" + first +
                "],\"status\":" + std::to_string(each.status) + "}";
    }
    return "[" + list + "]";
}

// Control characters have no place in XML 1.0, even escaped.
std::string xmlText(const std::string &text)
{
    std::string escaped;
    for (const char c : TextFields::utf8(text)) {
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

std::string SweepReport::nameOf(const IpAddress &address) const
{
    const auto found = names.find(address);
    return found != names.end() ? found->second : std::string();
}

// JSON has escapes of its own and keeps the name as it is.
std::string SweepReport::shownName(const IpAddress &address) const
{
    return printable(nameOf(address));
}

void SweepReport::writeText(std::ostream &out) const
{
    uint64_t count = 0;
    for (const Answer &answer : answers) {
        if (!answered(answer)) {
            const std::string from = errorFrom(answer);
            out << answer.address.toString() << ' ' << EchoTerms::errorText(int(answer.status))
                << (from.empty() ? "" : " from " + from) << '\n';
            continue;
        }
        out << answer.address.toString() << ' ' << milliseconds(answer.rttMs) << " ms";
        const std::string name = withNames ? shownName(answer.address) : std::string();
        out << (name.empty() ? "" : " " + name) << '\n';
        ++count;
    }
    out << count << " of " << addresses << " addresses answered\n";
}

void SweepReport::writeCsv(std::ostream &out) const
{
    out << "address,rtt_ms,error,error_from" << (withNames ? ",name" : "") << '\n';
    for (const Answer &answer : answers) {
        out << answer.address.toString() << ',';
        if (answered(answer))
            out << milliseconds(answer.rttMs) << ",,";
        else
            out << ',' << TextFields::csv(EchoTerms::errorText(int(answer.status))) << ',' << errorFrom(answer);
        if (withNames)
            out << ',' << TextFields::csv(answered(answer) ? shownName(answer.address) : std::string());
        out << '\n';
    }
}

void SweepReport::writeJson(std::ostream &out) const
{
    std::string errors;
    std::string replies;
    for (const Answer &answer : answers) {
        const std::string name = withNames ? nameOf(answer.address) : std::string();
        std::string &list = answered(answer) ? replies : errors;
        list += (list.empty() ? "" : ",") + jsonOf(answer, withNames ? &name : nullptr);
    }
    out << "{\"addresses\":" << addresses << ",\"dropped\":" << dropped << ",\"errors\":[" << errors
        << "],\"replies\":[" << replies << "],\"requests\":" << requests << ",\"unsent\":" << jsonOf(unsent) << "}\n";
}

std::string SweepReport::jsonLineOf(const Answer &answer)
{
    return jsonOf(answer) + "\n";
}

void SweepReport::writeJsonLinesEnd(std::ostream &out) const
{
    for (const Answer &answer : answers)
        if (withNames && answered(answer))
            out << "{\"address\":" << TextFields::json(answer.address.toString())
                << ",\"name\":" << TextFields::json(nameOf(answer.address)) << "}\n";
    out << "{\"addresses\":" << addresses << ",\"dropped\":" << dropped << ",\"requests\":" << requests
        << ",\"stopped\":" << (stoppedBy.empty() ? "false" : "true") << ",\"unsent\":" << jsonOf(unsent) << "}\n";
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
            << "\" reason_ttl=\"0\"/>\n<address addr=\"" << answer.address.toString() << "\" addrtype=\""
            << (answer.address.isV6() ? "ipv6" : "ipv4") << "\"/>\n";
        const std::string name = isUp && withNames ? shownName(answer.address) : std::string();
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
        << elapsed
        << (stoppedBy.empty() ? "\" exit=\"success\""
                              : "\" exit=\"error\" errormsg=\"stopped by " + xmlText(stoppedBy) + "\"")
        << "/><hosts up=\"" << up << "\" down=\"" << addresses - up << "\" total=\"" << addresses
        << "\"/>\n</runstats>\n</nmaprun>\n";
}
