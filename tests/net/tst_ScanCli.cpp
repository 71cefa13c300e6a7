#include "net/TestbedMain.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// `tozelo-cli scan` and `reping` against the testbed. The host namespace answers for every address
// of 10.77.6.0/25 and the router drops 10.77.6.128/25, so a range across both halves, started in the
// unreachable 10.77.5.0/24, has a known truth: exactly 10.77.6.1 to 10.77.6.127 answer.
class TestScanCli : public QObject {
    Q_OBJECT

    struct Run {
        int status;
        QStringList out;
        QStringList err;
    };

    QTemporaryDir m_dir;

    static Run run(const QStringList &args)
    {
        QProcess process;
        process.start(qEnvironmentVariable("TOZELO_CLI"), args);
        if (!process.waitForFinished(60000))
            process.kill();
        const auto lines = [](const QByteArray &bytes) {
            return QString::fromUtf8(bytes).split('\n', Qt::SkipEmptyParts);
        };
        return {process.exitCode(), lines(process.readAllStandardOutput()), lines(process.readAllStandardError())};
    }

    // `ip -n NAMESPACE route ACTION ROUTE...` in one of this testbed's namespaces.
    static bool route(const char *role, const QString &action, const QStringList &route)
    {
        const QString ip = QStandardPaths::findExecutable("ip", {"/usr/sbin", "/sbin", "/usr/bin", "/bin"});
        const QString ns = qEnvironmentVariable("TOZELO_TESTBED") + "-" + role;
        return QProcess::execute(ip, QStringList{"-n", ns, "route", action} + route) == 0;
    }

    static bool routes(const QString &action)
    {
        return route("h", action, {"local", "10.77.6.0/25", "dev", "lo"}) &&
               route("r", action, {"10.77.6.0/25", "via", "10.77.2.1"}) &&
               route("r", action, {"blackhole", "10.77.6.128/25"});
    }

    static QStringList hosts(const QString &network, int first, int last)
    {
        QStringList list;
        for (int i = first; i <= last; ++i)
            list << network + QString::number(i);
        return list;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(qEnvironmentVariable("TOZELO_CLI")), "TOZELO_CLI not set");
        QVERIFY(m_dir.isValid());
        QVERIFY2(routes("add"), "cannot add the scan's routes to the testbed");
    }

    void cleanupTestCase() { routes("del"); }

    void scanFindsTheAnsweringHosts()
    {
        const QString saved = m_dir.filePath("found.dat");
        const Run result =
            run({"scan", "10.77.5.254", "10.77.6.131", "--interval", "20", "--timeout", "100", "--save", saved});
        QCOMPARE(result.status, 0);
        QVERIFY(result.err.isEmpty());
        const QStringList truth = hosts("10.77.6.", 1, 127);
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
            else if (address.startsWith("10.77.5."))
                QCOMPARE(failure, "==> Destination host unreachable <==");
            else
                QCOMPARE(failure, "==> Request timed out <==");
        }
        QCOMPARE(pinged, hosts("10.77.5.", 254, 255) + hosts("10.77.6.", 1, 131));

        QFile file(saved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), (truth.join("\r\n") + "\r\n").toLatin1());
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("errorLines");
        QTest::newRow("octet above 255") << QStringList{"scan", "10.77.6.9", "10.77.6.300"} << 3 << 1;
        QTest::newRow("start above end") << QStringList{"scan", "10.77.6.9", "10.77.6.1"} << 3 << 4;
        QTest::newRow("one address") << QStringList{"scan", "10.77.6.1"} << 2 << 1;
        QTest::newRow("three octets") << QStringList{"scan", "10.77.6", "10.77.6.2"} << 2 << 1;
        QTest::newRow("no interval") << QStringList{"scan", "10.77.6.1", "10.77.6.2", "--interval", "0"} << 2 << 1;
        QTest::newRow("no passes") << QStringList{"reping", "x.dat", "--passes", "0"} << 2 << 1;
    }

    void refusals()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(int, errorLines);
        const Run result = run(args);
        QCOMPARE(result.status, status);
        QCOMPARE(result.err.size(), errorLines);
        QCOMPARE(result.out, status == 3 ? QStringList{"Encontradas 0 Maquinas"} : QStringList{});
    }

    void repingWithPasses()
    {
        const QString list = m_dir.filePath("list.dat");
        QFile file(list);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("10.77.2.1\n10.77.4.1\r\n10.77.5.1\ranswering.tozelo.test\nnosuch.tozelo.test");
        file.close();

        const Run result = run({"reping", list, "--passes", "2", "--timeout", "200"});
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out.size(), 10);
        for (int pass = 0; pass < 2; ++pass) {
            const QStringList lines = result.out.mid(pass * 5, 5);
            QVERIFY2(QRegularExpression("^10\\.77\\.2\\.1\\(\\d+mSeg\\)$").match(lines[0]).hasMatch(),
                     qPrintable(lines[0]));
            QCOMPARE(lines.mid(1, 2), (QStringList{"10.77.4.1(error)", "10.77.5.1(error)"}));
            QCOMPARE(lines[3].left(10), "10.77.2.1(");
            QCOMPARE(lines[4], "Dominio desconocido ");
        }
    }

    void repingEmptyList()
    {
        const QString list = m_dir.filePath("empty.dat");
        QFile file(list);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const Run result = run({"reping", list});
        QCOMPARE(result.status, 3);
        QCOMPARE(result.err, (QStringList{"El resumen de maquinas esta vacio . Esta opcion",
                                          "solo funciona al existir al menos 1 en el listado .."}));
    }
};

int main(int argc, char **argv) { return runInTestbed<TestScanCli>(argc, argv); }
#include "tst_ScanCli.moc"
