#include "FakeSweepNetwork.h"
#include "TestMain.h"
#include "helper/SweepService.h"
#include "platform/IcmpTypes.h"

#include <QtTest>
#include <cstring>
#include <memory>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

// The privileged helper's side of a sweep's channel, over the scripted network: the settings it takes,
// the batches it sends (every request built by itself, under the client's key) and those it refuses
// before anything goes out, and the answers it hands back when asked.
using namespace HelperProtocol;

namespace {

constexpr uint8_t Key[KeySize] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

SweepOpen settings(uint16_t identifiers = 2)
{
    SweepOpen open;
    open.identifiers = identifiers;
    open.ttl = 64;
    open.size = 56;
    std::memcpy(open.key, Key, sizeof Key);
    return open;
}

Open openOf(uint16_t family, const SweepOpen &sweep)
{
    Open request;
    request.purpose = Purpose::Sweep;
    request.family = family;
    std::memcpy(request.settings, &sweep, sizeof sweep);
    return request;
}

// A service over the scripted network, its client's end of the channel read by the test.
struct Served {
    explicit Served(int family = AF_INET, const SweepOpen &open = settings()) : requests(open.size, SweepSignature(Key))
    {
        socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, ends);
        network.setHost("192.0.2.7", FakeSweepNetwork::answering(0));
        SweepNetwork::ChannelSettings wanted;
        wanted.family = family;
        wanted.identifiers = open.identifiers;
        wanted.ttl = open.ttl;
        wanted.requests = &requests;
        service = std::make_unique<SweepService>(ends[1], family, open, network.open(wanted));
    }
    ~Served()
    {
        close(ends[0]);
        close(ends[1]);
    }

    bool ask(const void *message, size_t length)
    {
        return service->answer(static_cast<const uint8_t *>(message), length);
    }

    // The service's next message, or nothing when none waits.
    QByteArray next()
    {
        QByteArray message(int(MaxSweepHeard), 0);
        const ssize_t length = recv(ends[0], message.data(), size_t(message.size()), MSG_DONTWAIT);
        return length > 0 ? message.left(int(length)) : QByteArray();
    }

    template <typename Record> Record nextOf()
    {
        const QByteArray message = next();
        Record record;
        std::memset(static_cast<void *>(&record), 0, sizeof record);
        std::memcpy(&record, message.constData(), std::min(sizeof record, size_t(message.size())));
        return record;
    }

    int ends[2] = {-1, -1};
    FakeSweepNetwork network;
    SweepRequests requests;
    std::unique_ptr<SweepService> service;
};

size_t lengthOf(const SweepSend &batch)
{
    return offsetof(SweepSend, requests) + batch.count * sizeof(SweepRequest);
}

SweepSend batchOf(std::initializer_list<std::pair<const char *, uint32_t>> requests)
{
    SweepSend batch;
    for (const auto &[address, slot] : requests) {
        batch.requests[batch.count] = {addressOf(FakeSweepNetwork::ip(address)), 40 + batch.count, slot};
        ++batch.count;
    }
    return batch;
}

} // namespace

class tst_SweepService : public QObject {
    Q_OBJECT

private slots:
    void settingsInRangeAlone_data()
    {
        QTest::addColumn<int>("family");
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<bool>("taken");
        const auto bytes = [](SweepOpen open) {
            return QByteArray(reinterpret_cast<const char *>(&open), sizeof open);
        };
        const auto with = [](auto change) {
            SweepOpen open = settings();
            change(open);
            return open;
        };
        QTest::newRow("IPv4") << AF_INET << bytes(settings()) << true;
        QTest::newRow("IPv6, 32 identifiers") << AF_INET6 << bytes(settings(32)) << true;
        QTest::newRow("IPv4 as frames") << AF_INET << bytes(with([](SweepOpen &o) { o.frames = 1; })) << true;
        QTest::newRow("IPv6 as frames") << AF_INET6 << bytes(with([](SweepOpen &o) { o.frames = 1; })) << false;
        QTest::newRow("frames 2") << AF_INET << bytes(with([](SweepOpen &o) { o.frames = 2; })) << false;
        QTest::newRow("no identifier") << AF_INET << bytes(settings(0)) << false;
        QTest::newRow("3 identifiers") << AF_INET << bytes(settings(3)) << false;
        QTest::newRow("64 identifiers") << AF_INET << bytes(settings(64)) << false;
        QTest::newRow("TTL 0") << AF_INET << bytes(with([](SweepOpen &o) { o.ttl = 0; })) << false;
        QTest::newRow("TTL 256") << AF_INET << bytes(with([](SweepOpen &o) { o.ttl = 256; })) << false;
        QTest::newRow("size 65501") << AF_INET << bytes(with([](SweepOpen &o) { o.size = 65501; })) << false;
        QTest::newRow("a buffer of 64 MB and a byte")
            << AF_INET << bytes(with([](SweepOpen &o) { o.receiveBufferBytes = MaxReceiveBuffer + 1; })) << false;
        QTest::newRow("no family") << int(AF_UNSPEC) << bytes(settings()) << false;
        QTest::newRow("a byte past the settings") << AF_INET << bytes(settings()) + '\1' << false;
    }

    void settingsInRangeAlone()
    {
        QFETCH(int, family);
        QFETCH(QByteArray, settings);
        QFETCH(bool, taken);
        Open request = openOf(uint16_t(family), SweepOpen());
        std::memcpy(request.settings, settings.constData(), size_t(settings.size()));
        QCOMPARE(SweepService::settingsOf(request).has_value(), taken);
        request.purpose = Purpose::Echo;
        QVERIFY(!SweepService::settingsOf(request));
    }

    // Each request built by the helper, with its slot's identifier and sequence number and the keyed
    // check of the client's key; the report tells what went.
    void batchesAreBuiltAndReported()
    {
        Served served;
        SweepSend batch = batchOf({{"192.0.2.7", 65536 + 5}, {"192.0.2.8", 65536 + 6}, {"192.0.2.9", 65536 + 7}});
        QVERIFY(served.ask(&batch, lengthOf(batch)));
        const SweepReport report = served.nextOf<SweepReport>();
        QCOMPARE(report.header.type, Type::SweepReport);
        QCOMPARE(report.count, 1u);
        QCOMPARE(report.steps[0].count, 3u);
        const std::vector<FakeSweepNetwork::Request> &sent = served.network.requests();
        QCOMPARE(sent.size(), size_t(3));
        const SweepSignature signature(Key);
        for (uint32_t i = 0; i < 3; ++i) {
            QCOMPARE(sent[i].sequence, uint16_t(5 + i));
            QVERIFY(signature.verify(sent[i].payload.data(), sent[i].payload.size(), 56, 40 + i, sent[i].identifier,
                                     sent[i].sequence, 0));
        }
        QCOMPARE(sent[1].identifier, uint16_t(sent[0].identifier));
    }

    void malformedBatchesSendNothing_data()
    {
        QTest::addColumn<QByteArray>("message");
        const auto bytes = [](const SweepSend &batch, size_t length) {
            return QByteArray(reinterpret_cast<const char *>(&batch), int(length));
        };
        SweepSend batch = batchOf({{"192.0.2.7", 1}, {"2001:db8::7", 2}});
        QTest::newRow("an address of the other family") << bytes(batch, lengthOf(batch));
        batch = batchOf({{"192.0.2.7", 1}, {"192.0.2.8", 2 * 65536}});
        QTest::newRow("a slot past the identifiers") << bytes(batch, lengthOf(batch));
        batch = batchOf({{"192.0.2.7", 1}, {"192.0.2.8", 65536}});
        QTest::newRow("two identifiers in one batch") << bytes(batch, lengthOf(batch));
        batch = batchOf({{"192.0.2.7", 1}});
        batch.requests[0].address.bytes[7] = 1;
        QTest::newRow("an IPv4 address with bytes past it") << bytes(batch, lengthOf(batch));
        batch = batchOf({{"192.0.2.7", 1}, {"192.0.2.8", 2}});
        QTest::newRow("a request cut short") << bytes(batch, lengthOf(batch) - 1);
        batch.count = MaxSweepBatch + 1;
        QTest::newRow("more requests than a batch holds") << bytes(batch, sizeof batch);
    }

    void malformedBatchesSendNothing()
    {
        QFETCH(QByteArray, message);
        Served served;
        QVERIFY(served.ask(message.constData(), size_t(message.size())));
        const SweepReport report = served.nextOf<SweepReport>();
        QCOMPARE(report.header.type, Type::SweepReport);
        QVERIFY(report.count >= 1);
        for (uint32_t i = 0; i < report.count; ++i) {
            QCOMPARE(report.steps[i].count, 0u);
            QCOMPARE(report.steps[i].status, uint32_t(IP_BAD_REQ));
        }
        QVERIFY(served.network.requests().empty());
    }

    // A message of no kind the sweep takes ends the service.
    void strangeMessagesEndIt()
    {
        Served served;
        SweepSync sync;
        QVERIFY(!served.ask(&sync, sizeof sync - 1));
        Header header{Version, Type::Send};
        QVERIFY(!served.ask(&header, sizeof header));
        header = Header{uint16_t(Version + 1), Type::SweepSync};
        QVERIFY(!served.ask(&header, sizeof header));
        SweepPass pass;
        QVERIFY(!served.ask(&pass, sizeof pass + 1));
        QVERIFY(served.next().isEmpty());
    }

    // What was read comes back when asked, its echoed bytes whole, then the time up to which every
    // answer was read.
    void answersComeBackWhenAsked()
    {
        Served served;
        SweepSend batch = batchOf({{"192.0.2.7", 9}, {"192.0.2.8", 10}});
        QVERIFY(served.ask(&batch, lengthOf(batch)));
        served.next();
        const SweepSync sync;
        QVERIFY(served.ask(&sync, sizeof sync));
        const QByteArray heard = served.next();
        SweepHeard head;
        std::memcpy(&head, heard.constData(), sizeof head);
        QCOMPARE(head.header.type, Type::SweepHeard);
        QCOMPARE(head.count, 1u);
        SweepAnswer answer;
        std::memcpy(&answer, heard.constData() + sizeof head, sizeof answer);
        QCOMPARE(answer.slot, 9u);
        QVERIFY(answer.reply != 0);
        QCOMPARE(ipAddressOf(answer.about)->toString(), std::string("192.0.2.7"));
        const QByteArray echoed =
            heard.mid(int(sizeof head + sizeof answer + answer.echoedOffset), int(answer.echoedSize));
        const std::vector<uint8_t> &payload = served.network.requests().front().payload;
        QCOMPARE(echoed, QByteArray(reinterpret_cast<const char *>(payload.data()), int(payload.size())));
        const SweepSynced synced = served.nextOf<SweepSynced>();
        QCOMPARE(synced.header.type, Type::SweepSynced);
        QCOMPARE(synced.readUntilNs, served.network.nowNs());
        QVERIFY(served.next().isEmpty());
    }
};

TOZELO_GUILESS_TEST_MAIN(tst_SweepService)
#include "tst_SweepService.moc"
