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

    // ROLE is c, r, h or d: client, router, host, delayed.
    static QString nameOf(const char *role) { return qEnvironmentVariable("TOZELO_TESTBED") + "-" + role; }

    // `ip -n NAMESPACE route ACTION ROUTE...`
    static bool route(const char *role, const QString &action, const QStringList &route)
    {
        return QProcess::execute(tool("ip"), QStringList{"-n", nameOf(role), "route", action} + route) == 0;
    }

    // The range scans' known truth: the host answers for every address of 198.18.6.0/25 and the
    // router drops 198.18.6.128/25. The client sends them to the router, not to its own link there,
    // whose address alone it answers for itself. ACTION is add or del.
    static bool scanRange(const QString &action)
    {
        return route("c", action, {"198.18.6.0/25", "via", "198.18.1.254"}) &&
               route("c", action, {"198.18.6.128/25", "via", "198.18.1.254"}) &&
               route("h", action, {"local", "198.18.6.0/25", "dev", "lo"}) &&
               route("r", action, {"198.18.6.0/25", "via", "198.18.2.1"}) &&
               route("r", action, {"blackhole", "198.18.6.128/25"});
    }
};
