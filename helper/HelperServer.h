#pragma once
#include "platform/HelperProtocol.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

class EchoChannel;
class IcmpSocket;

// One run of tozelo-icmp for the client at the other end of its channel: the client's Open, the
// socket it asks for, the lockdown, the answer, then the client's requests and the packets that
// answer them, until the client closes its end.
class HelperServer {
public:
    explicit HelperServer(int channel);
    // The program's exit status.
    int run();

    // The family (AF_INET or AF_INET6) of a whole Open of this version for a purpose this helper
    // serves, with no setting; none for anything else.
    static std::optional<int> familyToOpen(const uint8_t *message, size_t length);

private:
    int serve(const IcmpSocket &socket, EchoChannel &channel);
    int serveSweep(int family, const HelperProtocol::SweepOpen &settings);
    int serveArp(const HelperProtocol::ArpOpen &settings);
    // False once the client has closed its end.
    bool answerRequest(EchoChannel &channel);
    void forwardPackets(EchoChannel &channel);

    const int m_channel;
    std::vector<uint8_t> m_record;
};
