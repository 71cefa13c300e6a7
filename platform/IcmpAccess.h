#pragma once

// Who holds this process's ICMP sockets: the process itself, on unprivileged datagram sockets, where
// the system lets this user's group open them (net.ipv4.ping_group_range); else the privileged helper.
// The echo sessions, the sweep and the giving up of privileges ask it alike.
namespace IcmpAccess {

// Whether this process may open ICMP datagram sockets of the family (AF_INET or AF_INET6).
bool datagramAllowed(int family);
// Whether they are refused for want of permission (not for want of the family in the kernel): the
// helper then holds the raw sockets.
bool helperNeeded(int family);

// A seam for tests, never read by the shipped program from its environment: as if datagram sockets
// were refused, so that the helper holds every ICMP socket.
namespace Testing {
bool &helperOnly();
} // namespace Testing

} // namespace IcmpAccess
