#pragma once
#include "sweep/BackgroundSweep.h"

#include <QDir>
#include <QFile>

// The sweep threads of this process.
inline int sweepThreads()
{
    int count = 0;
    const QDir tasks("/proc/self/task");
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile name(tasks.filePath(task + "/comm"));
        count += name.open(QIODevice::ReadOnly) && name.readAll().trimmed() == BackgroundSweep::ThreadName;
    }
    return count;
}
