#include "SweepReport.h"

#include "icmp.h"
#include "platform/IcmpTypes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <cstdio>

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

void SweepReport::writeText(std::ostream &out) const
{
    uint64_t count = 0;
    for (const Answer &answer : answers) {
        if (!answered(answer)) {
            const std::string from = errorFrom(answer);
            out << answer.address.toString() << ' ' << TICMP::ErrorTextOf(int(answer.status))
                << (from.empty() ? "" : " from " + from) << '\n';
            continue;
        }
        out << answer.address.toString() << ' ' << milliseconds(answer.rttMs) << " ms";
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
        out << answer.address.toString() << ',';
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
        const QString address = qText(answer.address.toString());
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
        if (!answer.from.isNull())
            error.insert("from", qText(answer.from.toString()));
        errors.append(error);
    }
    QJsonArray unsentList;
    for (const Sweep::Unsent &each : unsent) {
        QJsonArray first;
        for (const IpAddress &address : each.first)
            first.append(qText(address.toString()));
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
