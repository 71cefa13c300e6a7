// Reverse lookups a few at once, over a scripted resolver: every address reported once, never more
// lookups at a time than allowed, one that hangs given up at its time-out, the threads of those
// given up bounded, a wait that a stop ends, and nothing reported once the owner is gone.
#include "TestMain.h"
#include "sweep/ReverseNames.h"

#include <QtTest>
#include <arpa/inet.h>
#include <atomic>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace {

// Answers "host-N" for address N after its gate opens; some gates open only when the test says.
struct Script {
    std::mutex mutex;
    std::condition_variable opened;
    std::map<uint32_t, bool> held;
    std::atomic<int> running{0};
    int mostAtOnce = 0;
    bool released = false;

    std::string resolve(uint32_t address)
    {
        std::unique_lock<std::mutex> lock(mutex);
        mostAtOnce = std::max(mostAtOnce, ++running);
        opened.wait_for(lock, std::chrono::milliseconds(held.count(address) ? 30000 : 20),
                        [&] { return released && held.count(address); });
        --running;
        return address % 2 ? "host-" + std::to_string(address) : std::string();
    }

    void release()
    {
        std::lock_guard<std::mutex> lock(mutex);
        released = true;
        opened.notify_all();
    }
};

// What found was told, as it was told.
struct Heard {
    std::mutex mutex;
    std::map<uint32_t, std::vector<std::string>> names;

    void add(uint32_t address, const std::string &name)
    {
        std::lock_guard<std::mutex> lock(mutex);
        names[address].push_back(name);
    }
    std::map<uint32_t, std::vector<std::string>> all()
    {
        std::lock_guard<std::mutex> lock(mutex);
        return names;
    }
};

// Address N of the scripts is 0.0.0.N.
IpAddress numbered(uint32_t number)
{
    return IpAddress::v4(htonl(number));
}

uint32_t numberOf(const IpAddress &address)
{
    return ntohl(address.v4());
}

} // namespace

class tst_ReverseNames : public QObject {
    Q_OBJECT
private slots:
    void everyAddressOnceAtMostNAtATime();
    void aHangingLookupIsGivenUp();
    void nothingIsReportedAfterTheOwner();
};

void tst_ReverseNames::everyAddressOnceAtMostNAtATime()
{
    auto script = std::make_shared<Script>();
    Heard heard;
    {
        ReverseNames names(
            [&heard](const IpAddress &address, const std::string &name) { heard.add(numberOf(address), name); }, 3,
            ReverseNames::DefaultTimeoutMs,
            [script](const IpAddress &address) { return script->resolve(numberOf(address)); });
        for (uint32_t address = 1; address <= 20; ++address)
            names.lookUp(numbered(address));
        names.wait();
    }
    const auto all = heard.all();
    QCOMPARE(all.size(), size_t(20));
    for (const auto &[address, told] : all)
        QCOMPARE(told, std::vector<std::string>{address % 2 ? "host-" + std::to_string(address) : ""});
    QCOMPARE(script->mostAtOnce, 3);
}

// Lookups given up still hold their threads until the resolver returns: no more of them than the
// concurrency again, the rest waiting their turn.
void tst_ReverseNames::aHangingLookupIsGivenUp()
{
    auto script = std::make_shared<Script>();
    for (uint32_t address : {7u, 9u, 11u})
        script->held[address] = true;
    Heard heard;
    {
        ReverseNames names(
            [&heard](const IpAddress &address, const std::string &name) { heard.add(numberOf(address), name); }, 1, 100,
            [script](const IpAddress &address) { return script->resolve(numberOf(address)); });
        for (uint32_t address : {7u, 9u, 11u, 13u})
            names.lookUp(numbered(address));
        QTRY_COMPARE(heard.all().size(), size_t(2));
        QTest::qWait(300);
        QCOMPARE(heard.all().size(), size_t(2));
        QCOMPARE(script->running.load(), 2);
        script->release();
        names.wait();
        // Their answers, when they come at last, are not told.
        QTRY_COMPARE(script->running.load(), 0);
    }
    const auto all = heard.all();
    QCOMPARE(all.at(7), std::vector<std::string>{""});
    QCOMPARE(all.at(9), std::vector<std::string>{""});
    QCOMPARE(all.at(11), std::vector<std::string>{"host-11"});
    QCOMPARE(all.at(13), std::vector<std::string>{"host-13"});
    QCOMPARE(script->mostAtOnce, 2);
}

void tst_ReverseNames::nothingIsReportedAfterTheOwner()
{
    auto script = std::make_shared<Script>();
    script->held[1] = true;
    script->held[3] = true;
    Heard heard;
    {
        ReverseNames names(
            [&heard](const IpAddress &address, const std::string &name) { heard.add(numberOf(address), name); }, 2,
            ReverseNames::DefaultTimeoutMs,
            [script](const IpAddress &address) { return script->resolve(numberOf(address)); });
        for (uint32_t address : {1u, 3u, 5u})
            names.lookUp(numbered(address));
        QTRY_COMPARE(script->running.load(), 2);
        // Stopped from another thread, the wait ends before the lookups' time-out.
        std::thread stopper([&names] { names.stop(); });
        names.wait();
        stopper.join();
        QVERIFY(heard.all().empty());
    }
    script->release();
    QTRY_COMPARE(script->running.load(), 0);
    QVERIFY(heard.all().empty());
}

TOZELO_GUILESS_TEST_MAIN(tst_ReverseNames)
#include "tst_ReverseNames.moc"
