#include "TestMain.h"
#include "testbed/TestbedGuard.h"
#include "testbed/TestbedNamespaces.h"

#include <QDir>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <grp.h>
#include <memory>
#include <pwd.h>
#include <sys/ptrace.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

// The programs as an installed package leaves them: the helper, tozelo-icmp, with cap_net_raw=ep and
// the window and the command line with none, run by nobody. No code that Qt loads from a path this
// user chooses finds a raw or packet socket, or can open one; the helper holds no capability once it
// serves, and no process of the same user can attach to it or take its socket. Pinging loopback
// works on both kinds of ICMP socket: datagram where the testbed lets every group open them
// (net.ipv4.ping_group_range, set here in the testbed's namespace only), the helper's where it does
// not. Run by root, the programs and the helper give up every capability as well.
namespace {

const QByteArray NoCapability = "0000000000000000";
// CAP_SETPCAP and CAP_NET_RAW, what a helper of root's needs.
const QByteArray HelperBounds = "0000000000002100";
const QByteArray ProbeKey = "tozeloprobe";
const QByteArray UnprivilegedPlugin =
    "CapEff:\t" + NoCapability + "\nraw or packet sockets held: 0\nraw ICMP socket: refused\npacket socket: refused\n";

enum class Kind { Datagram, Helper };

const char *nameOf(Kind kind)
{
    return kind == Kind::Datagram ? "datagram" : "helper";
}

// The copies live in a folder that the user nobody can read, on a file system that keeps file
// capabilities. Only the helper has cap_net_raw=ep; the plain command line has a helper without it.
struct Copies {
    explicit Copies(const QString &base) : folder(base + "/tozelo-privileges-XXXXXX") {}

    QTemporaryDir folder;
    QString window, cli, helper, plainCli, windowProbe, plugins, platforms, record;

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
    copies->helper = copies->path("bin/tozelo-icmp");
    copies->plainCli = copies->path("bin/plain/tozelo-cli");
    copies->windowProbe = copies->path("bin/WindowProbe");
    copies->plugins = copies->path("plugins");
    copies->platforms = copies->path("platforms");
    copies->record = copies->path("record");
    // The library of the commands that run in Qt's event loop, and the helper, go beside each copy
    // of the command line, as they are in the build tree.
    const QString built = QFileInfo(qEnvironmentVariable("TOZELO_CLI")).path();
    const QString commands = built + "/tozelo-cli-commands.so", helper = built + "/tozelo-icmp";
    const QString why =
        copy(qEnvironmentVariable("TOZELO_WINDOW"), copies->window) + copy(helper, copies->helper) +
        copy(qEnvironmentVariable("TOZELO_CLI"), copies->cli) +
        copy(commands, copies->path("bin/tozelo-cli-commands.so")) +
        copy(qEnvironmentVariable("TOZELO_CLI"), copies->plainCli) +
        copy(commands, copies->path("bin/plain/tozelo-cli-commands.so")) +
        copy(helper, copies->path("bin/plain/tozelo-icmp")) +
        copy(qEnvironmentVariable("TOZELO_WINDOW_PROBE"), copies->windowProbe) +
        copy(qEnvironmentVariable("TOZELO_GENERIC_PROBE"), copies->plugins + "/generic/libprobe.so") +
        copy(qEnvironmentVariable("TOZELO_THEME_PROBE"), copies->plugins + "/platformthemes/libprobe.so") +
        copy(qEnvironmentVariable("TOZELO_STYLE_PROBE"), copies->plugins + "/styles/libprobe.so") +
        copy(qEnvironmentVariable("TOZELO_PLATFORM_PROBE"), copies->platforms + "/libprobe.so");
    if (!why.isEmpty())
        return why;
    if (QProcess::execute(TestbedNamespaces::tool("setcap"), {"cap_net_raw=ep", copies->helper}) != 0)
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
    return socketsOf(pid, "raw", 9) + socketsOf(pid, "raw6", 9) + socketsOf(pid, "packet", 8);
}

QMap<QByteArray, QByteArray> statusOf(qint64 pid)
{
    return fieldsOf(readAll(QString("/proc/%1/status").arg(pid)));
}

// The processes that the threads of pid started: the helpers of its echo sessions.
QList<qint64> childrenOf(qint64 pid)
{
    QList<qint64> children;
    const QDir tasks(QString("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        for (const QByteArray &child : readAll(tasks.filePath(task + "/children")).simplified().split(' '))
            if (!child.isEmpty())
                children << child.toLongLong();
    return children;
}

// Whether a process of the user nobody, as any other program this user runs, could take pid's
// descriptor 3 (pidfd_getfd) or attach to it (PTRACE_ATTACH): 0 for neither, else a bit for each.
// The child of this process, which has threads, makes system calls alone.
int attackAsNobody(qint64 pid)
{
    const passwd *nobody = getpwnam("nobody");
    const group *nogroup = getgrnam("nogroup");
    if (!nobody || !nogroup)
        return -1;
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nogroup->gr_gid;
    const pid_t child = fork();
    if (child == 0) {
        if (syscall(SYS_setgroups, 0, nullptr) != 0 || syscall(SYS_setresgid, gid, gid, gid) != 0 ||
            syscall(SYS_setresuid, uid, uid, uid) != 0)
            _exit(64);
        const long process = syscall(SYS_pidfd_open, pid_t(pid), 0);
        const bool took = process >= 0 && syscall(SYS_pidfd_getfd, int(process), 3, 0) >= 0;
        const bool attached = syscall(SYS_ptrace, PTRACE_ATTACH, pid_t(pid), nullptr, nullptr) == 0;
        _exit((took ? 1 : 0) | (attached ? 2 : 0));
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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

} // namespace

Q_DECLARE_METATYPE(Kind)

class TestPrivileges : public QObject {
    Q_OBJECT

    QByteArray m_range;

    static void bothKinds()
    {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("datagram") << Kind::Datagram;
        QTest::newRow("helper") << Kind::Helper;
    }

    void useKind(Kind kind) { setPingGroupRange(kind == Kind::Datagram ? "0 2147483647" : "1 0"); }

    // The lines a helper that serves shows in its status: no capability, no way to gain one, its
    // system calls filtered.
    static void verifyHelperStatus(const QMap<QByteArray, QByteArray> &status)
    {
        for (const char *set : {"CapInh", "CapPrm", "CapEff", "CapAmb"})
            QCOMPARE(status.value(set), NoCapability);
        QCOMPARE(status.value("NoNewPrivs"), QByteArray("1"));
        QCOMPARE(status.value("Seccomp"), QByteArray("2"));
    }

private slots:
    void initTestCase()
    {
        m_range = readAll("/proc/sys/net/ipv4/ping_group_range").simplified();
        for (const auto &[name, lines] :
             {std::pair{"list.dat", "127.0.0.1\r\n127.0.0.2\r\n::1\r\n"}, std::pair{"silent.dat", "198.18.4.1\r\n"}}) {
            QFile list(g_copies->path(name));
            QVERIFY(list.open(QIODevice::WriteOnly));
            list.write(lines);
            list.setPermissions(list.permissions() | QFileDevice::ReadOther);
        }
    }
    void cleanupTestCase() { setPingGroupRange(m_range); }

    void init()
    {
        QFile record(g_copies->record);
        QVERIFY(record.open(QIODevice::WriteOnly | QIODevice::Truncate));
    }

    void pluginRoutesFindNothing_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("window");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("environment");
        const QString plugins = g_copies->plugins, platforms = g_copies->platforms;
        const QString probeFirst = ProbeKey + ";offscreen";
        const QStringList genericRoute{"QT_PLUGIN_PATH=" + plugins, "QT_QPA_GENERIC_PLUGINS=" + ProbeKey};
        const QStringList platformRoute{"QT_QPA_PLATFORM_PLUGIN_PATH=" + platforms, "QT_QPA_PLATFORM=" + probeFirst};
        const QStringList themeRoute{"QT_PLUGIN_PATH=" + plugins, "QT_QPA_PLATFORMTHEME=" + ProbeKey};
        for (const Kind kind : {Kind::Datagram, Kind::Helper}) {
            const char *name = nameOf(kind);
            QTest::addRow("%s: QT_PLUGIN_PATH", name) << kind << true << QStringList() << genericRoute;
            QTest::addRow("%s: QT_QPA_PLATFORM_PLUGIN_PATH", name) << kind << true << QStringList() << platformRoute;
            QTest::addRow("%s: -platformpluginpath", name)
                << kind << true << QStringList{"-platformpluginpath", platforms, "-platform", probeFirst}
                << QStringList();
            QTest::addRow("%s: QT_QPA_PLATFORMTHEME", name) << kind << true << QStringList() << themeRoute;
            QTest::addRow("%s: -style", name)
                << kind << true << QStringList{"-style", ProbeKey} << QStringList{"QT_PLUGIN_PATH=" + plugins};
            QTest::addRow("%s: command line, every route", name)
                << kind << false << QStringList{"ping", "127.0.0.1"} << genericRoute + platformRoute + themeRoute;
        }
    }

    // The window loads the probe (the routes are real), which finds no raw or packet socket and can
    // open none, as it is loaded and again once the window's three ping components have pinged
    // through their sockets. The command line loads no plugin of these kinds; should it ever, the
    // probe holds it to the same.
    void pluginRoutesFindNothing()
    {
        QFETCH(Kind, kind);
        QFETCH(bool, window);
        QFETCH(QStringList, args);
        QFETCH(QStringList, environment);
        useKind(kind);
        QProcess process;
        startAsNobody(process, window ? g_copies->windowProbe : g_copies->cli, args, environment);
        QVERIFY(process.waitForFinished(30000));
        const QByteArray output = process.readAllStandardOutput();
        QVERIFY2(process.exitCode() == 0, output.constData());
        const QByteArray record = readAll(g_copies->record);
        if (window) {
            QVERIFY2(output.contains(QByteArray("Ping3 ") + nameOf(kind) + " answered\n"), output.constData());
            QCOMPARE(record, "loaded: " + UnprivilegedPlugin + "at exit: " + UnprivilegedPlugin);
        } else {
            QVERIFY2(record.isEmpty(), record.constData());
        }
    }

    void runningProgramsHoldNothing_data() { bothKinds(); }

    // While they ping: no capability, no raw or packet socket, and no-new-privileges where no helper
    // is needed (set, it would keep the helper's file capability from taking effect). The window's
    // driver reports from inside, its helpers' privileges among it; the command line and its helper
    // are seen from outside, and the helper is out of reach of the user's other processes.
    void runningProgramsHoldNothing()
    {
        QFETCH(Kind, kind);
        useKind(kind);
        QProcess window;
        startAsNobody(window, g_copies->windowProbe, {});
        QVERIFY(window.waitForFinished(30000));
        const QByteArray report = window.readAllStandardOutput();
        QCOMPARE(window.exitCode(), 0);
        for (const char *component : {"Ping1", "Ping2", "Ping3"})
            QVERIFY2(report.contains(component + QByteArray(" ") + nameOf(kind) + " answered\n"), report.constData());
        QVERIFY2(report.contains("raw ICMP sockets: 0\n") && report.contains("raw ICMP sockets at the end: 0\n"),
                 report.constData());
        const int helpers = kind == Kind::Helper ? 3 : 0;
        QCOMPARE(report.count("helper CapEff:\t" + NoCapability + "\n"), helpers);
        QCOMPARE(report.count("helper NoNewPrivs:\t1\n"), helpers);
        QCOMPARE(report.count("helper Seccomp:\t2\n"), helpers);

        QProcess cli;
        startAsNobody(cli, g_copies->cli, {"reping", g_copies->path("silent.dat"), "--timeout", "2000"});
        // Seen once it has given up what it could: when its helper has started, or no-new-privileges is set.
        if (kind == Kind::Helper) {
            QTRY_COMPARE_WITH_TIMEOUT(childrenOf(cli.processId()).size(), 1, 5000);
            const qint64 helper = childrenOf(cli.processId()).front();
            QTRY_COMPARE_WITH_TIMEOUT(statusOf(helper).value("Seccomp"), QByteArray("2"), 5000);
            verifyHelperStatus(statusOf(helper));
            QCOMPARE(attackAsNobody(helper), 0);
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(statusOf(cli.processId()).value("NoNewPrivs"), QByteArray("1"), 5000);
        }
        QMap<QByteArray, QByteArray> cliStatus = statusOf(cli.processId());
        cliStatus.insert("raw or packet sockets", QByteArray::number(rawSocketsOf(cli.processId())));
        QVERIFY(cli.waitForFinished(10000));
        QCOMPARE(cli.exitCode(), 0);

        const QByteArray newPrivileges = kind == Kind::Datagram ? "1" : "0";
        for (const auto &status : {fieldsOf(report), cliStatus}) {
            for (const char *set : {"CapInh", "CapPrm", "CapEff", "CapAmb"})
                QCOMPARE(status.value(set), NoCapability);
            QCOMPARE(status.value("NoNewPrivs"), newPrivileges);
        }
        QCOMPARE(cliStatus.value("raw or packet sockets"), QByteArray("0"));
    }

    // Run by root where datagram sockets are refused: the window gives up every capability, and
    // keeps in its bounding set only what a helper of root's needs; its helpers empty theirs. Its
    // fast sweeps still take the raw sockets reserved before the capabilities went. A sweep of the
    // command line, which starts no helper, empties its bounding set.
    void rootGivesUpEverything()
    {
        useKind(Kind::Helper);
        QProcess window;
        window.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        window.start(g_copies->windowProbe, {"--sweep"});
        QVERIFY(window.waitForFinished(30000));
        const QByteArray report = window.readAllStandardOutput();
        QVERIFY2(window.exitCode() == 0, report.constData());
        const QMap<QByteArray, QByteArray> status = fieldsOf(report);
        QCOMPARE(status.value("CapEff"), NoCapability);
        QCOMPARE(status.value("CapPrm"), NoCapability);
        QCOMPARE(status.value("CapBnd"), HelperBounds);
        QCOMPARE(report.count("helper CapBnd:\t" + NoCapability + "\n"), 3);
        QCOMPARE(report.count("helper CapEff:\t" + NoCapability + "\n"), 3);
        // Its fast sweeps too have their helpers hold their raw sockets.
        QVERIFY2(report.contains("raw ICMP sockets: 0\n") &&
                     report.contains("sweep 1: Responden 8 de 8\nsweep 2: Responden 8 de 8\n") &&
                     report.contains("raw ICMP sockets at the end: 0\n"),
                 report.constData());

        QProcess cli;
        cli.start(g_copies->cli, {"sweep", "198.18.4.0/26", "--rate", "50", "--timeout", "300"});
        QVERIFY(cli.waitForStarted());
        QTRY_COMPARE_WITH_TIMEOUT(statusOf(cli.processId()).value("CapEff"), NoCapability, 5000);
        QCOMPARE(statusOf(cli.processId()).value("CapBnd"), NoCapability);
        QCOMPARE(statusOf(cli.processId()).value("NoNewPrivs"), QByteArray("1"));
        QVERIFY(cli.waitForFinished(10000));
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
        QTRY_COMPARE_WITH_TIMEOUT(childrenOf(cli.processId()).size(), 1, 5000);
        const qint64 helper = childrenOf(cli.processId()).front();
        QTRY_COMPARE_WITH_TIMEOUT(statusOf(helper).value("Seccomp"), QByteArray("2"), 5000);
        QCOMPARE(statusOf(helper).value("CapEff"), NoCapability);
        QCOMPARE(statusOf(helper).value("CapPrm"), NoCapability);
        QCOMPARE(socketsOf(helper, "packet", 8), 2);
        QCOMPARE(rawSocketsOf(cli.processId()), 0);
        QCOMPARE(statusOf(cli.processId()).value("CapEff"), NoCapability);
        // The ring needs no capability: it is made after they are gone.
        QTRY_VERIFY_WITH_TIMEOUT(readAll(QString("/proc/%1/maps").arg(helper)).contains("socket:["), 5000);
        QVERIFY(cli.waitForFinished(10000));
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY(cli.readAllStandardOutput().endsWith("1 of 65 addresses answered\n"));
    }

    // The helper's packet socket for the hosts of the client's link is opened before the capability
    // goes, and nobody can attach to the helper; a user who may not send frames has the kernel ask
    // the link instead, with no helper, and finds the same host.
    void linkHostsNeedTheCapabilityOnlyToOpen()
    {
        useKind(Kind::Datagram);
        const QStringList args{"sweep", "--neighbours", "198.18.9.2", "198.18.9.5-198.18.9.254", "--timeout", "3000"};
        QProcess cli;
        startAsNobody(cli, g_copies->cli, args, {}, framesGroup());
        QTRY_COMPARE_WITH_TIMEOUT(childrenOf(cli.processId()).size(), 1, 15000);
        const qint64 helper = childrenOf(cli.processId()).front();
        QTRY_COMPARE_WITH_TIMEOUT(statusOf(helper).value("Seccomp"), QByteArray("2"), 5000);
        verifyHelperStatus(statusOf(helper));
        QCOMPARE(socketsOf(helper, "packet", 8), 1);
        QCOMPARE(attackAsNobody(helper), 0);
        QCOMPARE(rawSocketsOf(cli.processId()), 0);
        QVERIFY(cli.waitForFinished(20000));
        QVERIFY(!cli.readAllStandardError().contains("instead"));
        QVERIFY(cli.readAllStandardOutput().contains("198.18.9.2 by arp"));

        QProcess plain;
        startAsNobody(plain, g_copies->cli, args);
        QVERIFY(plain.waitForFinished(20000));
        QVERIFY(plain.readAllStandardOutput().contains("198.18.9.2 by arp"));
    }

    void commandsWork_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("last"); // the last line of its output
        for (const Kind kind : {Kind::Datagram, Kind::Helper}) {
            const char *name = nameOf(kind);
            QTest::addRow("%s: ping", name)
                << kind << QStringList{"ping", "127.0.0.1"} << "^Received 56 bytes from 127\\.0\\.0\\.1 in \\d+ mSecs$";
            QTest::addRow("%s: ping over IPv6", name)
                << kind << QStringList{"ping", "::1"} << "^Received 56 bytes from ::1 in \\d+ mSecs$";
            QTest::addRow("%s: scan", name) << kind << QStringList{"scan", "127.0.0.1", "127.0.0.3", "--interval", "50"}
                                            << "^Encontradas 3 Maquinas$";
            QTest::addRow("%s: reping", name)
                << kind << QStringList{"reping", g_copies->path("list.dat")} << "^::1\\(\\d+mSeg\\)$";
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
        QTest::newRow("a helper without privilege")
            << QStringList{"ping", "127.0.0.1"} << 1 << QByteArray("Unable to get ping handle");
        QTest::newRow("ping size") << QStringList{"ping", "127.0.0.1", "--size", "12x"} << 2 << usage;
        QTest::newRow("scan save") << QStringList{"scan", "127.0.0.1", "127.0.0.2", "--save", "/proc/no/file"} << 2
                                   << usage;
        QTest::newRow("reping passes") << QStringList{"reping", "/etc/hostname", "--passes", "0"} << 2 << usage;
        QTest::newRow("sweep save") << QStringList{"sweep", "127.0.0.1", "--save", "/proc/no/file"} << 2 << usage;
        QTest::newRow("sweep target") << QStringList{"sweep", "127.0.0.1-127.0.0.300"} << 2 << usage;
        QTest::newRow("sweep rate") << QStringList{"sweep", "127.0.0.0/24", "--rate", "0"} << 2 << usage;
        QTest::newRow("sweep, no privilege")
            << QStringList{"sweep", "127.0.0.0/24"} << 5 << QByteArray("Unable to get ping handle (ICMP needs");
        QTest::newRow("sweep as frames, no privilege")
            << QStringList{"sweep", "198.18.2.1", "--frames"} << 5
            << QByteArray("--frames sends past this host's firewall, so only root and the members of the group "
                          "tozelo-frames may use it");
    }

    // The plain program and its helper, without capability, where this user may not open datagram
    // sockets: a wrong argument is a usage error all the same, not a failure to get an ICMP socket.
    void usageErrorsNeedNoPrivilege()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QByteArray, error);
        useKind(Kind::Helper);
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
