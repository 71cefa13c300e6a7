#include "CliRun.h"

#include <QtTest>

// The command-line front end as a user runs it: its exit statuses, its usage errors on one line,
// and the single ping's log lines for loopback.
class TestCli : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(QFile::exists(qEnvironmentVariable("TOZELO_CLI")), "TOZELO_CLI not set"); }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        QTest::newRow("no command") << QStringList{} << "tozelo-cli: no command given (try tozelo-cli --help)";
        const QString usage = "tozelo-cli: %1 (try tozelo-cli --help)";
        QTest::newRow("unknown command") << QStringList{"pong", "127.0.0.1"} << usage.arg("unknown command 'pong'");
        QTest::newRow("missing host") << QStringList{"ping"} << usage.arg("ping needs exactly one HOST");
        QTest::newRow("two hosts") << QStringList{"ping", "127.0.0.1", "127.0.0.2"}
                                   << usage.arg("ping needs exactly one HOST");
        QTest::newRow("unknown option") << QStringList{"ping", "127.0.0.1", "--count", "3"}
                                        << usage.arg("unknown option --count");
        QTest::newRow("not a number") << QStringList{"ping", "127.0.0.1", "--size", "12x"}
                                      << usage.arg("--size needs a whole number, not '12x'");
        QTest::newRow("decimal") << QStringList{"ping", "127.0.0.1", "--timeout=1.5"}
                                 << usage.arg("--timeout needs a whole number, not '1.5'");
        QTest::newRow("empty") << QStringList{"ping", "127.0.0.1", "--ttl="}
                               << usage.arg("--ttl needs a whole number, not ''");
        QTest::newRow("blank before the number")
            << QStringList{"ping", "127.0.0.1", "--size", " 56"} << usage.arg("--size needs a whole number, not ' 56'");
        QTest::newRow("missing value") << QStringList{"ping", "127.0.0.1", "--ttl"}
                                       << usage.arg("option --ttl needs a value");
        QTest::newRow("too large") << QStringList{"ping", "127.0.0.1", "--size", "99999999999"}
                                   << usage.arg("--size needs a whole number, not '99999999999'");
        QTest::newRow("too large for a sweep") << QStringList{"sweep", "127.0.0.1", "--retries", "99999999999"}
                                               << usage.arg("--retries needs a whole number, not '99999999999'");
        QTest::newRow("octet too large") << QStringList{"sweep", "127.0.0.99999999999"}
                                         << usage.arg("'127.0.0.99999999999': '127.0.0.99999999999' is not a "
                                                      "dotted IPv4 address");
        QTest::newRow("prefix too large") << QStringList{"sweep", "127.0.0.0/99999999999"}
                                          << usage.arg("'127.0.0.0/99999999999': the prefix length must be 0 to 32");
    }

    void usageErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        const CliRun result = CliRun::of(args);
        QCOMPARE(result.status, 2);
        QCOMPARE(result.err, QStringList{error});
        QVERIFY(result.out.isEmpty());
    }

    void help()
    {
        const CliRun result = CliRun::of({"--help"});
        QCOMPARE(result.status, 0);
        QVERIFY(result.out.join('\n').contains("ping HOST"));
    }

    void pingLoopback()
    {
        const CliRun result = CliRun::of({"ping", "127.0.0.1", "--size", "10"});
        if (result.status == 1 && result.err.join(' ').contains("ping handle"))
            QSKIP("no ICMP socket can be opened here");
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out.size(), 4);
        QCOMPARE(result.out[0], QString("Resolving host '127.0.0.1'"));
        QCOMPARE(result.out[1], QString("Host '127.0.0.1' is 127.0.0.1"));
        QCOMPARE(result.out[2], QString("Sending 10 bytes to 127.0.0.1 (127.0.0.1)"));
        QVERIFY2(QRegularExpression("^Received 10 bytes from 127\\.0\\.0\\.1 in \\d+ mSecs$")
                     .match(result.out[3])
                     .hasMatch(),
                 qPrintable(result.out[3]));
    }

    // A size the engine refuses is a failed request, not a usage error.
    void refusedSize()
    {
        const CliRun result = CliRun::of({"ping", "127.1", "--size", "70000"});
        if (result.status == 1 && result.err.join(' ').contains("ping handle"))
            QSKIP("no ICMP socket can be opened here");
        QCOMPARE(result.status, 1);
        QCOMPARE(result.out.mid(1),
                 (QStringList{"Host '127.1' is 127.0.0.1", "Sending 70000 bytes to 127.0.0.1 (127.0.0.1)",
                              "Cannot ping host (127.0.0.1) : ", "==> Packet too big <=="}));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_Cli.moc"
