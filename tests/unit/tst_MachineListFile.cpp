// The machine list file: its bytes, line ends, bounds, what it refuses to load and the safety of
// its writes.
#include "TestFiles.h"
#include "TestMain.h"
#include "echo/MachineListWriter.h"
#include "flows/MachineListFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <fcntl.h>
#include <future>
#include <grp.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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

QString reasonOf(int error)
{
    return QString::fromLocal8Bit(strerror(error));
}

enum class Fault { FileSizeLimit, ReadOnlyFolder, ReadOnlyFile };

// Folder and file permissions do not hold root back: the write is tried as nobody.
QString becomeUnprivileged()
{
    if (geteuid() != 0)
        return QString();
    const gid_t nogroup = 65534;
    if (setgroups(0, nullptr) != 0 || setgid(nogroup) != 0 || setuid(65534) != 0)
        return "cannot become nobody";
    return QString();
}

QString setUp(Fault fault, const QString &folder, const QString &oldFile)
{
    switch (fault) {
    case Fault::FileSizeLimit: {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{64, 64};
        return setrlimit(RLIMIT_FSIZE, &small) == 0 ? QString() : "cannot limit the file size";
    }
    case Fault::ReadOnlyFolder: chmod(QFile::encodeName(folder).constData(), 0555); return becomeUnprivileged();
    case Fault::ReadOnlyFile:
        chmod(QFile::encodeName(folder).constData(), 0777);
        chmod(QFile::encodeName(oldFile).constData(), 0444);
        return becomeUnprivileged();
    }
    return QString();
}

// Writes list to fileName under fault in a child process, whose limits and identity end with it.
// Its report: why it could not set the fault up, or the error, the file's bytes and the folder's
// files.
const QChar Separator(0x1E);

QStringList writeUnder(Fault fault, const MachineListFile &list, const QString &folder, const QString &fileName)
{
    int channel[2];
    if (pipe2(channel, O_CLOEXEC) != 0)
        return {"skip", "no pipe"};
    const pid_t child = fork();
    if (child == 0) {
        const QString skipped = setUp(fault, folder, fileName);
        QStringList report{"skip", skipped};
        if (skipped.isEmpty())
            report = QStringList{errorOf([&] { list.write(fileName); }), QString::fromLatin1(contentsOf(fileName)),
                                 QDir(folder).entryList(QDir::Files | QDir::Hidden).join(' ')};
        const QByteArray bytes = report.join(Separator).toUtf8();
        _exit(write(channel[1], bytes.constData(), size_t(bytes.size())) == bytes.size() ? 0 : 1);
    }
    close(channel[1]);
    QByteArray bytes;
    char buffer[4096];
    for (ssize_t got; (got = read(channel[0], buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, got);
    close(channel[0]);
    waitpid(child, nullptr, 0);
    return QString::fromUtf8(bytes).split(Separator);
}
} // namespace

Q_DECLARE_METATYPE(Fault)

class tst_MachineListFile : public QObject {
    Q_OBJECT
private slots:
    void addedLinesEndWithCrLf();
    void lineEndsAreNormalised_data();
    void lineEndsAreNormalised();
    void lastLineWithoutLineEndStaysSo();
    void addLineSkipsLinesAlreadyThere();
    void readsTheWholeFileUpToTheBound();
    void utf8MarkIsSkipped();
    void refusedLoads_data();
    void refusedLoads();
    void writeReplacesTheFileAsAWhole();
    void refusedTargetsStayAsTheyWere();
    void failedWriteLeavesTheOldFile_data();
    void failedWriteLeavesTheOldFile();
    void writeReachesTheDiskBeforeTheRename_data();
    void writeReachesTheDiskBeforeTheRename();
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
    MachineListFile list = MachineListFile::fromBytes("10.0.0.7\r\n10.0.0.7\r\n\r\n2001:0DB8:0:0:0:0:0:1\r\n");
    QVERIFY(!list.addLine("10.0.0.7"));
    QVERIFY(!list.addLine(""));
    QVERIFY(list.addLine("10.0.0.70"));
    // An IPv6 address is there in any of its written forms; an IPv4 one only as written.
    QVERIFY(!list.addLine("2001:db8::1"));
    QVERIFY(!list.addLine("2001:db8:0::0:1"));
    QVERIFY(list.addLine("2001:db8::10"));
    QVERIFY(list.addLine("010.0.0.7"));
    QCOMPARE(list.toBytes(), QByteArray("10.0.0.7\r\n10.0.0.7\r\n\r\n2001:0DB8:0:0:0:0:0:1\r\n10.0.0.70\r\n"
                                        "2001:db8::10\r\n010.0.0.7\r\n"));
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

void tst_MachineListFile::utf8MarkIsSkipped()
{
    QTemporaryDir folder;
    const QString fileName = folder.filePath("marked.txt");
    writeFile(fileName, QByteArray::fromHex("efbbbf") + "10.0.0.7\r\n10.0.0.9\r\n");
    QCOMPARE(MachineListFile::read(fileName).lines(), QStringList({"10.0.0.7", "10.0.0.9"}));
}

void tst_MachineListFile::refusedLoads_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes"); // written to name in a fresh folder, unless empty
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << "missing.dat" << QByteArray() << reasonOf(ENOENT);
    QTest::newRow("folder") << "" << QByteArray() << "not a regular file";
    QTest::newRow("device") << "/dev/null" << QByteArray() << "not a regular file";
    // "1.2" and a line end
    QTest::newRow("UTF-16, little-endian")
        << "le.txt" << QByteArray::fromHex("fffe31002e0032000d000a00") << "UTF-16 text, not 8-bit text";
    QTest::newRow("UTF-16, big-endian") << "be.txt" << QByteArray::fromHex("feff0031002e0032000d000a")
                                        << "UTF-16 text, not 8-bit text";
    QTest::newRow("UTF-16 without its mark")
        << "le.txt" << QByteArray::fromHex("31002e0032000d000a00") << "a NUL byte on line 1, not text";
    // CR LF, a lone CR and a lone LF each end a line; the reason goes on past the NUL.
    QTest::newRow("NUL on a later line") << "mixed.dat"
                                         << QByteArray("10.0.0.7\r\n10.0.0.8\r10.0.0.9\n\n10.0.") + '\0' + "1.1\r\n"
                                         << "a NUL byte on line 5, not text";
}

void tst_MachineListFile::refusedLoads()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);
    QTemporaryDir folder;
    const QString fileName = name.startsWith('/') ? name : folder.filePath(name);
    if (!bytes.isEmpty())
        writeFile(fileName, bytes);
    QCOMPARE(errorOf([&] { MachineListFile::read(fileName); }), "Cannot open file " + fileName + ": " + reason);
}

// Opening a pipe that no one writes to would wait for ever; the load says what it is at once.
void tst_MachineListFile::refusedTargetsStayAsTheyWere()
{
    QTemporaryDir folder;
    const QString pipe = folder.filePath("pipe.dat");
    QCOMPARE(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    auto load = std::async(std::launch::async, [&] { return errorOf([&] { MachineListFile::read(pipe); }); });
    if (load.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        close(open(QFile::encodeName(pipe).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
        QFAIL("loading a pipe waits for a writer");
    }
    QCOMPARE(load.get(), "Cannot open file " + pipe + ": not a regular file");

    const MachineListFile list = MachineListFile::fromBytes("10.0.0.7\r\n");
    QCOMPARE(errorOf([&] { list.write(pipe); }), "Cannot create file " + pipe + ": not a regular file");
    QCOMPARE(errorOf([&] { list.write(folder.path()); }),
             "Cannot create file " + folder.path() + ": " + reasonOf(EISDIR));
    struct stat info {};
    QCOMPARE(stat(QFile::encodeName(pipe).constData(), &info), 0);
    QVERIFY(S_ISFIFO(info.st_mode));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::System | QDir::Hidden), QStringList{"pipe.dat"});
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
    QCOMPARE(errorOf([&] { list.write(noFolder); }), "Cannot create file " + noFolder + ": " + reasonOf(ENOENT));
}

void tst_MachineListFile::failedWriteLeavesTheOldFile_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("reason");
    QTest::newRow("file size limit") << Fault::FileSizeLimit << reasonOf(EFBIG);
    QTest::newRow("read-only folder") << Fault::ReadOnlyFolder << reasonOf(EACCES);
    QTest::newRow("read-only file") << Fault::ReadOnlyFile << reasonOf(EACCES);
}

// A write refused or cut short says why, and leaves the old list whole and no stray file.
void tst_MachineListFile::failedWriteLeavesTheOldFile()
{
    QFETCH(Fault, fault);
    QFETCH(QString, reason);
    QTemporaryDir folder;
    const QString fileName = folder.filePath("machines.dat");
    writeFile(fileName, "10.0.0.1\r\n");
    MachineListFile list;
    for (int i = 0; i < 100; ++i)
        list.addLine(QString("10.0.1.%1").arg(i));

    const QStringList report = writeUnder(fault, list, folder.path(), fileName);
    chmod(QFile::encodeName(folder.path()).constData(), 0700);
    if (report.value(0) == "skip")
        QSKIP(qPrintable(report.value(1)));
    QCOMPARE(report.size(), 3);
    QCOMPARE(report[0], "Cannot create file " + fileName + ": " + reason);
    QCOMPARE(report[1], QString("10.0.0.1\r\n"));
    QCOMPARE(report[2], QString("machines.dat"));
}

void tst_MachineListFile::writeReachesTheDiskBeforeTheRename_data()
{
    QTest::addColumn<QString>("failing"); // the fsync that fails with EIO: "file", "folder" or none
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QByteArray>("bytes");
    const QString synced = "fsync machines.dat.tozelo-*: 10.0.0.7\r\n10.0.0.9\r\n";
    const QString renamed = "rename machines.dat.tozelo-* machines.dat";
    const QString folderSynced = "fsync the folder: machines.dat";
    QTest::newRow("both synced") << "" << QStringList{synced, renamed, folderSynced}
                                 << QByteArray("10.0.0.7\r\n10.0.0.9\r\n");
    QTest::newRow("the file's sync fails") << "file" << QStringList{synced} << QByteArray("10.0.0.1\r\n");
    QTest::newRow("the folder's sync fails")
        << "folder" << QStringList{synced, renamed, folderSynced} << QByteArray("10.0.0.7\r\n10.0.0.9\r\n");
}

// A crash never leaves an empty or partial list: the new bytes are on the disk before the rename
// makes them the list, and the rename is before the save is told done. A failed sync is a failed
// save, the window's list and the command line's alike.
void tst_MachineListFile::writeReachesTheDiskBeforeTheRename()
{
    QFETCH(QString, failing);
    QFETCH(QStringList, steps);
    QFETCH(QByteArray, bytes);
    QTemporaryDir temporary;
    const QString folder = QFileInfo(temporary.path()).canonicalFilePath();
    const QString fileName = folder + "/machines.dat";
    const auto shown = [&folder](const QString &path) {
        return QDir(folder).relativeFilePath(path).replace(QRegularExpression("tozelo-[0-9a-z]+$"), "tozelo-*");
    };
    MachineListWriter::DiskCalls &calls = MachineListWriter::diskCalls();
    const MachineListWriter::DiskCalls system = calls;
    const auto restore = qScopeGuard([&] { calls = system; });
    QStringList done;
    calls.fsync = [&](int fd) {
        const QString path = QFileInfo(QString("/proc/self/fd/%1").arg(fd)).symLinkTarget();
        const bool isFolder = path == folder;
        done << (isFolder ? "fsync the folder: " + QDir(path).entryList(QDir::Files | QDir::Hidden).join(' ')
                          : "fsync " + shown(path) + ": " + QString::fromLatin1(contentsOf(path)));
        errno = EIO;
        return failing == (isFolder ? "folder" : "file") ? -1 : system.fsync(fd);
    };
    calls.rename = [&](const char *from, const char *to) {
        done << "rename " + shown(from) + " " + shown(to);
        return system.rename(from, to);
    };
    const std::vector<std::function<void()>> saves{
        [&] { MachineListFile::fromBytes("10.0.0.7\r\n10.0.0.9\r\n").write(fileName); },
        [&] {
            MachineListWriter::write(fileName.toStdString(), {"10.0.0.7", "10.0.0.9"});
        }};
    for (const std::function<void()> &save : saves) {
        writeFile(fileName, "10.0.0.1\r\n");
        done.clear();
        const QString error = errorOf(save);
        QCOMPARE(done, steps);
        QCOMPARE(error, failing.isEmpty() ? QString() : "Cannot create file " + fileName + ": " + reasonOf(EIO));
        QCOMPARE(contentsOf(fileName), bytes);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"machines.dat"});
    }
}

TOZELO_GUILESS_TEST_MAIN(tst_MachineListFile)
#include "tst_MachineListFile.moc"
