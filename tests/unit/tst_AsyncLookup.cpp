#include "TestMain.h"
#include "ping/AsyncLookup.h"
#include "platform/IcmpTypes.h"

#include <QtTest>
#include <algorithm>
#include <arpa/inet.h>
#include <memory>

// Lookups resolve "localhost" only, which the hosts file answers: no query leaves this machine.
namespace {

struct Completion {
    uint32_t handle;
    uint16_t error;
    std::vector<IpAddress> addresses;
    QThread *thread;
};

void record(AsyncLookup &lookup, QList<Completion> &completions)
{
    lookup.onDone = [&completions](uint32_t handle, uint16_t error, const Sockets::HostEntry &entry) {
        completions.append({handle, error, entry.addresses, QThread::currentThread()});
    };
}

QList<uint32_t> handlesOf(const QList<Completion> &completions)
{
    QList<uint32_t> handles;
    for (const Completion &completion : completions)
        handles.append(completion.handle);
    return handles;
}

// Workers race each other, so "the cancelled one has finished too" cannot be observed; running a
// few more lookups to their end and then emptying the queue makes it very likely.
void settleWorkers()
{
    AsyncLookup lookup;
    QList<Completion> completions;
    record(lookup, completions);
    for (int i = 0; i < 4; ++i)
        lookup.start("localhost");
    QTRY_COMPARE(completions.size(), 4);
    QCoreApplication::sendPostedEvents();
}

} // namespace

class TestAsyncLookup : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { Sockets::Testing::faults() = Sockets::Testing::Faults(); }

    void resolvesLaterOnOwnerThread()
    {
        AsyncLookup lookup;
        QList<Completion> completions;
        record(lookup, completions);
        const uint32_t handle = lookup.start("localhost");
        QVERIFY(handle != 0);
        QCOMPARE(Sockets::WSAGetLastError(), 0u);
        QVERIFY(completions.isEmpty());
        QTRY_COMPARE(completions.size(), 1);
        QCOMPARE(completions[0].handle, handle);
        QCOMPARE(completions[0].error, uint16_t(0));
        QVERIFY(std::count(completions[0].addresses.begin(), completions[0].addresses.end(),
                           IpAddress::v4(htonl(0x7F000001))) == 1);
        QCOMPARE(completions[0].thread, QThread::currentThread());
    }

    void cancelDropsTheCompletion()
    {
        AsyncLookup lookup;
        QList<Completion> completions;
        record(lookup, completions);
        const uint32_t cancelled = lookup.start("localhost");
        QCOMPARE(lookup.cancel(cancelled), 0);
        const uint32_t kept = lookup.start("localhost");
        QVERIFY(kept != cancelled);
        QTRY_COMPARE(completions.size(), 1);
        settleWorkers();
        QCOMPARE(handlesOf(completions), QList<uint32_t>{kept});
    }

    void cancelRefusesWhatIsNotPending()
    {
        AsyncLookup lookup;
        QList<Completion> completions;
        record(lookup, completions);
        const uint32_t done = lookup.start("localhost");
        QTRY_COMPARE(completions.size(), 1);
        for (uint32_t handle : {done, 0u, done + 100}) {
            QVERIFY(lookup.cancel(handle) != 0);
            QCOMPARE(Sockets::WSAGetLastError(), uint32_t(WSAEINVAL));
        }
    }

    // A worker that finishes after its owner is gone must post nothing, and a completion already
    // posted must die with its receiver. Under the address sanitizer, a completion reaching a dead
    // object fails here; some objects go at once, some after part of their lookups were delivered.
    void destroyingWithLookupsPendingIsSafe()
    {
        int delivered = 0;
        for (int round = 0; round < 6; ++round) {
            auto lookup = std::make_unique<AsyncLookup>();
            lookup->onDone = [&delivered](uint32_t, uint16_t, const Sockets::HostEntry &) { ++delivered; };
            for (int i = 0; i < 3; ++i)
                lookup->start("localhost");
            if (round % 2 == 1)
                QCoreApplication::processEvents();
        }
        const int deliveredWhileAlive = delivered;
        settleWorkers();
        QCOMPARE(delivered, deliveredWhileAlive);
    }

    void startFault()
    {
        AsyncLookup lookup;
        Sockets::Testing::faults().failAsyncStart = true;
        QCOMPARE(lookup.start("localhost"), 0u);
        QCOMPARE(Sockets::WSAGetLastError(), uint32_t(WSAENOBUFS));
    }

    // A refused cancellation leaves the lookup pending: its completion still comes.
    void cancelFault()
    {
        AsyncLookup lookup;
        QList<Completion> completions;
        record(lookup, completions);
        const uint32_t handle = lookup.start("localhost");
        Sockets::Testing::faults().failAsyncCancel = true;
        QVERIFY(lookup.cancel(handle) != 0);
        QCOMPARE(Sockets::WSAGetLastError(), uint32_t(WSAEALREADY));
        QTRY_COMPARE(handlesOf(completions), QList<uint32_t>{handle});
    }
};

TOZELO_GUILESS_TEST_MAIN(TestAsyncLookup)
#include "tst_AsyncLookup.moc"
