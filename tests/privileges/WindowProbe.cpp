#include "dialogs/Unit5.h"
#include "main/FastSweepPage.h"
#include "main/Forms.h"
#include "main/Unit1.h"
#include "ping/Ping.h"
#include "ui/TestSeams.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <cstdio>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>

// The window program as it starts, driven once its main window shows: each of its ping components
// pings loopback once, and with --sweep the fast sweep page sweeps loopback twice. It prints the
// privileges it runs with (its status lines), those of the helpers it started ("helper" and the
// line), how many raw ICMP sockets it holds, for each component its socket kind and whether loopback
// answered, and how each sweep ended.
namespace {

int rawIcmpSockets()
{
    int count = 0;
    for (const QString &entry : QDir("/proc/self/fd").entryList(QDir::Files | QDir::System)) {
        int type = 0, protocol = 0;
        socklen_t length = sizeof type;
        const int fd = entry.toInt();
        if (getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &length) == 0 &&
            getsockopt(fd, SOL_SOCKET, SO_PROTOCOL, &protocol, &length) == 0 && type == SOCK_RAW &&
            protocol == IPPROTO_ICMP)
            ++count;
    }
    return count;
}

void printPrivileges(const QString &process, const char *prefix)
{
    QFile status("/proc/" + process + "/status");
    if (!status.open(QIODevice::ReadOnly))
        return;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("Cap") || line.startsWith("NoNewPrivs") || line.startsWith("Seccomp:"))
            std::printf("%s%s\n", prefix, line.constData());
}

// The children of every thread of this process: the helpers of its echo sessions.
void printHelperPrivileges()
{
    const QDir tasks("/proc/self/task");
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile children(tasks.filePath(task + "/children"));
        if (children.open(QIODevice::ReadOnly))
            for (const QByteArray &child : children.readAll().simplified().split(' '))
                if (!child.isEmpty())
                    printPrivileges(QString::fromLatin1(child), "helper ");
    }
}

const char *kindName(IcmpApi::SocketKind kind)
{
    switch (kind) {
    case IcmpApi::SocketKind::Datagram: return "datagram";
    case IcmpApi::SocketKind::Raw: return "raw";
    case IcmpApi::SocketKind::Helper: return "helper";
    }
    return "?";
}

bool pingLoopback(TPing *ping)
{
    ping->SetAddress("127.0.0.1");
    ping->SetTimeout(2000);
    const bool answered = ping->SendPing() == 1;
    std::printf("%s %s %s\n", qPrintable(ping->objectName()),
                kindName(IcmpApi::socketKindOf(ping->session()->EchoHandle())), answered ? "answered" : "silent");
    return answered;
}

// A second sweep needs the raw socket the first gave back.
bool sweepLoopback(FastSweepPage &page, int run)
{
    page.targets->setText("127.0.0.0/29");
    page.startClick();
    QElapsedTimer clock;
    clock.start();
    while (page.sweeping() && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    std::printf("sweep %d: %s\n", run, qPrintable(page.state->text()));
    return page.state->text() == "Responden 8 de 8";
}

} // namespace

int main(int argc, char *argv[])
{
    TestSeams::instance().splashDelayMs = 0;
    TestSeams::instance().messageBox = [](QMessageBox &box) {
        std::printf("message: %s\n", qPrintable(box.text()));
        return int(QMessageBox::Ok);
    };
    const bool sweeps = argc > 1 && std::strcmp(argv[argc - 1], "--sweep") == 0;
    return runTozelo(argc - int(sweeps), argv, [sweeps] {
        printPrivileges("self", "");
        std::printf("raw ICMP sockets: %d\n", rawIcmpSockets());
        bool answered = true;
        for (TPing *ping : {Form1->Ping1, Form1->Ping2, Form5->Ping3})
            answered = pingLoopback(ping) && answered;
        printHelperPrivileges();
        for (int run = 1; sweeps && run <= 2; ++run)
            answered = sweepLoopback(Form1->fastSweep(), run) && answered;
        std::printf("raw ICMP sockets at the end: %d\n", rawIcmpSockets());
        std::fflush(stdout);
        QApplication::exit(answered ? 0 : 1);
    });
}
