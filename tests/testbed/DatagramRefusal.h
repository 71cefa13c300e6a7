#pragma once
#include <QByteArray>
#include <QFile>

// While one lives, the network namespace this process runs in (the testbed's client) refuses ICMP
// datagram sockets to every group, so that the echo sessions and sweeps started meanwhile take the
// other way: the privileged helper's raw sockets (or, in a build from before the helper, raw sockets
// of their own, as root). The setting is given back as it was.
class DatagramRefusal {
public:
    DatagramRefusal() : m_before(read()) { m_refused = !m_before.isEmpty() && write("1 0"); }
    ~DatagramRefusal()
    {
        if (m_refused)
            write(m_before);
    }
    DatagramRefusal(const DatagramRefusal &) = delete;
    DatagramRefusal &operator=(const DatagramRefusal &) = delete;

    // False where the setting could not be changed: nothing was refused.
    bool refused() const { return m_refused; }

private:
    static constexpr const char *Setting = "/proc/sys/net/ipv4/ping_group_range";

    static QByteArray read()
    {
        QFile file(Setting);
        return file.open(QIODevice::ReadOnly) ? file.readAll().simplified() : QByteArray();
    }

    static bool write(const QByteArray &range)
    {
        QFile file(Setting);
        return file.open(QIODevice::WriteOnly) && file.write(range) == range.size() && file.flush();
    }

    const QByteArray m_before;
    bool m_refused = false;
};
