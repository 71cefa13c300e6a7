#include "HistoryTime.h"

#include <cstdio>
#include <ctime>

namespace {
constexpr int64_t SecondMs = 1000;

std::optional<int64_t> spanBack(const std::string &text, int64_t nowMs)
{
    static const struct {
        char unit;
        int64_t ms;
    } units[] = {{'s', SecondMs}, {'m', 60 * SecondMs}, {'h', 3600 * SecondMs}, {'d', 86400 * SecondMs}};
    unsigned long long count = 0;
    char unit = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "%9llu%c%n", &count, &unit, &used) != 2 || used != static_cast<int>(text.size()) ||
        text[0] < '0' || text[0] > '9')
        return std::nullopt;
    for (const auto &u : units)
        if (u.unit == unit)
            return nowMs - static_cast<int64_t>(count) * u.ms;
    return std::nullopt;
}

std::optional<int64_t> dateTime(const std::string &text)
{
    std::tm fields{};
    int millis = 0;
    int used = 0;
    const char *s = text.c_str();
    if (std::sscanf(s, "%4d-%2d-%2d%n", &fields.tm_year, &fields.tm_mon, &fields.tm_mday, &used) != 3 || used != 10)
        return std::nullopt;
    size_t at = 10;
    if (at < text.size() && (text[at] == 'T' || text[at] == ' ')) {
        if (std::sscanf(s + at + 1, "%2d:%2d%n", &fields.tm_hour, &fields.tm_min, &used) != 2 || used != 5)
            return std::nullopt;
        at += 6;
        if (at < text.size() && text[at] == ':') {
            if (std::sscanf(s + at + 1, "%2d%n", &fields.tm_sec, &used) != 1 || used != 2)
                return std::nullopt;
            at += 3;
            if (at < text.size() && text[at] == '.') {
                if (std::sscanf(s + at + 1, "%3d%n", &millis, &used) != 1 || used != 3)
                    return std::nullopt;
                at += 4;
            }
        }
        if (at < text.size() && text[at] == 'Z')
            ++at;
    }
    if (at != text.size() || fields.tm_mon < 1 || fields.tm_mon > 12 || fields.tm_mday < 1 || fields.tm_mday > 31 ||
        fields.tm_hour > 23 || fields.tm_min > 59 || fields.tm_sec > 60)
        return std::nullopt;
    fields.tm_year -= 1900;
    fields.tm_mon -= 1;
    return static_cast<int64_t>(timegm(&fields)) * SecondMs + millis;
}
} // namespace

std::string HistoryTime::text(int64_t ms)
{
    const time_t seconds = static_cast<time_t>(ms >= 0 ? ms / SecondMs : (ms - SecondMs + 1) / SecondMs);
    std::tm fields{};
    gmtime_r(&seconds, &fields);
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", fields.tm_year + 1900,
                  fields.tm_mon + 1, fields.tm_mday, fields.tm_hour, fields.tm_min, fields.tm_sec,
                  static_cast<int>(ms - static_cast<int64_t>(seconds) * SecondMs));
    return buffer;
}

std::optional<int64_t> HistoryTime::parse(const std::string &text, int64_t nowMs)
{
    if (text.empty())
        return std::nullopt;
    if (auto back = spanBack(text, nowMs))
        return back;
    return dateTime(text);
}
