#include "EchoTerms.h"

#include "platform/IcmpTypes.h"

#include <algorithm>
#include <cstring>

namespace EchoTerms {

std::vector<uint8_t> payloadOf(int size)
{
    std::vector<uint8_t> payload(static_cast<size_t>(std::max(size, 0)), ' ');
    const size_t textLength = std::min(payload.size(), std::strlen(PayloadText));
    std::copy_n(PayloadText, textLength, payload.begin());
    return payload;
}

std::string errorText(int code)
{
    switch (code) {
    case IP_SUCCESS: return "No error";
    case IP_BUF_TOO_SMALL: return "Buffer too small";
    case IP_DEST_NET_UNREACHABLE: return "Destination network unreachable";
    case IP_DEST_HOST_UNREACHABLE: return "Destination host unreachable";
    case IP_DEST_PROT_UNREACHABLE: return "Destination protocol unreachable";
    case IP_DEST_PORT_UNREACHABLE: return "Destination port unreachable";
    case IP_NO_RESOURCES: return "No resources";
    case IP_BAD_OPTION: return "Bad option";
    case IP_HW_ERROR: return "Hardware error";
    case IP_PACKET_TOO_BIG: return "Packet too big";
    case IP_REQ_TIMED_OUT: return "Request timed out";
    case IP_BAD_REQ: return "Bad request";
    case IP_BAD_ROUTE: return "Bad route";
    case IP_TTL_EXPIRED_TRANSIT: return "TTL expired in transit";
    case IP_TTL_EXPIRED_REASSEM: return "TTL expired in reassembly";
    case IP_PARAM_PROBLEM: return "Parameter problem";
    case IP_SOURCE_QUENCH: return "Source quench";
    case IP_OPTION_TOO_BIG: return "Option too big";
    case IP_BAD_DESTINATION: return "Bad Destination";
    case IP_ADDR_DELETED: return "Address deleted";
    case IP_SPEC_MTU_CHANGE: return "Spec MTU change";
    case IP_MTU_CHANGE: return "MTU change";
    case IP_GENERAL_FAILURE: return "General failure";
    case IP_PENDING: return "Pending";
    default: return "ICMP error #" + std::to_string(code);
    }
}

} // namespace EchoTerms
