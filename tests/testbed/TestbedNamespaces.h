#pragma once
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

// What a test adds to the testbed it runs in (testbed.sh run) for itself, in the namespaces of that
// testbed only: their names come from TOZELO_TESTBED.
class TestbedNamespaces {
public:
    // The system tools live in sbin, which a test's PATH may lack.
    static QString tool(const QString &name)
    {
        return QStandardPaths::findExecutable(name, {"/usr/sbin", "/sbin", "/usr/bin", "/bin"});
    }

    // ROLE is c, r, h, d, l or e: client, router, host, delayed, and the client link's bridge and host.
    static QString nameOf(const char *role) { return qEnvironmentVariable("TOZELO_TESTBED") + "-" + role; }

    // `ip -n NAMESPACE -batch -` with COMMANDS, one a line.
    static bool batch(const char *role, const QStringList &commands)
    {
        QProcess ip;
        ip.start(tool("ip"), {"-n", nameOf(role), "-batch", "-"});
        ip.write(commands.join('\n').toLatin1() + '\n');
        ip.closeWriteChannel();
        return ip.waitForFinished(30000) && ip.exitStatus() == QProcess::NormalExit && ip.exitCode() == 0;
    }

    // `ip -n NAMESPACE route ACTION ROUTE...`
    static bool route(const char *role, const QString &action, const QStringList &route)
    {
        return QProcess::execute(tool("ip"), QStringList{"-n", nameOf(role), "route", action} + route) == 0;
    }

    // The range scans' known truth: the host answers for every address of 198.18.6.0/25 and the
    // router drops 198.18.6.128/25. ACTION is add or del.
    static bool scanRange(const QString &action)
    {
        return route("h", action, {"local", "198.18.6.0/25", "dev", "lo"}) &&
               route("r", action, {"198.18.6.0/25", "via", "198.18.2.1"}) &&
               route("r", action, {"blackhole", "198.18.6.128/25"});
    }
};
