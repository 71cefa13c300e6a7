// ARP requests and replies as the wire carries them, byte for byte, and the socket filter that keeps
// replies alone, run by the kernel on a socket pair.
#include "TestMain.h"
#include "platform/ArpPacket.h"

#include <QtTest>
#include <arpa/inet.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace {

const uint8_t Ours[HardwareAddress::Size] = {0x02, 0x18, 0x09, 0x00, 0x00, 0x01};
const uint8_t Theirs[HardwareAddress::Size] = {0x00, 0x16, 0x3e, 0x18, 0x09, 0x02};

// 198.18.9.2 is at 00:16:3e:18:09:02, to 198.18.9.1 at 02:18:09:00:00:01, padded as a link pads it.
std::vector<uint8_t> reply()
{
    std::vector<uint8_t> frame = {0x02, 0x18, 0x09, 0x00, 0x00, 0x01, 0x00, 0x16, 0x3e, 0x18, 0x09, 0x02, 0x08, 0x06,
                                  0x00, 0x01, 0x08, 0x00, 0x06, 0x04, 0x00, 0x02, 0x00, 0x16, 0x3e, 0x18, 0x09, 0x02,
                                  198,  18,   9,    2,    0x02, 0x18, 0x09, 0x00, 0x00, 0x01, 198,  18,   9,    1};
    frame.resize(60);
    return frame;
}

// Whether the filter lets a frame through to the reading end of a datagram socket pair.
bool passes(const std::vector<uint8_t> &frame)
{
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_DGRAM, 0, ends) != 0)
        return false;
    std::vector<sock_filter> code = ArpPacket::replyFilter();
    const sock_fprog filter{static_cast<unsigned short>(code.size()), code.data()};
    uint8_t got[64];
    const bool through = setsockopt(ends[1], SOL_SOCKET, SO_ATTACH_FILTER, &filter, sizeof filter) == 0 &&
                         send(ends[0], frame.data(), frame.size(), 0) == ssize_t(frame.size()) &&
                         recv(ends[1], got, sizeof got, MSG_DONTWAIT) == ssize_t(frame.size());
    close(ends[0]);
    close(ends[1]);
    return through;
}

} // namespace

class tst_ArpPacket : public QObject {
    Q_OBJECT
private slots:
    void requestAsksTheLink()
    {
        const auto frame = ArpPacket::request(HardwareAddress(Ours), inet_addr("198.18.9.1"), inet_addr("198.18.9.2"));
        const std::vector<uint8_t> expected = {0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x02, 0x18, 0x09, 0x00, 0x00,
                                               0x01, 0x08, 0x06, 0x00, 0x01, 0x08, 0x00, 0x06, 0x04, 0x00, 0x01,
                                               0x02, 0x18, 0x09, 0x00, 0x00, 0x01, 198,  18,   9,    1,    0x00,
                                               0x00, 0x00, 0x00, 0x00, 0x00, 198,  18,   9,    2};
        QCOMPARE(std::vector<uint8_t>(frame.begin(), frame.end()), expected);
    }

    void replyNamesTheHardware()
    {
        const std::vector<uint8_t> frame = reply();
        const std::optional<ArpPacket::Reply> heard = ArpPacket::replyOf(frame.data(), frame.size());
        QVERIFY(heard);
        QCOMPARE(heard->sender, inet_addr("198.18.9.2"));
        QCOMPARE(heard->target, inet_addr("198.18.9.1"));
        QVERIFY(heard->hardware == HardwareAddress(Theirs));
        QVERIFY(passes(frame));
    }

    // What is not a whole ARP reply for IPv4 over Ethernet is neither read nor let through.
    void otherFramesAreNoReply_data()
    {
        QTest::addColumn<int>("at");
        QTest::addColumn<int>("value");
        QTest::newRow("a request") << 21 << 1;
        QTest::newRow("an IPv4 packet") << 13 << 0x00;
        QTest::newRow("another hardware") << 15 << 6;
        QTest::newRow("another protocol") << 17 << 0xdd;
        QTest::newRow("a longer address") << 18 << 8;
    }

    void otherFramesAreNoReply()
    {
        QFETCH(int, at);
        QFETCH(int, value);
        std::vector<uint8_t> frame = reply();
        frame[size_t(at)] = uint8_t(value);
        QVERIFY(!ArpPacket::replyOf(frame.data(), frame.size()));
        QCOMPARE(passes(frame), at != 13 && at != 21);
        const std::vector<uint8_t> cut = reply();
        QVERIFY(!ArpPacket::replyOf(cut.data(), ArpPacket::FrameBytes - 1));
    }
};

TOZELO_GUILESS_TEST_MAIN(tst_ArpPacket)
#include "tst_ArpPacket.moc"
