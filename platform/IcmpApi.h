#pragma once
#include "EchoSocket.h"
#include "IcmpTypes.h"

#include <cstdint>
#include <functional>
#include <memory>

struct sockaddr_in6;

// The ICMP helper module: the three echo operations and the last-error value, over Linux ICMP
// sockets. The module is "loaded" by name and its operations are looked up by name, so that
// every way a session's set-up can fail is a real step that tests can make fail.
namespace IcmpApi {

using HMODULE = void *;
using HANDLE = intptr_t;
constexpr HANDLE INVALID_HANDLE_VALUE = -1;

// An echo handle for IPv4 (IcmpCreateFile) or IPv6 (Icmp6CreateFile); IcmpCloseHandle closes either.
using IcmpCreateFileFn = HANDLE (*)();
using Icmp6CreateFileFn = HANDLE (*)();
using IcmpCloseHandleFn = bool (*)(HANDLE);
// Blocks until the reply to this request, an ICMP error quoting it, or the time-out. Returns the
// number of reply records written to replyBuffer (0 or 1); on 0 GetLastError() gives the IP_STATUS.
using IcmpSendEchoFn = uint32_t (*)(HANDLE, uint32_t destination, const void *requestData, uint16_t requestSize,
                                    const IP_OPTION_INFORMATION *options, void *replyBuffer, uint32_t replySize,
                                    uint32_t timeoutMs);
// The same over IPv6, on a handle of Icmp6CreateFile: destination is AF_INET6, with the zone a
// link-local address needs; the record written is an ICMPV6_ECHO_REPLY, its Options.Ttl the reply's
// hop limit, and options->Ttl the request's.
using Icmp6SendEchoFn = uint32_t (*)(HANDLE, const sockaddr_in6 *destination, const void *requestData,
                                     uint16_t requestSize, const IP_OPTION_INFORMATION *options, void *replyBuffer,
                                     uint32_t replySize, uint32_t timeoutMs);

constexpr const char *LibraryName = "icmp.dll";

HMODULE LoadLibraryA(const char *name); // nullptr when no module of that name exists
void *GetProcAddress(HMODULE module, const char *name);
void FreeLibrary(HMODULE module);

// The calling thread's last error, shared with the sockets stand-ins.
uint32_t GetLastError();
void SetLastError(uint32_t code);

// What the calling thread does while one of its requests is awaited: the wait is cut into turns of
// at most sliceMs, and the thread runs betweenTurns after each. Unset (the default): one plain wait.
void SetWaitTurns(int sliceMs, std::function<void()> betweenTurns);

using SocketKind = EchoSocket::Kind;

// Which socket an open echo handle uses (for tests and diagnostics).
SocketKind socketKindOf(HANDLE handle);

// Seams for tests: never read by the shipped program from its environment.
namespace Testing {
struct Faults {
    bool failLoadLibrary = false;
    const char *missingEntry = nullptr; // an entry point name that GetProcAddress will not find
    bool failCreateFile = false;
};
Faults &faults();

// Where echo handles get their sockets from, given the family (AF_INET or AF_INET6) and whether a
// datagram socket may be used (else the helper's); unset: real ICMP sockets. A handle keeps the
// socket it got until it is closed.
using SocketFactory = std::function<std::unique_ptr<EchoSocket>(int family, bool allowDatagram)>;
SocketFactory &sockets();
} // namespace Testing

} // namespace IcmpApi
