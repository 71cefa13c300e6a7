#pragma once
#include "SweepNetwork.h"
#include "platform/HelperProcess.h"
#include "platform/HelperProtocol.h"

#include <deque>
#include <memory>
#include <vector>

// A sender's channel through the privileged helper (tozelo-icmp), for a user who may not open ICMP
// datagram sockets, or a sweep that sends frames: each sender has a helper of its own, which holds
// its raw socket (and link), builds each request from the slot and target asked for, and hands back
// only the answers to its requests. The keyed check is made under the sweep's key, given to the
// helper as the channel opens; the answers are proven here all the same.
class HelperChannel final : public SweepChannel, private SweepSender, private SweepSource {
public:
    // Throws TICMPException when no helper can be had or it cannot open a socket,
    // std::runtime_error when frames were asked for and cannot be sent.
    explicit HelperChannel(const SweepNetwork::ChannelSettings &wanted);
    ~HelperChannel() override;

    SweepSender &sender() override { return *this; }
    SweepSource &source() override { return *this; }
    const SweepClock &clock() const override { return SweepClock::monotonic(); }
    EchoSocket::Kind kind() const override { return EchoSocket::Kind::Helper; }

private:
    void send(const Request *requests, size_t count, Report &report) override;
    void beginPass(uint32_t pass) override { mark(HelperProtocol::PassMark::Begin, pass); }
    void passSent() override { mark(HelperProtocol::PassMark::Sent, 0); }
    void closeFrames() override { mark(HelperProtocol::PassMark::CloseFrames, 0); }
    size_t read(size_t limit, std::vector<Heard> &heard) override;
    int64_t readUntilNs() const override { return m_readUntilNs; }
    void wait(int64_t untilNs) override;
    uint64_t drops() const override { return m_drops; }

    void open(const SweepNetwork::ChannelSettings &wanted);
    void mark(HelperProtocol::PassMark mark, uint32_t pass);
    void sync();
    size_t unpack(size_t length, std::vector<Heard> &heard);
    void put(const void *record, size_t length);
    // The helper's next message, of that type, into m_message: its length.
    size_t take(HelperProtocol::Type type);
    size_t receive();
    bool isRecord(size_t length, HelperProtocol::Type type) const;
    // A channel that broke, or a helper that broke its protocol, ends the sweep.
    [[noreturn]] void gone() const;

    const int m_family;
    const int m_stopFd;
    HelperProcess m_process;
    int m_channel = -1;
    uint64_t m_drops = 0;
    int64_t m_readUntilNs = 0;
    bool m_inRound = false; // reads hand over what the last sync brought
    std::unique_ptr<HelperProtocol::SweepSend> m_send;
    std::vector<uint8_t> m_message;          // the last read
    std::deque<std::vector<uint8_t>> m_held; // answers the last sync brought, still to be read
};
