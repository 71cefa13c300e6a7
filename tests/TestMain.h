#pragma once
#include <QCoreApplication>
#include <QObject>
#ifdef QT_WIDGETS_LIB
#include <QApplication>
#endif

// The main of every test, in place of QTest's. QTest alone ends the whole executable at an
// exception thrown in a test, and calls a run that skipped tests a pass. Here an exception fails
// its test function alone and the functions after it still run; a run that skipped any test and
// failed none exits 77, which ctest shows as Skipped, with the reasons on the output's last line.
//
// The tests of a folder share one executable, so that the windows are linked once rather than once
// per test; each test file registers its test under its own name (tst_TForm1), and the executable
// runs the one its first argument names, with the arguments after it.
namespace TestMain {
constexpr int SkippedExitCode = 77;

int run(QObject &test, int argc, char **argv);

using Entry = int (*)(int argc, char **argv);
// Registers the test of a file under the file's name; the result only serves to run it at start-up.
bool add(const char *file, Entry entry);
// The main of an executable of tests.
int runNamed(int argc, char **argv);
} // namespace TestMain

#define TOZELO_TEST_ENTRY(function) static const bool tozeloTestEntry = TestMain::add(__FILE__, function);

#define TOZELO_GUILESS_TEST_MAIN(TestObject)                                                                           \
    static int runTest(int argc, char **argv)                                                                          \
    {                                                                                                                  \
        QCoreApplication app(argc, argv);                                                                              \
        TestObject test;                                                                                               \
        return TestMain::run(test, argc, argv);                                                                        \
    }                                                                                                                  \
    TOZELO_TEST_ENTRY(runTest)

#define TOZELO_TEST_MAIN(TestObject)                                                                                   \
    static int runTest(int argc, char **argv)                                                                          \
    {                                                                                                                  \
        QApplication app(argc, argv);                                                                                  \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                                       \
        TestObject test;                                                                                               \
        return TestMain::run(test, argc, argv);                                                                        \
    }                                                                                                                  \
    TOZELO_TEST_ENTRY(runTest)
