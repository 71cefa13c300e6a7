#pragma once
#include <QCoreApplication>
#include <QObject>
#ifdef QT_WIDGETS_LIB
#include <QApplication>
#endif

// The main of every test executable, in place of QTest's. QTest alone ends the whole executable at
// an exception thrown in a test, and calls a run that skipped tests a pass. Here an exception fails
// its test function alone and the functions after it still run; a run that skipped any test and
// failed none exits 77, which ctest shows as Skipped, with the reasons on the output's last line.
namespace TestMain {
constexpr int SkippedExitCode = 77;

int run(QObject &test, int argc, char **argv);
} // namespace TestMain

#define TOZELO_GUILESS_TEST_MAIN(TestObject)                                                                           \
    int main(int argc, char **argv)                                                                                    \
    {                                                                                                                  \
        QCoreApplication app(argc, argv);                                                                              \
        TestObject test;                                                                                               \
        return TestMain::run(test, argc, argv);                                                                        \
    }

#define TOZELO_TEST_MAIN(TestObject)                                                                                   \
    int main(int argc, char **argv)                                                                                    \
    {                                                                                                                  \
        QApplication app(argc, argv);                                                                                  \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                                       \
        TestObject test;                                                                                               \
        return TestMain::run(test, argc, argv);                                                                        \
    }
