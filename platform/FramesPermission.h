#pragma once
#include <string>
#include <sys/types.h>
#include <vector>

// Frames go out past this host's firewall, so sending them is the administrator's choice: allowed
// for root and for the members of one group, which the package creates.
class FramesPermission {
public:
    static constexpr const char *Group = "tozelo-frames";

    // Empty when a user of that real uid and those groups may send frames, given the text of the group
    // file; else why not, and how to allow it.
    static std::string refusal(uid_t uid, const std::vector<gid_t> &groups, const std::string &groupFile);
    // The same for this process, from /etc/group (read as a file: nothing is loaded by name).
    static std::string refusalForThisProcess();
};
