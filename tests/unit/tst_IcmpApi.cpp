#include "FakeNetwork.h"
#include "TestMain.h"
#include "platform/IcmpApi.h"

#include <QtTest>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <netinet/in.h>
#include <type_traits>

// The echo module over the scripted network, for each family: the reply record it fills, which
// packets count as the answer to a request, and how a request fails. Time-outs and ICMP errors
// through a session: tst_TICMP; real sockets: net/tst_TICMP.
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
const auto Icmp6CreateFile = entry<Icmp6CreateFileFn>("Icmp6CreateFile");
const auto IcmpCloseHandle = entry<IcmpCloseHandleFn>("IcmpCloseHandle");
const auto IcmpSendEcho = entry<IcmpSendEchoFn>("IcmpSendEcho");
const auto Icmp6SendEcho = entry<Icmp6SendEchoFn>("Icmp6SendEcho");

const Bytes Pong = {'p', 'o', 'n', 'g', '!'};

// The addresses and error types a test uses, in the family it runs in.
struct Family {
    bool v6;
    const char *target, *router, *elsewhere, *stranger;
    uint8_t unreachable, hostUnreachable;
};
const Family V4{false, "198.18.0.1", "198.18.0.254", "198.18.0.9", "198.18.0.6", 3, 1};
const Family V6{true, "fd00:7a::1", "fd00:7a::fe", "fd00:7a::9", "fd00:7a::6", 1, 3};
const Family *g_family = &V4;

// What either family's record tells, read back as a user of the module reads it.
struct Echo {
    uint32_t result = 0;
    uint32_t lastError = 0;
    IpAddress address;
    uint32_t status = 0;
    uint32_t roundTripTime = 0;
    uint8_t ttl = 0;
    uint32_t dataOffset = 0;
    Bytes data;
    Bytes beyond; // the reply buffer past the echoed data
};

size_t recordSize()
{
    return g_family->v6 ? sizeof(ICMPV6_ECHO_REPLY) : sizeof(ICMP_ECHO_REPLY);
}

template <typename Record> void readRecord(const Bytes &reply, Echo &out)
{
    Record record;
    std::memcpy(&record, reply.data(), sizeof record);
    if constexpr (std::is_same_v<Record, ICMPV6_ECHO_REPLY>)
        out.address = IpAddress::v6(record.Address, record.ScopeId);
    else
        out.address = IpAddress::v4(record.Address);
    out.status = record.Status;
    out.roundTripTime = record.RoundTripTime;
    out.ttl = record.Options.Ttl;
    out.dataOffset = record.Data;
    const auto data = reply.begin() + sizeof record;
    out.data.assign(data, data + record.DataSize);
    out.beyond.assign(data + record.DataSize, reply.end());
}

HANDLE createFile()
{
    return g_family->v6 ? Icmp6CreateFile() : IcmpCreateFile();
}

Echo echo(HANDLE handle, const Bytes &payload, uint8_t ttl = 64, size_t replySize = 0, uint32_t timeoutMs = 2000)
{
    IP_OPTION_INFORMATION options;
    options.Ttl = ttl;
    Bytes reply(replySize != 0 ? replySize : recordSize() + payload.size() + 4, 0xEE);
    const IpAddress target = FakeNetwork::ip(g_family->target);
    Echo out;
    if (g_family->v6) {
        const sockaddr_in6 destination = target.toSockaddr6();
        out.result = Icmp6SendEcho(handle, &destination, payload.data(), uint16_t(payload.size()), &options,
                                   reply.data(), uint32_t(reply.size()), timeoutMs);
    } else {
        out.result = IcmpSendEcho(handle, target.v4(), payload.data(), uint16_t(payload.size()), &options, reply.data(),
                                  uint32_t(reply.size()), timeoutMs);
    }
    out.lastError = GetLastError();
    if (reply.size() < recordSize())
        return out;
    if (g_family->v6)
        readRecord<ICMPV6_ECHO_REPLY>(reply, out);
    else
        readRecord<ICMP_ECHO_REPLY>(reply, out);
    return out;
}

} // namespace

class TestIcmpApi : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeNetwork> m_network;
    HANDLE m_handle = INVALID_HANDLE_VALUE;

private slots:
    void initTestCase_data()
    {
        QTest::addColumn<bool>("v6");
        QTest::newRow("IPv4") << false;
        QTest::newRow("IPv6") << true;
    }

    void init()
    {
        QFETCH_GLOBAL(bool, v6);
        g_family = v6 ? &V6 : &V4;
        m_network = std::make_unique<FakeNetwork>();
        m_handle = createFile();
    }

    void cleanup()
    {
        IcmpCloseHandle(m_handle);
        m_network.reset();
        Testing::faults() = Testing::Faults();
    }

    // Each step failing, as the session meets it: tst_TICMP.
    void moduleAndEntryPoints()
    {
        QVERIFY(!LoadLibraryA("other.dll"));
        const HMODULE module = LoadLibraryA(LibraryName);
        QVERIFY(module);
        for (const char *entry :
             {"IcmpCreateFile", "Icmp6CreateFile", "IcmpCloseHandle", "IcmpSendEcho", "Icmp6SendEcho"})
            QVERIFY(GetProcAddress(module, entry));
        QVERIFY(!GetProcAddress(module, "IcmpSendEcho2"));
    }

    // The record tells who answered, when and with which TTL; the data is ours, cut to the room
    // the buffer has, and nothing past it is written.
    void replyRecord()
    {
        m_network->setHost(g_family->target, FakeNetwork::answering(25));
        Bytes payload(100);
        for (size_t i = 0; i < payload.size(); ++i)
            payload[i] = uint8_t(255 - i * 7);
        const Echo whole = echo(m_handle, payload, 17);
        QCOMPARE(whole.result, 1u);
        QCOMPARE(whole.lastError, 0u);
        QCOMPARE(whole.status, 0u);
        QCOMPARE(whole.address, FakeNetwork::ip(g_family->target));
        QCOMPARE(whole.roundTripTime, 25u);
        QCOMPARE(whole.ttl, uint8_t(64));
        QCOMPARE(whole.dataOffset, uint32_t(recordSize()));
        QCOMPARE(whole.data, payload);
        QCOMPARE(whole.beyond, Bytes(4, 0xEE));
        QCOMPARE(m_network->requests().back().ttl, 17);
        QCOMPARE(m_network->requests().back().payload, payload);

        const Echo cut = echo(m_handle, payload, 64, recordSize() + 10);
        QCOMPARE(cut.result, 1u);
        QCOMPARE(cut.data, Bytes(payload.begin(), payload.begin() + 10));
        QVERIFY(m_network->requests()[1].sequence != m_network->requests()[0].sequence);
    }

    // A forger who sees nothing must also guess where a handle's sequence numbers start: each handle
    // draws its first at random, neither 1 nor one past the last handle's.
    void firstSequenceIsDrawnPerHandle()
    {
        std::vector<uint16_t> firsts;
        for (int i = 0; i < 8; ++i) {
            const HANDLE handle = createFile();
            echo(handle, Pong);
            IcmpCloseHandle(handle);
            firsts.push_back(m_network->requests().back().sequence);
        }
        std::sort(firsts.begin(), firsts.end());
        QVERIFY(firsts.front() != firsts.back());
        QVERIFY(std::adjacent_find(firsts.begin(), firsts.end(), [](uint16_t a, uint16_t b) { return b - a > 1; }) !=
                firsts.end());
    }

    // A handle serves the family it was made for: a request to the other family's address is refused
    // before anything goes out, as an IPv6 request without an IPv6 address is.
    void handleKeepsToItsFamily()
    {
        const HANDLE other = g_family->v6 ? IcmpCreateFile() : Icmp6CreateFile();
        const Echo wrongFamily = echo(other, Pong);
        QCOMPARE(wrongFamily.result, 0u);
        QCOMPARE(wrongFamily.lastError, uint32_t(IP_BAD_REQ));
        QVERIFY(IcmpCloseHandle(other));
        if (g_family->v6) {
            Bytes reply(sizeof(ICMPV6_ECHO_REPLY) + 8);
            sockaddr_in6 notIpv6{};
            notIpv6.sin6_family = AF_INET;
            QCOMPARE(Icmp6SendEcho(m_handle, &notIpv6, Pong.data(), uint16_t(Pong.size()), nullptr, reply.data(),
                                   uint32_t(reply.size()), 100),
                     0u);
            QCOMPARE(GetLastError(), uint32_t(IP_BAD_REQ));
            QCOMPARE(Icmp6SendEcho(m_handle, nullptr, Pong.data(), uint16_t(Pong.size()), nullptr, reply.data(),
                                   uint32_t(reply.size()), 100),
                     0u);
            QCOMPARE(GetLastError(), uint32_t(IP_BAD_REQ));
        }
        QVERIFY(m_network->requests().empty());
    }

    void refusesWhatCannotBeSent()
    {
        const Echo noTtl = echo(m_handle, Pong, 0);
        QCOMPARE(noTtl.result, 0u);
        QCOMPARE(noTtl.lastError, uint32_t(IP_BAD_OPTION));
        QCOMPARE(noTtl.status, uint32_t(IP_BAD_OPTION));
        QCOMPARE(echo(m_handle, Pong, 64, recordSize() - 1).lastError, uint32_t(IP_BUF_TOO_SMALL));
        QVERIFY(m_network->requests().empty());

        const HANDLE other = createFile();
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
        m_network->setHost(g_family->target, FakeNetwork::refusingToSend(error));
        const int before = m_network->elapsedMs();
        const Echo failed = echo(m_handle, Pong);
        QCOMPARE(failed.result, 0u);
        QCOMPARE(failed.lastError, status);
        QCOMPARE(failed.status, status);
        QCOMPARE(m_network->elapsedMs(), before);
    }

    // Only a packet that carries this request's identifier and sequence, from its destination (or
    // an error quoting a request to that destination), answers it; the rest are waited past. An
    // echo reply must also carry back the payload byte for byte (other bytes, one byte short, one
    // too many), which a forger who guessed the rest cannot know.
    void onlyItsOwnReplyCounts()
    {
        m_network->setHost(g_family->target, [](const Request &request) {
            Request otherSequence = request, otherIdentifier = request, otherDestination = request;
            otherSequence.sequence++;
            otherIdentifier.identifier++;
            otherDestination.destination = FakeNetwork::ip(g_family->elsewhere);
            Request otherBytes = request, shorter = request, longer = request;
            otherBytes.payload[1] ^= 1;
            shorter.payload.pop_back();
            longer.payload.push_back('x');
            const IpAddress router = FakeNetwork::ip(g_family->router);
            const uint8_t type = g_family->unreachable, code = g_family->hostUnreachable;
            return Response{0,
                            {{1, FakeNetwork::echoReply(otherSequence)},
                             {2, FakeNetwork::echoReply(otherIdentifier)},
                             {3, FakeNetwork::echoReply(request, FakeNetwork::ip(g_family->stranger))},
                             {4, FakeNetwork::icmpError(otherDestination, type, code, router)},
                             {5, FakeNetwork::icmpError(otherSequence, type, code, router)},
                             {6, FakeNetwork::icmpError(otherIdentifier, type, code, router)},
                             {7, FakeNetwork::echoReply(otherBytes)},
                             {7, FakeNetwork::echoReply(shorter)},
                             {8, FakeNetwork::echoReply(longer)},
                             {9, FakeNetwork::echoReply(request)}}};
        });
        const Echo answered = echo(m_handle, Pong);
        QCOMPARE(answered.result, 1u);
        QCOMPARE(answered.address, FakeNetwork::ip(g_family->target));
        QCOMPARE(answered.roundTripTime, 9u);
        QCOMPARE(answered.data, Pong);
    }

    // The windows' thread turns its event loop between waits, and a turn may outlast the deadline (a
    // dialog, a nested wait): the answer that came in time still answers, with its own round trip.
    void answerReadAfterALongTurn()
    {
        int requests = 0;
        m_network->setHost(g_family->target, [&](const Request &request) {
            return requests++ == 0 ? FakeNetwork::answering(50)(request) : Response{};
        });
        const HANDLE other = createFile();
        int turns = 0;
        SetWaitTurns(10, [&] {
            if (turns++ == 0)
                echo(other, Pong, 64, 0, 1000);
        });
        const Echo answered = echo(m_handle, Pong, 64, 0, 300);
        SetWaitTurns(0, nullptr);
        IcmpCloseHandle(other);
        QCOMPARE(answered.result, 1u);
        QVERIFY2(answered.roundTripTime >= 49 && answered.roundTripTime <= 50,
                 qPrintable(QString::number(answered.roundTripTime)));
        QVERIFY(m_network->elapsedMs() >= 1000);
    }

    // A reply that comes after its request gave up is no answer to the next request.
    void lateReplyAnswersNothing()
    {
        m_network->setHost(g_family->target, FakeNetwork::answering(400));
        QCOMPARE(echo(m_handle, Pong, 64, 0, 300).lastError, uint32_t(IP_REQ_TIMED_OUT));
        m_network->setHost(g_family->target, FakeNetwork::answering(200));
        const Echo next = echo(m_handle, Pong, 64, 0, 300);
        QCOMPARE(next.result, 1u);
        QCOMPARE(next.roundTripTime, 200u);
    }
};

TOZELO_GUILESS_TEST_MAIN(TestIcmpApi)
#include "tst_IcmpApi.moc"
