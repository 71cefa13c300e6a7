#include "FakeNetwork.h"
#include "TestMain.h"
#include "echo/EchoTerms.h"
#include "helper/EchoChannel.h"
#include "helper/HelperServer.h"
#include "platform/IcmpApi.h"
#include "platform/IcmpTypes.h"

#include <QtTest>
#include <cstring>
#include <memory>
#include <netinet/in.h>
#include <optional>

// The privileged helper's side of its channel, over the scripted network: the Open it takes, the
// requests it sends (every one built by itself) and those it refuses before anything goes out, and
// the packets it hands back.
using namespace HelperProtocol;

namespace {

constexpr uint16_t FirstSequence = 0xBEEF;

template <typename Record> QByteArray bytesOf(const Record &record)
{
    return QByteArray(reinterpret_cast<const char *>(&record), sizeof record);
}

Send sendTo(const char *address, uint16_t size = 56, uint16_t ttl = 64)
{
    Send request;
    request.destination = addressOf(FakeNetwork::ip(address));
    request.size = size;
    request.ttl = ttl;
    return request;
}

Open openOf(uint16_t family)
{
    Open request;
    request.family = family;
    return request;
}

Packet headOf(const std::vector<uint8_t> &record)
{
    Packet head;
    std::memcpy(&head, record.data(), sizeof head);
    return head;
}

} // namespace

class TestHelperServer : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeNetwork> m_network;
    std::unique_ptr<EchoSocket> m_socket;
    std::unique_ptr<EchoChannel> m_channel;

    Sent answer(const QByteArray &message)
    {
        return m_channel->answer(reinterpret_cast<const uint8_t *>(message.constData()), size_t(message.size()));
    }

private slots:
    void init()
    {
        m_network = std::make_unique<FakeNetwork>();
        m_socket = IcmpApi::Testing::sockets()(AF_INET, false);
        m_channel = std::make_unique<EchoChannel>(*m_socket, AF_INET, FirstSequence);
    }

    void cleanup()
    {
        m_channel.reset();
        m_socket.reset();
        m_network.reset();
    }

    void opens_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<int>("family"); // 0: refused
        QTest::newRow("IPv4") << bytesOf(openOf(AF_INET)) << int(AF_INET);
        QTest::newRow("IPv6") << bytesOf(openOf(AF_INET6)) << int(AF_INET6);
        QTest::newRow("truncated") << bytesOf(openOf(AF_INET)).chopped(1) << 0;
        QTest::newRow("one byte more") << bytesOf(openOf(AF_INET)) + '\0' << 0;
        QTest::newRow("no family") << bytesOf(openOf(AF_UNSPEC)) << 0;
        QTest::newRow("a packet socket") << bytesOf(openOf(AF_PACKET)) << 0;
        Open other = openOf(AF_INET);
        other.header.version = Version + 1;
        QTest::newRow("another version") << bytesOf(other) << 0;
        other = openOf(AF_INET);
        other.header.type = Type::Send;
        QTest::newRow("not an Open") << bytesOf(other) << 0;
        other = openOf(AF_INET);
        other.purpose = Purpose(2);
        QTest::newRow("a purpose it does not serve") << bytesOf(other) << 0;
        other = openOf(AF_INET);
        other.settings[59] = 1;
        QTest::newRow("a setting") << bytesOf(other) << 0;
    }

    void opens()
    {
        QFETCH(QByteArray, message);
        QFETCH(int, family);
        const std::optional<int> opened =
            HelperServer::familyToOpen(reinterpret_cast<const uint8_t *>(message.constData()), size_t(message.size()));
        QCOMPARE(opened.value_or(0), family);
    }

    void requests_data()
    {
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<uint32_t>("status");
        const uint32_t sent = IP_SUCCESS, refused = IP_BAD_REQ;
        QTest::newRow("as the program asks") << bytesOf(sendTo("127.0.0.1")) << sent;
        QTest::newRow("no payload, TTL 1") << bytesOf(sendTo("127.0.0.1", 0, 1)) << sent;
        QTest::newRow("largest, TTL 255") << bytesOf(sendTo("127.0.0.1", MaxSize, 255)) << sent;
        QTest::newRow("too large") << bytesOf(sendTo("127.0.0.1", MaxSize + 1)) << refused;
        QTest::newRow("TTL 0") << bytesOf(sendTo("127.0.0.1", 56, 0)) << refused;
        QTest::newRow("TTL 256") << bytesOf(sendTo("127.0.0.1", 56, 256)) << refused;
        QTest::newRow("IPv6 to an IPv4 channel") << bytesOf(sendTo("::1")) << refused;
        QTest::newRow("truncated") << bytesOf(sendTo("127.0.0.1")).chopped(1) << refused;
        QTest::newRow("one byte more") << bytesOf(sendTo("127.0.0.1")) + '\0' << refused;
        QTest::newRow("nothing") << QByteArray() << refused;
        Send other = sendTo("127.0.0.1");
        other.header.version = Version + 1;
        QTest::newRow("another version") << bytesOf(other) << refused;
        other = sendTo("127.0.0.1");
        other.header.type = Type::Open;
        QTest::newRow("not a Send") << bytesOf(other) << refused;
        other = sendTo("127.0.0.1");
        other.destination.family = AF_PACKET;
        QTest::newRow("another family") << bytesOf(other) << refused;
        other = sendTo("127.0.0.1");
        other.destination.bytes[4] = 1;
        QTest::newRow("IPv4 with a fifth byte") << bytesOf(other) << refused;
        other = sendTo("127.0.0.1");
        other.destination.scopeId = 1;
        QTest::newRow("IPv4 with a zone") << bytesOf(other) << refused;
        other = sendTo("127.0.0.1");
        other.destination.reserved = 1;
        QTest::newRow("reserved field set") << bytesOf(other) << refused;
    }

    // A request is the client's narrow wish: the helper numbers it, stamps it and fills it with the
    // program's payload; what it cannot send as asked goes nowhere.
    void requests()
    {
        QFETCH(QByteArray, message);
        QFETCH(uint32_t, status);
        const Sent sent = answer(message);
        QCOMPARE(sent.header.version, Version);
        QCOMPARE(sent.header.type, Type::Sent);
        QCOMPARE(sent.status, status);
        if (status != IP_SUCCESS) {
            QVERIFY(m_network->requests().empty());
            return;
        }
        Send asked;
        std::memcpy(&asked, message.constData(), sizeof asked);
        QCOMPARE(m_network->requests().size(), size_t(1));
        const FakeNetwork::Request &request = m_network->requests().front();
        QCOMPARE(request.identifier, m_socket->identifier());
        QCOMPARE(sent.sequence, FirstSequence);
        QCOMPARE(request.sequence, FirstSequence);
        QCOMPARE(request.ttl, int(asked.ttl));
        QVERIFY(request.payload == EchoTerms::payloadOf(asked.size));
        QCOMPARE(sent.sentNs,
                 std::chrono::duration_cast<std::chrono::nanoseconds>(m_socket->now().time_since_epoch()).count());
        QCOMPARE(answer(message).sequence, uint16_t(FirstSequence + 1));
    }

    // Echo replies carrying another identifier, and errors quoting another's request, stay here.
    void forwardsOnlyItsOwnPackets()
    {
        m_network->setHost("198.18.0.1", [](const FakeNetwork::Request &request) {
            FakeNetwork::Request others = request;
            others.identifier++;
            const IpAddress router = FakeNetwork::ip("198.18.0.254");
            return FakeNetwork::Response{0,
                                         {{0, FakeNetwork::echoReply(others)},
                                          {0, FakeNetwork::icmpError(others, 3, 1, router)},
                                          {1, FakeNetwork::icmpError(request, 11, 0, router)},
                                          {2, FakeNetwork::echoReply(request)}}};
        });
        QCOMPARE(answer(bytesOf(sendTo("198.18.0.1", 20))).status, uint32_t(IP_SUCCESS));
        std::vector<uint8_t> record;
        QVERIFY(m_channel->nextPacket(record));
        QVERIFY(record.empty());
        QVERIFY(m_channel->nextPacket(record));
        QVERIFY(record.empty());
        QVERIFY(!m_channel->nextPacket(record));
        m_socket->wait(1);
        QVERIFY(m_channel->nextPacket(record));
        QCOMPARE(record.size(), sizeof(Packet));
        const Packet error = headOf(record);
        QCOMPARE(IcmpPacket::Kind(error.kind), IcmpPacket::Kind::Error);
        QCOMPARE(error.status, uint32_t(IP_TTL_EXPIRED_TRANSIT));
        QCOMPARE(error.sequence, FirstSequence);
        QCOMPARE(ipAddressOf(error.source).value_or(IpAddress()), FakeNetwork::ip("198.18.0.254"));
        QCOMPARE(ipAddressOf(error.quotedDestination).value_or(IpAddress()), FakeNetwork::ip("198.18.0.1"));
        m_socket->wait(1);
        QVERIFY(m_channel->nextPacket(record));
        const Packet reply = headOf(record);
        QCOMPARE(IcmpPacket::Kind(reply.kind), IcmpPacket::Kind::EchoReply);
        QCOMPARE(reply.identifier, m_socket->identifier());
        QCOMPARE(ipAddressOf(reply.source).value_or(IpAddress()), FakeNetwork::ip("198.18.0.1"));
        QCOMPARE(reply.dataSize, 20u);
        QVERIFY(std::vector<uint8_t>(record.begin() + sizeof reply, record.end()) == EchoTerms::payloadOf(20));
    }
};

TOZELO_GUILESS_TEST_MAIN(TestHelperServer)
#include "tst_HelperServer.moc"
