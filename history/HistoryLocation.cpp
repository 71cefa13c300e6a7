#include "HistoryLocation.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>

namespace {
// A relative $XDG_DATA_HOME counts as unset, as the desktop's base directory rules have it.
std::string dataHome()
{
    const char *xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/')
        return xdg;
    const char *home = std::getenv("HOME");
    if (home && home[0] == '/')
        return std::string(home) + "/.local/share";
    return std::string();
}
} // namespace

std::string HistoryLocation::defaultFile()
{
    const std::string home = dataHome();
    return home.empty() ? home : home + "/tozelo/" + FileName;
}

void HistoryLocation::makeFolderOf(const std::string &file)
{
    for (size_t slash = file.find('/', 1); slash != std::string::npos; slash = file.find('/', slash + 1))
        if (mkdir(file.substr(0, slash).c_str(), 0700) != 0 && errno != EEXIST)
            return; // opening the file then says why
}
