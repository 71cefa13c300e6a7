// The machine list file: its bytes, line ends, bounds and the safety of its writes.
#include "TestFiles.h"
#include "TestMain.h"
#include "ping/MachineListFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <stdexcept>
#include <sys/resource.h>

namespace {
QString errorOf(const std::function<void()> &work)
{
    try {
        work();
    } catch (const std::runtime_error &e) {
        return QString::fromStdString(e.what());
    }
    return QString();
}
} // namespace

class tst_MachineListFile : public QObject {
    Q_OBJECT
private slots:
    void addedLinesEndWithCrLf();
    void lineEndsAreNormalised_data();
    void lineEndsAreNormalised();
    void lastLineWithoutLineEndStaysSo();
    void addLineSkipsLinesAlreadyThere();
    void readsTheWholeFileUpToTheBound();
    void unreadableFilesAreReported();
    void writeReplacesTheFileAsAWhole();
    void failedWriteLeavesTheOldFile();
};

void tst_MachineListFile::addedLinesEndWithCrLf()
{
    MachineListFile list;
    QCOMPARE(list.toBytes(), QByteArray());
    QVERIFY(list.addLine("10.0.0.7"));
    QVERIFY(list.addLine("10.0.0.9"));
    QCOMPARE(list.toBytes(), QByteArray("10.0.0.7\r\n10.0.0.9\r\n"));
    QCOMPARE(list.toBytes().size(), 20);
}

void tst_MachineListFile::lineEndsAreNormalised_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("empty") << QByteArray() << QStringList() << QByteArray();
    QTest::newRow("crlf") << QByteArray("a\r\nb\r\n") << QStringList{"a", "b"} << QByteArray("a\r\nb\r\n");
    QTest::newRow("lf only") << QByteArray("a\nb\n") << QStringList{"a", "b"} << QByteArray("a\r\nb\r\n");
    QTest::newRow("lone cr") << QByteArray("a\rb\r") << QStringList{"a", "b"} << QByteArray("a\r\nb\r\n");
    QTest::newRow("mixed") << QByteArray("a\rb\r\nc\n") << QStringList{"a", "b", "c"} << QByteArray("a\r\nb\r\nc\r\n");
    QTest::newRow("lf cr is two ends") << QByteArray("a\n\rb\r\n") << QStringList{"a", "", "b"}
                                       << QByteArray("a\r\n\r\nb\r\n");
    QTest::newRow("empty line kept") << QByteArray("a\r\n\r\nb\r\n") << QStringList{"a", "", "b"}
                                     << QByteArray("a\r\n\r\nb\r\n");
    QTest::newRow("only a line end") << QByteArray("\r\n") << QStringList{""} << QByteArray("\r\n");
    QTest::newRow("blanks and words") << QByteArray(" 10.0.0.7 x\r\nhost\r\n") << QStringList{" 10.0.0.7 x", "host"}
                                      << QByteArray(" 10.0.0.7 x\r\nhost\r\n");
    QTest::newRow("8-bit bytes") << QByteArray("caf\xe9\r\n\xff\r\n") << QStringList{"caf\u00e9", "\u00ff"}
                                 << QByteArray("caf\xe9\r\n\xff\r\n");
}

void tst_MachineListFile::lineEndsAreNormalised()
{
    QFETCH(QByteArray, file);
    QFETCH(QStringList, lines);
    QFETCH(QByteArray, written);
    const MachineListFile list = MachineListFile::fromBytes(file);
    QCOMPARE(list.lines(), lines);
    QCOMPARE(list.toBytes(), written);
}

void tst_MachineListFile::lastLineWithoutLineEndStaysSo()
{
    MachineListFile list = MachineListFile::fromBytes("10.0.0.7\n10.0.0.8");
    QCOMPARE(list.lines(), QStringList({"10.0.0.7", "10.0.0.8"}));
    QVERIFY(!list.endsWithLineEnd());
    QCOMPARE(list.toBytes(), QByteArray("10.0.0.7\r\n10.0.0.8"));
    QVERIFY(list.addLine("10.0.0.9"));
    QCOMPARE(list.toBytes(), QByteArray("10.0.0.7\r\n10.0.0.8\r\n10.0.0.9"));

    // Once emptied, the text starts over with ended lines.
    list.clear();
    QVERIFY(list.addLine("10.0.0.1"));
    QCOMPARE(list.toBytes(), QByteArray("10.0.0.1\r\n"));
}

void tst_MachineListFile::addLineSkipsLinesAlreadyThere()
{
    MachineListFile list = MachineListFile::fromBytes("10.0.0.7\r\n10.0.0.7\r\n\r\n");
    QVERIFY(!list.addLine("10.0.0.7"));
    QVERIFY(!list.addLine(""));
    QVERIFY(list.addLine("10.0.0.70"));
    QCOMPARE(list.toBytes(), QByteArray("10.0.0.7\r\n10.0.0.7\r\n\r\n10.0.0.70\r\n"));
    list.clear();
    QVERIFY(list.isEmpty());
    QVERIFY(!list.contains("10.0.0.7"));
    QVERIFY(list.addLine("10.0.0.7"));
}

void tst_MachineListFile::readsTheWholeFileUpToTheBound()
{
    QTemporaryDir folder;
    const QString atBound = folder.filePath("at-bound.dat");
    QByteArray bytes("10.0.0.7\r\n");
    bytes.append(MachineListFile::MaxBytes - bytes.size() - 1, 'x').append('z');
    writeFile(atBound, bytes);
    const MachineListFile list = MachineListFile::read(atBound);
    QCOMPARE(list.lines().size(), 2);
    QCOMPARE(list.toBytes(), bytes);

    const QString beyond = folder.filePath("beyond.dat");
    writeFile(beyond, bytes + "y");
    QCOMPARE(errorOf([&] { MachineListFile::read(beyond); }), QString("Text exceeds memo capacity"));
}

void tst_MachineListFile::unreadableFilesAreReported()
{
    QTemporaryDir folder;
    const QString missing = folder.filePath("missing.dat");
    QCOMPARE(errorOf([&] { MachineListFile::read(missing); }), "Cannot open file " + missing);
    QCOMPARE(errorOf([&] { MachineListFile::read(folder.path()); }), "Cannot open file " + folder.path());
}

void tst_MachineListFile::writeReplacesTheFileAsAWhole()
{
    QTemporaryDir folder;
    const QString fileName = folder.filePath("ip`s.dat");
    writeFile(fileName, QByteArray(100, 'z'));
    const MachineListFile list = MachineListFile::fromBytes("10.0.0.7\n10.0.0.9");
    list.write(fileName);
    QCOMPARE(contentsOf(fileName), QByteArray("10.0.0.7\r\n10.0.0.9"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"ip`s.dat"});

    MachineListFile().write(fileName);
    QCOMPARE(contentsOf(fileName), QByteArray());

    const QString noFolder = folder.filePath("no-such-folder/ip`s.dat");
    QCOMPARE(errorOf([&] { list.write(noFolder); }), "Cannot create file " + noFolder);
}

// A write cut short (here by a file size limit) must leave the old list whole and no stray file.
void tst_MachineListFile::failedWriteLeavesTheOldFile()
{
    QTemporaryDir folder;
    const QString fileName = folder.filePath("machines.dat");
    writeFile(fileName, "10.0.0.1\r\n");
    MachineListFile list;
    for (int i = 0; i < 100; ++i)
        list.addLine(QString("10.0.1.%1").arg(i));

    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 64;
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const QString error = errorOf([&] { list.write(fileName); });
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QCOMPARE(error, "Cannot create file " + fileName);
    QCOMPARE(contentsOf(fileName), QByteArray("10.0.0.1\r\n"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files), QStringList{"machines.dat"});
}

TOZELO_GUILESS_TEST_MAIN(tst_MachineListFile)
#include "tst_MachineListFile.moc"
