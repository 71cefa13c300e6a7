#include "CliRun.h"
#include "TestFiles.h"
#include "TestMain.h"

#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>
#include <utility>

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
        QTest::newRow("scan interval") << QStringList{"scan", "127.0.0.1", "127.0.0.2", "--interval", "0"};
        QTest::newRow("reping ttl") << QStringList{"reping", "/dev/null", "--ttl", "x"};
        QTest::newRow("sweep rate") << QStringList{"sweep", "127.0.0.1", "--rate", "0"};
        // Each would take hours to reach its end; a save that cannot be made stops it before it sends.
        const QString noFolder = QDir::temp().filePath("tozelo-no-such-folder/found.dat");
        QTest::newRow("scan, empty save")
            << QStringList{"scan", "127.0.0.1", "127.0.255.255", "--interval", "1000", "--save="};
        QTest::newRow("scan, save to no folder")
            << QStringList{"scan", "127.0.0.1", "127.0.255.255", "--interval", "1000", "--save", noFolder};
        QTest::newRow("sweep, save to no folder")
            << QStringList{"sweep", "127.0.0.0/16", "--rate", "1", "--save", noFolder};
        QTest::newRow("sweep, save to a device")
            << QStringList{"sweep", "127.0.0.0/16", "--rate", "1", "--save", "/dev/null"};
        QTest::newRow("scan, not a number") << QStringList{"scan", "127.0.0.1", "127.0.0.2", "--ttl", "x"};
        QTest::newRow("reping, decimal") << QStringList{"reping", "no-such-list.dat", "--size", "1.5"};
    }

    void usageErrors()
    {
        QFETCH(QStringList, args);
        const CliRun result = CliRun::of(args, 10000);
        QVERIFY2(result.ended, "tozelo-cli did not end");
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

    // reping loads its file before it opens a socket, and never waits on a pipe.
    void repingRefusesWhatIsNotAListFile()
    {
        QTemporaryDir folder;
        const QString pipe = folder.filePath("pipe.dat");
        QCOMPARE(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        const QString wide = folder.filePath("wide.txt");
        writeFile(wide, QByteArray::fromHex("fffe31000d000a00"));
        for (const auto &[file, reason] : {std::pair{pipe, QString("not a regular file")},
                                           std::pair{wide, QString("UTF-16 text, not 8-bit text")}}) {
            const CliRun result = CliRun::of({"reping", file}, 10000);
            QVERIFY2(result.ended, "tozelo-cli did not end");
            QCOMPARE(result.status, 1);
            QCOMPARE(result.err, QStringList{"tozelo-cli: Cannot open file " + file + ": " + reason});
            QVERIFY(result.out.isEmpty());
        }
    }
};

TOZELO_GUILESS_TEST_MAIN(TestCli)
#include "tst_Cli.moc"
