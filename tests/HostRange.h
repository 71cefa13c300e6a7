#pragma once
#include <QString>
#include <QStringList>

// The dotted addresses network + first to network + last: hosts("198.18.6.", 1, 3).
inline QStringList hosts(const QString &network, int first, int last)
{
    QStringList list;
    for (int i = first; i <= last; ++i)
        list << network + QString::number(i);
    return list;
}
