#include "TestMain.h"
#include "sweep/Sweep.h"
#include "testbed/TestbedGuard.h"
#include "testbed/TestbedNamespaces.h"

#include <QDir>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

// The programs as an installed package may leave them: copies with cap_net_raw=ep, run by nobody.
// Code that Qt loads from paths this user chooses must run without any capability, and pinging
// loopback must still work, on both kinds of ICMP socket: datagram where the testbed lets every
// group open them (net.ipv4.ping_group_range, set here in the testbed's namespace only), raw where
// it does not.
namespace {

const QByteArray NoCapability = "0000000000000000";
const QByteArray ProbeKey = "tozeloprobe";
const QByteArray UnprivilegedPlugin =
    "CapEff:\t" + NoCapability + "\nraw ICMP socket: refused\npacket socket: refused\n";

enum class Kind { Datagram, Raw };

// The copies live in a folder that the user nobody can read, on a file system that keeps file
// capabilities; all but the plain command line have cap_net_raw=ep.
struct Copies {
    explicit Copies(const QString &base) : folder(base + "/tozelo-privileges-XXXXXX") {}

    QTemporaryDir folder;
    QString window, cli, plainCli, windowProbe, plugins, platforms, record;

    QString path(const QString &name) const { return folder.filePath(name); }
};
std::unique_ptr<Copies> g_copies;

QString copy(const QString &from, const QString &to)
{
    QDir().mkpath(QFileInfo(to).path());
    return QFile::copy(from, to) ? QString() : "cannot copy " + from;
}

bool keepsFileCapabilities(const QString &folder)
{
    struct statvfs info {};
    return statvfs(QFile::encodeName(folder).constData(), &info) == 0 && !(info.f_flag & (ST_NOSUID | ST_NOEXEC));
}

// Empty when the copies are ready in a folder under base, else why not.
QString makeCopies(const QString &base)
{
    auto copies = std::make_unique<Copies>(base);
    if (!copies->folder.isValid() || !keepsFileCapabilities(copies->folder.path()))
        return base + " does not keep file capabilities";
    chmod(QFile::encodeName(copies->folder.path()).constData(), 0755);
    copies->window = copies->path("bin/tozelo");
    copies->cli = copies->path("bin/tozelo-cli");
    copies->plainCli = copies->path("bin/plain/tozelo-cli");
    copies->windowProbe = copies->path("bin/WindowProbe");
    copies->plugins = copies->path("plugins");
    copies->platforms = copies->path("platforms");
    copies->record = copies->path("record");
    // The library of the commands that run in Qt's event loop goes beside each copy of the command line.
    const QString commands = QFileInfo(qEnvironmentVariable("TOZELO_CLI")).dir().filePath("tozelo-cli-commands.so");
    const QString why = copy(qEnvironmentVariable("TOZELO_WINDOW"), copies->window) +
                        copy(qEnvironmentVariable("TOZELO_CLI"), copies->cli) +
                        copy(qEnvironmentVariable("TOZELO_CLI"), copies->plainCli) +
                        copy(commands, copies->path("bin/tozelo-cli-commands.so")) +
                        copy(commands, copies->path("bin/plain/tozelo-cli-commands.so")) +
                        copy(qEnvironmentVariable("TOZELO_WINDOW_PROBE"), copies->windowProbe) +
                        copy(qEnvironmentVariable("TOZELO_GENERIC_PROBE"), copies->plugins + "/generic/libprobe.so") +
                        copy(qEnvironmentVariable("TOZELO_PLATFORM_PROBE"), copies->platforms + "/libprobe.so");
    if (!why.isEmpty())
        return why;
    for (const QString &program : {copies->window, copies->cli, copies->windowProbe})
        if (QProcess::execute(TestbedNamespaces::tool("setcap"), {"cap_net_raw=ep", program}) != 0)
            return "setcap is refused under " + base;
    QFile record(copies->record);
    if (!record.open(QIODevice::WriteOnly) || !record.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                                     QFileDevice::ReadOther | QFileDevice::WriteOther))
        return "cannot make the probe's record";
    g_copies = std::move(copies);
    return QString();
}

// Empty when the test can run here, else why not.
QString prepare()
{
    if (geteuid() != 0)
        return "needs root to grant a capability and to run as nobody";
    if (TestbedNamespaces::tool("setcap").isEmpty() || TestbedNamespaces::tool("setpriv").isEmpty())
        return "needs setcap (libcap2-bin) and setpriv (util-linux)";
    if (!getpwnam("nobody"))
        return "needs the user nobody";
    QString why;
    for (const QString &base : {QDir::tempPath(), QString("/dev/shm")}) {
        why = makeCopies(base);
        if (why.isEmpty())
            break;
    }
    return why;
}

QByteArray readAll(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The lines "Name: value" of a report such as /proc/PID/status.
QMap<QByteArray, QByteArray> fieldsOf(const QByteArray &report)
{
    QMap<QByteArray, QByteArray> fields;
    for (const QByteArray &line : report.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            fields.insert(line.left(colon), line.mid(colon + 1).trimmed());
    }
    return fields;
}

// How many sockets of a table of this network namespace (raw, packet), whose inode is in the given
// column, process pid holds.
int socketsOf(qint64 pid, const char *table, int inodeColumn)
{
    QSet<QString> inodes;
    for (const QByteArray &line : readAll(QString("/proc/%1/net/%2").arg(pid).arg(table)).split('\n').mid(1)) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > inodeColumn)
            inodes.insert(QString::fromLatin1(fields[inodeColumn]));
    }
    int count = 0;
    const QDir fds(QString("/proc/%1/fd").arg(pid));
    for (const QString &fd : fds.entryList(QDir::Files | QDir::System)) {
        char target[64] = {};
        if (readlink(QFile::encodeName(fds.filePath(fd)).constData(), target, sizeof target - 1) < 0)
            continue;
        const QString link = QString::fromLatin1(target);
        count += link.startsWith("socket:[") && inodes.contains(link.mid(8).chopped(1));
    }
    return count;
}

int rawSocketsOf(qint64 pid)
{
    return socketsOf(pid, "raw", 9);
}

void setPingGroupRange(const QByteArray &range)
{
    QFile setting("/proc/sys/net/ipv4/ping_group_range");
    QVERIFY(setting.open(QIODevice::WriteOnly));
    QCOMPARE(setting.write(range), range.size());
}

// The group whose members may send frames, as the testbed's group file names it.
QString framesGroup()
{
    for (const QString &line : QString::fromLatin1(readAll("/etc/group")).split('\n'))
        if (line.startsWith("tozelo-frames:"))
            return line.section(':', 2, 2);
    return QString();
}

// program started as nobody, with only the environment given (and the platform a test needs), in
// no group but nogroup and those given.
void startAsNobody(QProcess &process, const QString &program, const QStringList &args,
                   const QStringList &environment = {}, const QString &groups = QString())
{
    QProcessEnvironment clean;
    clean.insert("PATH", "/usr/bin:/bin");
    clean.insert("QT_QPA_PLATFORM", "offscreen");
    clean.insert("TOZELO_PROBE_RECORD", g_copies->record);
    for (const QString &variable : environment)
        clean.insert(variable.section('=', 0, 0), variable.section('=', 1));
    process.setProcessEnvironment(clean);
    process.setWorkingDirectory(g_copies->folder.path());
    process.start(TestbedNamespaces::tool("setpriv"),
                  QStringList{"--reuid=nobody", "--regid=nogroup",
                              groups.isEmpty() ? "--clear-groups" : "--groups=" + groups, "--", program} +
                      args);
    QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
}

// Ends a program that runs until its window closes.
void stop(QProcess &process)
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(5000);
    }
}

} // namespace

Q_DECLARE_METATYPE(Kind)

class TestPrivileges : public QObject {
    Q_OBJECT

    QByteArray m_range;

    static void bothKinds()
    {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("datagram") << Kind::Datagram;
        QTest::newRow("raw") << Kind::Raw;
    }

    void useKind(Kind kind) { setPingGroupRange(kind == Kind::Datagram ? "0 2147483647" : "1 0"); }

private slots:
    void initTestCase() { m_range = readAll("/proc/sys/net/ipv4/ping_group_range").simplified(); }
    void cleanupTestCase() { setPingGroupRange(m_range); }

    void init()
    {
        QFile record(g_copies->record);
        QVERIFY(record.open(QIODevice::WriteOnly | QIODevice::Truncate));
    }

    void pluginRoutesGainNothing_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("window");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("environment");
        const QString plugins = g_copies->plugins, platforms = g_copies->platforms;
        const QStringList genericRoute{"QT_PLUGIN_PATH=" + plugins, "QT_QPA_GENERIC_PLUGINS=" + ProbeKey};
        const QStringList platformRoute{"QT_QPA_PLATFORM_PLUGIN_PATH=" + platforms, "QT_QPA_PLATFORM=" + ProbeKey};
        for (const auto &[name, kind] : {std::pair{"datagram", Kind::Datagram}, std::pair{"raw", Kind::Raw}}) {
            QTest::addRow("%s: window, QT_PLUGIN_PATH", name) << kind << true << QStringList() << genericRoute;
            QTest::addRow("%s: window, QT_QPA_PLATFORM_PLUGIN_PATH", name)
                << kind << true << QStringList() << platformRoute;
            QTest::addRow("%s: window, -platformpluginpath", name)
                << kind << true << QStringList{"-platformpluginpath", platforms, "-platform", ProbeKey}
                << QStringList();
            QTest::addRow("%s: command line, every route", name)
                << kind << false << QStringList{"ping", "127.0.0.1"} << genericRoute + platformRoute;
        }
    }

    // The window loads the probe (the routes are real) and the probe can do nothing privileged.
    // The command line loads no plugin of these kinds; should it ever, the probe holds it to the same.
    void pluginRoutesGainNothing()
    {
        QFETCH(Kind, kind);
        QFETCH(bool, window);
        QFETCH(QStringList, args);
        QFETCH(QStringList, environment);
        useKind(kind);
        QProcess process;
        startAsNobody(process, window ? g_copies->window : g_copies->cli, args, environment);
        if (window)
            QTRY_VERIFY_WITH_TIMEOUT(readAll(g_copies->record).endsWith("socket: refused\n") ||
                                         readAll(g_copies->record).endsWith("socket: opened\n"),
                                     20000);
        else
            QVERIFY(process.waitForFinished(20000));
        stop(process);
        const QByteArray record = readAll(g_copies->record);
        QVERIFY2(record.isEmpty() || record == UnprivilegedPlugin, record.constData());
        if (!window)
            QCOMPARE(process.exitCode(), 0);
    }

    void runningProgramsHoldNoCapability_data() { bothKinds(); }

    // While they ping: no capability, no way to gain one, and raw sockets only where datagram ones
    // are refused, one for each ping component of the window and one for each sender of its fast
    // sweeps. The window's driver reports from inside; the command line is seen from outside.
    void runningProgramsHoldNoCapability()
    {
        QFETCH(Kind, kind);
        useKind(kind);
        QProcess window;
        startAsNobody(window, g_copies->windowProbe, {});
        QVERIFY(window.waitForFinished(30000));
        const QByteArray report = window.readAllStandardOutput();
        QCOMPARE(window.exitCode(), 0);
        const QByteArray socket = kind == Kind::Raw ? " raw" : " datagram";
        for (const char *component : {"Ping1", "Ping2", "Ping3"})
            QVERIFY2(report.contains(component + socket + " answered\n"), report.constData());
        // The fast sweep's raw sockets are lent for each sweep and given back at its end.
        const QByteArray windowRaw = kind == Kind::Raw ? QByteArray::number(3 + Sweep::mostSenders()) : "0";
        const QByteArray sweeps = "sweep 1: Responden 8 de 8\nsweep 2: Responden 8 de 8\n"
                                  "raw ICMP sockets after the sweeps: ";
        QVERIFY2(report.contains(sweeps + windowRaw + "\n"), report.constData());

        QProcess cli;
        startAsNobody(cli, g_copies->cli, {"scan", "127.0.0.1", "127.0.0.4", "--interval", "300", "--timeout", "200"});
        QVERIFY(cli.waitForReadyRead(10000));
        QMap<QByteArray, QByteArray> cliStatus = fieldsOf(readAll(QString("/proc/%1/status").arg(cli.processId())));
        cliStatus.insert("raw ICMP sockets", QByteArray::number(rawSocketsOf(cli.processId())));
        QVERIFY(cli.waitForFinished(10000));
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY(cli.readAllStandardOutput().endsWith("Encontradas 4 Maquinas\n"));

        const QByteArray raw = kind == Kind::Raw ? "1" : "0";
        for (const auto &[status, rawSockets] :
             {std::pair{fieldsOf(report), windowRaw.constData()}, std::pair{cliStatus, raw.constData()}}) {
            for (const char *set : {"CapInh", "CapPrm", "CapEff", "CapAmb"})
                QCOMPARE(status.value(set), NoCapability);
            QCOMPARE(status.value("NoNewPrivs"), QByteArray("1"));
            QCOMPARE(status.value("raw ICMP sockets"), QByteArray(rawSockets));
        }
    }

    void framesNeedTheCapabilityOnlyToOpen_data() { bothKinds(); }

    // The packet sockets of a sweep as frames (its one sender's two: one sends at once, the other
    // once its ring is made) are opened before the capability goes, and are all that is left of it.
    void framesNeedTheCapabilityOnlyToOpen()
    {
        QFETCH(Kind, kind);
        useKind(kind);
        QProcess cli;
        QVERIFY2(!framesGroup().isEmpty(), "the testbed names no group for frames");
        startAsNobody(cli, g_copies->cli,
                      {"sweep", "198.18.2.1", "198.18.4.0/26", "--frames", "--rate", "50", "--timeout", "300"}, {},
                      framesGroup());
        QVERIFY(cli.waitForStarted());
        const QString status = QString("/proc/%1/status").arg(cli.processId());
        QTRY_COMPARE_WITH_TIMEOUT(fieldsOf(readAll(status)).value("CapEff"), NoCapability, 5000);
        QCOMPARE(fieldsOf(readAll(status)).value("CapPrm"), NoCapability);
        QCOMPARE(socketsOf(cli.processId(), "packet", 8), 2);
        // The ring needs no capability: it is made after they are gone.
        QTRY_VERIFY_WITH_TIMEOUT(readAll(QString("/proc/%1/maps").arg(cli.processId())).contains("socket:["), 5000);
        QVERIFY(cli.waitForFinished(10000));
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY(cli.readAllStandardOutput().endsWith("1 of 65 addresses answered\n"));
    }

    void commandsWork_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("last"); // the last line of its output
        QFile list(g_copies->path("list.dat"));
        QVERIFY(list.open(QIODevice::WriteOnly));
        list.write("127.0.0.1\r\n127.0.0.2\r\n::1\r\n");
        list.setPermissions(list.permissions() | QFileDevice::ReadOther);
        for (const auto &[name, kind] : {std::pair{"datagram", Kind::Datagram}, std::pair{"raw", Kind::Raw}}) {
            QTest::addRow("%s: ping", name)
                << kind << QStringList{"ping", "127.0.0.1"} << "^Received 56 bytes from 127\\.0\\.0\\.1 in \\d+ mSecs$";
            QTest::addRow("%s: ping over IPv6", name)
                << kind << QStringList{"ping", "::1"} << "^Received 56 bytes from ::1 in \\d+ mSecs$";
            QTest::addRow("%s: scan", name) << kind << QStringList{"scan", "127.0.0.1", "127.0.0.3", "--interval", "50"}
                                            << "^Encontradas 3 Maquinas$";
            QTest::addRow("%s: reping", name)
                << kind << QStringList{"reping", list.fileName()} << "^::1\\(\\d+mSeg\\)$";
            QTest::addRow("%s: sweep", name)
                << kind << QStringList{"sweep", "127.0.0.0/29", "--rate", "1000"} << "^8 of 8 addresses answered$";
        }
    }

    void commandsWork()
    {
        QFETCH(Kind, kind);
        QFETCH(QStringList, args);
        QFETCH(QString, last);
        useKind(kind);
        QProcess cli;
        startAsNobody(cli, g_copies->cli, args);
        QVERIFY(cli.waitForFinished(20000));
        const QString output = QString::fromUtf8(cli.readAllStandardOutput()).trimmed();
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY2(QRegularExpression(last).match(output.section('\n', -1)).hasMatch(), qPrintable(output));
    }

    void usageErrorsNeedNoPrivilege_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("error");
        const QByteArray usage = "(try tozelo-cli --help)\n";
        QTest::newRow("no privilege") << QStringList{"ping", "127.0.0.1"} << 1
                                      << QByteArray("Unable to get ping handle");
        QTest::newRow("ping size") << QStringList{"ping", "127.0.0.1", "--size", "12x"} << 2 << usage;
        QTest::newRow("scan save") << QStringList{"scan", "127.0.0.1", "127.0.0.2", "--save", "/proc/no/file"} << 2
                                   << usage;
        QTest::newRow("reping passes") << QStringList{"reping", "/etc/hostname", "--passes", "0"} << 2 << usage;
        QTest::newRow("sweep save") << QStringList{"sweep", "127.0.0.1", "--save", "/proc/no/file"} << 2 << usage;
        QTest::newRow("sweep target") << QStringList{"sweep", "127.0.0.1-127.0.0.300"} << 2 << usage;
        QTest::newRow("sweep rate") << QStringList{"sweep", "127.0.0.0/24", "--rate", "0"} << 2 << usage;
        QTest::newRow("sweep, no privilege")
            << QStringList{"sweep", "127.0.0.0/24"} << 1 << QByteArray("Unable to get ping handle (ICMP needs");
        QTest::newRow("sweep as frames, no privilege")
            << QStringList{"sweep", "198.18.2.1", "--frames"} << 1
            << QByteArray("--frames sends past this host's firewall, so only root and the members of the group "
                          "tozelo-frames may use it");
    }

    // The plain program, without capability, where this user may not open datagram sockets: a wrong
    // argument is a usage error all the same, not a failure to get an ICMP socket.
    void usageErrorsNeedNoPrivilege()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QByteArray, error);
        useKind(Kind::Raw);
        QProcess cli;
        startAsNobody(cli, g_copies->plainCli, args);
        QVERIFY(cli.waitForFinished(10000));
        QCOMPARE(cli.exitCode(), status);
        const QByteArray written = cli.readAllStandardError();
        QVERIFY2(written.startsWith("tozelo-cli: ") && written.contains(error), written.constData());
        QVERIFY(cli.readAllStandardOutput().isEmpty());
    }
};

// Skipped (77) outside the testbed, and where no copy with a capability can be made.
static int runTest(int argc, char **argv)
{
    const std::string outside = TestbedGuard::whyOutside();
    QCoreApplication app(argc, argv);
    const QString why = outside.empty() ? prepare() : QString::fromStdString(outside);
    if (!why.isEmpty()) {
        std::printf("skipped: %s\n", qPrintable(why));
        return 77;
    }
    TestPrivileges test;
    const int status = TestMain::run(test, argc, argv);
    g_copies.reset();
    return status;
}
TOZELO_TEST_ENTRY(runTest)

#include "tst_Privileges.moc"
