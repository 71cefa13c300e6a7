#include "FakeNetwork.h"
#include "TestMain.h"
#include "platform/IcmpApi.h"

#include <QtTest>
#include <cerrno>
#include <cstring>
#include <memory>

// The echo module over the scripted network: the reply record it fills, which packets count as the
// answer to a request, and how a request fails. Real sockets: net/tst_TICMP.
using namespace IcmpApi;
using Bytes = std::vector<uint8_t>;
using Request = FakeNetwork::Request;
using Response = FakeNetwork::Response;

namespace {

// The module is reached the way its users reach it: by name.
template <typename Fn> Fn entry(const char *name)
{
    return reinterpret_cast<Fn>(GetProcAddress(LoadLibraryA(LibraryName), name));
}
const auto IcmpCreateFile = entry<IcmpCreateFileFn>("IcmpCreateFile");
const auto IcmpCloseHandle = entry<IcmpCloseHandleFn>("IcmpCloseHandle");
const auto IcmpSendEcho = entry<IcmpSendEchoFn>("IcmpSendEcho");

const char *const Target = "198.18.0.1";
const char *const Router = "198.18.0.254";
const Bytes Pong = {'p', 'o', 'n', 'g', '!'};

struct Echo {
    uint32_t result = 0;
    uint32_t lastError = 0;
    ICMP_ECHO_REPLY record;
    Bytes data;
    Bytes beyond; // the reply buffer past the echoed data
};

Echo echo(HANDLE handle, const Bytes &payload, uint8_t ttl = 64, size_t replySize = 0, uint32_t timeoutMs = 2000)
{
    IP_OPTION_INFORMATION options;
    options.Ttl = ttl;
    Bytes reply(replySize != 0 ? replySize : sizeof(ICMP_ECHO_REPLY) + payload.size() + 4, 0xEE);
    Echo out;
    out.result = IcmpSendEcho(handle, FakeNetwork::address(Target), payload.data(), uint16_t(payload.size()), &options,
                              reply.data(), uint32_t(reply.size()), timeoutMs);
    out.lastError = GetLastError();
    if (reply.size() >= sizeof out.record) {
        std::memcpy(&out.record, reply.data(), sizeof out.record);
        const auto data = reply.begin() + sizeof out.record;
        out.data.assign(data, data + out.record.DataSize);
        out.beyond.assign(data + out.record.DataSize, reply.end());
    }
    return out;
}

} // namespace

class TestIcmpApi : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeNetwork> m_network;
    HANDLE m_handle = INVALID_HANDLE_VALUE;

private slots:
    void init()
    {
        m_network = std::make_unique<FakeNetwork>();
        m_handle = IcmpCreateFile();
    }

    void cleanup()
    {
        IcmpCloseHandle(m_handle);
        m_network.reset();
        Testing::faults() = Testing::Faults();
    }

    void moduleAndEntryPoints()
    {
        QVERIFY(!LoadLibraryA("other.dll"));
        const HMODULE module = LoadLibraryA(LibraryName);
        QVERIFY(module);
        for (const char *entry : {"IcmpCreateFile", "IcmpCloseHandle", "IcmpSendEcho"}) {
            QVERIFY(GetProcAddress(module, entry));
            Testing::faults().missingEntry = entry;
            QVERIFY(!GetProcAddress(module, entry));
            Testing::faults().missingEntry = nullptr;
        }
        QVERIFY(!GetProcAddress(module, "IcmpSendEcho2"));
        Testing::faults().failLoadLibrary = true;
        QVERIFY(!LoadLibraryA(LibraryName));
        Testing::faults().failCreateFile = true;
        QCOMPARE(IcmpCreateFile(), INVALID_HANDLE_VALUE);
    }

    // The record tells who answered, when and with which TTL; the data is ours, cut to the room
    // the buffer has, and nothing past it is written.
    void replyRecord()
    {
        m_network->setHost(Target, FakeNetwork::answering(25));
        Bytes payload(100);
        for (size_t i = 0; i < payload.size(); ++i)
            payload[i] = uint8_t(255 - i * 7);
        const Echo whole = echo(m_handle, payload, 17);
        QCOMPARE(whole.result, 1u);
        QCOMPARE(whole.lastError, 0u);
        QCOMPARE(whole.record.Status, 0u);
        QCOMPARE(whole.record.Address, FakeNetwork::address(Target));
        QCOMPARE(whole.record.RoundTripTime, 25u);
        QCOMPARE(whole.record.Options.Ttl, uint8_t(64));
        QCOMPARE(whole.record.Data, 28u);
        QCOMPARE(whole.data, payload);
        QCOMPARE(whole.beyond, Bytes(4, 0xEE));
        QCOMPARE(m_network->requests().back().ttl, 17);
        QCOMPARE(m_network->requests().back().payload, payload);

        const Echo cut = echo(m_handle, payload, 64, sizeof(ICMP_ECHO_REPLY) + 10);
        QCOMPARE(cut.result, 1u);
        QCOMPARE(cut.data, Bytes(payload.begin(), payload.begin() + 10));
        QVERIFY(m_network->requests()[1].sequence != m_network->requests()[0].sequence);
    }

    void refusesWhatCannotBeSent()
    {
        const Echo noTtl = echo(m_handle, Pong, 0);
        QCOMPARE(noTtl.result, 0u);
        QCOMPARE(noTtl.lastError, uint32_t(IP_BAD_OPTION));
        QCOMPARE(noTtl.record.Status, uint32_t(IP_BAD_OPTION));
        QCOMPARE(echo(m_handle, Pong, 64, sizeof(ICMP_ECHO_REPLY) - 1).lastError, uint32_t(IP_BUF_TOO_SMALL));
        QVERIFY(m_network->requests().empty());

        const HANDLE other = IcmpCreateFile();
        QVERIFY(IcmpCloseHandle(other));
        QCOMPARE(echo(other, Pong).lastError, uint32_t(IP_BAD_REQ));
        QVERIFY(!IcmpCloseHandle(other));
    }

    void sendErrors_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<uint32_t>("status");
        QTest::newRow("too big for the path") << EMSGSIZE << uint32_t(IP_PACKET_TOO_BIG);
        QTest::newRow("no route to the network") << ENETUNREACH << uint32_t(IP_DEST_NET_UNREACHABLE);
        QTest::newRow("no route to the host") << EHOSTUNREACH << uint32_t(IP_DEST_HOST_UNREACHABLE);
        QTest::newRow("anything else") << EINVAL << uint32_t(IP_GENERAL_FAILURE);
    }

    // A request that cannot go out fails at once, without waiting for its time-out.
    void sendErrors()
    {
        QFETCH(int, error);
        QFETCH(uint32_t, status);
        m_network->setHost(Target, FakeNetwork::refusingToSend(error));
        const int before = m_network->elapsedMs();
        const Echo failed = echo(m_handle, Pong);
        QCOMPARE(failed.result, 0u);
        QCOMPARE(failed.lastError, status);
        QCOMPARE(failed.record.Status, status);
        QCOMPARE(m_network->elapsedMs(), before);
    }

    void silentHostTimesOut()
    {
        m_network->setHost(Target, FakeNetwork::silent());
        const int before = m_network->elapsedMs();
        const Echo silent = echo(m_handle, Pong, 64, 0, 300);
        QCOMPARE(silent.result, 0u);
        QCOMPARE(silent.lastError, uint32_t(IP_REQ_TIMED_OUT));
        QCOMPARE(silent.record.Status, uint32_t(IP_REQ_TIMED_OUT));
        QCOMPARE(m_network->elapsedMs() - before, 300);
    }

    // Only a packet that carries this request's identifier and sequence, from its destination (or
    // an error quoting a request to that destination), answers it; the rest are waited past. An
    // echo reply must also carry back the payload byte for byte (other bytes, one byte short, one
    // too many), which a forger who guessed the rest cannot know.
    void onlyItsOwnReplyCounts()
    {
        m_network->setHost(Target, [](const Request &request) {
            Request otherSequence = request, otherIdentifier = request, otherDestination = request;
            otherSequence.sequence++;
            otherIdentifier.identifier++;
            otherDestination.destination = FakeNetwork::address("198.18.0.9");
            Request otherBytes = request, shorter = request, longer = request;
            otherBytes.payload[1] ^= 1;
            shorter.payload.pop_back();
            longer.payload.push_back('x');
            const uint32_t router = FakeNetwork::address(Router);
            return Response{0,
                            {{1, FakeNetwork::echoReply(otherSequence)},
                             {2, FakeNetwork::echoReply(otherIdentifier)},
                             {3, FakeNetwork::echoReply(request, FakeNetwork::address("198.18.0.6"))},
                             {4, FakeNetwork::icmpError(otherDestination, 3, 1, router)},
                             {5, FakeNetwork::icmpError(otherSequence, 3, 1, router)},
                             {6, FakeNetwork::icmpError(otherIdentifier, 3, 1, router)},
                             {7, FakeNetwork::echoReply(otherBytes)},
                             {7, FakeNetwork::echoReply(shorter)},
                             {8, FakeNetwork::echoReply(longer)},
                             {9, FakeNetwork::echoReply(request)}}};
        });
        const Echo answered = echo(m_handle, Pong);
        QCOMPARE(answered.result, 1u);
        QCOMPARE(answered.record.Address, FakeNetwork::address(Target));
        QCOMPARE(answered.record.RoundTripTime, 9u);
        QCOMPARE(answered.data, Pong);
    }

    // A reply that comes after its request gave up is no answer to the next request.
    void lateReplyAnswersNothing()
    {
        m_network->setHost(Target, FakeNetwork::answering(400));
        QCOMPARE(echo(m_handle, Pong, 64, 0, 300).lastError, uint32_t(IP_REQ_TIMED_OUT));
        m_network->setHost(Target, FakeNetwork::answering(200));
        const Echo next = echo(m_handle, Pong, 64, 0, 300);
        QCOMPARE(next.result, 1u);
        QCOMPARE(next.record.RoundTripTime, 200u);
    }

    void errorQuotingTheRequestEndsIt()
    {
        m_network->setHost(Target, FakeNetwork::failing(7, 11, 0, Router));
        const int before = m_network->elapsedMs();
        const Echo failed = echo(m_handle, Pong);
        QCOMPARE(failed.result, 0u);
        QCOMPARE(failed.lastError, uint32_t(IP_TTL_EXPIRED_TRANSIT));
        QCOMPARE(failed.record.Status, uint32_t(IP_TTL_EXPIRED_TRANSIT));
        QCOMPARE(failed.record.Address, FakeNetwork::address(Router));
        QCOMPARE(m_network->elapsedMs() - before, 7);
    }
};

TOZELO_GUILESS_TEST_MAIN(TestIcmpApi)
#include "tst_IcmpApi.moc"
