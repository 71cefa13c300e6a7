#include "CommandLine.h"

#include "ping/MachineListFile.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>

CommandLine::CommandLine(const std::vector<std::string> &args, const std::vector<std::string> &knownOptions,
                         const std::vector<std::string> &knownFlags)
{
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (std::find(knownFlags.begin(), knownFlags.end(), arg) != knownFlags.end()) {
            m_flags.insert(arg);
            continue;
        }
        if (arg.rfind("--", 0) != 0 || arg == "--") {
            m_positional.push_back(arg);
            continue;
        }
        std::string name = arg.substr(2);
        const size_t equals = name.find('=');
        const bool inlineValue = equals != std::string::npos;
        std::string value = inlineValue ? name.substr(equals + 1) : std::string();
        if (inlineValue)
            name.erase(equals);
        if (std::find(knownOptions.begin(), knownOptions.end(), name) == knownOptions.end())
            throw UsageError("unknown option --" + name);
        if (!inlineValue) {
            if (i + 1 >= args.size())
                throw UsageError("option --" + name + " needs a value");
            value = args[++i];
        }
        m_options[name] = value;
    }
}

std::string CommandLine::text(const std::string &name, const std::string &fallback) const
{
    const auto found = m_options.find(name);
    return found == m_options.end() ? fallback : found->second;
}

int CommandLine::integer(const std::string &name, int fallback) const
{
    const auto found = m_options.find(name);
    if (found == m_options.end())
        return fallback;
    const std::string &value = found->second;
    char *end = nullptr;
    errno = 0;
    const long number = std::strtol(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || errno == ERANGE || number < INT_MIN || number > INT_MAX ||
        std::isspace(static_cast<unsigned char>(value.front())))
        throw UsageError("--" + name + " needs a whole number, not '" + value + "'");
    return static_cast<int>(number);
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
    if (fileName.empty())
        throw UsageError("--" + name + " needs a file name");
    const QString refusal = MachineListFile::whyNotWritable(QString::fromLocal8Bit(fileName.c_str()));
    if (!refusal.isEmpty())
        throw UsageError("--" + name + ": cannot create file " + fileName + ": " + refusal.toLocal8Bit().toStdString());
    return fileName;
}
