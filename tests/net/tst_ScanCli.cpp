#include "CliRun.h"
#include "HostRange.h"
#include "net/TestbedMain.h"
#include "testbed/TestbedNamespaces.h"

#include <QTemporaryDir>
#include <QtTest>

// `tozelo-cli scan` and `reping` against the testbed. A range across both halves of the scan range,
// started in the unreachable 198.18.5.0/24, has a known truth: exactly 198.18.6.1 to 198.18.6.127 answer.
class TestScanCli : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(qEnvironmentVariable("TOZELO_CLI")), "TOZELO_CLI not set");
        QVERIFY(m_dir.isValid());
        QVERIFY2(TestbedNamespaces::scanRange("add"), "cannot add the scan's routes to the testbed");
    }

    void cleanupTestCase() { TestbedNamespaces::scanRange("del"); }

    void scanFindsTheAnsweringHosts()
    {
        const QString saved = m_dir.filePath("found.dat");
        const CliRun result = CliRun::of(
            {"scan", "198.18.5.254", "198.18.6.131", "--interval", "20", "--timeout", "100", "--save", saved});
        QCOMPARE(result.status, 0);
        QVERIFY(result.err.isEmpty());
        const QStringList truth = hosts("198.18.6.", 1, 127);
        QCOMPARE(result.out.last(), QString("Encontradas %1 Maquinas").arg(truth.size()));

        QStringList pinged;
        for (qsizetype i = 0; i < result.out.size(); ++i) {
            if (!result.out[i].startsWith("Resolving host :"))
                continue;
            const QString address = result.out[i].mid(16);
            pinged << address;
            const QString outcome = result.out.value(i + 2);
            const QString failure = result.out.value(i + 3);
            if (truth.contains(address))
                QVERIFY2(outcome.startsWith("Recividos 56 bytes desde " + address + " en "), qPrintable(outcome));
            else if (address.startsWith("198.18.5."))
                QCOMPARE(failure, "==> Destination host unreachable <==");
            else
                QCOMPARE(failure, "==> Request timed out <==");
        }
        QCOMPARE(pinged, hosts("198.18.5.", 254, 255) + hosts("198.18.6.", 1, 131));

        QFile file(saved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), (truth.join("\r\n") + "\r\n").toLatin1());
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("errorLines");
        QTest::newRow("octet above 255") << QStringList{"scan", "198.18.6.9", "198.18.6.300"} << 3 << 1;
        QTest::newRow("start above end") << QStringList{"scan", "198.18.6.9", "198.18.6.1"} << 3 << 4;
        QTest::newRow("one address") << QStringList{"scan", "198.18.6.1"} << 2 << 1;
        QTest::newRow("three octets") << QStringList{"scan", "198.18.6", "198.18.6.2"} << 2 << 1;
        QTest::newRow("no interval") << QStringList{"scan", "198.18.6.1", "198.18.6.2", "--interval", "0"} << 2 << 1;
        QTest::newRow("no passes") << QStringList{"reping", "x.dat", "--passes", "0"} << 2 << 1;
    }

    void refusals()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(int, errorLines);
        const CliRun result = CliRun::of(args);
        QCOMPARE(result.status, status);
        QCOMPARE(result.err.size(), errorLines);
        QCOMPARE(result.out, status == 3 ? QStringList{"Encontradas 0 Maquinas"} : QStringList{});
    }

    void repingWithPasses()
    {
        const QString list = m_dir.filePath("list.dat");
        QFile file(list);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("198.18.2.1\n198.18.4.1\r\n198.18.5.1\ranswering.tozelo.test\nnosuch.tozelo.test\n"
                   "FD00:198:18:2:0:0:0:1\nanswering.v6.tozelo.test\nunreachable.v6.tozelo.test");
        file.close();

        // Each line by its family: a name of both over IPv4, an IPv6 address in its one form.
        const CliRun result = CliRun::of({"reping", list, "--passes", "2", "--timeout", "200"});
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out.size(), 16);
        for (int pass = 0; pass < 2; ++pass) {
            const QStringList lines = result.out.mid(pass * 8, 8);
            QVERIFY2(QRegularExpression("^198\\.18\\.2\\.1\\(\\d+mSeg\\)$").match(lines[0]).hasMatch(),
                     qPrintable(lines[0]));
            QCOMPARE(lines.mid(1, 2), (QStringList{"198.18.4.1(error)", "198.18.5.1(error)"}));
            QCOMPARE(lines[3].left(11), "198.18.2.1(");
            QCOMPARE(lines[4], "Dominio desconocido ");
            for (const QString &line : lines.mid(5, 2))
                QVERIFY2(QRegularExpression("^fd00:198:18:2::1\\(\\d+mSeg\\)$").match(line).hasMatch(),
                         qPrintable(line));
            QCOMPARE(lines[7], "fd00:198:18:5::1(error)");
        }
    }

    void repingEmptyList()
    {
        const QString list = m_dir.filePath("empty.dat");
        QFile file(list);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const CliRun result = CliRun::of({"reping", list});
        QCOMPARE(result.status, 3);
        QCOMPARE(result.err, (QStringList{"El resumen de maquinas esta vacio . Esta opcion",
                                          "solo funciona al existir al menos 1 en el listado .."}));
    }
};

TOZELO_TESTBED_TEST_MAIN(TestScanCli)
#include "tst_ScanCli.moc"
