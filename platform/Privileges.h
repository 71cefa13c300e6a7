#pragma once
#include <sys/socket.h>

// A program may be given CAP_NET_RAW for one thing: raw ICMP and ICMPv6 sockets where the system
// refuses unprivileged datagram ones. It needs the capability only to open them, so it opens them
// first, before anything loads code by name (Qt's plugins, the resolver's modules), and then gives up
// every capability for good. Raw sockets are then taken from those opened in advance.
class Privileges {
public:
    // Opens up to rawSockets raw sockets of each family, ICMP and ICMPv6, only for a family whose
    // datagram sockets are refused and where the capability is there, then drops every capability
    // and sets no-new-privileges. Must run before any other thread starts (capabilities belong to a
    // thread). Throws std::runtime_error when a capability cannot be given up: the program must not
    // go on holding it.
    static void reserveRawSocketsAndDrop(int rawSockets);

    // A raw ICMP (AF_INET) or ICMPv6 (AF_INET6) socket opened in advance, with nothing queued on it;
    // -1 when none is left.
    static int takeRawSocket(int family = AF_INET);
    // Reserves fd, a raw socket of either family that another copy of this code in the process opened
    // in advance and took (the command line hands its own to the library of its commands), for takers here.
    static void adoptRawSocket(int fd);
    // Takes back a socket takeRawSocket() handed out, quiet again and with its options as opened, for
    // the next taker: no other could be opened in its place. False for any other fd, left as it is.
    static bool giveBackRawSocket(int fd);
};
