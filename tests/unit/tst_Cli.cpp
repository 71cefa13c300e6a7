#include "CliRun.h"
#include "TestFiles.h"
#include "TestMain.h"
#include "history/HistoryStore.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

// The command-line front end as a user runs it: its exit statuses and its usage errors on one line,
// told as such also where no echo session can be opened. Pings: net/tst_Cli.
namespace {
// What a number option of that name takes.
QString wanted(const QString &option)
{
    if (option == "rate")
        return "a rate such as 5000, 10k or 1M";
    if (option == "timeout" || option == "interval")
        return "a time such as 500, 500ms or 2s";
    return "a whole number";
}
} // namespace

class TestCli : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(QFile::exists(qEnvironmentVariable("TOZELO_CLI")), "TOZELO_CLI not set"); }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        QTest::newRow("no command") << QStringList{} << "tozelo-cli: no command given (try tozelo-cli --help)";
        const QString usage = "tozelo-cli: %1 (try tozelo-cli --help)";
        QTest::newRow("unknown command") << QStringList{"pong", "127.0.0.1"} << usage.arg("unknown command 'pong'");
        QTest::newRow("history format") << QStringList{"history", "--format", "xml"}
                                        << usage.arg("--format must be csv or json, not 'xml'");
        QTest::newRow("history since")
            << QStringList{"history", "--since", "yesterday"}
            << usage.arg("--since takes a time such as 2024-05-01T12:00:00Z or 2h, not 'yesterday'");
        QTest::newRow("history without record")
            << QStringList{"sweep", "127.0.0.1", "--history", "h.sqlite"} << usage.arg("--history goes with --record");
        QTest::newRow("missing host") << QStringList{"ping"} << usage.arg("ping needs exactly one HOST");
        QTest::newRow("two hosts") << QStringList{"ping", "127.0.0.1", "127.0.0.2"}
                                   << usage.arg("ping needs exactly one HOST");
        QTest::newRow("both families") << QStringList{"ping", "-6", "127.0.0.1", "-4"}
                                       << usage.arg("-4 and -6 exclude each other");
        QTest::newRow("unknown option") << QStringList{"ping", "127.0.0.1", "--count", "3"}
                                        << usage.arg("unknown option '--count'");
        QTest::newRow("unknown short option")
            << QStringList{"sweep", "127.0.0.1", "-x"} << usage.arg("unknown option '-x'");
        QTest::newRow("not a number") << QStringList{"ping", "127.0.0.1", "--size", "12x"}
                                      << usage.arg("--size needs a whole number, not '12x'");
        QTest::newRow("decimal") << QStringList{"ping", "127.0.0.1", "--timeout=1.5"}
                                 << usage.arg("--timeout needs " + wanted("timeout") + ", not '1.5'");
        QTest::newRow("unknown unit") << QStringList{"sweep", "127.0.0.1", "--rate", "10K"}
                                      << usage.arg("--rate needs " + wanted("rate") + ", not '10K'");
        QTest::newRow("unit alone") << QStringList{"scan", "127.0.0.1", "127.0.0.2", "--interval", "ms"}
                                    << usage.arg("--interval needs " + wanted("interval") + ", not 'ms'");
        QTest::newRow("unit beyond every integer")
            << QStringList{"reping", "/dev/null", "--timeout", "2147484s"}
            << usage.arg("--timeout needs " + wanted("timeout") + ", not '2147484s'");
        // Units scale before the bounds are checked.
        for (const char *timeout : {"61s", "60001ms"})
            QTest::newRow(qPrintable(QString("sweep --timeout ") + timeout))
                << QStringList{"sweep", "127.0.0.1", "--timeout", timeout} << usage.arg("--timeout must be 1 to 60000");
        QTest::newRow("sweep --rate 11M")
            << QStringList{"sweep", "127.0.0.1", "--rate", "11M"} << usage.arg("--rate must be 1 to 10000000");
        QTest::newRow("scan --interval 0s") << QStringList{"scan", "127.0.0.1", "127.0.0.2", "--interval", "0s"}
                                            << usage.arg("--interval must be at least 1");
        QTest::newRow("empty") << QStringList{"ping", "127.0.0.1", "--ttl="}
                               << usage.arg("--ttl needs a whole number, not ''");
        QTest::newRow("blank before the number")
            << QStringList{"ping", "127.0.0.1", "--size", " 56"} << usage.arg("--size needs a whole number, not ' 56'");
        QTest::newRow("missing value") << QStringList{"ping", "127.0.0.1", "--ttl"}
                                       << usage.arg("option --ttl needs a value");
        // Numbers beyond every integer type, in every field: the program's own words, never a
        // library's.
        const QString digits = "99999999999999999999999";
        const std::pair<const char *, QStringList> numbered[] = {
            {"ping 127.0.0.1", {"size", "ttl", "timeout"}},
            {"scan 127.0.0.1 127.0.0.2", {"interval", "timeout", "size", "ttl"}},
            {"reping /dev/null", {"timeout", "passes", "size", "ttl"}},
            {"sweep 127.0.0.1", {"rate", "timeout", "retries", "size", "ttl"}}};
        for (const auto &[command, options] : numbered)
            for (const QString &option : options)
                for (const QString &number : {digits, "-" + digits})
                    QTest::newRow(qPrintable(QString(command).section(' ', 0, 0) + " --" + option + " " + number))
                        << QString(command).split(' ') + QStringList{"--" + option, number}
                        << usage.arg("--" + option + " needs " + wanted(option) + ", not '" + number + "'");
        QTest::newRow("octet too large") << QStringList{"sweep", "127.0.0." + digits}
                                         << usage.arg("'127.0.0." + digits + "': '127.0.0." + digits +
                                                      "' is not a dotted IPv4 address");
        QTest::newRow("zone too large") << QStringList{"sweep", "fe80::1%" + digits}
                                        << usage.arg("'fe80::1%" + digits + "': this machine has no link '" + digits +
                                                     "'");
        QTest::newRow("prefix too large") << QStringList{"sweep", "127.0.0.0/" + digits}
                                          << usage.arg("'127.0.0.0/" + digits + "': the prefix length must be 0 to 32");
        QTest::newRow("IPv6 prefix too large")
            << QStringList{"sweep", "fd00::/" + digits}
            << usage.arg("'fd00::/" + digits + "': the prefix length must be 0 to 128");
        QTest::newRow("seed too large")
            << QStringList{"sweep", "127.0.0.1", "--order", "random", "--seed", digits}
            << usage.arg("--seed needs a whole number from 0 to 18446744073709551615, not '" + digits + "'");
        QTest::newRow("scan interval") << QStringList{"scan", "127.0.0.1", "127.0.0.2", "--interval", "0"}
                                       << usage.arg("--interval must be at least 1");
        QTest::newRow("reping ttl") << QStringList{"reping", "/dev/null", "--ttl", "x"}
                                    << usage.arg("--ttl needs a whole number, not 'x'");
        // Each bound of a sweep's numbers, and one past it.
        const std::tuple<const char *, int, int> bounds[] = {
            {"rate", 1, 10000000}, {"timeout", 1, 60000},       {"retries", 0, 10},        {"size", 8, 65500},
            {"ttl", 1, 255},       {"names-timeout", 1, 60000}, {"names-parallel", 1, 512}};
        for (const auto &[option, low, high] : bounds) {
            const QString range = QString("--%1 must be %2 to %3").arg(option).arg(low).arg(high) +
                                  (QString(option) == "size" ? ": each request carries a check of 8 bytes" : "");
            for (const int wrong : {low - 1, high + 1})
                QTest::newRow(qPrintable(QString("sweep --%1 %2").arg(option).arg(wrong)))
                    << QStringList{"sweep", "127.0.0.1", "--names", QString("--") + option, QString::number(wrong)}
                    << usage.arg(range);
        }
        QTest::newRow("names parallel without names") << QStringList{"sweep", "127.0.0.1", "--names-parallel", "8"}
                                                      << usage.arg("--names-parallel goes with --names");
        QTest::newRow("sweep format") << QStringList{"sweep", "127.0.0.1", "--format", "yaml"}
                                      << usage.arg("--format must be text, csv, json, jsonl or xml, not 'yaml'");
        QTest::newRow("no target, no file") << QStringList{"sweep", "--exclude", "127.0.0.1"}
                                            << usage.arg("sweep needs at least one TARGET or -f FILE");
        QTest::newRow("bad exclusion") << QStringList{"sweep", "127.0.0.0/24", "--exclude", "127.0.0.1,127.0.0.x"}
                                       << usage.arg("'127.0.0.x': '127.0.0.x' is not a dotted IPv4 address");
        QTest::newRow("standard input twice") << QStringList{"sweep", "-f", "-", "--exclude-file", "-"}
                                              << usage.arg("standard input (-) can be read for one file only");
        QTest::newRow("flag with a value")
            << QStringList{"sweep", "127.0.0.1", "--names=yes"} << usage.arg("option --names takes no value");
        QTest::newRow("order") << QStringList{"sweep", "127.0.0.1", "--order", "sideways"}
                               << usage.arg("--order must be address or random, not 'sideways'");
        QTest::newRow("seed of no order")
            << QStringList{"sweep", "127.0.0.1", "--seed", "7"} << usage.arg("--seed goes with --order random");
        QTest::newRow("negative seed") << QStringList{"sweep", "127.0.0.1", "--order", "random", "--seed", "-1"}
                                       << usage.arg(
                                              "--seed needs a whole number from 0 to 18446744073709551615, not '-1'");
        const QString shard = "--shard needs I/N, the I-th of N shards (1 <= I <= N <= 65536), not '%1'";
        for (const QString &wrong : {QString("0/3"), QString("4/3"), QString("3"), QString("1/65537"), QString("1/3/"),
                                     "1/" + digits, digits + "/3"})
            QTest::newRow(qPrintable("shard " + wrong))
                << QStringList{"sweep", "127.0.0.1", "--shard", wrong} << usage.arg(shard.arg(wrong));
        QTest::newRow("answered and unanswered")
            << QStringList{"sweep", "127.0.0.1", "-a", "--unanswered"} << usage.arg("-a and -u exclude each other");
        QTest::newRow("a listing with a format")
            << QStringList{"sweep", "127.0.0.1", "-u", "--format", "csv"}
            << usage.arg("-a and -u list bare addresses, without --format, --names, --neighbours or --tcp");
        QTest::newRow("quiet progress") << QStringList{"sweep", "127.0.0.1", "--quiet", "--progress"}
                                        << usage.arg("-q and --progress exclude each other");
        QTest::newRow("standard input twice, as -iL") << QStringList{"sweep", "-iL", "-", "-f", "-"}
                                                      << usage.arg("standard input (-) can be read for one file only");
        QTest::newRow("file without a name")
            << QStringList{"sweep", "127.0.0.1", "-f"} << usage.arg("option -f needs a value");
        // Each would take hours to reach its end; a save that cannot be made stops it before it sends.
        const QString noFolder = QDir::temp().filePath("tozelo-no-such-folder/found.dat");
        const QString noSuchFolder =
            usage.arg("--save: cannot create file " + noFolder + ": No such file or directory");
        QTest::newRow("scan, empty save")
            << QStringList{"scan", "127.0.0.1", "127.0.255.255", "--interval", "1000", "--save="}
            << usage.arg("--save needs a file name");
        QTest::newRow("scan, save to no folder")
            << QStringList{"scan", "127.0.0.1", "127.0.255.255", "--interval", "1000", "--save", noFolder}
            << noSuchFolder;
        QTest::newRow("sweep, output to no folder")
            << QStringList{"sweep", "127.0.0.0/16", "--rate", "1", "-o", noFolder}
            << usage.arg("-o: cannot create file " + noFolder + ": No such file or directory");
        QTest::newRow("sweep, save to a device")
            << QStringList{"sweep", "127.0.0.0/16", "--rate", "1", "--save", "/dev/null"}
            << usage.arg("--save: cannot create file /dev/null: not a regular file");
        // Root may write to it, but not make the new file that replaces it.
        QTest::newRow("sweep, save to a file of the kernel's")
            << QStringList{"sweep", "127.0.0.0/16", "--rate", "1", "--save", "/proc/version"}
            << usage.arg("--save: cannot create file /proc/version: " +
                         QString::fromLocal8Bit(strerror(geteuid() == 0 ? ENOENT : EACCES)));
        QTest::newRow("scan, not a number") << QStringList{"scan", "127.0.0.1", "127.0.0.2", "--ttl", "x"}
                                            << usage.arg("--ttl needs a whole number, not 'x'");
        QTest::newRow("reping, decimal") << QStringList{"reping", "no-such-list.dat", "--size", "1.5"}
                                         << usage.arg("--size needs a whole number, not '1.5'");
    }

    void usageErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        const CliRun result = CliRun::of(args, 10000);
        QVERIFY2(result.ended, "tozelo-cli did not end");
        QCOMPARE(result.status, 2);
        QCOMPARE(result.err, QStringList{error});
        QVERIFY(result.out.isEmpty());
    }

    // Target files are read whole before anything is sent: a file that cannot be used ends the run
    // with the file's name, and the line at fault.
    void targetFileErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("contents"); // of FILE, which the arguments name
        QTest::addColumn<QString>("error");
        const QByteArray good = "127.0.0.0/30 # loopback\n";
        QTest::newRow("bad line") << QStringList{"sweep", "-f", "FILE"}
                                  << QByteArray("# hosts\n127.0.0.1, 127.0.0.2\n\n127.0.0.300 # typo\n")
                                  << "tozelo-cli: FILE:4: '127.0.0.300': '127.0.0.300' is not a dotted IPv4 address";
        QTest::newRow("bad exclusion line")
            << QStringList{"sweep", "127.0.0.0/24", "--exclude-file", "FILE"} << QByteArray("127.0.0.9-127.0.0.1\n")
            << "tozelo-cli: FILE:1: '127.0.0.9-127.0.0.1': the range ends before it starts";
        QTest::newRow("too many") << QStringList{"sweep", "10.0.0.0/8", "-f", "FILE"} << good
                                  << "tozelo-cli: the targets hold 16777220 addresses, more than 16777216";
        QTest::newRow("too many in a shard")
            << QStringList{"sweep", "10.0.0.0/7", "-f", "FILE", "--shard", "1/2"} << good
            << "tozelo-cli: shard 1/2 holds 16777218 of the 33554436 addresses, more than 16777216";
        QTest::newRow("no target") << QStringList{"sweep", "127.0.0.1", "-f", "FILE"} << QByteArray("# none\n\n")
                                   << "tozelo-cli: FILE: no target in it";
        QTest::newRow("missing") << QStringList{"sweep", "-f", "FILE.missing"} << good
                                 << "tozelo-cli: cannot read FILE.missing: No such file or directory";
        QTest::newRow("missing exclusions")
            << QStringList{"sweep", "127.0.0.1", "--exclude-file", "FILE.missing"} << good
            << "tozelo-cli: cannot read FILE.missing: No such file or directory";
        QTest::newRow("a folder") << QStringList{"sweep", "-f", "FOLDER"} << good
                                  << "tozelo-cli: cannot read FOLDER: Is a directory";
        QTest::newRow("empty standard input")
            << QStringList{"sweep", "-f", "-"} << good << "tozelo-cli: standard input: no target in it";
        QTest::newRow("UTF-8 mark") << QStringList{"sweep", "-f", "FILE", "--exclude", "127.0.0.0/8"}
                                    << "\xEF\xBB\xBF" + good << "tozelo-cli: sweep: every target is excluded";
        QTest::newRow("all excluded") << QStringList{"sweep", "-f", "FILE", "--exclude", "127.0.0.0/8"} << good
                                      << "tozelo-cli: sweep: every target is excluded";
    }

    void targetFileErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, contents);
        QFETCH(QString, error);
        QTemporaryDir folder;
        const QString file = folder.filePath("targets.txt");
        writeFile(file, contents);
        args.replaceInStrings("FOLDER", folder.path()).replaceInStrings("FILE", file);
        const CliRun result = CliRun::of(args, 10000);
        QVERIFY2(result.ended, "tozelo-cli did not end");
        QCOMPARE(result.status, 5);
        QCOMPARE(result.err, QStringList{QString(error).replace("FOLDER", folder.path()).replace("FILE", file)});
        QVERIFY(result.out.isEmpty());
    }

    // A million separate addresses in no order, as targets and as exclusions, load in a few sorts:
    // one insertion each took minutes. The bound is loose enough for a busy machine.
    void millionLineFiles()
    {
        constexpr uint32_t Count = 1000000;
        std::vector<uint32_t> order(Count);
        for (uint32_t i = 0; i < Count; ++i)
            order[i] = i << 2;
        std::shuffle(order.begin(), order.end(), std::mt19937(7));
        QByteArray lines;
        for (const uint32_t i : order)
            lines += QByteArray::number(10 + (i >> 24)) + '.' + QByteArray::number(i >> 16 & 255) + '.' +
                     QByteArray::number(i >> 8 & 255) + '.' + QByteArray::number(i & 255) + '\n';
        QTemporaryDir folder;
        const QString file = folder.filePath("targets.txt");
        writeFile(file, lines);
        QElapsedTimer clock;
        clock.start();
        const CliRun result = CliRun::of({"sweep", "-f", file, "--exclude-file", file}, 60000);
        QVERIFY2(result.ended, "tozelo-cli did not end");
        QCOMPARE(result.err, QStringList{"tozelo-cli: sweep: every target is excluded"});
        QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed()) + " ms"));
    }

    // The help takes each command's defaults from the values it starts with; README says the same.
    void help()
    {
        const CliRun result = CliRun::of({"--help"});
        QCOMPARE(result.status, 0);
        QVERIFY(result.out.join('\n').contains("ping HOST"));
        const QStringList defaults = result.out.filter("Defaults: ");
        QCOMPARE(defaults.size(), 4);
        QFile readme(qEnvironmentVariable("TOZELO_README"));
        QVERIFY2(readme.open(QIODevice::ReadOnly), "TOZELO_README not set");
        const QString text = QString::fromUtf8(readme.readAll()).simplified();
        for (const QString &line : defaults)
            QVERIFY2(text.contains(line.simplified()), qPrintable(line));

        // Each command's part alone, from its synopsis through its exit status, however asked for; help
        // is looked for before the other arguments are checked.
        const QString full = result.out.join('\n');
        const std::pair<QStringList, QString> asked[] = {{{"sweep", "--help"}, "sweep"},
                                                         {{"help", "sweep"}, "sweep"},
                                                         {{"sweep", "10.0.0.0/1", "-h", "--rate", "x"}, "sweep"},
                                                         {{"ping", "-h"}, "ping"},
                                                         {{"scan", "--help"}, "scan"},
                                                         {{"reping", "--help"}, "reping"}};
        for (const auto &[args, command] : asked) {
            const CliRun part = CliRun::of(args);
            QCOMPARE(part.status, 0);
            QVERIFY2(part.out.first().startsWith("Usage: tozelo-cli " + command + " "), qPrintable(part.out.first()));
            const QString body = "  " + part.out.join('\n').mid(QString("Usage: tozelo-cli ").size());
            QVERIFY2(full.contains(body + "\n  "), qPrintable(args.join(' ')));
            QVERIFY2(body.contains("Exit status"), qPrintable(args.join(' ')));
        }
        QCOMPARE(CliRun::of({"help", "pong"}).err,
                 QStringList{"tozelo-cli: unknown command 'pong' (try tozelo-cli --help)"});
    }

    // history writes what was kept, machine by machine in time order, from --since on: answers kept
    // whole and the figures of older hours and minutes; a history that is not there is a failure
    // naming it.
    void historyExport()
    {
        QTemporaryDir folder;
        const QString file = folder.filePath("history.sqlite");
        const int64_t noon = 1714564800000; // 2024-05-01T12:00:00Z
        auto answer = [](const char *machine, int64_t at, int rtt, const char *status) {
            HistoryAnswer a;
            a.machine = machine;
            a.atMs = at;
            a.answered = rtt >= 0;
            a.rttMs = rtt >= 0 ? uint32_t(rtt) : 0;
            a.status = status;
            return a;
        };
        {
            HistoryStore store(file.toStdString());
            store.append({answer("b,\"quoted\"", noon + 61500, 3, ""),
                          answer("a", noon + 2000, -1, "Request timed out"), answer("a", noon + 1000, 12, "")});
            store.transaction([&] {
                store.addFigures("a", HistoryStore::MinuteMs, {{noon - 2 * HistoryStore::MinuteMs, 60, 6, 2, 9, 30}});
                store.addFigures("a", HistoryStore::HourMs, {{noon - 9 * HistoryStore::HourMs, 5, 5, 0, 0, 0}});
            });
        }
        const CliRun csv = CliRun::of({"history", "--history", file});
        QCOMPARE(csv.status, 0);
        QCOMPARE(csv.out, QStringList({"machine,time,time_ms,rtt_ms,status,period_s,count,lost,min_ms,median_ms,max_ms",
                                       "a,2024-05-01T03:00:00.000Z,1714532400000,,,3600,5,5,,,",
                                       "a,2024-05-01T11:58:00.000Z,1714564680000,,,60,60,6,2,9,30",
                                       "a,2024-05-01T12:00:01.000Z,1714564801000,12,,,,,,,",
                                       "a,2024-05-01T12:00:02.000Z,1714564802000,,Request timed out,,,,,,",
                                       "\"b,\"\"quoted\"\"\",2024-05-01T12:01:01.500Z,1714564861500,3,,,,,,,"}));
        const CliRun json =
            CliRun::of({"history", "a", "--since", "2024-05-01T11:58:00Z", "--format", "json", "--history", file});
        QCOMPARE(json.status, 0);
        QCOMPARE(
            json.output,
            QByteArray(
                "[\n{\"count\":60,\"lost\":6,\"machine\":\"a\",\"max_ms\":30,\"median_ms\":9,\"min_ms\":2,"
                "\"period_s\":60,\"time\":\"2024-05-01T11:58:00.000Z\",\"time_ms\":1714564680000},\n"
                "{\"machine\":\"a\",\"rtt_ms\":12,\"time\":\"2024-05-01T12:00:01.000Z\",\"time_ms\":1714564801000},\n"
                "{\"machine\":\"a\",\"status\":\"Request timed out\",\"time\":"
                "\"2024-05-01T12:00:02.000Z\",\"time_ms\":1714564802000}\n]\n"));
        const CliRun missing = CliRun::of({"history", "--history", file + ".none"});
        QCOMPARE(missing.status, 1);
        QCOMPARE(missing.err,
                 QStringList{"tozelo-cli: The history " + file + ".none cannot be used: No such file or directory"});
    }

    // reping loads its file before it opens a socket, never waits on a pipe, and never reads UTF-16
    // without its mark as 8-bit text (it would ping 0.0.0.1).
    void repingRefusesWhatIsNotAListFile()
    {
        QTemporaryDir folder;
        const QString pipe = folder.filePath("pipe.dat");
        QCOMPARE(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
        const QString wide = folder.filePath("wide.txt");
        writeFile(wide, QByteArray::fromHex("31002e0030002e0030002e0031000d000a00"));
        for (const auto &[file, reason] : {std::pair{pipe, QString("not a regular file")},
                                           std::pair{wide, QString("a NUL byte on line 1, not text")}}) {
            const CliRun result = CliRun::of({"reping", file}, 10000);
            QVERIFY2(result.ended, "tozelo-cli did not end");
            QCOMPARE(result.status, 1);
            QCOMPARE(result.err, QStringList{"tozelo-cli: Cannot open file " + file + ": " + reason});
            QVERIFY(result.out.isEmpty());
        }
    }
};

TOZELO_GUILESS_TEST_MAIN(TestCli)
#include "tst_Cli.moc"
