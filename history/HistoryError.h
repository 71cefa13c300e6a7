#pragma once
#include <stdexcept>
#include <string>

// The history file cannot be used: its text names the file and the reason, for a report that lets
// the program go on without history. Each is kept apart too, for a report in another language.
class HistoryError : public std::runtime_error {
public:
    HistoryError(const std::string &file, const std::string &reason)
        : std::runtime_error("The history " + file + " cannot be used: " + reason), m_file(file), m_reason(reason)
    {
    }

    const std::string &file() const { return m_file; }
    const std::string &reason() const { return m_reason; }

private:
    std::string m_file;
    std::string m_reason;
};
