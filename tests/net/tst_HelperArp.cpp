// The helper's ARP on the client's own link, 198.18.9.0/24 (interface to-l): the bridge 198.18.9.2
// and 198.18.9.3, silent to echo, and 198.18.9.4, answering it, are found with their hardware
// addresses, 198.18.9.5 (no host) is not; the helper refuses an interface that is not Ethernet or
// not up, and a target outside the interface's subnets, and then sends nothing on the link.
#include "net/AskedOnLink.h"
#include "net/TestbedMain.h"
#include "platform/HelperProtocol.h"
#include "sweep/HelperArp.h"
#include "testbed/TestbedNamespaces.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>
#include <net/if.h>

#include <stdexcept>

namespace {

constexpr const char *Link = "to-l";

IpAddress v4(const char *text)
{
    return *IpAddress::parse(text);
}

QStringList lines(const HelperArp::Found &found)
{
    QStringList text;
    for (const auto &[address, hardware] : found)
        text << QString::fromStdString(address.toString() + " " + hardware.toString());
    text.sort();
    return text;
}

// Why the helper refused the interface, or empty where it did not.
QString refusalOf(unsigned link)
{
    try {
        HelperArp arp(int(link), 100);
        return QString();
    } catch (const std::runtime_error &e) {
        return QString::fromUtf8(e.what());
    }
}

bool ip(const QStringList &args)
{
    return QProcess::execute(TestbedNamespaces::tool("ip"), QStringList{"-n", TestbedNamespaces::nameOf("c")} + args) ==
           0;
}

} // namespace

class TestHelperArp : public QObject {
    Q_OBJECT

    const std::atomic<bool> m_running{false};

private slots:
    // A second batch on the same channel is answered as the first. The subnet's network and
    // broadcast addresses and the client's own, which a sweep of the whole subnet holds, are no
    // host's: they are left out, not asked.
    void findsTheLinksHosts()
    {
        HelperArp arp(int(if_nametoindex(Link)), 1000);
        AskedOnLink link(Link);
        QVERIFY(link.watching());
        uint64_t unsent = 0;
        int error = 0;
        const std::optional<HelperArp::Found> found =
            arp.ask({v4("198.18.9.0"), v4("198.18.9.1"), v4("198.18.9.2"), v4("198.18.9.3"), v4("198.18.9.4"),
                     v4("198.18.9.5"), v4("198.18.9.255")},
                    1000, m_running, unsent, error);
        QVERIFY(found);
        QCOMPARE(lines(*found), (QStringList{"198.18.9.2 00:16:3e:18:09:02", "198.18.9.3 02:18:09:00:00:03",
                                             "198.18.9.4 00:50:56:18:09:04"}));
        QCOMPARE(unsent, uint64_t(0));
        for (const char *none : {"198.18.9.0", "198.18.9.1", "198.18.9.255"})
            QVERIFY2(!link.asked().contains(none), none);
        const std::optional<HelperArp::Found> again = arp.ask({v4("198.18.9.4")}, 1000, m_running, unsent, error);
        QVERIFY(again);
        QCOMPARE(lines(*again), QStringList{"198.18.9.4 00:50:56:18:09:04"});
    }

    // A stop ends an ask long before its wait is over, and the helper ends with its channel.
    void stopEndsTheAsk()
    {
        const std::atomic<bool> stopped{true};
        QElapsedTimer clock;
        clock.start();
        {
            HelperArp arp(int(if_nametoindex(Link)), 1000);
            uint64_t unsent = 0;
            int error = 0;
            QVERIFY(!arp.ask({v4("198.18.9.5")}, int(HelperProtocol::MaxArpWaitMs), stopped, unsent, error));
        }
        QVERIFY(clock.elapsed() < HelperProtocol::MaxArpWaitMs / 2);
    }

    // A batch with one target off the link's subnets is refused whole, and nothing goes out.
    void refusesTargetsOffTheSubnets()
    {
        HelperArp arp(int(if_nametoindex(Link)), 1000);
        uint64_t unsent = 0;
        int error = 0;
        AskedOnLink link(Link);
        QVERIFY(link.watching());
        QVERIFY(!arp.ask({v4("198.18.9.2"), v4("198.18.2.1")}, 300, m_running, unsent, error));
        const QSet<QString> asked = link.asked();
        QVERIFY(!asked.contains("198.18.9.2"));
        QVERIFY(!asked.contains("198.18.2.1"));
    }

    // Loopback is no Ethernet; a link that is down, or has no IPv4 address, is no link to ask.
    void refusesInterfaces()
    {
        QVERIFY(refusalOf(if_nametoindex("lo")).contains("cannot be asked by ARP"));
        QVERIFY(!refusalOf(0).isEmpty());
        QVERIFY(ip({"link", "add", "arp-near", "type", "veth", "peer", "name", "arp-far"}));
        const unsigned near = if_nametoindex("arp-near");
        const QString down = refusalOf(near);
        const bool up = ip({"link", "set", "arp-near", "up"});
        const QString noAddress = refusalOf(near);
        const bool addressed = ip({"addr", "add", "198.19.250.1/30", "dev", "arp-near"});
        const QString ready = refusalOf(near);
        ip({"link", "del", "arp-near"});
        QVERIFY(up && addressed);
        QVERIFY2(down.contains("cannot be asked by ARP"), qPrintable(down));
        QVERIFY2(noAddress.contains("cannot be asked by ARP"), qPrintable(noAddress));
        QCOMPARE(ready, QString());
    }
};

TOZELO_TESTBED_TEST_MAIN(TestHelperArp)
#include "tst_HelperArp.moc"
