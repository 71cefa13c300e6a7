#include "TestMain.h"
#include "helper/SystemCallFilter.h"

#include <QtTest>
#include <linux/icmp.h>
#include <linux/seccomp.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

// The helper's system call filter, installed in a child process of the test that then makes one
// call: what serving a client takes goes through, and anything else ends the child at once.
namespace {

enum class Call {
    SetTtl,
    SetHopLimit,
    SetHeaderIncluded,
    ClearIcmpFilter,
    OpenSocket,
    MapExecutable,
    MapData,
    WriteOutput,
    WriteError
};

// What the call returns, or -1, in the child; the child's exit code is 0 when the call was made at all.
long make(Call call, int fd)
{
    const int on = 1;
    const icmp_filter none{};
    switch (call) {
    case Call::SetTtl: return syscall(SYS_setsockopt, fd, IPPROTO_IP, IP_TTL, &on, sizeof on);
    case Call::SetHopLimit: return syscall(SYS_setsockopt, fd, IPPROTO_IPV6, IPV6_UNICAST_HOPS, &on, sizeof on);
    case Call::SetHeaderIncluded: return syscall(SYS_setsockopt, fd, IPPROTO_IP, IP_HDRINCL, &on, sizeof on);
    case Call::ClearIcmpFilter: return syscall(SYS_setsockopt, fd, SOL_RAW, ICMP_FILTER, &none, sizeof none);
    case Call::OpenSocket: return syscall(SYS_socket, AF_INET, SOCK_RAW, IPPROTO_ICMP);
    case Call::MapExecutable:
        return long(syscall(SYS_mmap, nullptr, 4096, PROT_READ | PROT_EXEC, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    case Call::MapData:
        return long(syscall(SYS_mmap, nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    case Call::WriteOutput: return syscall(SYS_write, STDOUT_FILENO, "", 0);
    case Call::WriteError: return syscall(SYS_write, STDERR_FILENO, "", 0);
    }
    return -1;
}

} // namespace

Q_DECLARE_METATYPE(Call)
Q_DECLARE_METATYPE(HelperProtocol::Purpose)

class TestSystemCallFilter : public QObject {
    Q_OBJECT

private slots:
    void calls_data()
    {
        using HelperProtocol::Purpose;
        QTest::addColumn<Purpose>("purpose");
        QTest::addColumn<Call>("call");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("setting the time-to-live") << Purpose::Echo << Call::SetTtl << true;
        QTest::newRow("setting the hop limit") << Purpose::Echo << Call::SetHopLimit << true;
        QTest::newRow("mapping data") << Purpose::Echo << Call::MapData << true;
        QTest::newRow("writing to standard error") << Purpose::Echo << Call::WriteError << true;
        QTest::newRow("sending its own IP headers") << Purpose::Echo << Call::SetHeaderIncluded << false;
        QTest::newRow("taking the ICMP filter away") << Purpose::Echo << Call::ClearIcmpFilter << false;
        QTest::newRow("opening a socket") << Purpose::Echo << Call::OpenSocket << false;
        QTest::newRow("mapping code") << Purpose::Echo << Call::MapExecutable << false;
        QTest::newRow("writing to standard output") << Purpose::Echo << Call::WriteOutput << false;
        QTest::newRow("a link's hosts: mapping data") << Purpose::Arp << Call::MapData << true;
        QTest::newRow("a link's hosts: writing to standard error") << Purpose::Arp << Call::WriteError << true;
        QTest::newRow("a link's hosts: setting the time-to-live") << Purpose::Arp << Call::SetTtl << false;
        QTest::newRow("a link's hosts: opening a socket") << Purpose::Arp << Call::OpenSocket << false;
        QTest::newRow("a link's hosts: mapping code") << Purpose::Arp << Call::MapExecutable << false;
    }

    // The program is made here: the child, a copy of a process with threads, allocates nothing, and
    // leaves by the system call itself, past whatever a sanitizer would do at exit.
    void calls()
    {
        QFETCH(HelperProtocol::Purpose, purpose);
        QFETCH(Call, call);
        QFETCH(bool, allowed);
        std::vector<sock_filter> code = SystemCallFilter::program(purpose);
        const sock_fprog filter{static_cast<unsigned short>(code.size()), code.data()};
        const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        QVERIFY(fd >= 0);
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            const bool filtered =
                prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &filter) == 0;
            if (filtered)
                make(call, fd);
            syscall(SYS_exit_group, filtered ? 0 : 2);
        }
        close(fd);
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        if (allowed) {
            QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0, qPrintable(QString::number(status)));
        } else {
            QVERIFY2(WIFSIGNALED(status) && WTERMSIG(status) == SIGSYS, qPrintable(QString::number(status)));
        }
    }
};

TOZELO_GUILESS_TEST_MAIN(TestSystemCallFilter)
#include "tst_SystemCallFilter.moc"
