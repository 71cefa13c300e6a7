#pragma once
#include "ui/TestSeams.h"

#include <QApplication>
#include <functional>

// A benchmark of the windows runs them offscreen unless a platform is named, with no splash to wait
// for.
inline int runOffscreen(int argc, char *argv[], const std::function<void()> &benchmarks)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TestSeams::instance().splashDelayMs = 0;
    benchmarks();
    return 0;
}
