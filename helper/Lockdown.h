#pragma once
#include "platform/HelperProtocol.h"

// What the helper gives up for good once its socket is open, before it reads a request: every
// capability (its bounding set too, where it may empty that), any way to gain one
// (no-new-privileges), being attached to or having its descriptors taken by another process of the
// same user (not dumpable), and every system call but the few that serving a client takes.
class Lockdown {
public:
    // Throws std::runtime_error when any of it fails: the helper must not serve then.
    static void apply(HelperProtocol::Purpose purpose);
};
