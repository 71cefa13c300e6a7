#include "TestMain.h"
#include "echo/EchoTerms.h"
#include "platform/IcmpPacket.h"
#include "platform/IcmpTypes.h"

#include <QtTest>
#include <arpa/inet.h>

using Bytes = std::vector<uint8_t>;
using IcmpPacket::Kind;

Q_DECLARE_METATYPE(Bytes)

namespace {

const uint32_t Here = 0x0A000001;   // 10.0.0.1
const uint32_t Target = 0xC0A80107; // 192.168.1.7
const uint32_t Router = 0xC0A80001; // 192.168.0.1

Bytes operator+(Bytes head, const Bytes &tail)
{
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

void put16(Bytes &bytes, size_t at, uint16_t value)
{
    bytes[at] = uint8_t(value >> 8);
    bytes[at + 1] = uint8_t(value);
}

// An IPv4 header carrying ICMP, with optionWords words of no-op options.
Bytes ipHeader(uint32_t from, uint32_t to, uint8_t ttl, size_t optionWords, size_t payloadLen)
{
    Bytes header = Bytes(20, 0) + Bytes(optionWords * 4, 1);
    header[0] = uint8_t(0x40 | (5 + optionWords));
    put16(header, 2, uint16_t(header.size() + payloadLen));
    header[8] = ttl;
    header[9] = 1;
    const uint32_t source = htonl(from), destination = htonl(to);
    std::memcpy(&header[12], &source, 4);
    std::memcpy(&header[16], &destination, 4);
    return header;
}

Bytes icmp(uint8_t type, uint8_t code, const Bytes &rest)
{
    Bytes message = Bytes{type, code, 0, 0} + rest;
    put16(message, 2, IcmpPacket::checksum(message.data(), message.size()));
    return message;
}

Bytes echoReply(uint16_t identifier, uint16_t sequence, const Bytes &payload)
{
    return icmp(IcmpPacket::EchoReply, 0,
                Bytes{uint8_t(identifier >> 8), uint8_t(identifier), uint8_t(sequence >> 8), uint8_t(sequence)} +
                    payload);
}

Bytes withIp(uint32_t from, uint32_t to, uint8_t ttl, size_t optionWords, const Bytes &message)
{
    return ipHeader(from, to, ttl, optionWords, message.size()) + message;
}

const Bytes Payload = {'P', 'i', 'n', 'g', 'i', 'n', 'g', '!', '?'};

// An ICMP error as a router sends it: our request's IP header, then our echo, payload included.
Bytes errorQuoting(uint8_t type, uint8_t code, uint16_t identifier, uint16_t sequence, size_t quotedOptionWords)
{
    const Bytes echo = IcmpPacket::buildEchoRequest(identifier, sequence, Payload.data(), Payload.size());
    return icmp(type, code, Bytes(4, 0) + withIp(Here, Target, 1, quotedOptionWords, echo));
}

} // namespace

class TestIcmpPacket : public QObject {
    Q_OBJECT

private slots:
    void checksumVectors()
    {
        const uint8_t rfc1071[] = {0x00, 0x01, 0xF2, 0x03, 0xF4, 0xF5, 0xF6, 0xF7};
        QCOMPARE(IcmpPacket::checksum(rfc1071, sizeof rfc1071), uint16_t(0x220D));
        const uint8_t odd[] = {0x01, 0x02, 0x03};
        QCOMPARE(IcmpPacket::checksum(odd, sizeof odd), uint16_t(~(0x0102 + 0x0300) & 0xFFFF));
        const Bytes carries(4, 0xFF);
        QCOMPARE(IcmpPacket::checksum(carries.data(), carries.size()), uint16_t(0));
        // Every length, against the sum of big-endian 16-bit words as RFC 1071 writes it.
        Bytes bytes{0x9C};
        for (size_t length = 1; length <= 70; ++length) {
            uint32_t sum = 0;
            for (size_t i = 0; i < length; i += 2)
                sum += uint32_t(bytes[i]) << 8 | (i + 1 < length ? bytes[i + 1] : 0);
            while (sum >> 16 != 0)
                sum = (sum & 0xFFFF) + (sum >> 16);
            QCOMPARE(IcmpPacket::checksum(bytes.data(), length), uint16_t(~sum));
            bytes.push_back(uint8_t(0xF7 * length + 0x3D));
        }
    }

    void buildsEchoRequest()
    {
        const Bytes request = IcmpPacket::buildEchoRequest(0xBEEF, 0x0102, Payload.data(), Payload.size());
        QCOMPARE(request.size(), 8 + Payload.size());
        QCOMPARE(Bytes(request.begin(), request.begin() + 8),
                 (Bytes{8, 0, request[2], request[3], 0xBE, 0xEF, 0x01, 0x02}));
        QCOMPARE(Bytes(request.begin() + 8, request.end()), Payload);
        QCOMPARE(IcmpPacket::checksum(request.data(), request.size()), uint16_t(0));
    }

    void decodesReplies_data()
    {
        QTest::addColumn<Bytes>("bytes");
        QTest::addColumn<bool>("withIpHeader");
        QTest::addColumn<uint32_t>("source");
        QTest::addColumn<uint8_t>("ttl");
        QTest::addColumn<size_t>("dataOffset");
        const Bytes reply = echoReply(0xBEEF, 0x0102, Payload);
        QTest::newRow("raw") << withIp(Target, Here, 57, 0, reply) << true << Target << uint8_t(57) << size_t(28);
        QTest::newRow("raw with IP options")
            << withIp(Target, Here, 3, 1, reply) << true << Target << uint8_t(3) << size_t(32);
        QTest::newRow("datagram") << reply << false << 0u << uint8_t(0) << size_t(8);
    }

    void decodesReplies()
    {
        QFETCH(Bytes, bytes);
        QFETCH(bool, withIpHeader);
        QFETCH(uint32_t, source);
        QFETCH(uint8_t, ttl);
        QFETCH(size_t, dataOffset);
        const IcmpPacket::Decoded decoded = IcmpPacket::decode(bytes.data(), bytes.size(), withIpHeader);
        QCOMPARE(decoded.kind, Kind::EchoReply);
        QCOMPARE(decoded.identifier, uint16_t(0xBEEF));
        QCOMPARE(decoded.sequence, uint16_t(0x0102));
        QCOMPARE(decoded.source, htonl(source));
        QCOMPARE(decoded.ttl, ttl);
        QCOMPARE(decoded.dataOffset, dataOffset);
        QCOMPARE(Bytes(bytes.begin() + long(dataOffset), bytes.begin() + long(dataOffset + decoded.dataSize)), Payload);
    }

    // Every ICMP error the kernel reports, by type and code: the status it ends the request with and
    // that status's text. The quoted request may carry IP options.
    void errorsEndRequestsWithTheirStatus_data()
    {
        QTest::addColumn<uint8_t>("type");
        QTest::addColumn<uint8_t>("code");
        QTest::addColumn<uint32_t>("status");
        QTest::addColumn<QString>("text");
        const QString net = "Destination network unreachable", host = "Destination host unreachable";
        const struct {
            const char *name;
            uint8_t code;
            uint32_t status;
            QString text;
        } unreachable[] = {
            {"network", 0, IP_DEST_NET_UNREACHABLE, net},
            {"host", 1, IP_DEST_HOST_UNREACHABLE, host},
            {"protocol", 2, IP_DEST_PROT_UNREACHABLE, "Destination protocol unreachable"},
            {"port", 3, IP_DEST_PORT_UNREACHABLE, "Destination port unreachable"},
            {"fragmentation needed", 4, IP_PACKET_TOO_BIG, "Packet too big"},
            {"source route failed", 5, IP_BAD_ROUTE, "Bad route"},
            {"network unknown", 6, IP_DEST_NET_UNREACHABLE, net},
            {"host unknown", 7, IP_DEST_HOST_UNREACHABLE, host},
            {"source host isolated", 8, IP_DEST_HOST_UNREACHABLE, host},
            {"network prohibited", 9, IP_DEST_HOST_UNREACHABLE, host},
            {"host prohibited", 10, IP_DEST_HOST_UNREACHABLE, host},
            {"network for the service", 11, IP_DEST_NET_UNREACHABLE, net},
            {"host for the service", 12, IP_DEST_HOST_UNREACHABLE, host},
            {"administratively prohibited", 13, IP_DEST_HOST_UNREACHABLE, host},
            {"precedence violation", 14, IP_DEST_HOST_UNREACHABLE, host},
            {"precedence cut-off", 15, IP_DEST_HOST_UNREACHABLE, host},
        };
        for (const auto &row : unreachable)
            QTest::addRow("unreachable: %s", row.name) << uint8_t(3) << row.code << row.status << row.text;
        QTest::newRow("time exceeded in transit")
            << uint8_t(11) << uint8_t(0) << uint32_t(IP_TTL_EXPIRED_TRANSIT) << "TTL expired in transit";
        QTest::newRow("time exceeded in reassembly")
            << uint8_t(11) << uint8_t(1) << uint32_t(IP_TTL_EXPIRED_REASSEM) << "TTL expired in reassembly";
        for (uint8_t code : {0, 1, 2})
            QTest::addRow("parameter problem %d", code)
                << uint8_t(12) << code << uint32_t(IP_PARAM_PROBLEM) << "Parameter problem";
        QTest::newRow("source quench") << uint8_t(4) << uint8_t(0) << uint32_t(IP_SOURCE_QUENCH) << "Source quench";
    }

    // The identifier, sequence, destination and payload come from the quoted request, the source from
    // the error's own header.
    void errorsEndRequestsWithTheirStatus()
    {
        QFETCH(uint8_t, type);
        QFETCH(uint8_t, code);
        QFETCH(uint32_t, status);
        QFETCH(QString, text);
        QCOMPARE(IcmpPacket::statusOfError(type, code), status);
        QCOMPARE(QString::fromStdString(EchoTerms::errorText(int(status))), text);
        for (size_t quotedOptionWords : {0, 2}) {
            const Bytes error = errorQuoting(type, code, 0x1234, 0x0009, quotedOptionWords);
            for (bool withIpHeader : {true, false}) {
                const Bytes bytes = withIpHeader ? withIp(Router, Here, 250, 0, error) : error;
                const IcmpPacket::Decoded decoded = IcmpPacket::decode(bytes.data(), bytes.size(), withIpHeader);
                QCOMPARE(decoded.kind, Kind::Error);
                QCOMPARE(decoded.status, status);
                QCOMPARE(decoded.identifier, uint16_t(0x1234));
                QCOMPARE(decoded.sequence, uint16_t(0x0009));
                QCOMPARE(decoded.quotedDestination, htonl(Target));
                QCOMPARE(decoded.source, withIpHeader ? htonl(Router) : 0u);
                const auto quoted = bytes.begin() + long(decoded.quotedOffset);
                QCOMPARE(Bytes(quoted, quoted + long(decoded.quotedSize)), Payload);
            }
        }
    }

    // A redirect, or any message that is neither an error nor an echo, ends no request even when it
    // quotes ours.
    void otherMessagesEndNoRequest()
    {
        for (const auto &[type, code] : {std::pair<uint8_t, uint8_t>{5, 0}, {5, 1}, {5, 2}, {5, 3}, {9, 0}, {13, 0}}) {
            QCOMPARE(IcmpPacket::statusOfError(type, code), 0u);
            const Bytes message = withIp(Router, Here, 64, 0, errorQuoting(type, code, 1, 2, 0));
            QCOMPARE(IcmpPacket::decode(message.data(), message.size(), true).kind, Kind::Other);
        }
    }

    // Our own request seen on loopback, and the bare request a datagram socket hands back with an
    // error, are requests: never replies.
    void decodesRequests()
    {
        const Bytes request = IcmpPacket::buildEchoRequest(0x4242, 7, Payload.data(), Payload.size());
        const Bytes raw = withIp(Here, Here, 64, 0, request);
        QCOMPARE(IcmpPacket::decode(raw.data(), raw.size(), true).kind, Kind::EchoRequest);
        const IcmpPacket::Decoded quoted = IcmpPacket::decode(request.data(), 8, false);
        QCOMPARE(quoted.kind, Kind::EchoRequest);
        QCOMPARE(quoted.identifier, uint16_t(0x4242));
        QCOMPARE(quoted.sequence, uint16_t(7));
    }

    // Decoding reads only the given bytes, and refuses every cut. Each cut is decoded twice: in place,
    // with the rest of the packet after it, so that a decoder reading past the cut would find a whole
    // packet and accept it; and from a buffer of its own, so that the address sanitizer sees any read
    // past it.
    void refusesTruncated()
    {
        const Bytes reply = echoReply(1, 2, Payload);
        const Bytes error = errorQuoting(11, 0, 1, 2, 1);
        const std::pair<Bytes, bool> packets[] = {{withIp(Target, Here, 64, 1, reply), true},
                                                  {withIp(Router, Here, 64, 0, error), true},
                                                  {reply, false},
                                                  {error, false}};
        for (const auto &[whole, withIpHeader] : packets) {
            QVERIFY(IcmpPacket::decode(whole.data(), whole.size(), withIpHeader).kind != Kind::Other);
            for (size_t len = 0; len < whole.size(); ++len) {
                const Bytes cut(whole.begin(), whole.begin() + long(len));
                const QByteArray where = QStringLiteral("cut at %1 of %2").arg(len).arg(whole.size()).toLatin1();
                QVERIFY2(IcmpPacket::decode(whole.data(), len, withIpHeader).kind == Kind::Other, where);
                QVERIFY2(IcmpPacket::decode(cut.data(), len, withIpHeader).kind == Kind::Other, where);
            }
        }
    }

    void refusesMalformed_data()
    {
        QTest::addColumn<Bytes>("bytes");
        const Bytes good = withIp(Target, Here, 64, 0, echoReply(1, 2, Payload));
        const auto with = [&good](size_t at, uint8_t value) {
            Bytes bytes = good;
            bytes[at] = value;
            return bytes;
        };
        QTest::newRow("checksum") << with(good.size() - 1, good.back() ^ 0x01);
        QTest::newRow("IHL below 5") << with(0, 0x44);
        QTest::newRow("IHL past the end") << with(0, 0x4F);
        QTest::newRow("not IPv4") << with(0, 0x65);
        QTest::newRow("not ICMP") << with(9, 17);
        Bytes quotedUdp = withIp(Here, Target, 1, 0, Bytes(8, 0));
        quotedUdp[9] = 17;
        QTest::newRow("error quoting UDP") << withIp(Router, Here, 64, 0, icmp(3, 1, Bytes(4, 0) + quotedUdp));
    }

    void refusesMalformed()
    {
        QFETCH(Bytes, bytes);
        QCOMPARE(IcmpPacket::decode(bytes.data(), bytes.size(), true).kind, Kind::Other);
    }
};

TOZELO_GUILESS_TEST_MAIN(TestIcmpPacket)
#include "tst_IcmpPacket.moc"
