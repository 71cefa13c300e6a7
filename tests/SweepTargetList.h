#pragma once
#include "sweep/SweepTargets.h"

#include <QString>
#include <QStringList>

// The targets of a sweep written as the user writes them, one a string.
inline SweepTargets targetsOf(const QStringList &list)
{
    SweepTargets targets;
    for (const QString &target : list)
        targets.add(target.toStdString());
    return targets;
}
