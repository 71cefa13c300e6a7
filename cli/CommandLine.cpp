#include "CommandLine.h"

#include "echo/MachineListWriter.h"
#include "echo/Notation.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <iterator>
#include <optional>

CommandLine::CommandLine(const std::vector<std::string> &args, const std::vector<std::string> &knownOptions,
                         const std::vector<std::string> &knownFlags, const std::vector<std::string> &knownLists)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        // No target, host or file starts with a dash, so a word that does is an option, known or not.
        const bool single = arg.size() > 1 && arg[0] == '-' && arg[1] != '-';
        if (!single && (arg.rfind("--", 0) != 0 || arg == "--")) {
            m_positional.push_back(arg);
            continue;
        }
        std::string name = arg.substr(single ? 1 : 2);
        const size_t equals = name.find('=');
        const bool inlineValue = equals != std::string::npos;
        std::string value = inlineValue ? name.substr(equals + 1) : std::string();
        if (inlineValue)
            name.erase(equals);
        const std::string shown = (single ? "-" : "--") + name;
        if (known(knownFlags, name)) {
            if (inlineValue)
                throw UsageError("option " + shown + " takes no value");
            m_options.emplace(name, std::string());
            continue;
        }
        if (known(knownLists, name)) {
            if (!inlineValue && i + 1 < args.size() && numberList(args[i + 1]))
                value = args[++i];
            m_options.emplace(name, value);
            continue;
        }
        if (!known(knownOptions, name))
            throw UsageError("unknown option '" + shown + "'");
        if (!inlineValue) {
            if (i + 1 >= args.size())
                throw UsageError("option " + shown + " needs a value");
            value = args[++i];
        }
        m_options.emplace(name, value);
    }
}

bool CommandLine::known(const std::vector<std::string> &names, const std::string &name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool CommandLine::numberList(const std::string &word)
{
    return !word.empty() && word.find_first_not_of("0123456789,-") == std::string::npos &&
           std::isdigit(static_cast<unsigned char>(word[0]));
}

std::string CommandLine::text(const std::string &name, const std::string &fallback) const
{
    const auto [first, end] = m_options.equal_range(name);
    return first == end ? fallback : std::prev(end)->second;
}

std::vector<std::string> CommandLine::texts(const std::string &name) const
{
    std::vector<std::string> values;
    const auto [first, end] = m_options.equal_range(name);
    for (auto each = first; each != end; ++each)
        values.push_back(each->second);
    return values;
}

int CommandLine::integer(const std::string &name, int fallback) const
{
    return scaled(name, fallback, {}, "a whole number");
}

int CommandLine::milliseconds(const std::string &name, int fallback) const
{
    // "ms" before "s", which it ends in.
    return scaled(name, fallback, {{"ms", 1}, {"s", 1000}}, "a time such as 500, 500ms or 2s");
}

int CommandLine::perSecond(const std::string &name, int fallback) const
{
    return scaled(name, fallback, {{"k", 1000}, {"M", 1000000}}, "a rate such as 5000, 10k or 1M");
}

int CommandLine::scaled(const std::string &name, int fallback, const std::vector<Unit> &units,
                        const std::string &wanted) const
{
    if (!has(name))
        return fallback;
    const std::string value = text(name, std::string());
    std::string_view digits = value;
    int factor = 1;
    for (const Unit &unit : units)
        if (digits.size() > unit.suffix.size() && digits.substr(digits.size() - unit.suffix.size()) == unit.suffix) {
            digits.remove_suffix(unit.suffix.size());
            factor = unit.factor;
            break;
        }
    const std::optional<int> number = Notation::wholeNumber(digits);
    if (!number || *number > INT_MAX / factor || *number < INT_MIN / factor)
        throw UsageError("--" + name + " needs " + wanted + ", not '" + value + "'");
    return *number * factor;
}

int CommandLine::positive(const std::string &name, int value)
{
    if (value < 1)
        throw UsageError("--" + name + " must be at least 1");
    return value;
}

std::string CommandLine::writableFile(const std::string &name) const
{
    if (!has(name))
        return std::string();
    const std::string fileName = text(name, std::string());
    const std::string shown = (name.size() == 1 ? "-" : "--") + name;
    if (fileName.empty())
        throw UsageError(shown + " needs a file name");
    const std::string refusal = MachineListWriter::whyNotWritable(fileName);
    if (!refusal.empty())
        throw UsageError(shown + ": cannot create file " + fileName + ": " + refusal);
    return fileName;
}
