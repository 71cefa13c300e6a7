#include "ProgramFiles.h"

#include <unistd.h>

#include <algorithm>
#include <climits>

namespace ProgramFiles {

std::string find(const std::string &installedFromProgram, const std::string &builtName)
{
    char self[PATH_MAX] = {};
    const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    const std::string program(self, size_t(std::max<ssize_t>(0, length)));
    const std::string folder = program.substr(0, program.rfind('/') + 1);
    const std::string installed = folder + installedFromProgram;
    const std::string built = folder + builtName;
    return access(installed.c_str(), F_OK) != 0 && access(built.c_str(), F_OK) == 0 ? built : installed;
}

} // namespace ProgramFiles
