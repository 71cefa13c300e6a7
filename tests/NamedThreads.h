#pragma once
#include <QByteArray>
#include <QDir>
#include <QFile>

// The threads of this process that bear name, as the program names those it starts.
inline int threadsNamed(const QByteArray &name)
{
    int count = 0;
    const QDir tasks("/proc/self/task");
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + "/comm"));
        count += comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == name;
    }
    return count;
}
