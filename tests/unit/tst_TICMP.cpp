#include "FakeNetwork.h"
#include "TestMain.h"
#include "ping/icmp.h"
#include "platform/IcmpApi.h"
#include "platform/Sockets.h"

#include <QtTest>
#include <algorithm>
#include <memory>

// The echo session on its own, over the scripted network: set-up and tear-down, resolution of
// dotted addresses, the requests it sends and how each way of failing reads.
class TestTICMP : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeNetwork> m_network;

private slots:
    void init() { m_network = std::make_unique<FakeNetwork>(); }

    void cleanup()
    {
        m_network.reset();
        IcmpApi::Testing::faults() = IcmpApi::Testing::Faults();
        Sockets::Testing::faults() = Sockets::Testing::Faults();
    }

    void setUpFailures_data()
    {
        QTest::addColumn<int>("step");
        QTest::addColumn<QString>("message");
        QTest::newRow("sockets") << 0 << "Error initialising Winsock";
        QTest::newRow("library") << 1 << "Unable to register icmp.dll";
        QTest::newRow("create entry") << 2 << "Error loading dll functions";
        QTest::newRow("close entry") << 3 << "Error loading dll functions";
        QTest::newRow("send entry") << 4 << "Error loading dll functions";
        QTest::newRow("IPv6 create entry") << 5 << "Error loading dll functions";
        QTest::newRow("IPv6 send entry") << 6 << "Error loading dll functions";
        QTest::newRow("handle") << 7 << "Unable to get ping handle";
    }

    // Every failing step raises its own text, and the half-built session is torn down: the
    // sockets library is always released, also when it never started.
    void setUpFailures()
    {
        QFETCH(int, step);
        QFETCH(QString, message);
        const char *entries[] = {"IcmpCreateFile", "IcmpCloseHandle", "IcmpSendEcho", "Icmp6CreateFile",
                                 "Icmp6SendEcho"};
        Sockets::Testing::faults().failStartup = step == 0;
        IcmpApi::Testing::faults().failLoadLibrary = step == 1;
        IcmpApi::Testing::faults().missingEntry = step >= 2 && step <= 6 ? entries[step - 2] : nullptr;
        IcmpApi::Testing::faults().failCreateFile = step == 7;
        const int cleanupsBefore = Sockets::Testing::faults().cleanups;
        try {
            TICMP session;
            QFAIL("set-up did not fail");
        } catch (const TICMPException &e) {
            QCOMPARE(QString::fromStdString(e.what()), message);
        }
        QCOMPARE(Sockets::Testing::faults().cleanups, cleanupsBefore + 1);
    }

    // An address resolves to itself; a short IPv4 form or a long IPv6 one keeps its name, and its
    // address reads in one form.
    void addressKeepsItsName_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("address");
        QTest::newRow("dotted") << "10.0.0.1"
                                << "10.0.0.1";
        QTest::newRow("short IPv4") << "127.1"
                                    << "127.0.0.1";
        QTest::newRow("long IPv6") << "FD00:7A:0:0:0:0:0:01"
                                   << "fd00:7a::1";
        QTest::newRow("IPv4 inside IPv6") << "::ffff:198.18.0.1"
                                          << "::ffff:198.18.0.1";
    }

    void addressKeepsItsName()
    {
        QFETCH(QString, text);
        QFETCH(QString, address);
        TICMP session;
        session.SetFamily(Sockets::Family::IPv4); // a name's family, never an address's
        session.SetAddress(text.toStdString());
        session.ResolveAddress();
        QVERIFY(session.AddressResolved());
        QCOMPARE(QString::fromStdString(session.ResolvedName()), text);
        QCOMPARE(QString::fromStdString(session.ResolvedIP()), address);
    }

    // The all-ones address is no target: it goes through name resolution, and what that yields
    // is refused before anything is sent.
    void broadcastIsInvalid()
    {
        TICMP session;
        QStringList lines;
        int requests = 0;
        session.OnDisplay = [&](QObject *, const std::string &msg) { lines << QString::fromStdString(msg); };
        session.OnEchoRequest = [&](QObject *) { ++requests; };
        session.SetAddress("255.255.255.255");
        QCOMPARE(session.SendPing(), 0);
        QCOMPARE(lines.last(), QString("Invalid host address"));
        QCOMPARE(session.LastError(), 11018);
        QCOMPARE(session.ErrorText(), std::string("Bad Destination"));
        QCOMPARE(requests, 0);
    }

    // A name that cannot be resolved leaves the last target's results as they were.
    void failedResolutionKeepsTheLastTarget()
    {
        TICMP session;
        QStringList shown;
        session.OnDisplay = [&](QObject *, const std::string &msg) { shown << QString::fromStdString(msg); };
        session.SetAddress("127.0.0.1");
        session.ResolveAddress();
        session.SetAddress("");
        session.ResolveAddress();
        QVERIFY(!session.AddressResolved());
        QCOMPARE(session.LastError(), 11001);
        QCOMPARE(session.ResolvedName(), std::string("127.0.0.1"));
        QCOMPARE(session.ResolvedIP(), std::string("127.0.0.1"));
        QCOMPARE(session.SendPing(), 0);
        QCOMPARE(shown, (QStringList{"Unable to resolve ", "Unable to resolve ", "Invalid host address"}));
        QCOMPARE(session.ErrorText(), std::string("Bad Destination"));
        QVERIFY(m_network->requests().empty());
    }

    void sameAddressIsNotResolvedAgain()
    {
        TICMP session;
        session.SetAddress("127.0.0.1");
        session.ResolveAddress();
        session.SetAddress("127.0.0.1");
        QVERIFY(session.AddressResolved());
        session.SetAddress("127.0.0.2");
        QVERIFY(!session.AddressResolved());
    }

    // Sizes that cannot make a packet fail as requests, before anything of that size exists.
    void unsoundSizes_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("status");
        QTest::newRow("too big") << 65501 << 11009;
        QTest::newRow("huge") << 2000000000 << 11009;
        QTest::newRow("negative") << -1 << 11011;
    }

    void unsoundSizes()
    {
        QFETCH(int, size);
        QFETCH(int, status);
        TICMP session;
        QList<int> replies;
        session.OnEchoReply = [&](QObject *, int error) { replies << error; };
        session.SetAddress("127.0.0.1");
        session.SetSize(size);
        QCOMPARE(session.SendPing(), 0);
        QCOMPARE(session.LastError(), status);
        QCOMPARE(replies, QList<int>{0});
        QVERIFY(m_network->requests().empty());
    }

    // Only the low byte of the TTL is sent: 256 would be 0, which Linux cannot send; 300 is 44.
    void ttlLowByte()
    {
        TICMP session;
        session.SetAddress("127.0.0.1");
        session.SetTTL(256);
        QCOMPARE(session.SendPing(), 0);
        QCOMPARE(session.ErrorText(), std::string("Bad option"));
        QVERIFY(m_network->requests().empty());
        session.SetTTL(300);
        QCOMPARE(session.SendPing(), 1);
        QCOMPARE(session.LastError(), 0);
        QCOMPARE(m_network->requests().back().ttl, 44);
        session.SetAddress("::1");
        QCOMPARE(session.SendPing(), 1);
        QCOMPARE(m_network->requests().back().ttl, 44);
    }

    void echo_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("IPv4") << "198.18.0.1";
        QTest::newRow("IPv6") << "fd00:7a::1";
    }

    void echo()
    {
        QFETCH(QString, target);
        m_network->setHost(target.toStdString(), FakeNetwork::answering(12));
        TICMP session;
        QStringList events;
        session.OnEchoRequest = [&](QObject *sender) {
            QCOMPARE(sender, &session);
            events << "request";
        };
        session.OnEchoReply = [&](QObject *sender, int replies) {
            QCOMPARE(sender, &session);
            events << QString("reply %1").arg(replies);
        };
        session.SetAddress(target.toStdString());
        for (int size : {0, 1, 56, 1500, 65500}) {
            session.SetSize(size);
            QCOMPARE(session.SendPing(), 1);
            QCOMPARE(m_network->requests().back().payload, EchoTerms::payloadOf(size));
            QCOMPARE(int(session.LastReply().DataSize), size);
            QCOMPARE(session.LastReply().Status, 0u);
            QCOMPARE(session.LastReply().RoundTripTime, 12u);
            QCOMPARE(session.ReplyAddress(), FakeNetwork::ip(target.toStdString()));
            QCOMPARE(session.LastReply().Address, session.ReplyAddress().v4());
        }
        QCOMPARE(events.size(), 10);
        QCOMPARE(events.first(), QString("request"));
        QCOMPARE(events.last(), QString("reply 1"));
    }

    void timeOut_data() { echo_data(); }

    // The session waits as long as its time-out says, and not at all for a negative one.
    void timeOut()
    {
        QFETCH(QString, target);
        m_network->setHost(target.toStdString(), FakeNetwork::silent());
        TICMP session;
        session.SetAddress(target.toStdString());
        for (int timeout : {700, 0, -5}) {
            session.SetTimeout(timeout);
            const int before = m_network->elapsedMs();
            QCOMPARE(session.SendPing(), 0);
            QCOMPARE(session.ErrorText(), std::string("Request timed out"));
            QCOMPARE(session.LastReply().Status, uint32_t(IP_REQ_TIMED_OUT));
            QCOMPARE(m_network->elapsedMs() - before, std::max(timeout, 0));
        }
    }

    void icmpErrors_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("router");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        const QString v4 = "198.18.0.3", router4 = "198.18.0.254", v6 = "fd00:7a::3", router6 = "fd00:7a::fe";
        QTest::newRow("host unreachable") << v4 << router4 << 3 << 1 << "Destination host unreachable";
        QTest::newRow("ttl expired in transit") << v4 << router4 << 11 << 0 << "TTL expired in transit";
        QTest::newRow("ttl expired in reassembly") << v4 << router4 << 11 << 1 << "TTL expired in reassembly";
        QTest::newRow("redirect: no answer") << v4 << router4 << 5 << 1 << "Request timed out";
        QTest::newRow("IPv6 address unreachable") << v6 << router6 << 1 << 3 << "Destination host unreachable";
        QTest::newRow("IPv6 hop limit exceeded") << v6 << router6 << 3 << 0 << "TTL expired in transit";
        QTest::newRow("IPv6 packet too big") << v6 << router6 << 2 << 0 << "Packet too big";
        QTest::newRow("IPv6 redirect: no answer") << v6 << router6 << 137 << 0 << "Request timed out";
    }

    // An ICMP error quoting the request ends it at once with its own text, from the router that sent
    // it; a redirect ends nothing. Every type and code with its text: tst_IcmpPacket.
    void icmpErrors()
    {
        QFETCH(QString, target);
        QFETCH(QString, router);
        QFETCH(int, type);
        QFETCH(int, code);
        QFETCH(QString, text);
        m_network->setHost(target.toStdString(),
                           FakeNetwork::failing(3, uint8_t(type), uint8_t(code), router.toStdString()));
        TICMP session;
        session.SetAddress(target.toStdString());
        session.SetTimeout(1000);
        const int before = m_network->elapsedMs();
        QCOMPARE(session.SendPing(), 0);
        QCOMPARE(QString::fromStdString(session.ErrorText()), text);
        QCOMPARE(session.LastReply().Status, uint32_t(session.LastError()));
        const bool ended = session.LastError() != int(IP_REQ_TIMED_OUT);
        QCOMPARE(m_network->elapsedMs() - before, ended ? 3 : 1000);
        if (ended)
            QCOMPARE(session.ReplyAddress(), FakeNetwork::ip(router.toStdString()));
    }
};

TOZELO_GUILESS_TEST_MAIN(TestTICMP)
#include "tst_TICMP.moc"
