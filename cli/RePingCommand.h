#pragma once
#include "CommandLine.h"
#include "flows/MachineListFile.h"

#include <ostream>
#include <string>

// `tozelo-cli reping FILE`: walks a machine list file as the re-ping dialog does, its log lines
// written to out.
class RePingCommand {
public:
    // Reads and checks every argument and loads the file; CommandLine::UsageError when an argument
    // is wrong, std::runtime_error when the file cannot be loaded.
    explicit RePingCommand(const CommandLine &args);

    // The exit status: 0 when the walk has ended, 3 when the file holds no line (the retry
    // command's message then goes to err).
    int run(std::ostream &out, std::ostream &err) const;

private:
    int m_timeout;
    int m_passes;
    int m_size;
    int m_ttl;
    int m_downAfter;
    std::string m_history;
    MachineListFile m_list; // read once every option has been checked
};
