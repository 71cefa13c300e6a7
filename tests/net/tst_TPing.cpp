#include "flows/SinglePing.h"
#include "net/TestbedMain.h"
#include "ping/Ping.h"

#include <QRegularExpression>
#include <QtTest>

// The ping component against the testbed: lookups of its names through the event loop, and the
// whole single ping sequence as the page and the command line run it.
class TestTPingNet : public QObject {
    Q_OBJECT

    // What a view of the single ping sequence would show.
    struct Screen : SinglePing::View {
        explicit Screen(const QString &host) : host(host) {}

        QString host;
        QStringList log;
        QStringList statuses;
        QStringList machines;
        QStringList errors;
        QList<QPair<bool, bool>> buttons;
        bool finished = false;

        QString hostText() const override { return host; }
        Sockets::Family family() const override { return Sockets::Family::Either; }
        void clearLog() override { log.clear(); }
        void appendLine(const QString &line) override { log << line; }
        void setButtons(bool ping, bool cancel) override
        {
            buttons << qMakePair(ping, cancel);
            finished = ping;
        }
        void setStatus(const QString &text) override { statuses << text; }
        void recordMachine(const QString &ip, uint32_t rtt) override { machines << ip + " " + QString::number(rtt); }
        void reportError(const QString &text) override { errors << text; }
    };

    static bool matchesWithTime(const QString &pattern, const QString &text, int minRtt)
    {
        const QRegularExpressionMatch match = QRegularExpression(pattern).match(text);
        return match.hasMatch() && match.captured(1).toInt() >= minRtt;
    }

private slots:
    void lookupOfTestbedName()
    {
        TPing ping;
        QList<int> errors;
        ping.OnDnsLookupDone = [&](QObject *, uint16_t error) { errors << error; };
        ping.LookupHost("delayed20.tozelo.test");
        QVERIFY(errors.isEmpty());
        QVERIFY(ping.LookupPending());
        QTRY_COMPARE(errors, QList<int>{0});
        QCOMPARE(ping.LookupResult(), std::string("198.18.3.20"));
    }

    void lookupOfUnknownName()
    {
        TPing ping;
        QList<int> errors;
        ping.OnDnsLookupDone = [&](QObject *, uint16_t error) { errors << error; };
        ping.LookupHost("nosuch.tozelo.test");
        QTRY_COMPARE(errors, QList<int>{11001});
        QVERIFY(ping.LookupResult().empty());
    }

    void singlePing_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QStringList>("log"); // a line starting with ^ is a pattern: its number, a time
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<QString>("machine"); // pattern, or empty when none is recorded
        QTest::addColumn<int>("minRtt");
        QTest::newRow("answering") << "answering.tozelo.test"
                                   << QStringList{"Resolving host 'answering.tozelo.test'",
                                                  "Host 'answering.tozelo.test' is 198.18.2.1",
                                                  "Sending 56 bytes to 198.18.2.1 (198.18.2.1)",
                                                  "^Received 56 bytes from 198\\.18\\.2\\.1 in (\\d+) mSecs$"}
                                   << QStringList{"current IP: 198.18.2.1"} << "^198\\.18\\.2\\.1 (\\d+)$" << 0;
        QTest::newRow("delayed") << "delayed20.tozelo.test"
                                 << QStringList{"Resolving host 'delayed20.tozelo.test'",
                                                "Host 'delayed20.tozelo.test' is 198.18.3.20",
                                                "Sending 56 bytes to 198.18.3.20 (198.18.3.20)",
                                                "^Received 56 bytes from 198\\.18\\.3\\.20 in (\\d+) mSecs$"}
                                 << QStringList{"current IP: 198.18.3.20"} << "^198\\.18\\.3\\.20 (\\d+)$" << 20;
        QTest::newRow("silent") << "silent.tozelo.test"
                                << QStringList{"Resolving host 'silent.tozelo.test'",
                                               "Host 'silent.tozelo.test' is 198.18.4.1",
                                               "Sending 56 bytes to 198.18.4.1 (198.18.4.1)",
                                               "Cannot ping host (198.18.4.1) : ", "==> Request timed out <=="}
                                << QStringList{"current IP: 198.18.4.1", "ERROR: Request timed out"} << "" << 0;
        QTest::newRow("unknown") << "nosuch.tozelo.test"
                                 << QStringList{"Resolving host 'nosuch.tozelo.test'",
                                                "Dominio desconocido 'nosuch.tozelo.test'"}
                                 << QStringList{} << "" << 0;
    }

    // The page's timings: a 500 ms time-out, as the windows set it. Times are checked from below only,
    // as a busy machine may add to them; the session's own test holds them close.
    void singlePing()
    {
        QFETCH(QString, host);
        QFETCH(QStringList, log);
        QFETCH(QStringList, statuses);
        QFETCH(QString, machine);
        QFETCH(int, minRtt);
        TPing ping;
        ping.SetTimeout(500);
        Screen screen(host);
        SinglePing sequence(ping, screen);
        sequence.start();
        QCOMPARE(screen.log, QStringList{log.first()}); // the rest comes when the lookup ends
        QTRY_VERIFY(screen.finished);
        QCOMPARE(screen.buttons, (QList<QPair<bool, bool>>{{false, true}, {true, false}}));
        QCOMPARE(screen.log.size(), log.size());
        for (int i = 0; i < log.size(); ++i) {
            if (log[i].startsWith('^'))
                QVERIFY2(matchesWithTime(log[i], screen.log[i], minRtt), qPrintable(screen.log[i]));
            else
                QCOMPARE(screen.log[i], log[i]);
        }
        QCOMPARE(screen.statuses, statuses);
        if (machine.isEmpty())
            QVERIFY(screen.machines.isEmpty());
        else
            QVERIFY2(screen.machines.size() == 1 && matchesWithTime(machine, screen.machines[0], minRtt),
                     qPrintable(screen.machines.join('|')));
        QVERIFY(screen.errors.isEmpty());
    }
};

TOZELO_TESTBED_TEST_MAIN(TestTPingNet)

#include "tst_TPing.moc"
