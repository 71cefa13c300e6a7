#include "CommandLine.h"

#include "echo/MachineListWriter.h"
#include "echo/Notation.h"

#include <algorithm>
#include <iterator>
#include <optional>

CommandLine::CommandLine(const std::vector<std::string> &args, const std::vector<std::string> &knownOptions,
                         const std::vector<std::string> &knownFlags)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        const bool letter = arg.size() == 2 && arg[0] == '-' &&
                            (known(knownOptions, arg.substr(1)) || known(knownFlags, arg.substr(1)));
        if (!letter && (arg.rfind("--", 0) != 0 || arg == "--")) {
            m_positional.push_back(arg);
            continue;
        }
        std::string name = arg.substr(letter ? 1 : 2);
        const size_t equals = name.find('=');
        const bool inlineValue = equals != std::string::npos;
        std::string value = inlineValue ? name.substr(equals + 1) : std::string();
        if (inlineValue)
            name.erase(equals);
        if (known(knownFlags, name)) {
            if (inlineValue)
                throw UsageError("option " + std::string(letter ? "-" : "--") + name + " takes no value");
            m_options.emplace(name, std::string());
            continue;
        }
        if (!known(knownOptions, name))
            throw UsageError("unknown option --" + name);
        if (!inlineValue) {
            if (i + 1 >= args.size())
                throw UsageError("option " + std::string(letter ? "-" : "--") + name + " needs a value");
            value = args[++i];
        }
        m_options.emplace(name, value);
    }
}

bool CommandLine::known(const std::vector<std::string> &names, const std::string &name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
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
    if (!has(name))
        return fallback;
    const std::string value = text(name, std::string());
    const std::optional<int> number = Notation::wholeNumber(value);
    if (!number)
        throw UsageError("--" + name + " needs a whole number, not '" + value + "'");
    return *number;
}

int CommandLine::positive(const std::string &name, int fallback) const
{
    const int value = integer(name, fallback);
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
