#include "FakeNetwork.h"
#include "TestMain.h"
#include "flows/RePingWalk.h"
#include "history/HistoryStore.h"
#include "platform/Sockets.h"

#include <QtTest>

// The re-ping walk over loopback entries as the dialog sees it: one entry per tick, its log line,
// the progress and status panels, what reaches the found-machines list, passes and Stop.
class TestRePingWalk : public QObject {
    Q_OBJECT

    struct Record {
        QString ip;
        uint32_t rtt;
        bool answered;
    };

    // 2024-05-01T12:00:00Z
    static constexpr int64_t Noon = 1714564800000;

    struct ScriptedClock : WallClock {
        int64_t now = Noon;
        int64_t nowMs() const override { return now; }
    };

    struct Dialog : RePingWalk::View {
        QStringList lines;
        bool ciclo = false;
        int interval = 0;
        bool timer = false;
        bool retryEnabled = true;
        int progressMax = 100;
        int progress = 0;
        QString info[2] = {"", "Inactivo"};
        QStringList memo{"Reescanea las Ips de las"};
        QList<Record> records;
        QStringList errors;
        std::function<void()> duringReport; // what the user does while a report is up
        TPing ping;
        ScriptedClock clock;
        RePingWalk walk{ping, *this, clock};

        QStringList machineLines() const override { return lines; }
        bool cyclic() override { return ciclo; }
        void setInterval(int ms) override { interval = ms; }
        void setTimerEnabled(bool on) override { timer = on; }
        void setRetryEnabled(bool on) override { retryEnabled = on; }
        void clearLog() override { memo.clear(); }
        void appendLine(const QString &line) override { memo << line; }
        void removeFirstLines(int count) override { memo.remove(0, count); }
        void setProgressMax(int max) override { progressMax = max; }
        void setProgress(int position) override { progress = position; }
        void setInfo(int panel, const QString &text) override { info[panel] = text; }
        void recordMachine(const QString &ip, uint32_t rtt, bool answered) override
        {
            records << Record{ip, rtt, answered};
        }
        void reportError(const QString &text) override
        {
            errors << text + (timer ? " (timer running)" : "");
            if (duringReport)
                duringReport();
        }

        void tick(int times = 1)
        {
            for (int i = 0; i < times && timer; ++i)
                walk.rTimer1Timer();
        }

        Reachability::State reachabilityOf(const std::string &machine) const
        {
            return walk.reachability().machines().at(machine).state;
        }

        bool idle() const
        {
            return !timer && retryEnabled && !walk.walking() && info[1] == "InActivo" && progress == 0;
        }
    };

    static bool answered(const QString &line, const QString &address)
    {
        return QRegularExpression("^" + QRegularExpression::escape(address) + "\\(\\d+mSeg\\)$").match(line).hasMatch();
    }

    FakeNetwork m_network;

private slots:
    void cleanup() { Sockets::Testing::faults() = Sockets::Testing::Faults(); }

    // An empty line is refused by the resolver without asking any name server.
    void oncePass()
    {
        Dialog dialog;
        dialog.lines = {"127.0.0.1", "", "127.0.0.3"};
        dialog.walk.setTimeout(300);
        QCOMPARE(dialog.interval, 300);
        QCOMPARE(dialog.ping.Timeout(), 300);

        dialog.walk.rpingClick();
        QVERIFY(dialog.timer && !dialog.retryEnabled);
        QVERIFY(dialog.memo.isEmpty());
        QCOMPARE(dialog.progressMax, 3);

        dialog.tick();
        QCOMPARE(dialog.info[1], "Activo..");
        QCOMPARE(dialog.info[0], "Actual IP: 127.0.0.1");
        QVERIFY2(answered(dialog.memo.value(0), "127.0.0.1"), qPrintable(dialog.memo.value(0)));
        dialog.tick();
        QCOMPARE(dialog.progress, 1);
        QCOMPARE(dialog.info[0], "Actual IP: ");
        QTRY_COMPARE(dialog.memo.size(), 2);
        QCOMPARE(dialog.memo[1], "Dominio desconocido ");
        dialog.tick();
        QCOMPARE(dialog.progress, 2);
        QVERIFY(answered(dialog.memo.value(2), "127.0.0.3"));
        QVERIFY(dialog.walk.walking());

        dialog.tick();
        QVERIFY(dialog.idle());
        QCOMPARE(dialog.info[0], "");
        QCOMPARE(dialog.memo.size(), 3);
        QCOMPARE(dialog.records.size(), 2);
        QCOMPARE(dialog.records[1].ip, "127.0.0.3");
        QVERIFY(dialog.records[1].answered);
    }

    // A name resolves later, from the event loop; an error that came back 30 ms later reports "no
    // answer" with no time.
    void nameAndNoAnswer()
    {
        m_network.setHost("127.0.0.1", FakeNetwork::failing(30, 3, 1, "127.0.0.254"));
        const auto answerAgain = qScopeGuard([this] { m_network.setHost("127.0.0.1", FakeNetwork::answering()); });
        Dialog dialog;
        dialog.lines = {"localhost"};
        dialog.walk.rpingClick();
        dialog.tick();
        QVERIFY(dialog.memo.isEmpty());
        QTRY_COMPARE(dialog.memo, QStringList{"127.0.0.1(error)"});
        QCOMPARE(dialog.records.size(), 1);
        QCOMPARE(dialog.records[0].ip, "127.0.0.1");
        QCOMPARE(dialog.records[0].rtt, 0u);
        QVERIFY(!dialog.records[0].answered);
    }

    // Each pass walks the snapshot taken at the start, one entry a tick, then rests one tick; the
    // check box is read on that idle tick.
    void cyclicWalk()
    {
        Dialog dialog;
        dialog.ciclo = true;
        dialog.lines = {"127.0.0.1", "127.0.0.2"};
        dialog.walk.rpingClick();
        dialog.lines.clear();
        for (int pass = 0; pass < 2; ++pass) {
            for (int entry = 0; entry < 2; ++entry) {
                const QString ip = QString("127.0.0.%1").arg(entry + 1);
                dialog.tick();
                QCOMPARE(dialog.progress, entry);
                QCOMPARE(dialog.info[0], "Actual IP: " + ip);
                QCOMPARE(dialog.memo.size(), 2 * pass + entry + 1);
                QVERIFY2(answered(dialog.memo.last(), ip), qPrintable(dialog.memo.last()));
            }
            dialog.info[1].clear();
            dialog.tick();
            QCOMPARE(dialog.info[1], "Activo..");
            QCOMPARE(dialog.memo.size(), 2 * pass + 2);
            QCOMPARE(dialog.walk.position(), 0);
            QVERIFY(dialog.timer && dialog.walk.walking());
        }

        dialog.ciclo = false;
        dialog.tick(2);
        QVERIFY(dialog.walk.walking());
        dialog.tick();
        QVERIFY(dialog.idle());
        QCOMPARE(dialog.memo.size(), 6);
        QCOMPARE(dialog.records.size(), 6);
    }

    void stopAndRestart()
    {
        Dialog dialog;
        dialog.ciclo = true;
        dialog.lines = {"127.0.0.1", "127.0.0.2", "127.0.0.3"};
        dialog.walk.rpingClick();
        dialog.tick(2);
        dialog.walk.BitBtn1Click();
        QVERIFY(dialog.idle());
        QCOMPARE(dialog.info[0], "Actual IP: 127.0.0.2");

        dialog.lines = {"127.0.0.9"};
        dialog.walk.rpingClick();
        QVERIFY(dialog.memo.isEmpty());
        QCOMPARE(dialog.progressMax, 1);
        dialog.tick();
        QVERIFY(answered(dialog.memo.value(0), "127.0.0.9"));
    }

    // Thousands of entries are all walked, and a long cyclic walk keeps only the last log lines.
    void everyLineAndTheLogBound()
    {
        const int entries = 4000;
        Dialog dialog;
        dialog.ciclo = true;
        for (int i = 0; i < entries; ++i)
            dialog.lines << "127.1." + QString::number(i / 250) + "." + QString::number(i % 250 + 1);
        dialog.walk.rpingClick();
        dialog.tick(3 * (entries + 1));
        QCOMPARE(dialog.records.size(), 3 * entries);
        QCOMPARE(dialog.memo.size(), RePingWalk::MaxLogLines);
        const int firstKept = 3 * entries - RePingWalk::MaxLogLines;
        QVERIFY(answered(dialog.memo.first(), dialog.lines[firstKept % entries]));
        QVERIFY(answered(dialog.memo.last(), dialog.lines.last()));

        // A walk after it starts a log of its own.
        dialog.walk.BitBtn1Click();
        dialog.lines = {"127.0.0.1", "127.0.0.2"};
        dialog.walk.rpingClick();
        dialog.tick(2);
        QCOMPARE(dialog.memo.size(), 2);
        QVERIFY(answered(dialog.memo[0], "127.0.0.1") && answered(dialog.memo[1], "127.0.0.2"));
    }

    // 127.0.0.2 is silent for three passes, then answers: the third pass ends with one line saying
    // since when it is down, the next with one saying when it came back; every answer is kept.
    void downAndUpOnceEach()
    {
        QTemporaryDir dir;
        const std::string history = dir.filePath("history.sqlite").toStdString();
        m_network.setHost("127.0.0.2", FakeNetwork::silent());
        const auto answerAgain = qScopeGuard([this] { m_network.setHost("127.0.0.2", FakeNetwork::answering()); });
        Dialog dialog;
        dialog.walk.setHistoryFile(history);
        dialog.ciclo = true;
        dialog.lines = {"127.0.0.1", "127.0.0.2"};
        dialog.walk.rpingClick();
        for (int pass = 0; pass < 5; ++pass) {
            if (pass == 3)
                m_network.setHost("127.0.0.2", FakeNetwork::answering());
            for (int tick = 0; tick < 3; ++tick) {
                dialog.clock.now = Noon + pass * 10000 + tick * 1000;
                dialog.tick();
            }
        }
        QCOMPARE(dialog.memo.filter(QRegularExpression(" (no responde|responde otra vez) desde ")),
                 QStringList({"127.0.0.2 no responde desde 2024-05-01T12:00:01.000Z",
                              "127.0.0.2 responde otra vez desde 2024-05-01T12:00:31.000Z"}));
        QCOMPARE(dialog.memo.value(6), "127.0.0.2 no responde desde 2024-05-01T12:00:01.000Z");
        QCOMPARE(dialog.memo.value(9), "127.0.0.2 responde otra vez desde 2024-05-01T12:00:31.000Z");
        QVERIFY(dialog.reachabilityOf("127.0.0.1") == Reachability::State::Up);

        dialog.walk.flushHistory();
        QVERIFY(dialog.errors.isEmpty());
        const auto kept = HistoryStore(history, HistoryStore::Mode::Read).answers("127.0.0.2", 0, Noon * 2);
        QCOMPARE(kept.size(), size_t(5));
        for (int pass = 0; pass < 5; ++pass) {
            QCOMPARE(kept[pass].atMs, Noon + pass * 10000 + 1000);
            QCOMPARE(kept[pass].answered, pass >= 3);
            QCOMPARE(kept[pass].status.empty(), kept[pass].answered);
        }
    }

    // A history that cannot be kept is reported once, naming the file, and the walk goes on.
    void unusableHistory()
    {
        QTemporaryDir dir;
        QFile bad(dir.filePath("bad.sqlite"));
        QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write(QByteArray(4096, 'x')) == 4096);
        bad.close();
        Dialog dialog;
        dialog.walk.setHistoryFile(bad.fileName().toStdString());
        dialog.ciclo = true;
        dialog.lines = {"127.0.0.1"};
        dialog.walk.rpingClick();
        dialog.tick();
        dialog.walk.flushHistory();
        dialog.tick(4);
        QCOMPARE(dialog.errors.size(), 1);
        QVERIFY2(
            dialog.errors[0].startsWith("The history " + bad.fileName() + " cannot be used: file is not a database"),
            qPrintable(dialog.errors[0]));
        QCOMPARE(dialog.records.size(), 3);
        QVERIFY(dialog.walk.walking());
    }

    // The report rests the timer, and the same entry is tried again at the next tick.
    void lookupThatCannotStart()
    {
        Dialog dialog;
        dialog.lines = {"localhost", "127.0.0.1"};
        dialog.walk.rpingClick();
        Sockets::Testing::faults().failAsyncStart = true;
        dialog.tick();
        QCOMPARE(dialog.errors.size(), 1);
        QVERIFY2(dialog.errors[0].startsWith("localhost: can't start DNS lookup, error #") &&
                     !dialog.errors[0].endsWith("(timer running)"),
                 qPrintable(dialog.errors[0]));
        QVERIFY(dialog.timer);
        QCOMPARE(dialog.walk.position(), 0);
        Sockets::Testing::faults().failAsyncStart = false;
        dialog.tick();
        QCOMPARE(dialog.walk.position(), 1);
        QCOMPARE(dialog.errors.size(), 1);

        // Stop pressed while the report is up ends the walk: the timer does not start again.
        dialog.walk.rpingClick();
        Sockets::Testing::faults().failAsyncStart = true;
        dialog.duringReport = [&dialog] { dialog.walk.BitBtn1Click(); };
        dialog.tick();
        QCOMPARE(dialog.errors.size(), 2);
        QVERIFY(dialog.idle());
    }
};

TOZELO_GUILESS_TEST_MAIN(TestRePingWalk)
#include "tst_RePingWalk.moc"
