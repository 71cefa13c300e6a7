#include "FakeNetwork.h"
#include "HostRange.h"
#include "TestMain.h"
#include "flows/MultiPingScan.h"

#include <QtTest>
#include <map>

using Edit = MultiPingScan::Edit;
using Caption = MultiPingScan::Caption;
using Button = MultiPingScan::Button;
using Message = MultiPingScan::Message;

// The range page as the scan sees it, every address of the scan on loopback: which addresses go
// out, in which order, and what the page shows when the scan stops or refuses to start. Halt, an
// emptied field and the key-release copies are driven through the real page in tst_RangeScanPage.
class TestMultiPingScan : public QObject {
    Q_OBJECT

    struct Page : MultiPingScan::View {
        std::map<Edit, QString> edits;
        std::map<Caption, QString> captions;
        std::map<Button, bool> enabled{{Button::MipPinG, true}, {Button::mipHalt, false}};
        bool timer = false;
        QStringList memo, pinged, statuses, errors, machines;
        QList<Message> messages;
        TPing ping;
        MultiPingScan scan{ping, *this};

        QString editText(Edit e) const override { return edits.count(e) ? edits.at(e) : QString(); }
        void setEditText(Edit e, const QString &text) override { edits[e] = text; }
        void focusEdit(Edit) override {}
        QString caption(Caption c) const override { return captions.count(c) ? captions.at(c) : QString(); }
        void setCaption(Caption c, const QString &text) override { captions[c] = text; }
        bool isEnabled(Button b) const override { return enabled.at(b); }
        void setEnabled(Button b, bool on) override { enabled[b] = on; }
        bool timerEnabled() const override { return timer; }
        void setTimerEnabled(bool on) override { timer = on; }
        void clearLog() override { memo.clear(); }
        void appendLine(const QString &line) override
        {
            memo << line;
            if (line.startsWith("Resolving host :"))
                pinged << line.mid(16);
        }
        void setStatus(const QString &text) override { statuses << text; }
        void recordMachine(const QString &ip, uint32_t) override { machines << ip; }
        int machineCount() const override { return static_cast<int>(machines.size()); }
        void showMessage(Message m) override { messages << m; }
        void reportError(const QString &text) override { errors << text; }

        void type(const QString &start, const QString &end)
        {
            const QStringList first = start.split('.'), last = end.split('.');
            for (int i = 0; i < 4; ++i) {
                edits[Edit(3 - i)] = first[i];
                edits[Edit(7 - i)] = last[i];
            }
        }

        // Ticks while the timer runs, as the page's timer would; bounded for a scan that never ends.
        int run(int limit = 2000)
        {
            int ticks = 0;
            for (; timer && ticks < limit; ++ticks)
                scan.MipTimer1Timer();
            return ticks;
        }

        bool idle() const { return !timer && enabled.at(Button::MipPinG) && !enabled.at(Button::mipHalt); }
    };

    FakeNetwork m_network;

private slots:
    void wholeRange_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("three networks") << "127.0.0.250"
                                        << "127.0.2.5"
                                        << hosts("127.0.0.", 250, 255) + hosts("127.0.1.", 1, 255) +
                                               hosts("127.0.2.", 1, 5);
        QTest::newRow("end's last octet below start's")
            << "127.0.9.253"
            << "127.0.10.2" << hosts("127.0.9.", 253, 255) + hosts("127.0.10.", 1, 2);
        QTest::newRow("second octet carries") << "127.0.255.254"
                                              << "127.1.0.2" << hosts("127.0.255.", 254, 255) + hosts("127.1.0.", 1, 2);
        QTest::newRow("start at .0") << "127.0.3.0"
                                     << "127.0.3.2" << hosts("127.0.3.", 0, 2);
        QTest::newRow("end at .0") << "127.0.3.254"
                                   << "127.0.4.0" << hosts("127.0.3.", 254, 255);
        QTest::newRow("end at .255") << "127.0.5.253"
                                     << "127.0.5.255" << hosts("127.0.5.", 253, 255);
        QTest::newRow("start equals end") << "127.0.0.7"
                                          << "127.0.0.7" << QStringList{"127.0.0.7"};
        QTest::newRow("leading zeros") << "127.000.0.010"
                                       << "127.0.0.012" << hosts("127.0.0.", 10, 12);
    }

    void wholeRange()
    {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QStringList, expected);
        Page page;
        page.type(start, end);
        page.scan.MipPinGClick();
        QVERIFY(page.timer && !page.enabled[Button::MipPinG] && page.enabled[Button::mipHalt]);
        QVERIFY(page.pinged.isEmpty());

        QCOMPARE(page.run(), expected.size());
        QCOMPARE(page.pinged, expected);
        QCOMPARE(page.machines, expected);
        QVERIFY(page.idle());
        QCOMPARE(page.statuses.last(), QString("Encontradas %1 Maquinas").arg(expected.size()));
        QCOMPARE(page.captions[Caption::lipo], expected.last());
        const QString last = expected.last();
        QCOMPARE(page.memo.size(), 3);
        QCOMPARE(page.memo[1], "Sending 56 bytes to " + last + " (" + last + ")");
        QVERIFY2(QRegularExpression("^Recividos 56 bytes desde " + QRegularExpression::escape(last) + " en \\d+ mSecs$")
                     .match(page.memo[2])
                     .hasMatch(),
                 qPrintable(page.memo[2]));
    }

    void checksBeforeSending_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("end");
        QTest::addColumn<int>("message");
        QTest::newRow("end octet above 255") << "127.0.0.1"
                                             << "127.0.0.300" << int(Message::iperror);
        QTest::newRow("start octet above 255") << "127.0.256.1"
                                               << "127.0.256.9" << int(Message::iperror);
        QTest::newRow("start above end") << "127.0.0.100"
                                         << "127.0.0.50" << int(Message::ipferror);
        QTest::newRow("above in an earlier octet") << "127.1.0.0"
                                                   << "127.0.255.255" << int(Message::ipferror);
        QTest::newRow("negative start octet") << "127.0.0.-5"
                                              << "127.0.0.9" << int(Message::iperror);
        QTest::newRow("negative end octet") << "127.0.0.1"
                                            << "127.0.-1.9" << int(Message::iperror);
    }

    void checksBeforeSending()
    {
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(int, message);
        Page page;
        page.type(start, end);
        page.scan.MipPinGClick();
        QCOMPARE(page.run(), 1);
        QCOMPARE(page.messages, QList<Message>{Message(message)});
        QVERIFY(page.memo.isEmpty());
        QVERIFY(page.captions[Caption::lipo].isEmpty());
        QVERIFY(page.idle());
        QCOMPARE(page.statuses, QStringList{"Encontradas 0 Maquinas"});
    }

    void captionThatIsNoNumberIsReportedOnce_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("report");
        QTest::newRow("empty at the start") << ""
                                            << "'' is not a valid integer value";
        QTest::newRow("decimal separator") << "1,5"
                                           << "'1,5' is not a valid integer value";
        QTest::newRow("blank before") << " 5"
                                      << "' 5' is not a valid integer value";
        QTest::newRow("blank after") << "5 "
                                     << "'5 ' is not a valid integer value";
        QTest::newRow("letters") << "0x1"
                                 << "'0x1' is not a valid integer value";
        QTest::newRow("beyond the integers") << "3000000000"
                                             << "'3000000000' is not a valid integer value";
        QTest::newRow("beyond the long integers") << "99999999999999999999"
                                                  << "'99999999999999999999' is not a valid integer value";
    }

    void captionThatIsNoNumberIsReportedOnce()
    {
        QFETCH(QString, typed);
        QFETCH(QString, report);
        Page page;
        page.type("127.0.0.1", "127.0.0.9");
        page.edits[Edit::ip00] = typed;
        page.scan.MipPinGClick();
        page.edits[Edit::ip00] = "1";
        QCOMPARE(page.run(), 1);
        QCOMPARE(page.errors, QStringList{report});
        QVERIFY(page.pinged.isEmpty());
        QVERIFY(page.messages.isEmpty());
        QVERIFY(page.idle());
    }

    // A request the engine refuses: no machine, the two error lines, and the scan goes on.
    void failedEcho()
    {
        Page page;
        page.ping.SetSize(70000);
        page.type("127.0.0.1", "127.0.0.2");
        page.scan.MipPinGClick();
        QCOMPARE(page.run(), 2);
        QCOMPARE(page.memo, (QStringList{"Resolving host :127.0.0.2", "Sending 70000 bytes to 127.0.0.2 (127.0.0.2)",
                                         "Cannot ping host (127.0.0.2) : ", "==> Packet too big <=="}));
        QVERIFY(page.statuses.contains("ERROR: Packet too big"));
        QVERIFY(page.machines.isEmpty());
        QCOMPARE(page.statuses.last(), "Encontradas 0 Maquinas");
    }
};

TOZELO_GUILESS_TEST_MAIN(TestMultiPingScan)
#include "tst_MultiPingScan.moc"
