// The helper's purpose for a link's hosts, as a client's messages reach it: settings out of range
// open nothing, a message of another kind or length breaks the protocol, and an ask it cannot check
// against the link's subnets is refused whole.
#include "TestMain.h"
#include "helper/ArpService.h"

#include <QtTest>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

using namespace HelperProtocol;

namespace {

Open openOf(uint16_t family, ArpOpen settings)
{
    Open request;
    request.purpose = Purpose::Arp;
    request.family = family;
    std::memcpy(request.settings, &settings, sizeof settings);
    return request;
}

ArpOpen settings(int32_t link = 2, uint32_t rate = 100)
{
    ArpOpen open;
    open.link = link;
    open.rate = rate;
    return open;
}

} // namespace

class tst_ArpService : public QObject {
    Q_OBJECT

private slots:
    void settingsInRangeAlone_data()
    {
        QTest::addColumn<int>("family");
        QTest::addColumn<int>("link");
        QTest::addColumn<int>("rate");
        QTest::addColumn<bool>("taken");
        QTest::newRow("IPv4") << AF_INET << 2 << 100 << true;
        QTest::newRow("the highest rate") << AF_INET << 2 << int(MaxArpRate) << true;
        QTest::newRow("IPv6") << AF_INET6 << 2 << 100 << false;
        QTest::newRow("no link") << AF_INET << 0 << 100 << false;
        QTest::newRow("a negative link") << AF_INET << -1 << 100 << false;
        QTest::newRow("no rate") << AF_INET << 2 << 0 << false;
        QTest::newRow("past the highest rate") << AF_INET << 2 << int(MaxArpRate) + 1 << false;
    }

    void settingsInRangeAlone()
    {
        QFETCH(int, family);
        QFETCH(int, link);
        QFETCH(int, rate);
        QFETCH(bool, taken);
        Open request = openOf(uint16_t(family), settings(link, uint32_t(rate)));
        QCOMPARE(ArpService::settingsOf(request).has_value(), taken);
        request.settings[sizeof(ArpOpen)] = 1;
        QVERIFY(!ArpService::settingsOf(request));
        request = openOf(uint16_t(family), settings(link, uint32_t(rate)));
        request.purpose = Purpose::Sweep;
        QVERIFY(!ArpService::settingsOf(request));
    }

    // Unopened, the service knows no subnet: every ask is refused, and answered all the same.
    void asksAreCheckedWhole()
    {
        int ends[2];
        QCOMPARE(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends), 0);
        ArpService service(ends[1], settings());
        ArpAsk ask;
        ask.count = 2;
        ask.targets[0] = htonl(0xC6120902);
        ask.targets[1] = htonl(0xC6120903);
        const size_t whole = offsetof(ArpAsk, targets) + 2 * sizeof(uint32_t);
        QVERIFY(service.answer(reinterpret_cast<const uint8_t *>(&ask), whole));
        ArpFound found;
        QCOMPARE(recv(ends[0], &found, sizeof found, MSG_DONTWAIT), ssize_t(offsetof(ArpFound, hosts)));
        QCOMPARE(found.header.type, Type::ArpFound);
        QCOMPARE(found.refused, 1u);
        QCOMPARE(found.count, 0u);
        // A count that its length does not hold is refused too.
        QVERIFY(service.answer(reinterpret_cast<const uint8_t *>(&ask), whole + sizeof(uint32_t)));
        QCOMPARE(recv(ends[0], &found, sizeof found, MSG_DONTWAIT), ssize_t(offsetof(ArpFound, hosts)));
        QCOMPARE(found.refused, 1u);
        ask.header.type = Type::SweepSync;
        QVERIFY(!service.answer(reinterpret_cast<const uint8_t *>(&ask), whole));
        ask.header.type = Type::ArpAsk;
        ask.header.version = Version + 1;
        QVERIFY(!service.answer(reinterpret_cast<const uint8_t *>(&ask), whole));
        QVERIFY(!service.answer(reinterpret_cast<const uint8_t *>(&ask), sizeof(Header)));
        close(ends[0]);
        close(ends[1]);
    }
};

TOZELO_GUILESS_TEST_MAIN(tst_ArpService)
#include "tst_ArpService.moc"
