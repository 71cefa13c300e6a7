#pragma once
#include "platform/HelperProtocol.h"
#include "sweep/SweepNetwork.h"
#include "sweep/SweepRequests.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// The helper's sweep purpose: one sender of a client's sweep, through the raw socket (and, for
// frames, the link) that it opens while it may. It builds every request itself from a slot and a
// target, with the keyed check under the client's key, reads the answers as they come so that none
// waits in its socket, and hands over only those to its own requests: the answers its socket's
// identifiers name, and the errors that quote its own requests.
class SweepService {
public:
    // The settings of an Open for a sweep, each in range; none where one is not.
    static std::optional<HelperProtocol::SweepOpen> settingsOf(const HelperProtocol::Open &open);

    // Opens the sender's sockets (and link) as the settings say, while the capability is there;
    // null, with what failed in opened, where they cannot be.
    static std::unique_ptr<SweepChannel> open(int channel, int family, const HelperProtocol::SweepOpen &settings,
                                              SweepRequests &requests, HelperProtocol::Opened &opened);

    // Serves the client at the other end of channel, through sweep, opened for the same settings.
    SweepService(int channel, int family, const HelperProtocol::SweepOpen &settings,
                 std::unique_ptr<SweepChannel> sweep);
    ~SweepService();

    // Until the client closes its end: the program's exit status.
    int serve();
    // One message of the client's: false for one that breaks the protocol.
    bool answer(const uint8_t *message, size_t length);

private:
    bool collect(size_t limit);
    void add(const SweepSource::Heard &heard);
    void finishMessage();
    void send(const HelperProtocol::SweepSend &batch, size_t length);
    void sync();
    void pass(const HelperProtocol::SweepPass &mark);
    void put(const void *record, size_t length);

    const int m_channel;
    const int m_family;
    const HelperProtocol::SweepOpen m_settings;
    const std::unique_ptr<SweepChannel> m_sweep;
    std::vector<SweepSource::Heard> m_heard;
    std::vector<HelperProtocol::SweepAnswer> m_answers; // of the message being made
    std::vector<uint8_t> m_data;                        // its echoed bytes
    std::vector<std::vector<uint8_t>> m_messages;       // answers read, to hand over at the next sync
    size_t m_pending = 0;                               // answers in them
    uint64_t m_lost = 0;                                // answers there was no room to keep
    int64_t m_readUntilNs = 0;
    std::vector<SweepSender::Request> m_batch;
    SweepSender::Report m_report;
};
