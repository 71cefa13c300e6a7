#pragma once

// A program run by root holds every capability, and one may have been given CAP_NET_RAW. Nothing
// that loads code by name (Qt's plugins, the resolver's modules) may run while it holds one, so it
// gives them up first thing. Neither echo sessions nor sweeps need them here: where ICMP datagram
// sockets are refused, and for frames, their raw and packet sockets are the privileged helper's
// (tozelo-icmp).
class Privileges {
public:
    // What a program that has given up its capabilities still starts.
    enum class Starts { Nothing, Helper };

    // Gives up every capability for good: the bounding set too where CAP_SETPCAP allows it, and sets
    // no-new-privileges. A program that starts the helper keeps, where datagram sockets are refused,
    // what the helper needs to gain its capability as it starts: CAP_NET_RAW and CAP_SETPCAP in the
    // bounding set (for a helper of root's), and no no-new-privileges, which would keep the helper's
    // file capability from taking effect. Must run before any other thread starts (capabilities
    // belong to a thread). Throws std::runtime_error when a capability cannot be given up: the program
    // must not go on holding it.
    static void dropEveryCapability(Starts starts);
};
