#include "FakeNetwork.h"
#include "NamedThreads.h"
#include "TestMain.h"
#include "ping/AsyncLookup.h"
#include "ping/Ping.h"
#include "platform/Sockets.h"

#include <QtTest>

// The ping component's lookup state machine: dotted addresses report at once, names later from
// the event loop, replaced and cancelled lookups as they should, and settings per component.
class TestTPing : public QObject {
    Q_OBJECT

    struct Recorder {
        QList<int> errors;
        QStringList results;
        void attach(TPing &ping)
        {
            ping.OnDnsLookupDone = [this, &ping](QObject *sender, uint16_t error) {
                QCOMPARE(sender, &ping);
                errors << error;
                results << QString::fromStdString(ping.LookupResult());
            };
        }
    };

    FakeNetwork m_network;

    // Each lookup resolves on a thread of its own, which posts what it found before it ends: once none
    // is left and the posted events are delivered, a stray completion is in.
    static void awaitLookupThreads()
    {
        QTRY_COMPARE_WITH_TIMEOUT(threadsNamed(AsyncLookup::ThreadName), 0, 10000);
        QCoreApplication::sendPostedEvents();
    }

private slots:
    void cleanup() { Sockets::Testing::faults() = Sockets::Testing::Faults(); }

    void dottedAddressReportsBeforeReturning()
    {
        Recorder events; // outlives the component, whose destruction may still report
        TPing ping;
        events.attach(ping);
        ping.LookupHost("10.1.2.3");
        QCOMPARE(events.errors, QList<int>{0});
        QCOMPARE(events.results, QStringList{"10.1.2.3"});
        QVERIFY(!ping.LookupPending());
    }

    void nameReportsLater()
    {
        Recorder events; // outlives the component, whose destruction may still report
        TPing ping;
        events.attach(ping);
        ping.LookupHost("localhost");
        QVERIFY(events.errors.isEmpty());
        QVERIFY(ping.LookupResult().empty());
        QTRY_COMPARE(events.errors, QList<int>{0});
        QCOMPARE(events.results, QStringList{"127.0.0.1"});
    }

    void replacedLookupIsReportedOnce()
    {
        Recorder events; // outlives the component, whose destruction may still report
        TPing ping;
        events.attach(ping);
        ping.LookupHost("localhost");
        ping.LookupHost("localhost");
        QTRY_COMPARE(events.errors.size(), 1);
        awaitLookupThreads();
        QCOMPARE(events.errors.size(), 1);
    }

    void dottedAddressReplacesPendingName()
    {
        Recorder events; // outlives the component, whose destruction may still report
        TPing ping;
        events.attach(ping);
        ping.LookupHost("localhost");
        ping.LookupHost("127.0.0.9");
        QCOMPARE(events.results, QStringList{"127.0.0.9"});
        ping.CancelLookup();
        awaitLookupThreads();
        QCOMPARE(events.errors, QList<int>{0});
    }

    void cancel()
    {
        Recorder events; // outlives the component, whose destruction may still report
        TPing ping;
        events.attach(ping);
        ping.CancelLookup();
        QVERIFY(events.errors.isEmpty());
        ping.LookupHost("localhost");
        ping.CancelLookup();
        QCOMPARE(events.errors, QList<int>{10004});
        QCOMPARE(events.results, QStringList{""});
        awaitLookupThreads();
        QCOMPARE(events.errors.size(), 1);
    }

    void refusedLookupAndCancel()
    {
        Recorder events; // outlives the component, whose destruction may still report
        TPing ping;
        events.attach(ping);
        Sockets::Testing::faults().failAsyncStart = true;
        try {
            ping.LookupHost("localhost");
            QFAIL("no exception");
        } catch (const std::runtime_error &e) {
            QVERIFY2(QString(e.what()).startsWith("localhost: can't start DNS lookup, error #"), e.what());
        }
        QVERIFY(!ping.LookupPending());
        Sockets::Testing::faults().failAsyncStart = false;
        ping.LookupHost("localhost");
        Sockets::Testing::faults().failAsyncCancel = true;
        try {
            ping.CancelLookup();
            QFAIL("no exception");
        } catch (const std::runtime_error &e) {
            QVERIFY2(QString(e.what()).startsWith("WSACancelAsyncRequest failed, error #"), e.what());
        }
        QVERIFY(ping.LookupPending());
        QVERIFY(events.errors.isEmpty());
        Sockets::Testing::faults().failAsyncCancel = false;
    }

    // Going away with a lookup pending reports it as cancelled first.
    void destroyedWhilePending()
    {
        QList<int> errors;
        {
            TPing ping;
            ping.OnDnsLookupDone = [&](QObject *, uint16_t error) { errors << error; };
            ping.LookupHost("localhost");
        }
        QCOMPARE(errors, QList<int>{10004});
        awaitLookupThreads();
        QCOMPARE(errors.size(), 1);
    }

    void componentsHaveTheirOwnSessions()
    {
        TPing first, second;
        first.SetSize(1000);
        QCOMPARE(second.Size(), 56);
        QVERIFY(first.session() != second.session());
    }

    // Echo events come from the session, lookups from the component.
    void echoEventsComeFromTheSession()
    {
        TPing ping;
        QObject *sender = nullptr;
        ping.SetOnEchoReply([&](QObject *s, int) { sender = s; });
        ping.SetAddress("127.0.0.1");
        ping.SetTimeout(1000);
        QCOMPARE(ping.SendPing(), 1);
        QCOMPARE(sender, ping.session());
    }
};

TOZELO_GUILESS_TEST_MAIN(TestTPing)
#include "tst_TPing.moc"
