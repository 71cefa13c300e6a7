#include "TestMain.h"
#include "platform/IcmpApi.h"
#include "platform/IcmpTypes.h"
#include "platform/Sockets.h"

#include <QtTest>
#include <algorithm>
#include <arpa/inet.h>
#include <thread>

// The sockets stand-ins. Name resolution is tried with "localhost" only, which the hosts file
// answers: no query may leave this machine.
class TestSockets : public QObject {
    Q_OBJECT

private slots:
    void inetAddr_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<uint32_t>("hostOrder");
        QTest::newRow("dotted") << "10.0.0.1" << 0x0A000001u;
        QTest::newRow("short form") << "127.1" << 0x7F000001u;
        QTest::newRow("broadcast is no address") << "255.255.255.255" << INADDR_NONE_VALUE;
        QTest::newRow("a name") << "abc" << INADDR_NONE_VALUE;
        QTest::newRow("empty") << "" << INADDR_NONE_VALUE;
    }

    void inetAddr()
    {
        QFETCH(QString, text);
        QFETCH(uint32_t, hostOrder);
        QCOMPARE(Sockets::inet_addr(text.toStdString()), htonl(hostOrder));
    }

    void inetNtoa()
    {
        QCOMPARE(Sockets::inet_ntoa(htonl(0x7F000001)), std::string("127.0.0.1"));
        QCOMPARE(Sockets::inet_ntoa(htonl(0xC0A8FF0A)), std::string("192.168.255.10"));
        QCOMPARE(Sockets::inet_ntoa(Sockets::inet_addr("127.1")), std::string("127.0.0.1"));
    }

    void resolvesLocalhost()
    {
        Sockets::HostEntry entry;
        IcmpApi::SetLastError(WSAHOST_NOT_FOUND);
        QVERIFY(Sockets::gethostbyname("localhost", entry));
        QCOMPARE(Sockets::WSAGetLastError(), 0u);
        QVERIFY(!entry.officialName.empty());
        QVERIFY(std::find(entry.addresses.begin(), entry.addresses.end(), IpAddress::v4(htonl(0x7F000001))) !=
                entry.addresses.end());
        QVERIFY(std::all_of(entry.addresses.begin(), entry.addresses.end(),
                            [](const IpAddress &address) { return (ntohl(address.v4()) >> 24) == 127; }));
    }

    // A name stands for its IPv4 address when it has one, whatever order the resolver gave.
    void preferredAddress()
    {
        const IpAddress v4 = *IpAddress::parse("198.18.2.1");
        const IpAddress v6 = *IpAddress::parse("fd00:198:18:2::1");
        const IpAddress other6 = *IpAddress::parse("fd00:198:18:2::2");
        QCOMPARE((Sockets::HostEntry{"dual", {v6, other6, v4}}.preferred()), v4);
        QCOMPARE((Sockets::HostEntry{"v6", {v6, other6}}.preferred()), v6);
        QVERIFY(Sockets::HostEntry().preferred().isNull());
    }

    // The resolver's error and the echo module's share one last-error value per thread.
    void lastErrorIsPerThread()
    {
        IcmpApi::SetLastError(IP_REQ_TIMED_OUT);
        uint32_t seenElsewhere = 1;
        std::thread([&] { seenElsewhere = Sockets::WSAGetLastError(); }).join();
        QCOMPARE(seenElsewhere, 0u);
        QCOMPARE(Sockets::WSAGetLastError(), uint32_t(IP_REQ_TIMED_OUT));
    }
};

TOZELO_GUILESS_TEST_MAIN(TestSockets)
#include "tst_Sockets.moc"
