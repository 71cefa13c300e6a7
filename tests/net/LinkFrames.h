#pragma once
#include <QFile>
#include <QList>

// The frames this namespace has sent on one of its links, as its kernel counts them; -1 where the
// link is not there.
inline qint64 framesSentOn(const QByteArray &link)
{
    QFile devices("/proc/net/dev");
    if (!devices.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : devices.readAll().split('\n')) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 10 && fields[0] == link + ":")
            return fields[10].toLongLong();
    }
    return -1;
}
