#include "dialogs/Unit5.h"
#include "main/Forms.h"
#include "main/Unit1.h"
#include "ping/Ping.h"
#include "ui/TestSeams.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>

// The window program as it starts, driven once its main window shows: each of its ping components
// pings loopback once. It prints the privileges it runs with (its status lines), how many raw ICMP
// sockets it holds, and for each component its socket kind and whether loopback answered.
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

void printPrivileges()
{
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("Cap") || line.startsWith("NoNewPrivs"))
            std::printf("%s\n", line.constData());
}

bool pingLoopback(TPing *ping)
{
    ping->SetAddress("127.0.0.1");
    ping->SetTimeout(2000);
    const bool answered = ping->SendPing() == 1;
    const bool raw = IcmpApi::socketKindOf(ping->session()->EchoHandle()) == IcmpApi::SocketKind::Raw;
    std::printf("%s %s %s\n", qPrintable(ping->objectName()), raw ? "raw" : "datagram",
                answered ? "answered" : "silent");
    return answered;
}

} // namespace

int main(int argc, char *argv[])
{
    TestSeams::instance().splashDelayMs = 0;
    return runTozelo(argc, argv, [] {
        printPrivileges();
        std::printf("raw ICMP sockets: %d\n", rawIcmpSockets());
        bool answered = true;
        for (TPing *ping : {Form1->Ping1, Form1->Ping2, Form5->Ping3})
            answered = pingLoopback(ping) && answered;
        std::fflush(stdout);
        QApplication::exit(answered ? 0 : 1);
    });
}
