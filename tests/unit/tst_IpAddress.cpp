// The address of either family: what reads as one, its one written form, zones, order.
#include "TestMain.h"
#include "platform/IpAddress.h"

#include <QtTest>
#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>

class tst_IpAddress : public QObject {
    Q_OBJECT
private slots:
    void writtenForms_data();
    void writtenForms();
    void zones();
    void socketAddresses();
    void order();
};

void tst_IpAddress::writtenForms_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("written"); // "" when text is no address
    QTest::newRow("dotted") << "198.18.0.1"
                            << "198.18.0.1";
    QTest::newRow("short IPv4 form") << "127.1"
                                     << "";
    QTest::newRow("leading zero") << "198.18.0.01"
                                  << "";
    QTest::newRow("long IPv6") << "2001:0DB8:0:0:0:0:0:1"
                               << "2001:db8::1";
    QTest::newRow("shortened elsewhere") << "2001:db8:0::0:1"
                                         << "2001:db8::1";
    QTest::newRow("the longest run of zeros") << "2001:0:0:1:0:0:0:1"
                                              << "2001:0:0:1::1";
    QTest::newRow("the first of two as long") << "2001:db8:0:0:1:0:0:1"
                                              << "2001:db8::1:0:0:1";
    QTest::newRow("one zero group stays") << "2001:db8:0:1:1:1:1:1"
                                          << "2001:db8:0:1:1:1:1:1";
    QTest::newRow("unspecified") << "0:0:0:0:0:0:0:0"
                                 << "::";
    QTest::newRow("IPv4 inside") << "::FFFF:198.18.0.1"
                                 << "::ffff:198.18.0.1";
    QTest::newRow("IPv4 inside, written long") << "0:0:0:0:0:ffff:198.18.0.1"
                                               << "::ffff:198.18.0.1";
    QTest::newRow("IPv4 inside, octet above 255") << "::ffff:198.18.0.256"
                                                  << "";
    QTest::newRow("IPv4 as one number") << "3323068417"
                                        << "";
    QTest::newRow("IPv4 in hexadecimal") << "0xc6.18.0.1"
                                         << "";
    QTest::newRow("nine groups") << "1:2:3:4:5:6:7:8:9"
                                 << "";
    QTest::newRow("name") << "answering.tozelo.test"
                          << "";
    QTest::newRow("two runs shortened") << "2001::1::1"
                                        << "";
    QTest::newRow("group too long") << "2001:db8::10000"
                                    << "";
    QTest::newRow("blank") << " ::1"
                           << "";
    QTest::newRow("empty zone") << "fe80::1%"
                                << "";
}

// One machine, one text: an IPv6 address however it was typed reads as its shortest form, which is
// how the found machines and the machine list match it; anything else stays as it is.
void tst_IpAddress::writtenForms()
{
    QFETCH(QString, text);
    QFETCH(QString, written);
    const std::optional<IpAddress> address = IpAddress::parse(text.toStdString());
    QCOMPARE(address.has_value(), !written.isEmpty());
    if (address)
        QCOMPARE(QString::fromStdString(address->toString()), written);
    const bool v6 = address && address->isV6();
    QCOMPARE(QString::fromStdString(IpAddress::canonicalText(text.toStdString())), v6 ? written : text);
}

// A link-local address needs its link: by name or index, written back by name.
void tst_IpAddress::zones()
{
    const unsigned loopback = if_nametoindex("lo");
    QVERIFY(loopback != 0);
    for (const std::string &text : {std::string("fe80::1%lo"), "fe80::1%" + std::to_string(loopback)}) {
        const std::optional<IpAddress> address = IpAddress::parse(text);
        QVERIFY(address);
        QCOMPARE(address->scopeId(), uint32_t(loopback));
        QCOMPARE(address->toString(), std::string("fe80::1%lo"));
        QVERIFY(*address != address->withoutScope());
        QCOMPARE(address->withoutScope().toString(), std::string("fe80::1"));
    }
    QVERIFY(!IpAddress::parse("fe80::1%no-such-link0"));
    // An index is 32 bits; a name no longer than the system allows.
    QCOMPARE(IpAddress::parse("fe80::1%4294967295")->scopeId(), 4294967295u);
    for (const std::string &zone : {std::string("4294967296"), std::string(23, '9'), std::string(IF_NAMESIZE, 'l')})
        QVERIFY2(!IpAddress::parse("fe80::1%" + zone), zone.c_str());
    QVERIFY(!IpAddress::parse("198.18.0.1%lo"));
}

void tst_IpAddress::socketAddresses()
{
    for (const char *text : {"198.18.0.1", "fd00:198:18::1", "fe80::1%lo"}) {
        const IpAddress address = *IpAddress::parse(text);
        sockaddr_storage storage;
        const socklen_t length = address.toSockaddr(storage);
        QCOMPARE(length, socklen_t(address.isV4() ? sizeof(sockaddr_in) : sizeof(sockaddr_in6)));
        QCOMPARE(IpAddress::of(reinterpret_cast<const sockaddr *>(&storage)), address);
    }
    sockaddr_storage none{};
    none.ss_family = AF_UNIX;
    QVERIFY(IpAddress::of(reinterpret_cast<const sockaddr *>(&none)).isNull());
    QVERIFY(IpAddress::of(nullptr).isNull());
    QCOMPARE(IpAddress().toString(), std::string());
    QCOMPARE(IpAddress::parse("fd00::1")->v4(), 0u);
}

// IPv4 before IPv6, each by its numbers: the sweep's address order.
void tst_IpAddress::order()
{
    const char *inOrder[] = {"9.255.255.255", "10.0.0.1", "255.255.255.255", "::", "::1", "fd00::1", "fd00::1:0"};
    for (size_t i = 1; i < std::size(inOrder); ++i) {
        const IpAddress before = *IpAddress::parse(inOrder[i - 1]), after = *IpAddress::parse(inOrder[i]);
        QVERIFY2(before < after && !(after < before), inOrder[i]);
    }
}

TOZELO_GUILESS_TEST_MAIN(tst_IpAddress)
#include "tst_IpAddress.moc"
