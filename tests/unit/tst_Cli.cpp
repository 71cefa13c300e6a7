#include "CliRun.h"
#include "TestMain.h"

#include <QtTest>

// The command-line front end as a user runs it: its exit statuses and its usage errors on one line,
// told as such also where no echo session can be opened. Pings: net/tst_Cli.
class TestCli : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(QFile::exists(qEnvironmentVariable("TOZELO_CLI")), "TOZELO_CLI not set"); }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no command") << QStringList{};
        QTest::newRow("unknown command") << QStringList{"pong", "127.0.0.1"};
        QTest::newRow("missing host") << QStringList{"ping"};
        QTest::newRow("two hosts") << QStringList{"ping", "127.0.0.1", "127.0.0.2"};
        QTest::newRow("unknown option") << QStringList{"ping", "127.0.0.1", "--count", "3"};
        QTest::newRow("not a number") << QStringList{"ping", "127.0.0.1", "--size", "12x"};
        QTest::newRow("decimal") << QStringList{"ping", "127.0.0.1", "--timeout=1.5"};
        QTest::newRow("empty") << QStringList{"ping", "127.0.0.1", "--ttl="};
        QTest::newRow("missing value") << QStringList{"ping", "127.0.0.1", "--ttl"};
        QTest::newRow("too large") << QStringList{"ping", "127.0.0.1", "--size", "99999999999"};
        QTest::newRow("scan, not a number") << QStringList{"scan", "127.0.0.1", "127.0.0.2", "--ttl", "x"};
        QTest::newRow("reping, decimal") << QStringList{"reping", "no-such-list.dat", "--size", "1.5"};
    }

    void usageErrors()
    {
        QFETCH(QStringList, args);
        const CliRun result = CliRun::of(args);
        QCOMPARE(result.status, 2);
        QCOMPARE(result.err.size(), 1);
        QVERIFY(result.out.isEmpty());
    }

    void help()
    {
        const CliRun result = CliRun::of({"--help"});
        QCOMPARE(result.status, 0);
        QVERIFY(result.out.join('\n').contains("ping HOST"));
    }
};

TOZELO_GUILESS_TEST_MAIN(TestCli)
#include "tst_Cli.moc"
