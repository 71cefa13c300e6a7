#include "TestMain.h"

#include "platform/HelperProcess.h"

#include <QFile>
#include <QMetaMethod>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <map>
#include <string>
#include <vector>

namespace TestMain {

namespace {

// QTest's options that take a value; every other word that is no option names test functions.
const QSet<QString> OptionsWithValue = {"-o",          "-maxwarnings", "-eventdelay",   "-keydelay",
                                        "-mousedelay", "-median",      "-minimumvalue", "-minimumtotal",
                                        "-iterations", "-seed",        "-perfcounter",  "-repeat"};

struct Arguments {
    QStringList options;
    QStringList functions; // as given, data tags included; empty: all
    bool output = false;   // the caller chose where the log goes
};

Arguments split(int argc, char **argv)
{
    Arguments args;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (!arg.startsWith('-')) {
            args.functions << arg;
            continue;
        }
        args.options << arg;
        args.output = args.output || arg == "-o";
        if (OptionsWithValue.contains(arg) && i + 1 < argc)
            args.options << QString::fromLocal8Bit(argv[++i]);
    }
    return args;
}

// The test functions in the order QTest runs them.
QStringList allFunctions(const QObject &test)
{
    static const QSet<QByteArray> Fixtures = {"initTestCase", "cleanupTestCase", "init", "cleanup"};
    QStringList functions;
    const QMetaObject *meta = test.metaObject();
    for (int i = 0; i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() != QMetaMethod::Slot || method.access() != QMetaMethod::Private ||
            method.parameterCount() != 0 || method.returnType() != QMetaType::Void || method.name().endsWith("_data") ||
            Fixtures.contains(method.name()))
            continue;
        functions << QString::fromLatin1(method.name());
    }
    return functions;
}

QString functionOf(const QString &selector)
{
    return selector.section(':', 0, 0).section('(', 0, 0);
}

// What one run of QTest wrote to its TAP log.
struct Log {
    int failures = 0;
    QStringList skipReasons;
    QString lastFunction; // of the last result
};

Log readLog(QFile &file)
{
    static const QRegularExpression Result("^(not )?ok \\d+ - ([^(]*)\\(.*?\\)( # SKIP ?(.*))?$");
    Log log;
    file.seek(0);
    while (!file.atEnd()) {
        const QRegularExpressionMatch match = Result.match(QString::fromUtf8(file.readLine()).trimmed());
        if (!match.hasMatch())
            continue;
        log.lastFunction = match.captured(2);
        if (!match.captured(1).isEmpty())
            ++log.failures;
        else if (!match.captured(3).isEmpty())
            log.skipReasons << match.captured(4);
    }
    return log;
}

struct Run {
    int result = 0;
    bool threw = false;
    QString exception; // what it said
    Log log;
};

Run runOnce(QObject &test, const char *program, const Arguments &args, const QStringList &functions)
{
    QTemporaryFile tap;
    Run run;
    if (!tap.open()) {
        std::fprintf(stderr, "cannot make a temporary file for the test log\n");
        run.result = 1;
        return run;
    }
    QStringList words = args.options + QStringList{"-o", tap.fileName() + ",tap"};
    if (!args.output)
        words << "-o"
              << "-,txt";
    words += functions;
    std::vector<QByteArray> storage{QByteArray(program)};
    for (const QString &word : words)
        storage.push_back(word.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &word : storage)
        argv.push_back(word.data());
    try {
        run.result = QTest::qExec(&test, int(argv.size()), argv.data());
    } catch (const std::exception &e) {
        run.threw = true;
        run.exception = QString::fromLocal8Bit(e.what());
    } catch (...) {
        run.threw = true;
        run.exception = "something that is no std::exception";
    }
    run.log = readLog(tap);
    return run;
}

} // namespace

int run(QObject &test, int argc, char **argv)
{
    const Arguments args = split(argc, argv);
    const QStringList all = args.functions.isEmpty() ? allFunctions(test) : args.functions;
    QStringList pending = args.functions;
    int failures = 0;
    QStringList skipReasons;
    for (;;) {
        const Run run = runOnce(test, argv[0], args, pending);
        skipReasons += run.log.skipReasons;
        if (!run.threw) {
            failures += run.result;
            break;
        }
        // QTest has reported the exception as a failure of the function it escaped from.
        failures += std::max(run.log.failures, 1);
        std::printf("%s() threw: %s\n", qPrintable(run.log.lastFunction), qPrintable(run.exception));
        int at = -1;
        for (int i = 0; i < all.size(); ++i)
            at = functionOf(all[i]) == run.log.lastFunction ? i : at;
        if (at < 0)
            break;
        pending = all.mid(at + 1);
        if (pending.isEmpty())
            break;
        std::printf("going on with %s\n", qPrintable(pending.join(' ')));
    }
    if (failures != 0)
        return 1;
    if (skipReasons.isEmpty())
        return 0;
    skipReasons.removeDuplicates();
    std::printf("skipped: %s\n", qPrintable(skipReasons.join("; ")));
    return SkippedExitCode;
}

namespace {
std::map<std::string, Entry> &entries()
{
    static std::map<std::string, Entry> registered;
    return registered;
}
} // namespace

bool add(const char *file, Entry entry)
{
    const char *slash = std::strrchr(file, '/');
    std::string name = slash ? slash + 1 : file;
    name.erase(name.rfind('.'));
    entries()[name] = entry;
    return true;
}

// Echo sessions that need the privileged helper start this build's.
int runNamed(int argc, char **argv)
{
    HelperProcess::Testing::program() = TOZELO_TEST_HELPER;
    // The walks the tests run keep their history in a folder of this run's own, not the user's.
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
    const auto found = argc > 1 ? entries().find(argv[1]) : entries().end();
    if (found == entries().end()) {
        std::fprintf(stderr, "usage: %s TEST [QTEST-ARGUMENT]...\nwhere TEST is one of:", argv[0]);
        for (const auto &[name, entry] : entries())
            std::fprintf(stderr, " %s", name.c_str());
        std::fprintf(stderr, "\n");
        return 2;
    }
    std::vector<char *> rest{argv[0]};
    rest.insert(rest.end(), argv + 2, argv + argc);
    rest.push_back(nullptr);
    return found->second(argc - 1, rest.data());
}

} // namespace TestMain
