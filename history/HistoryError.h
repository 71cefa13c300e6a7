#pragma once
#include <stdexcept>
#include <string>

// The history file cannot be used: its text names the file and the reason, for a report that lets
// the program go on without history.
class HistoryError : public std::runtime_error {
public:
    HistoryError(const std::string &file, const std::string &reason)
        : std::runtime_error("The history " + file + " cannot be used: " + reason)
    {
    }
};
