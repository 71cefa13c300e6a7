#include "TestMain.h"
#include "ping/icmp.h"
#include "platform/Icmp6Packet.h"
#include "platform/IcmpTypes.h"

#include <QtTest>

using Bytes = std::vector<uint8_t>;
using Icmp6Packet::Kind;

namespace {

const Icmp6Packet::Address Here = {0xfd, 0, 0x01, 0x98, 0, 0x18, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1};
const Icmp6Packet::Address Target = {0xfd, 0, 0x01, 0x98, 0, 0x18, 0, 2, 0, 0, 0, 0, 0, 0, 0, 1};
const Bytes Payload = {'P', 'i', 'n', 'g', 'i', 'n', 'g', '!', '?'};

constexpr uint8_t HopByHop = 0;
constexpr uint8_t Fragment = 44;
constexpr uint8_t DestinationOptions = 60;
constexpr uint8_t Icmp6 = 58;
constexpr uint8_t Udp = 17;

Bytes operator+(Bytes head, const Bytes &tail)
{
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
}

// An IPv6 header from Here to Target whose next header is next, then what follows it.
Bytes withIp6(uint8_t next, const Bytes &rest)
{
    Bytes header(40, 0);
    header[0] = 0x60;
    header[4] = uint8_t(rest.size() >> 8);
    header[5] = uint8_t(rest.size());
    header[6] = next;
    header[7] = 1;
    std::copy(Here.begin(), Here.end(), header.begin() + 8);
    std::copy(Target.begin(), Target.end(), header.begin() + 24);
    return header + rest;
}

// An error as a router sends it, quoting our request behind the extension headers given.
Bytes errorQuoting(uint8_t type, uint8_t code, uint8_t firstHeader, const Bytes &extensions, uint16_t identifier)
{
    const Bytes echo = Icmp6Packet::buildEchoRequest(identifier, 9, Payload.data(), Payload.size());
    return Bytes{type, code, 0, 0, 0, 0, 0x05, 0x00} + withIp6(firstHeader, extensions + echo);
}

Bytes errorQuoting(uint8_t type, uint8_t code)
{
    return errorQuoting(type, code, Icmp6, {}, 0x1234);
}

} // namespace

class TestIcmp6Packet : public QObject {
    Q_OBJECT

private slots:
    // The kernel sums what it sends; the sum is for those who make packets by hand.
    void checksumCoversThePseudoHeader()
    {
        Bytes request = Icmp6Packet::buildEchoRequest(0xBEEF, 1, Payload.data(), 4);
        QCOMPARE(Bytes(request.begin(), request.begin() + 8), (Bytes{128, 0, 0, 0, 0xBE, 0xEF, 0, 1}));
        QCOMPARE(Bytes(request.begin() + 8, request.end()), Bytes(Payload.begin(), Payload.begin() + 4));
        QCOMPARE(Icmp6Packet::checksum(Here, Target, request.data(), request.size()), uint16_t(0x0491));
        request[2] = 0x04;
        request[3] = 0x91;
        QCOMPARE(Icmp6Packet::checksum(Here, Target, request.data(), request.size()), uint16_t(0));
        QVERIFY(Icmp6Packet::checksum(Here, Here, request.data(), request.size()) != 0);
    }

    void decodesReplyAndRequest()
    {
        Bytes reply = Icmp6Packet::buildEchoRequest(0xBEEF, 0x0102, Payload.data(), Payload.size());
        QCOMPARE(Icmp6Packet::decode(reply.data(), reply.size()).kind, Kind::EchoRequest);
        reply[0] = Icmp6Packet::EchoReply;
        const Icmp6Packet::Decoded decoded = Icmp6Packet::decode(reply.data(), reply.size());
        QCOMPARE(decoded.kind, Kind::EchoReply);
        QCOMPARE(decoded.identifier, uint16_t(0xBEEF));
        QCOMPARE(decoded.sequence, uint16_t(0x0102));
        QCOMPARE(Bytes(reply.begin() + long(decoded.dataOffset), reply.end()), Payload);
        QCOMPARE(decoded.dataSize, Payload.size());
    }

    // Every ICMPv6 error by type and code: the status it ends a request with, and that status's text.
    void errorsEndRequestsWithTheirStatus_data()
    {
        QTest::addColumn<uint8_t>("type");
        QTest::addColumn<uint8_t>("code");
        QTest::addColumn<QString>("text");
        const QString net = "Destination network unreachable", host = "Destination host unreachable";
        const struct {
            const char *name;
            uint8_t code;
            QString text;
        } unreachable[] = {
            {"no route", 0, net},
            {"administratively prohibited", 1, host},
            {"beyond the source's scope", 2, "Bad route"},
            {"address", 3, host},
            {"port", 4, "Destination port unreachable"},
            {"source address policy", 5, host},
            {"reject route", 6, net},
            {"source routing header", 7, "Bad route"},
            {"unknown code", 99, host},
        };
        for (const auto &row : unreachable)
            QTest::addRow("unreachable: %s", row.name) << uint8_t(1) << row.code << row.text;
        QTest::newRow("packet too big") << uint8_t(2) << uint8_t(0) << "Packet too big";
        QTest::newRow("hop limit exceeded") << uint8_t(3) << uint8_t(0) << "TTL expired in transit";
        QTest::newRow("reassembly time exceeded") << uint8_t(3) << uint8_t(1) << "TTL expired in reassembly";
        QTest::newRow("parameter problem: header field") << uint8_t(4) << uint8_t(0) << "Parameter problem";
        QTest::newRow("parameter problem: next header")
            << uint8_t(4) << uint8_t(1) << "Destination protocol unreachable";
        QTest::newRow("parameter problem: option") << uint8_t(4) << uint8_t(2) << "Parameter problem";
    }

    // The identifier, sequence, destination and payload come from the quoted request, found past
    // whatever extension headers it carried.
    void errorsEndRequestsWithTheirStatus()
    {
        QFETCH(uint8_t, type);
        QFETCH(uint8_t, code);
        QFETCH(QString, text);
        const uint32_t status = Icmp6Packet::statusOfError(type, code);
        QCOMPARE(QString::fromStdString(EchoTerms::errorText(int(status))), text);
        const Bytes options = {DestinationOptions, 0, 1, 4, 0, 0, 0, 0};
        const Bytes firstFragment = {Icmp6, 0, 0, 0x01, 0, 0, 0, 7};
        const std::pair<uint8_t, Bytes> quotes[] = {
            {Icmp6, {}}, {HopByHop, options + Bytes{Icmp6, 0, 1, 4, 0, 0, 0, 0}}, {Fragment, firstFragment}};
        for (const auto &[first, extensions] : quotes) {
            const Bytes error = errorQuoting(type, code, first, extensions, 0x1234);
            const Icmp6Packet::Decoded decoded = Icmp6Packet::decode(error.data(), error.size());
            QCOMPARE(decoded.kind, Kind::Error);
            QCOMPARE(decoded.status, status);
            QCOMPARE(decoded.identifier, uint16_t(0x1234));
            QCOMPARE(decoded.sequence, uint16_t(9));
            QCOMPARE(decoded.quotedDestination, Target);
            QCOMPARE(decoded.mtu, type == Icmp6Packet::PacketTooBig ? 0x0500u : 0u);
            const auto quoted = error.begin() + long(decoded.quotedOffset);
            QCOMPARE(Bytes(quoted, quoted + long(decoded.quotedSize)), Payload);
        }
    }

    // Neighbour and router messages, redirects and errors about anything but the first fragment of
    // an echo request end no request.
    void otherMessagesEndNoRequest()
    {
        for (uint8_t type : {133, 134, 135, 136, 137, 143}) {
            QCOMPARE(Icmp6Packet::statusOfError(type, 0), 0u);
            const Bytes message = errorQuoting(type, 0);
            QCOMPARE(Icmp6Packet::decode(message.data(), message.size()).kind, Kind::Other);
        }
        const Bytes laterFragment = errorQuoting(1, 3, Fragment, {Icmp6, 0, 0, 0x08, 0, 0, 0, 7}, 1);
        QCOMPARE(Icmp6Packet::decode(laterFragment.data(), laterFragment.size()).kind, Kind::Other);
        Bytes quotedUdp = errorQuoting(1, 3, Udp, {}, 1);
        QCOMPARE(Icmp6Packet::decode(quotedUdp.data(), quotedUdp.size()).kind, Kind::Other);
        Bytes quotedReply = errorQuoting(1, 3);
        quotedReply[8 + 40] = Icmp6Packet::EchoReply;
        QCOMPARE(Icmp6Packet::decode(quotedReply.data(), quotedReply.size()).kind, Kind::Other);
        Bytes notIpv6 = errorQuoting(1, 3);
        notIpv6[8] = 0x45;
        QCOMPARE(Icmp6Packet::decode(notIpv6.data(), notIpv6.size()).kind, Kind::Other);
    }

    // Decoding reads only the given bytes: a header cut short decodes as nothing, in place (the rest
    // of the packet after it) and from a buffer of its own (for the address sanitizer).
    void refusesTruncated()
    {
        Bytes reply = Icmp6Packet::buildEchoRequest(1, 2, Payload.data(), Payload.size());
        reply[0] = Icmp6Packet::EchoReply;
        const Bytes error = errorQuoting(3, 0, HopByHop, {Icmp6, 0, 1, 4, 0, 0, 0, 0}, 1);
        const std::pair<Bytes, size_t> packets[] = {{reply, 8}, {error, 8 + 40 + 8 + 8}};
        for (const auto &[whole, headers] : packets) {
            for (size_t len = 0; len < headers; ++len) {
                const Bytes cut(whole.begin(), whole.begin() + long(len));
                const QByteArray where = QStringLiteral("cut at %1 of %2").arg(len).arg(whole.size()).toLatin1();
                QVERIFY2(Icmp6Packet::decode(whole.data(), len).kind == Kind::Other, where);
                QVERIFY2(Icmp6Packet::decode(cut.data(), len).kind == Kind::Other, where);
            }
            QVERIFY(Icmp6Packet::decode(whole.data(), headers).kind != Kind::Other);
        }
    }
};

TOZELO_GUILESS_TEST_MAIN(TestIcmp6Packet)
#include "tst_Icmp6Packet.moc"
