#pragma once
#include <sys/socket.h>

// A program run by root holds every capability, and one may have been given CAP_NET_RAW. Nothing
// that loads code by name (Qt's plugins, the resolver's modules) may run while it holds one, so it
// gives them up first thing. Echo sessions never need them here: where ICMP datagram sockets are
// refused, their raw sockets are the privileged helper's (tozelo-icmp). The sweep still opens its raw
// sockets before the capabilities go and takes them from that reserve.
class Privileges {
public:
    // What a program that has given up its capabilities still starts.
    enum class Starts { Nothing, Helper };

    // Opens up to rawSockets raw sockets of each family, ICMP and ICMPv6, only for a family whose
    // datagram sockets are refused and where the capability is there.
    static void reserveRawSockets(int rawSockets);
    // Gives up every capability for good: the bounding set too where CAP_SETPCAP allows it, and sets
    // no-new-privileges. A program that starts the helper keeps, where datagram sockets are refused,
    // what the helper needs to gain its capability as it starts: CAP_NET_RAW and CAP_SETPCAP in the
    // bounding set (for a helper of root's), and no no-new-privileges, which would keep the helper's
    // file capability from taking effect. Must run before any other thread starts (capabilities
    // belong to a thread). Throws std::runtime_error when a capability cannot be given up: the program
    // must not go on holding it.
    static void dropEveryCapability(Starts starts);

    // A raw ICMP (AF_INET) or ICMPv6 (AF_INET6) socket opened in advance, with nothing queued on it;
    // -1 when none is left.
    static int takeRawSocket(int family = AF_INET);
    // Takes back a socket takeRawSocket() handed out, quiet again and with its options as opened, for
    // the next taker: no other could be opened in its place. False for any other fd, left as it is.
    static bool giveBackRawSocket(int fd);
};
