#pragma once
#include "TestbedGuard.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

// The client's name service while the object lives: the hosts file given, then DNS through the
// resolver's address, 127.0.0.1, where a server takes every query and never answers, the resolver
// keeping its own time-outs. The files are mounted over the testbed's in this process's mount
// namespace, which its children share and nothing outside sees, and unmounted with the object;
// outside the testbed's client namespace nothing is mounted.
class SilentNameServer {
public:
    explicit SilentNameServer(const QByteArray &hosts)
    {
        if (!TestbedGuard::whyOutside().empty())
            return;
        m_socket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(53);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_ready = m_socket >= 0 && bind(m_socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0 &&
                  over("hosts", hosts) && over("nsswitch.conf", "hosts: files dns\n") &&
                  over("resolv.conf", "nameserver 127.0.0.1\n");
    }
    ~SilentNameServer()
    {
        for (auto each = m_mounted.rbegin(); each != m_mounted.rend(); ++each)
            umount(qPrintable(*each));
        if (m_socket >= 0)
            close(m_socket);
    }
    SilentNameServer(const SilentNameServer &) = delete;
    SilentNameServer &operator=(const SilentNameServer &) = delete;

    bool ready() const { return m_ready; }

private:
    bool over(const QString &name, const QByteArray &content)
    {
        const QString file = m_dir.filePath(name);
        const QString target = "/etc/" + name;
        QFile written(file);
        if (!written.open(QIODevice::WriteOnly) || written.write(content) != content.size())
            return false;
        written.close();
        if (mount(qPrintable(file), qPrintable(target), nullptr, MS_BIND, nullptr) != 0)
            return false;
        m_mounted << target;
        return true;
    }

    QTemporaryDir m_dir;
    QStringList m_mounted;
    int m_socket = -1;
    bool m_ready = false;
};
