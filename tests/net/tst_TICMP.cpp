#include "echo/EchoTerms.h"
#include "net/TestbedMain.h"
#include "ping/icmp.h"
#include "platform/HelperSocket.h"
#include "platform/IcmpAccess.h"
#include "platform/IcmpApi.h"
#include "platform/IcmpSocket.h"
#include "platform/Sockets.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>
#include <algorithm>
#include <atomic>
#include <memory>
#include <netinet/in.h>
#include <thread>
#include <vector>

// Echo sessions against the testbed's hosts, over both kinds of ICMP socket and both families: every
// test runs once on the unprivileged datagram sockets and once on the raw ones of the privileged
// helper.
Q_DECLARE_METATYPE(Sockets::Family)

class TestTICMPNet : public QObject {
    Q_OBJECT

    struct Outcome {
        int replies = 0;
        int lastError = 0;
        std::string errorText;
        ICMP_ECHO_REPLY reply;
        QString from;
        qint64 elapsedMs = 0;
    };

    static Outcome sendOne(const std::string &address, int timeout, int ttl = 64)
    {
        TICMP session;
        session.SetAddress(address);
        session.SetTimeout(timeout);
        session.SetTTL(ttl);
        QElapsedTimer clock;
        clock.start();
        Outcome outcome;
        outcome.replies = session.SendPing();
        outcome.elapsedMs = clock.elapsed();
        outcome.lastError = session.LastError();
        outcome.errorText = session.ErrorText();
        outcome.reply = session.LastReply();
        outcome.from = QString::fromStdString(session.ReplyAddress().toString());
        return outcome;
    }

    static QString replyAddress(const TICMP &session)
    {
        return QString::fromStdString(session.ReplyAddress().toString());
    }

private slots:
    void initTestCase_data()
    {
        QTest::addColumn<bool>("raw");
        QTest::newRow("datagram") << false;
        QTest::newRow("raw") << true;
    }

    void init()
    {
        QFETCH_GLOBAL(bool, raw);
        IcmpAccess::Testing::helperOnly() = raw;
    }

    void cleanup() { IcmpAccess::Testing::helperOnly() = false; }

    void socketKind()
    {
        QFETCH_GLOBAL(bool, raw);
        TICMP session;
        QCOMPARE(IcmpApi::socketKindOf(session.EchoHandle()),
                 raw ? IcmpApi::SocketKind::Helper : IcmpApi::SocketKind::Datagram);
    }

    // A forger who sees nothing must guess the identifier too: each socket draws its own, where the
    // kernel would hand out one after the other.
    void identifiersAreDrawn()
    {
        QFETCH_GLOBAL(bool, raw);
        std::vector<std::unique_ptr<EchoSocket>> sockets;
        std::vector<uint16_t> identifiers;
        for (int i = 0; i < 8; ++i) {
            auto datagram = std::make_unique<IcmpSocket>(AF_INET);
            std::unique_ptr<EchoSocket> socket = raw ? HelperSocket::open(AF_INET) : nullptr;
            if (!raw && datagram->openDatagram())
                socket = std::move(datagram);
            QVERIFY(socket);
            identifiers.push_back(socket->identifier());
            sockets.push_back(std::move(socket));
        }
        std::sort(identifiers.begin(), identifiers.end());
        QVERIFY(std::adjacent_find(identifiers.begin(), identifiers.end(),
                                   [](uint16_t a, uint16_t b) { return b - a > 1; }) != identifiers.end());
    }

    void answeringHost_data()
    {
        QTest::addColumn<QString>("host");
        QTest::newRow("IPv4") << "198.18.2.1";
        QTest::newRow("IPv6") << "fd00:198:18:2::1";
    }

    // 385 goes out as its low byte, 129: enough for the router's hop.
    void answeringHost()
    {
        QFETCH(QString, host);
        for (int ttl : {64, 385}) {
            const Outcome outcome = sendOne(host.toStdString(), 2000, ttl);
            QCOMPARE(outcome.replies, 1);
            QCOMPARE(outcome.reply.Status, uint32_t(IP_SUCCESS));
            QCOMPARE(outcome.from, host);
            QCOMPARE(outcome.reply.DataSize, uint16_t(56));
            QCOMPARE(outcome.reply.Options.Ttl, uint8_t(63)); // the host's 64, less the router's hop
        }
    }

    void delayedHosts_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<uint32_t>("delay");
        QTest::newRow("kernel echo") << "198.18.2.1" << 0u;
        QTest::newRow("IPv6 kernel echo") << "fd00:198:18:2::1" << 0u;
        for (uint32_t delay : {1u, 5u, 20u, 40u}) {
            QTest::addRow("%u ms", delay) << QString("198.18.3.%1").arg(delay) << delay;
            QTest::addRow("IPv6 %u ms", delay) << QString("fd00:198:18:3::%1").arg(delay) << delay;
        }
    }

    // The reported time is whole milliseconds, cut: never less than the host's delay, however busy the
    // machine is (the time of sending is taken before the request goes, the kernel's time of arrival
    // converted without losing any of it), and the best of a few within a generous bound of it.
    void delayedHosts()
    {
        QFETCH(QString, host);
        QFETCH(uint32_t, delay);
        TICMP session;
        session.SetAddress(host.toStdString());
        session.SetTimeout(2000);
        QList<uint32_t> rtts;
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(session.SendPing(), 1);
            QCOMPARE(replyAddress(session), host);
            rtts << session.LastReply().RoundTripTime;
        }
        const auto [best, worst] = std::minmax_element(rtts.begin(), rtts.end());
        const QString seen = QString("%1..%2 ms").arg(*best).arg(*worst);
        QVERIFY2(*best >= delay && *best <= delay + 250, qPrintable(seen));
    }

    void silentHost_data() { answeringHost_data(); }

    void silentHost()
    {
        QFETCH(QString, host);
        const Outcome outcome = sendOne(host == "198.18.2.1" ? "198.18.4.1" : "fd00:198:18:4::1", 300);
        QCOMPARE(outcome.replies, 0);
        QCOMPARE(outcome.lastError, int(IP_REQ_TIMED_OUT));
        QCOMPARE(outcome.errorText, std::string("Request timed out"));
        // Never given up early; a busy machine may wake the wait late.
        QVERIFY2(outcome.elapsedMs >= 300 && outcome.elapsedMs < 5000, qPrintable(QString::number(outcome.elapsedMs)));
    }

    void icmpErrors_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("ttl");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("text");
        QTest::newRow("host unreachable")
            << "198.18.5.1" << 64 << int(IP_DEST_HOST_UNREACHABLE) << "Destination host unreachable";
        QTest::newRow("ttl 1 through the router")
            << "198.18.2.1" << 1 << int(IP_TTL_EXPIRED_TRANSIT) << "TTL expired in transit";
        QTest::newRow("ttl 257, sent as 1")
            << "198.18.2.1" << 257 << int(IP_TTL_EXPIRED_TRANSIT) << "TTL expired in transit";
        QTest::newRow("IPv6 address unreachable")
            << "fd00:198:18:5::1" << 64 << int(IP_DEST_HOST_UNREACHABLE) << "Destination host unreachable";
        QTest::newRow("IPv6 hop limit 1 through the router")
            << "fd00:198:18:2::1" << 1 << int(IP_TTL_EXPIRED_TRANSIT) << "TTL expired in transit";
    }

    // An error quoting the request ends the wait at once, well before the time-out.
    void icmpErrors()
    {
        QFETCH(QString, host);
        QFETCH(int, ttl);
        QFETCH(int, status);
        QFETCH(QString, text);
        const Outcome outcome = sendOne(host.toStdString(), 20000, ttl);
        QCOMPARE(outcome.replies, 0);
        QCOMPARE(outcome.lastError, status);
        QCOMPARE(QString::fromStdString(outcome.errorText), text);
        QVERIFY2(outcome.elapsedMs < 10000, qPrintable(QString::number(outcome.elapsedMs)));
    }

    void echoedData_data()
    {
        QTest::addColumn<QString>("host");
        QTest::newRow("kernel echo") << "198.18.2.1";
        QTest::newRow("delayed responder") << "198.18.3.5";
        QTest::newRow("loopback") << "127.0.0.1";
        QTest::newRow("IPv6 kernel echo") << "fd00:198:18:2::1";
        QTest::newRow("IPv6 delayed responder") << "fd00:198:18:3::5";
        QTest::newRow("IPv6 loopback") << "::1";
    }

    // Straight through the platform module, with an odd-sized payload of every kind of byte: the
    // reply record must point at exactly the bytes that were sent. The helper sends the program's
    // payload alone: other bytes are a bad request, and the program's of that odd size are echoed.
    void echoedData()
    {
        QFETCH_GLOBAL(bool, raw);
        QFETCH(QString, host);
        IcmpApi::HMODULE library = IcmpApi::LoadLibraryA(IcmpApi::LibraryName);
        QVERIFY(library);
        const auto entry = [library](const char *name) { return IcmpApi::GetProcAddress(library, name); };
        auto close = reinterpret_cast<IcmpApi::IcmpCloseHandleFn>(entry("IcmpCloseHandle"));
        const IpAddress address = *IpAddress::parse(host.toStdString());
        const bool v6 = address.isV6();
        const IcmpApi::HANDLE handle = v6 ? reinterpret_cast<IcmpApi::Icmp6CreateFileFn>(entry("Icmp6CreateFile"))()
                                          : reinterpret_cast<IcmpApi::IcmpCreateFileFn>(entry("IcmpCreateFile"))();
        QVERIFY(handle != IcmpApi::INVALID_HANDLE_VALUE);
        std::vector<uint8_t> anyBytes(37);
        for (size_t i = 0; i < anyBytes.size(); ++i)
            anyBytes[i] = uint8_t(255 - i * 7);
        const size_t recordSize = v6 ? sizeof(ICMPV6_ECHO_REPLY) : sizeof(ICMP_ECHO_REPLY);
        std::vector<uint8_t> buffer(recordSize + anyBytes.size() + 8, 0xAA);
        const auto send = [&](const std::vector<uint8_t> &payload) {
            IP_OPTION_INFORMATION options;
            options.Ttl = 64;
            const auto size = uint16_t(payload.size());
            const sockaddr_in6 destination = address.toSockaddr6();
            return v6 ? reinterpret_cast<IcmpApi::Icmp6SendEchoFn>(entry("Icmp6SendEcho"))(
                            handle, &destination, payload.data(), size, &options, buffer.data(),
                            uint32_t(buffer.size()), 2000)
                      : reinterpret_cast<IcmpApi::IcmpSendEchoFn>(entry("IcmpSendEcho"))(
                            handle, address.v4(), payload.data(), size, &options, buffer.data(),
                            uint32_t(buffer.size()), 2000);
        };
        const uint32_t anyReplies = send(anyBytes);
        const uint32_t anyError = IcmpApi::GetLastError();
        const std::vector<uint8_t> payload = raw ? EchoTerms::payloadOf(int(anyBytes.size())) : anyBytes;
        const uint32_t replies = raw ? send(payload) : anyReplies;
        close(handle);
        IcmpApi::FreeLibrary(library);
        QCOMPARE(anyReplies, raw ? 0u : 1u);
        QCOMPARE(anyError, uint32_t(raw ? IP_BAD_REQ : IP_SUCCESS));
        QCOMPARE(replies, 1u);
        // Both records end with the same four fields.
        struct Tail {
            uint16_t DataSize;
            uint16_t Reserved;
            uint32_t Data;
            IP_OPTION_INFORMATION Options;
        } reply;
        std::memcpy(&reply, buffer.data() + recordSize - sizeof reply, sizeof reply);
        QCOMPARE(reply.DataSize, uint16_t(payload.size()));
        QVERIFY(reply.Data >= recordSize && reply.Data + payload.size() <= buffer.size());
        QCOMPARE(std::vector<uint8_t>(buffer.begin() + reply.Data, buffer.begin() + reply.Data + payload.size()),
                 payload);
    }

    void lateReplyIgnored_data()
    {
        QTest::addColumn<QString>("host");
        QTest::newRow("IPv4") << "198.18.3.40";
        QTest::newRow("IPv6") << "fd00:198:18:3::40";
    }

    // A reply that comes after its request gave up belongs to no later request of the session.
    void lateReplyIgnored()
    {
        QFETCH(QString, host);
        TICMP session;
        session.SetAddress(host.toStdString());
        session.SetTimeout(15);
        QCOMPARE(session.SendPing(), 0);
        QCOMPARE(session.LastError(), int(IP_REQ_TIMED_OUT));
        session.SetTimeout(2000);
        QCOMPARE(session.SendPing(), 1);
        QVERIFY2(session.LastReply().RoundTripTime >= 40,
                 qPrintable(QString::number(session.LastReply().RoundTripTime)));
    }

    void resolvesTestbedName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<Sockets::Family>("family");
        QTest::addColumn<QString>("address");
        const auto either = Sockets::Family::Either, v4 = Sockets::Family::IPv4, v6 = Sockets::Family::IPv6;
        QTest::newRow("both families: IPv4") << "delayed5.tozelo.test" << either << "198.18.3.5";
        QTest::newRow("both families, IPv4 asked") << "delayed5.tozelo.test" << v4 << "198.18.3.5";
        QTest::newRow("both families, IPv6 asked") << "delayed5.tozelo.test" << v6 << "fd00:198:18:3::5";
        QTest::newRow("IPv6 only") << "delayed5.v6.tozelo.test" << either << "fd00:198:18:3::5";
        QTest::newRow("IPv6 only, IPv6 asked") << "delayed5.v6.tozelo.test" << v6 << "fd00:198:18:3::5";
    }

    // A name is pinged at the address of the family asked for, IPv4 first when either will do.
    void resolvesTestbedName()
    {
        QFETCH(QString, name);
        QFETCH(Sockets::Family, family);
        QFETCH(QString, address);
        TICMP session;
        session.SetFamily(family);
        session.SetAddress(name.toStdString());
        QCOMPARE(session.SendPing(), 1);
        QCOMPARE(session.ResolvedName(), std::string("delayed5.tozelo.test")); // the first name on its line
        QCOMPARE(QString::fromStdString(session.ResolvedIP()), address);
        QCOMPARE(replyAddress(session), address);
    }

    // A name without an address of the family asked for fails as an unknown one does.
    void nameOfTheOtherFamily()
    {
        for (const auto &[name, family] : {std::pair{"silent.tozelo.test", Sockets::Family::IPv6},
                                           std::pair{"answering.v6.tozelo.test", Sockets::Family::IPv4}}) {
            TICMP session;
            session.SetFamily(family);
            session.SetAddress(name);
            QCOMPARE(session.SendPing(), 0);
            QCOMPARE(session.LastError(), int(IP_BAD_DESTINATION));
            QVERIFY(!session.AddressResolved());
        }
    }

    // Five sessions on five threads and flood pings of another program in both families, all at
    // once: each session takes only the replies to its own requests.
    void concurrentSessions()
    {
        const QString pingProgram = QStandardPaths::findExecutable("ping");
        if (pingProgram.isEmpty())
            QSKIP("iputils ping is not installed");
        struct Target {
            std::string host;
            int size = 56;
            uint32_t minRtt = 0;
            int answered = 0;
            int wrong = 0;
            int sent = 0;
            QString firstWrong;
        };
        std::vector<Target> targets(5);
        targets[0].host = "198.18.2.1";
        targets[1].host = "198.18.3.5";
        targets[1].size = 100;
        targets[1].minRtt = 5;
        targets[2].host = "127.0.0.1";
        targets[2].size = 200;
        targets[3].host = "fd00:198:18:3::5";
        targets[3].size = 300;
        targets[3].minRtt = 5;
        targets[4].host = "::1";
        targets[4].size = 400;
        QProcess floods[2];
        const QString floodTargets[2] = {"198.18.2.1", "fd00:198:18:2::1"};
        for (int i = 0; i < 2; ++i) {
            floods[i].setProcessChannelMode(QProcess::MergedChannels);
            floods[i].start(pingProgram, {"-f", "-c", "2000", "-w", "30", "-n", floodTargets[i]});
            QVERIFY(floods[i].waitForStarted());
        }
        std::atomic<bool> flooding{true};
        std::vector<std::thread> threads;
        for (Target &target : targets) {
            threads.emplace_back([&target, &flooding] {
                TICMP session;
                session.SetAddress(target.host);
                session.SetSize(target.size);
                session.SetTimeout(1000);
                const IpAddress expected = *IpAddress::parse(target.host);
                // At least 20 requests each, and more while the flood lasts, within bounds.
                for (; target.sent < 20 || (flooding && target.sent < 1000); ++target.sent) {
                    const int replies = session.SendPing();
                    const ICMP_ECHO_REPLY &reply = session.LastReply();
                    const bool own = session.ReplyAddress() == expected && reply.DataSize == target.size &&
                                     reply.RoundTripTime >= target.minRtt;
                    if (replies == 1 && own) {
                        ++target.answered;
                    } else if (target.wrong++ == 0) {
                        target.firstWrong = QString("replies %1, error %2, from %3, %4 bytes, %5 ms")
                                                .arg(replies)
                                                .arg(session.LastError())
                                                .arg(replyAddress(session))
                                                .arg(reply.DataSize)
                                                .arg(reply.RoundTripTime);
                    }
                }
            });
        }
        bool floodsEnded = true;
        for (QProcess &flood : floods)
            floodsEnded = flood.waitForFinished(40000) && floodsEnded;
        flooding = false;
        for (std::thread &thread : threads)
            thread.join();
        for (QProcess &flood : floods) {
            if (flood.state() != QProcess::NotRunning)
                flood.kill();
            flood.waitForFinished(5000);
            const QString floodOutput = QString::fromUtf8(flood.readAll());
            QVERIFY2(floodsEnded && flood.exitCode() == 0, qPrintable(floodOutput));
            QVERIFY2(floodOutput.contains("2000 packets transmitted, 2000 received"), qPrintable(floodOutput));
        }
        for (const Target &target : targets) {
            QVERIFY2(target.wrong == 0, qPrintable(QString("%1: %2 of %3 wrong, first: %4")
                                                       .arg(QString::fromStdString(target.host))
                                                       .arg(target.wrong)
                                                       .arg(target.sent)
                                                       .arg(target.firstWrong)));
            QCOMPARE(target.answered, target.sent);
        }
    }
};

TOZELO_TESTBED_TEST_MAIN(TestTICMPNet)

#include "tst_TICMP.moc"
