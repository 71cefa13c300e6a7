#include "TestMain.h"
#include "history/HistoryError.h"
#include "history/HistoryRecorder.h"
#include "history/HistoryRollup.h"
#include "history/HistoryStore.h"
#include "history/Reachability.h"
#include "history/WallClock.h"

#include <QTemporaryDir>
#include <QtTest>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// The history: figures against a hand count, what ageing keeps, up and down told once per pass,
// and files that are damaged, read-only, locked or whose writer was killed.
class TestHistory : public QObject {
    Q_OBJECT

    struct ScriptedClock : WallClock {
        int64_t now = 0;
        int64_t nowMs() const override { return now; }
    };

    // 2024-05-01T12:00:00Z
    static constexpr int64_t Noon = 1714564800000;

    static HistoryAnswer answer(const std::string &machine, int64_t atMs, int rtt, const std::string &status = "")
    {
        HistoryAnswer a;
        a.machine = machine;
        a.atMs = atMs;
        a.answered = rtt >= 0;
        a.rttMs = rtt >= 0 ? uint32_t(rtt) : 0;
        a.status = a.answered ? "" : status;
        return a;
    }

    static bool same(const HistoryFigures &a, const HistoryFigures &b)
    {
        return a.startMs == b.startMs && a.count == b.count && a.lost == b.lost && a.minMs == b.minMs &&
               a.medianMs == b.medianMs && a.maxMs == b.maxMs;
    }

    QString file(const char *name) const { return m_dir.filePath(name); }

    static QString failureOf(const QString &path, HistoryStore::Mode mode = HistoryStore::Mode::Write)
    {
        try {
            HistoryStore store(path.toStdString(), mode);
        } catch (const HistoryError &e) {
            return QString::fromUtf8(e.what());
        }
        return QString();
    }

    QTemporaryDir m_dir;

private slots:
    // Ten requests by hand: 3 lost, times 40 7 12 7 300 12 9 answered; sorted 7 7 9 12 12 40 300, so
    // the median is 12. Kept across a minute's end, out of order, with their status texts.
    void figuresAgainstHandCount()
    {
        const std::vector<int> rtts = {40, -1, 7, 12, 7, -1, 300, 12, -1, 9};
        std::vector<HistoryAnswer> batch;
        for (size_t i = 0; i < rtts.size(); ++i)
            batch.push_back(answer("10.0.0.7", Noon + 55000 + int64_t(i) * 1001, rtts[i], "Request timed out"));
        std::swap(batch[0], batch[9]);
        batch.push_back(answer("10.0.0.8", Noon, 1));
        {
            HistoryStore store(file("hand.sqlite").toStdString());
            store.append(batch);
        }
        const HistoryStore store(file("hand.sqlite").toStdString(), HistoryStore::Mode::Read);
        QCOMPARE(store.machines(), (std::vector<std::string>{"10.0.0.7", "10.0.0.8"}));
        const auto kept = store.answers("10.0.0.7", Noon, Noon + 3600000);
        QCOMPARE(kept.size(), size_t(10));
        for (size_t i = 0; i < kept.size(); ++i) {
            QCOMPARE(kept[i].atMs, Noon + 55000 + int64_t(i) * 1001);
            QCOMPARE(kept[i].answered, rtts[i] >= 0);
            QCOMPARE(kept[i].rttMs, uint32_t(std::max(rtts[i], 0)));
            QCOMPARE(QString::fromStdString(kept[i].status), rtts[i] >= 0 ? "" : "Request timed out");
        }
        const HistoryFigures figures = HistoryFigures::of(kept);
        QCOMPARE(figures.count, 10);
        QCOMPARE(figures.lost, 3);
        QCOMPARE(figures.loss(), 0.3);
        QCOMPARE(figures.minMs, 7u);
        QCOMPARE(figures.medianMs, 12u);
        QCOMPARE(figures.maxMs, 300u);
        // The span is half-open, and a machine never heard of has nothing.
        QCOMPARE(store.answers("10.0.0.7", Noon + 56001, Noon + 58003).size(), size_t(2));
        QCOMPARE(store.lastAnswer("10.0.0.7")->atMs, Noon + 55000 + 9 * 1001);
        QVERIFY(store.answers("10.0.0.9", 0, Noon * 2).empty());
        QVERIFY(!store.lastAnswer("10.0.0.9"));
    }

    // A day of answers becomes minute figures equal to those of the answers, a week of minutes
    // hour figures, a year of hours nothing; the newer stay as they were.
    void ageingKeepsTheFigures()
    {
        std::vector<HistoryAnswer> batch;
        for (int i = 0; i < 300; ++i)
            batch.push_back(answer("a", Noon + i * 997, i % 7 == 0 ? -1 : (i * 37) % 101, "timed out"));
        HistoryStore store(file("age.sqlite").toStdString());
        store.append(batch);
        const auto minutes = HistoryFigures::byPeriod(batch, HistoryStore::MinuteMs);
        QCOMPARE(minutes.size(), size_t(5));

        const int64_t lastMinute = minutes.back().startMs;
        HistoryRollup::age(store, lastMinute + HistoryRollup::AnswersKeptMs);
        const auto stored = store.figures("a", HistoryStore::MinuteMs, 0, Noon * 2);
        QCOMPARE(stored.size(), minutes.size() - 1);
        for (size_t i = 0; i < stored.size(); ++i)
            QVERIFY2(same(stored[i], minutes[i]), qPrintable(QString::number(i)));
        QCOMPARE(int64_t(store.answers("a", 0, Noon * 2).size()), minutes.back().count);

        HistoryRollup::age(store, Noon + HistoryStore::HourMs + HistoryRollup::MinutesKeptMs);
        QVERIFY(store.answers("a", 0, Noon * 2).empty());
        QVERIFY(store.figures("a", HistoryStore::MinuteMs, 0, Noon * 2).empty());
        const auto hours = store.figures("a", HistoryStore::HourMs, 0, Noon * 2);
        QCOMPARE(hours.size(), size_t(1));
        const HistoryFigures whole = HistoryFigures::of(batch);
        QCOMPARE(hours[0].startMs, Noon);
        QCOMPARE(hours[0].count, whole.count);
        QCOMPARE(hours[0].lost, whole.lost);
        QCOMPARE(hours[0].minMs, whole.minMs);
        QCOMPARE(hours[0].maxMs, whole.maxMs);
        QCOMPARE(hours[0].medianMs, HistoryFigures::combine(minutes).medianMs);

        HistoryRollup::age(store, Noon + HistoryStore::HourMs + HistoryRollup::HoursKeptMs);
        QVERIFY(store.figures("a", HistoryStore::HourMs, 0, Noon * 2).empty());
    }

    // b misses three passes in a row and comes back: one down, at its first miss, in the third
    // pass's notice; one up, at its answer; a changes nothing. c never answered: down too.
    void upAndDownOncePerPass()
    {
        Reachability watch;
        std::vector<std::vector<Reachability::Change>> notices;
        for (int pass = 0; pass < 6; ++pass) {
            const int64_t at = Noon + pass * 1000;
            watch.answered("a", at, 5);
            if (pass >= 1 && pass <= 3)
                watch.missed("b", at + 100);
            else
                watch.answered("b", at + 100, 9);
            watch.missed("c", at + 200);
            notices.push_back(watch.endPass());
        }
        QVERIFY(notices[0].empty() && notices[1].empty());
        QCOMPARE(notices[2].size(), size_t(1));
        QCOMPARE(notices[2][0].machine, std::string("c"));
        QCOMPARE(notices[2][0].atMs, Noon + 200);
        QCOMPARE(notices[3].size(), size_t(1));
        QCOMPARE(notices[3][0].machine, std::string("b"));
        QVERIFY(notices[3][0].state == Reachability::State::Down);
        QCOMPARE(notices[3][0].atMs, Noon + 1100);
        QCOMPARE(notices[4].size(), size_t(1));
        QVERIFY(notices[4][0].state == Reachability::State::Up);
        QCOMPARE(notices[4][0].atMs, Noon + 4100);
        QVERIFY(notices[5].empty());
        const Reachability::Machine &b = watch.machines().at("b");
        QVERIFY(b.state == Reachability::State::Up);
        QCOMPARE(b.sinceMs, Noon + 4100);
        QCOMPARE(b.lastAnswerMs, Noon + 5100);

        // Two misses do not take a machine down; a setting of 1 does at once.
        Reachability quick(1);
        quick.answered("d", Noon, 1);
        quick.missed("d", Noon + 1);
        QCOMPARE(quick.endPass().size(), size_t(1));
    }

    // A file that is not a database, one nobody may write, one another program holds: each is
    // named with its reason, and a recorder given one drops its answers without stopping anyone.
    void unusableFilesAreReported()
    {
        QFile bad(file("bad.sqlite"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write(QByteArray(8192, 'x'));
        bad.close();
        QVERIFY(failureOf(bad.fileName()).contains(bad.fileName() + " cannot be used: file is not a database"));

        {
            HistoryStore made(file("ro.sqlite").toStdString());
        }
        QVERIFY(chmod(qPrintable(file("ro.sqlite")), 0444) == 0);
        QVERIFY(failureOf(file("ro.sqlite")).endsWith("cannot be used: the file is read-only"));
        QVERIFY(failureOf(file("ro.sqlite"), HistoryStore::Mode::Read).isEmpty());
        QVERIFY(failureOf(file("missing.sqlite"), HistoryStore::Mode::Read).endsWith("No such file or directory"));

        {
            HistoryStore made(file("locked.sqlite").toStdString());
        }
        sqlite3 *holder = nullptr;
        QCOMPARE(sqlite3_open(qPrintable(file("locked.sqlite")), &holder), SQLITE_OK);
        QCOMPARE(sqlite3_exec(holder, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr),
                 SQLITE_OK);
        QVERIFY(failureOf(file("locked.sqlite")).endsWith("database is locked"));
        sqlite3_close(holder);

        ScriptedClock clock;
        HistoryRecorder recorder(bad.fileName().toStdString(), clock, 5);
        recorder.record(answer("a", Noon, 1));
        recorder.flush();
        const auto failure = recorder.takeFailure();
        QVERIFY(failure && failure->reason() == "file is not a database");
        QCOMPARE(failure->file(), bad.fileName().toStdString());
        QVERIFY(!recorder.takeFailure());
        recorder.record(answer("a", Noon + 1, 1));
        recorder.flush();
    }

    // A writer killed between batches or within one leaves a history that opens, holding a run of
    // answers from the first with none missing in between, and at least what was seen before.
    void killedWriterLosesOnlyTheLastBatch()
    {
        const std::string path = file("killed.sqlite").toStdString();
        {
            HistoryStore made(path);
        }
        const pid_t writer = fork();
        QVERIFY(writer >= 0);
        if (writer == 0) {
            ScriptedClock clock;
            HistoryRecorder recorder(path, clock, 5);
            for (int i = 0; i < 2000000; ++i) {
                recorder.record(answer("k", Noon + i, i % 100));
                if (i % 50 == 0)
                    usleep(1000);
            }
            _exit(0);
        }
        size_t seen = 0;
        for (int wait = 0; wait < 2000 && seen < 2000; ++wait) {
            usleep(5000);
            try {
                seen = HistoryStore(path, HistoryStore::Mode::Read).answers("k", 0, Noon * 2).size();
            } catch (const HistoryError &) {
            }
        }
        kill(writer, SIGKILL);
        int status = 0;
        QCOMPARE(waitpid(writer, &status, 0), writer);
        QVERIFY(seen >= 2000);

        const HistoryStore reopened(path);
        const auto kept = reopened.answers("k", 0, Noon * 2);
        QVERIFY(kept.size() >= seen);
        for (size_t i = 0; i < kept.size(); ++i)
            QCOMPARE(kept[i].atMs, Noon + int64_t(i));
    }
};

TOZELO_GUILESS_TEST_MAIN(TestHistory)
#include "tst_History.moc"
