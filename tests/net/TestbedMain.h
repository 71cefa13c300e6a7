#pragma once
#include "TestMain.h"
#include "testbed/TestbedGuard.h"

#include <QCoreApplication>
#include <QtTest>
#include <cstdio>

// The main of a test that sends to the testbed's hosts: outside the testbed it sends nothing and
// reports itself skipped (77) with the reason. A test of windows passes QApplication.
template <typename Test, typename Application = QCoreApplication> int runInTestbed(int argc, char **argv)
{
    const std::string reason = TestbedGuard::whyOutside();
    if (!reason.empty()) {
        std::printf("skipped: %s\n", reason.c_str());
        return TestMain::SkippedExitCode;
    }
    Application app(argc, argv);
    Test test;
    return TestMain::run(test, argc, argv);
}

#define TOZELO_TESTBED_TEST_MAIN(TestObject)                                                                           \
    static int runTest(int argc, char **argv)                                                                          \
    {                                                                                                                  \
        return runInTestbed<TestObject>(argc, argv);                                                                   \
    }                                                                                                                  \
    TOZELO_TEST_ENTRY(runTest)

#define TOZELO_TESTBED_WINDOW_TEST_MAIN(TestObject)                                                                    \
    static int runTest(int argc, char **argv)                                                                          \
    {                                                                                                                  \
        return runInTestbed<TestObject, QApplication>(argc, argv);                                                     \
    }                                                                                                                  \
    TOZELO_TEST_ENTRY(runTest)
