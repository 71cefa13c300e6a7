#pragma once
#include <string>

// Files of the program's own, found from where the running program is (/proc/self/exe), never
// through PATH or the environment: once installed, at a place relative to the program's folder; in
// the build tree, beside the program.
namespace ProgramFiles {

// The installed file (installedFromProgram, relative to the program's folder), unless it is missing
// and builtName is beside the program.
std::string find(const std::string &installedFromProgram, const std::string &builtName);

} // namespace ProgramFiles
