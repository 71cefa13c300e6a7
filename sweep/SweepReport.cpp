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
#include <set>

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

// How a host was found, its hardware address and maker, as the keys that follow "address".
std::string jsonOf(const HostPresence &presence)
{
    return ",\"found_by\":" + TextFields::json(presence.foundBy()) + ",\"mac\":" + TextFields::json(presence.hardware) +
           ",\"maker\":" + TextFields::json(presence.maker);
}

// Keys in alphabetical order, as a JSON library sorts them, so that the bytes stay the same. A host
// that answered carries how it was found and its name when they are given.
std::string jsonOf(const Answer &answer, const std::string *name = nullptr, const HostPresence *presence = nullptr)
{
    const std::string address = "{\"address\":" + TextFields::json(answer.address.toString());
    if (answered(answer))
        return address + (presence ? jsonOf(*presence) : std::string()) +
               (name ? ",\"name\":" + TextFields::json(*name) : std::string()) +
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

// The reasons port scanners give for a host found by other means than echo.
std::string reasonOf(const HostPresence &presence)
{
    switch (presence.method) {
    case HostPresence::Method::Arp: return "arp-response";
    case HostPresence::Method::Nd: return "nd-response";
    case HostPresence::Method::Tcp: return presence.reset ? "reset" : "syn-ack";
    default: return "echo-reply";
    }
}

// A host that answered echo and of which nothing more is known.
const HostPresence *echoAlone()
{
    static const HostPresence presence;
    return &presence;
}

} // namespace

bool SweepReport::Row::up() const
{
    return presence != nullptr || (answer != nullptr && answered(*answer));
}

std::vector<SweepReport::Row> SweepReport::rows() const
{
    std::vector<Row> rows;
    for (const Answer &answer : answers) {
        const auto found = presence.find(answer.address);
        const HostPresence *known = withPresence && found != presence.end() ? &found->second : nullptr;
        rows.push_back({answer.address, &answer, known || !withPresence || !answered(answer) ? known : echoAlone()});
    }
    if (!withPresence)
        return rows;
    std::set<IpAddress> heard;
    for (const Answer &answer : answers)
        heard.insert(answer.address);
    for (const auto &[address, found] : presence)
        if (heard.count(address) == 0)
            rows.push_back({address, nullptr, &found});
    std::stable_sort(rows.begin(), rows.end(), [](const Row &a, const Row &b) { return a.address < b.address; });
    return rows;
}

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

// How a host was found, its hardware address and maker, after what echo told of it.
std::string SweepReport::presenceText(const HostPresence *found)
{
    if (found == nullptr)
        return std::string();
    return " by " + found->foundBy() + (found->hardware.empty() ? "" : " " + found->hardware) +
           (found->maker.empty() ? "" : " " + printable(found->maker));
}

void SweepReport::writeText(std::ostream &out) const
{
    uint64_t count = 0;
    uint64_t more = 0;
    for (const Row &row : rows()) {
        out << row.address.toString();
        if (row.answer != nullptr && answered(*row.answer)) {
            out << ' ' << milliseconds(row.answer->rttMs) << " ms";
            ++count;
        } else if (row.answer != nullptr) {
            const std::string from = errorFrom(*row.answer);
            out << ' ' << EchoTerms::errorText(int(row.answer->status)) << (from.empty() ? "" : " from " + from);
        }
        more += row.up() && (row.answer == nullptr || !answered(*row.answer)) ? 1 : 0;
        const std::string name = withNames && row.up() ? shownName(row.address) : std::string();
        out << (name.empty() ? "" : " " + name) << presenceText(row.presence) << '\n';
    }
    out << count << " of " << addresses << " addresses answered"
        << (withPresence ? ", " + std::to_string(more) + " more found without echo" : std::string()) << '\n';
}

void SweepReport::writeCsv(std::ostream &out) const
{
    out << "address,rtt_ms,error,error_from" << (withNames ? ",name" : "")
        << (withPresence ? ",found_by,mac,maker" : "") << '\n';
    for (const Row &row : rows()) {
        out << row.address.toString() << ',';
        if (row.answer != nullptr && answered(*row.answer))
            out << milliseconds(row.answer->rttMs) << ",,";
        else if (row.answer != nullptr)
            out << ',' << TextFields::csv(EchoTerms::errorText(int(row.answer->status))) << ','
                << errorFrom(*row.answer);
        else
            out << ",,";
        if (withNames)
            out << ',' << TextFields::csv(row.up() ? shownName(row.address) : std::string());
        if (withPresence) {
            const HostPresence none;
            const HostPresence &found = row.presence ? *row.presence : none;
            out << ',' << (row.presence ? found.foundBy() : "") << ',' << found.hardware << ','
                << TextFields::csv(printable(found.maker));
        }
        out << '\n';
    }
}

void SweepReport::writeJson(std::ostream &out) const
{
    std::string errors;
    std::string replies;
    std::string present;
    for (const Row &row : rows()) {
        const std::string name = withNames ? nameOf(row.address) : std::string();
        if (row.answer != nullptr) {
            std::string &list = answered(*row.answer) ? replies : errors;
            list += (list.empty() ? "" : ",") +
                    jsonOf(*row.answer, withNames ? &name : nullptr, answered(*row.answer) ? row.presence : nullptr);
        }
        if (row.presence != nullptr && (row.answer == nullptr || !answered(*row.answer)))
            present += (present.empty() ? "" : ",") + presentJson(row, name);
    }
    out << "{\"addresses\":" << addresses << ",\"dropped\":" << dropped << ",\"errors\":[" << errors << "]"
        << (withPresence ? ",\"present\":[" + present + "]" : std::string()) << ",\"replies\":[" << replies
        << "],\"requests\":" << requests << ",\"unsent\":" << jsonOf(unsent) << "}\n";
}

// A host found by other means than echo: its address, how it was found, its name when asked.
std::string SweepReport::presentJson(const Row &row, const std::string &name) const
{
    return "{\"address\":" + TextFields::json(row.address.toString()) + jsonOf(*row.presence) +
           (withNames ? ",\"name\":" + TextFields::json(name) : std::string()) + "}";
}

std::set<IpAddress> SweepReport::hostsAnswered() const
{
    std::set<IpAddress> hosts;
    for (const Sweep::Answer &answer : answers)
        if (answered(answer))
            hosts.insert(answer.address);
    return hosts;
}

std::set<IpAddress> SweepReport::hostsFound() const
{
    std::set<IpAddress> hosts = hostsAnswered();
    for (const auto &found : presence)
        hosts.insert(found.first);
    return hosts;
}

std::string SweepReport::jsonLineOf(const Answer &answer)
{
    return jsonOf(answer) + "\n";
}

// Each host's answer came as it was known: what the end adds is the name of each host that answered,
// with names, and how each host was found, with presence.
void SweepReport::writeJsonLinesEnd(std::ostream &out) const
{
    for (const Row &row : rows())
        if ((withNames && row.up()) || row.presence != nullptr)
            out << "{\"address\":" << TextFields::json(row.address.toString())
                << (row.presence ? jsonOf(*row.presence) : std::string())
                << (withNames ? ",\"name\":" + TextFields::json(nameOf(row.address)) : std::string()) << "}\n";
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
    for (const Row &row : rows()) {
        const bool echo = row.answer != nullptr && answered(*row.answer);
        const bool isUp = row.up();
        up += isUp ? 1 : 0;
        const std::string reason =
            isUp ? reasonOf(*(row.presence ? row.presence : echoAlone())) : reasonOf(row.answer->status);
        out << "<host><status state=\"" << (isUp ? "up" : "down") << "\" reason=\"" << reason
            << "\" reason_ttl=\"0\"/>\n<address addr=\"" << row.address.toString() << "\" addrtype=\""
            << (row.address.isV6() ? "ipv6" : "ipv4") << "\"/>\n";
        if (row.presence != nullptr && !row.presence->hardware.empty())
            out << "<address addr=\"" << row.presence->hardware << "\" addrtype=\"mac\""
                << (row.presence->maker.empty() ? "" : " vendor=\"" + xmlText(row.presence->maker) + "\"") << "/>\n";
        const std::string name = isUp && withNames ? shownName(row.address) : std::string();
        if (name.empty())
            out << "<hostnames>\n</hostnames>\n";
        else
            out << "<hostnames>\n<hostname name=\"" << xmlText(name) << "\" type=\"PTR\"/>\n</hostnames>\n";
        if (echo) {
            const auto rttUs = int64_t(std::llround(row.answer->rttMs * 1000));
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
