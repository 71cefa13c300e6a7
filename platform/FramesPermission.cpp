#include "FramesPermission.h"

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

// The group's id from a line "name:password:gid:members"; false when the file has no such group.
bool groupId(const std::string &groupFile, gid_t &id)
{
    std::istringstream lines(groupFile);
    const std::string prefix = std::string(FramesPermission::Group) + ":";
    for (std::string line; std::getline(lines, line);) {
        if (line.compare(0, prefix.size(), prefix) != 0)
            continue;
        const size_t idStart = line.find(':', prefix.size());
        if (idStart == std::string::npos)
            return false;
        const size_t idEnd = line.find(':', idStart + 1);
        const std::string digits = line.substr(idStart + 1, idEnd - idStart - 1);
        if (digits.empty() || digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        id = gid_t(std::stoull(digits));
        return true;
    }
    return false;
}

} // namespace

std::string FramesPermission::refusal(uid_t uid, const std::vector<gid_t> &groups, const std::string &groupFile)
{
    gid_t id = 0;
    if (uid == 0 || (groupId(groupFile, id) && std::find(groups.begin(), groups.end(), id) != groups.end()))
        return {};
    return std::string("--frames sends past this host's firewall, so only root and the members of the group ") + Group +
           " may use it; an administrator allows a user with 'adduser USER " + Group +
           "' (the user logs in again after)";
}

std::string FramesPermission::refusalForThisProcess()
{
    std::vector<gid_t> groups(size_t(std::max(0, getgroups(0, nullptr))));
    groups.resize(size_t(std::max(0, getgroups(int(groups.size()), groups.data()))));
    groups.push_back(getgid());
    std::ifstream file("/etc/group");
    std::stringstream text;
    text << file.rdbuf();
    return refusal(getuid(), groups, text.str());
}
