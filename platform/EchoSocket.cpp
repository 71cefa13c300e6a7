#include "EchoSocket.h"

#include "IcmpTypes.h"

#include <cerrno>

EchoSocket::~EchoSocket() = default;

uint32_t EchoSocket::statusOfSendError(int error, uint32_t, uint16_t, uint16_t)
{
    return statusOfErrno(error);
}

uint32_t EchoSocket::statusOfErrno(int error)
{
    switch (error) {
    case EMSGSIZE: return IP_PACKET_TOO_BIG;
    case ENETUNREACH: return IP_DEST_NET_UNREACHABLE;
    case EHOSTUNREACH: return IP_DEST_HOST_UNREACHABLE;
    default: return IP_GENERAL_FAILURE;
    }
}
