// The fast sweep page against the testbed, on both kinds of ICMP socket. The host answers for
// 198.18.6.0/25 and the router drops 198.18.6.128/25 (TestbedNamespaces::scanRange), rejects
// 198.18.5.0/24 with host unreachable and drops 240.0.0.0/5; names come from the testbed's hosts file.
#include "NamedThreads.h"
#include "gui/WindowSeams.h"
#include "history/HistoryError.h"
#include "history/HistoryLocation.h"
#include "history/HistoryStore.h"
#include "main/FastSweepPage.h"
#include "main/MachineListView.h"
#include "main/MachineMemo.h"
#include "main/SweepResultModel.h"
#include "main/Unit1.h"
#include "net/TestbedMain.h"
#include "platform/IcmpAccess.h"
#include "platform/IcmpTypes.h"
#include "sweep/BackgroundSweep.h"
#include "sweep/HardwareMakers.h"
#include "testbed/TestbedNamespaces.h"
#include "widgets/FloatEdit.h"
#include "widgets/ProgBarEx.h"
#include "widgets/TransBtn.h"

#include <QApplication>
#include <QCheckBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <memory>

namespace {
const QString Unreachable = "Destination host unreachable";
const QString Router = "198.18.1.254";
// Answers at once, then silence for over a minute at this rate: a sweep still running when asked.
const QString Long = "198.18.2.1 240.0.0.0/16";

QByteArray contentsOf(const QString &fileName)
{
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The maker, where the makers' list is installed.
QString makerListed(const QString &maker)
{
    return QFile::exists(HardwareMakers::DefaultFile) ? maker : QString();
}
} // namespace

class tst_GuiFastSweep : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void findsExactlyWhatAnswers_data();
    void findsExactlyWhatAnswers();
    void namesFromTheHostsFile();
    void neighboursOfTheLink();
    void tcpFindsWhatDropsEcho();
    void ipv6Targets_data();
    void ipv6Targets();
    void stopKeepsWhatWasFound();
    void closingMidSweep();

private:
    FastSweepPage &page() { return m_form->fastSweep(); }
    QStringList column(int index);
    void sweep(const QString &targets, const QString &exclusions = {});
    QByteArray exported(TTransparentButton *button, const QString &name);

    QTemporaryDir m_folder;
    std::unique_ptr<WindowSeams> m_seams;
    std::unique_ptr<TForm1> m_form;
};

void tst_GuiFastSweep::initTestCase()
{
    QVERIFY(m_folder.isValid());
    QVERIFY2(TestbedNamespaces::scanRange("add"), "cannot add the scan's routes to the testbed");
}

void tst_GuiFastSweep::cleanupTestCase()
{
    TestbedNamespaces::scanRange("del");
}

void tst_GuiFastSweep::init()
{
    m_seams = std::make_unique<WindowSeams>();
    m_form = std::make_unique<TForm1>();
    m_form->show();
    m_form->BarridoRapido1Click();
    // Far above the testbed's few milliseconds, so that a loaded machine loses no answer.
    page().timeout->SetText("1500");
}

void tst_GuiFastSweep::cleanup()
{
    m_form.reset();
    m_seams.reset();
    IcmpAccess::Testing::helperOnly() = false;
    TestSeams::instance().fileDialog = nullptr;
}

QStringList tst_GuiFastSweep::column(int index)
{
    QStringList cells;
    for (int row = 0; row < page().table->model()->rowCount(); ++row)
        cells << page().cellText(row, index);
    return cells;
}

void tst_GuiFastSweep::sweep(const QString &targets, const QString &exclusions)
{
    page().targets->setText(targets);
    page().exclusions->setText(exclusions);
    QTest::mouseClick(page().start, Qt::LeftButton);
    QVERIFY(page().sweeping() && page().stop->isEnabled());
}

QByteArray tst_GuiFastSweep::exported(TTransparentButton *button, const QString &name)
{
    const QString fileName = m_folder.filePath(name);
    TestSeams::instance().fileDialog = [fileName](QFileDialog &) { return fileName; };
    QTest::mouseClick(button, Qt::LeftButton);
    return contentsOf(fileName);
}

void tst_GuiFastSweep::findsExactlyWhatAnswers_data()
{
    QTest::addColumn<bool>("raw");
    QTest::newRow("datagram socket") << false;
    QTest::newRow("raw socket") << true;
}

// Targets in the three forms less the exclusions: every answering host and every rejecting one,
// nothing else; in the table in address order, in the found machines, and in both exports.
namespace {
QStringList machinesInHistory()
{
    QStringList machines;
    try {
        const HistoryStore store(HistoryLocation::defaultFile(), HistoryStore::Mode::Read);
        for (const std::string &machine : store.machines())
            machines << QString::fromStdString(machine);
    } catch (const HistoryError &) {
    }
    return machines;
}
} // namespace

void tst_GuiFastSweep::findsExactlyWhatAnswers()
{
    QFETCH(bool, raw);
    IcmpAccess::Testing::helperOnly() = raw;
    sweep("198.18.6.0/24, 198.18.2.1 198.18.5.1-198.18.5.3", "198.18.6.10-198.18.6.19,198.18.6.64/26");
    QTRY_VERIFY_WITH_TIMEOUT(page().start->isEnabled(), 20000);

    QStringList replies{"198.18.2.1"};
    for (int last = 0; last < 64; ++last)
        if (last < 10 || last >= 20)
            replies << QString("198.18.6.%1").arg(last);
    const QStringList errors{"198.18.5.1", "198.18.5.2", "198.18.5.3"};
    QCOMPARE(column(SweepResultModel::AddressColumn), QStringList(replies.mid(0, 1)) + errors + replies.mid(1));
    const QStringList statuses = column(SweepResultModel::StatusColumn);
    QCOMPARE(statuses.mid(1, 3), QStringList(3, Unreachable + " from " + Router));
    QCOMPARE(statuses.count("Responde"), replies.size());
    QCOMPARE(page().state->text(), QString("Responden 55 de 186"));
    QCOMPARE(m_form->statusPanel(0), QString("Encontradas 55 Maquinas"));
    QTRY_COMPARE(m_form->ListView1->count(), replies.size());
    QStringList found = m_form->ips->list().lines();
    found.sort();
    QStringList expected = replies;
    expected.sort();
    QCOMPARE(found, expected);
    // The history keeps every answer and error, and nothing of the silent addresses.
    QStringList kept = replies + errors;
    std::sort(kept.begin(), kept.end(),
              [](const QString &a, const QString &b) { return a.toStdString() < b.toStdString(); });
    QTRY_COMPARE_WITH_TIMEOUT(machinesInHistory(), kept, 10000);

    // Times as numbers, the errors above them when the longest come first.
    page().table->sortByColumn(SweepResultModel::RttColumn, Qt::DescendingOrder);
    const QStringList byTime = column(SweepResultModel::RttColumn);
    QCOMPARE(byTime.mid(0, 3), QStringList(3, ""));
    for (int row = 4; row < byTime.size(); ++row)
        QVERIFY(byTime[row - 1].toDouble() >= byTime[row].toDouble());

    // The export follows the address order whatever the table's, times as the table shows them.
    page().table->sortByColumn(SweepResultModel::AddressColumn, Qt::AscendingOrder);
    const QStringList times = column(SweepResultModel::RttColumn);
    QByteArray csv = "address,rtt_ms,error,error_from\n";
    QJsonArray replyList;
    QJsonArray errorList;
    for (int row = 0; row < times.size(); ++row) {
        const QString address = page().cellText(row, SweepResultModel::AddressColumn);
        if (times[row].isEmpty()) {
            csv += (address + ",," + Unreachable + "," + Router + "\n").toLatin1();
            errorList.append(QJsonObject{{"address", address},
                                         {"error", Unreachable},
                                         {"from", Router},
                                         {"status", int(IP_DEST_HOST_UNREACHABLE)}});
            continue;
        }
        csv += (address + "," + times[row] + ",,\n").toLatin1();
        replyList.append(QJsonObject{{"address", address}, {"rtt_ms", times[row].toDouble()}});
    }
    QCOMPARE(exported(page().csv, "found.csv"), csv);

    const QByteArray json = exported(page().json, "found.json");
    QJsonObject written = QJsonDocument::fromJson(json).object();
    QCOMPARE(json, QJsonDocument(written).toJson(QJsonDocument::Compact) + "\n");
    // The table rounds the time as printf does, the file as the command line's JSON always has: the
    // two may part at the last digit of a time that ends in 5.
    QJsonArray writtenReplies = written["replies"].toArray();
    for (qsizetype i = 0; i < writtenReplies.size() && i < replyList.size(); ++i) {
        QJsonObject reply = writtenReplies[i].toObject();
        QVERIFY(std::abs(reply["rtt_ms"].toDouble() - replyList[i].toObject()["rtt_ms"].toDouble()) < 0.0015);
        reply["rtt_ms"] = replyList[i].toObject()["rtt_ms"];
        writtenReplies[i] = reply;
    }
    written["replies"] = writtenReplies;
    const QJsonObject truth{{"addresses", 186},    {"requests", 186},        {"replies", replyList},
                            {"errors", errorList}, {"unsent", QJsonArray()}, {"dropped", 0}};
    QCOMPARE(written, truth);
    QVERIFY(m_seams->reports.isEmpty() && m_seams->messages.isEmpty());
}

// Those that answered are named as the hosts file names them, or not at all; the names go into the
// exports, and are gone once the box is cleared.
void tst_GuiFastSweep::namesFromTheHostsFile()
{
    page().names->setChecked(true);
    sweep("198.18.2.1 198.18.3.1 198.18.3.5 198.18.5.1 198.18.6.1");
    QTRY_VERIFY_WITH_TIMEOUT(page().start->isEnabled(), 20000);
    const QStringList names{"answering.tozelo.test", "delayed1.tozelo.test", "delayed5.tozelo.test", "", ""};
    QTRY_COMPARE(column(SweepResultModel::NameColumn), names);
    const QByteArray csv = exported(page().csv, "named.csv");
    QVERIFY2(csv.startsWith("address,rtt_ms,error,error_from,name\n198.18.2.1,"), csv.constData());
    QVERIFY2(csv.contains(",,,delayed5.tozelo.test\n198.18.5.1,,Destination host unreachable,198.18.1.254,\n"),
             csv.constData());
    QVERIFY(csv.endsWith(",,,\n"));

    page().names->setChecked(false);
    QCOMPARE(column(SweepResultModel::NameColumn), QStringList(5, ""));
    QVERIFY(exported(page().csv, "unnamed.csv").startsWith("address,rtt_ms,error,error_from\n"));
}

// With "Vecinos", the hosts of the client's link that are silent to echo become rows found by ARP
// and ND, with their MACs and makers, a locally administered address saying so; a host that answers
// echo there gets its MAC too, one behind the router only what echo told. All count as found, but
// only echo answers join the found machines and the history. The export carries the columns, as the
// command line writes them, for as long as the box is checked.
void tst_GuiFastSweep::neighboursOfTheLink()
{
    page().neighbours->setChecked(true);
    sweep("198.18.9.2-198.18.9.5 fd00:198:18:9::2 fd00:198:18:9::3 198.18.2.1");
    QTRY_VERIFY_WITH_TIMEOUT(page().start->isEnabled(), 20000);
    QCOMPARE(
        column(SweepResultModel::AddressColumn),
        QStringList({"198.18.2.1", "198.18.9.2", "198.18.9.3", "198.18.9.4", "fd00:198:18:9::2", "fd00:198:18:9::3"}));
    QCOMPARE(column(SweepResultModel::StatusColumn),
             QStringList({"Responde", "Presente", "Presente", "Responde", "Presente", "Presente"}));
    QCOMPARE(column(SweepResultModel::FoundByColumn), QStringList({"echo", "arp", "arp", "echo", "nd", "nd"}));
    const QString maker = "00:16:3e:18:09:02";
    const QString local = "02:18:09:00:00:03";
    QCOMPARE(column(SweepResultModel::MacColumn), QStringList({"", maker, local, "00:50:56:18:09:04", maker, local}));
    const QString xensource = makerListed("Xensource, Inc.");
    const QString locally = "administrada localmente";
    QCOMPARE(column(SweepResultModel::MakerColumn),
             QStringList({"", xensource, locally, makerListed("VMware, Inc."), xensource, locally}));
    QCOMPARE(page().state->text(), QString("Responden 2 de 7, 4 mas presentes sin eco"));
    QCOMPARE(m_form->statusPanel(0), QString("Encontradas 6 Maquinas"));
    QTRY_COMPARE(m_form->ListView1->count(), 2);
    QStringList found = m_form->ips->list().lines();
    found.sort();
    QCOMPARE(found, QStringList({"198.18.2.1", "198.18.9.4"}));
    QTRY_VERIFY_WITH_TIMEOUT(machinesInHistory().contains("198.18.9.4"), 10000);
    for (const char *silent : {"198.18.9.2", "198.18.9.3", "fd00:198:18:9::2", "fd00:198:18:9::3"})
        QVERIFY2(!machinesInHistory().contains(silent), silent);

    const QByteArray csv = exported(page().csv, "present.csv");
    QVERIFY2(csv.startsWith("address,rtt_ms,error,error_from,found_by,mac,maker\n198.18.2.1,"), csv.constData());
    QVERIFY2(csv.contains("\n198.18.9.3,,,,arp,02:18:09:00:00:03,locally administered\n"), csv.constData());
    page().neighbours->setChecked(false);
    QVERIFY(page().table->isColumnHidden(SweepResultModel::MacColumn));
    QVERIFY(exported(page().csv, "echo.csv").startsWith("address,rtt_ms,error,error_from\n"));
}

// With "TCP" on port 443, the host behind the router that drops echo is a row found by the port,
// the silent one is not found; the exports write it as the command line does, and only the echo
// answer joins the found machines.
void tst_GuiFastSweep::tcpFindsWhatDropsEcho()
{
    page().tcp->setChecked(true);
    page().tcpPorts->setText("443");
    sweep("198.18.7.1 198.18.2.1 198.18.4.1");
    QTRY_VERIFY_WITH_TIMEOUT(page().start->isEnabled(), 20000);
    QCOMPARE(column(SweepResultModel::AddressColumn), QStringList({"198.18.2.1", "198.18.7.1"}));
    QCOMPARE(column(SweepResultModel::StatusColumn), QStringList({"Responde", "Presente"}));
    QCOMPARE(column(SweepResultModel::FoundByColumn), QStringList({"echo", "tcp:443"}));
    QCOMPARE(page().state->text(), QString("Responden 1 de 3, 1 mas presentes sin eco"));
    QCOMPARE(m_form->statusPanel(0), QString("Encontradas 2 Maquinas"));
    QTRY_COMPARE(m_form->ips->list().lines(), QStringList{"198.18.2.1"});

    const QByteArray csv = exported(page().csv, "tcp.csv");
    QVERIFY2(csv.startsWith("address,rtt_ms,error,error_from,found_by,mac,maker\n198.18.2.1,"), csv.constData());
    QVERIFY2(csv.endsWith(",,,echo,,\n198.18.7.1,,,,tcp:443,,\n"), csv.constData());
    const QJsonObject json = QJsonDocument::fromJson(exported(page().json, "tcp.json")).object();
    QCOMPARE(json["present"].toArray(),
             QJsonArray({QJsonObject{{"address", "198.18.7.1"}, {"found_by", "tcp:443"}, {"mac", ""}, {"maker", ""}}}));
    QVERIFY(m_seams->reports.isEmpty() && m_seams->messages.isEmpty());
}

void tst_GuiFastSweep::ipv6Targets_data()
{
    findsExactlyWhatAnswers_data();
}

// IPv6 targets beside IPv4 ones, in any written form: the table in address order, IPv4 first, named
// from the hosts file; the found machines in the addresses' one written form.
void tst_GuiFastSweep::ipv6Targets()
{
    QFETCH(bool, raw);
    IcmpAccess::Testing::helperOnly() = raw;
    page().names->setChecked(true);
    sweep("FD00:198:18:3:0:0:0:1-fd00:198:18:3::5, 198.18.2.1 fd00:198:18:2::1 fd00:198:18:5::1");
    QTRY_VERIFY_WITH_TIMEOUT(page().start->isEnabled(), 20000);
    const QStringList replies{"198.18.2.1", "fd00:198:18:2::1", "fd00:198:18:3::1", "fd00:198:18:3::5"};
    QCOMPARE(column(SweepResultModel::AddressColumn), replies + QStringList{"fd00:198:18:5::1"});
    QCOMPARE(column(SweepResultModel::StatusColumn).last(), Unreachable + " from fd00:198:18:1::254");
    QCOMPARE(page().state->text(), QString("Responden 4 de 8"));
    QTRY_COMPARE(column(SweepResultModel::NameColumn),
                 QStringList({"answering.tozelo.test", "answering.tozelo.test", "delayed1.tozelo.test",
                              "delayed5.tozelo.test", ""}));
    QTRY_COMPARE(m_form->ListView1->count(), replies.size());
    QStringList found = m_form->ips->list().lines();
    found.sort();
    QCOMPARE(found, replies);
}

// Started from the keyboard, the sweep leaves the keyboard in the targets, away from Stop, and hands
// it back to the start once stopped; the bar shows how far the sweep went.
void tst_GuiFastSweep::stopKeepsWhatWasFound()
{
    page().rate->SetText("1000");
    page().targets->setText(Long);
    QVERIFY(QTest::qWaitForWindowActive(m_form.get()));
    page().start->setFocus(Qt::TabFocusReason);
    QTest::keyClick(page().start, Qt::Key_Space);
    QVERIFY(page().sweeping());
    QCOMPARE(QApplication::focusWidget(), page().targets);
    QTRY_COMPARE(column(SweepResultModel::AddressColumn), QStringList{"198.18.2.1"});
    QTest::mouseClick(page().stop, Qt::LeftButton);
    QTRY_VERIFY(page().start->isEnabled());
    QCOMPARE(QApplication::focusWidget(), page().start);
    QVERIFY2(page().progress->Position() > 0 && page().progress->Position() < page().progress->Max(),
             qPrintable(QString::number(page().progress->Position())));
    QVERIFY(!page().stop->isEnabled() && page().csv->isEnabled());
    QCOMPARE(page().state->text(), QString("Responden 1 de 65537, detenido"));
    QTRY_COMPARE(m_form->ips->list().lines(), QStringList{"198.18.2.1"});
}

// Closing the window asks nothing (no machine was found) and its end stops the sweep and its thread.
void tst_GuiFastSweep::closingMidSweep()
{
    page().rate->SetText("1000");
    sweep("240.0.0.0/16");
    QTRY_VERIFY(page().state->text().startsWith("Enviados 1"));
    QVERIFY(m_form->close());
    QVERIFY(page().sweeping());
    QCOMPARE(threadsNamed(BackgroundSweep::ThreadName), 1);
    m_form.reset();
    QCOMPARE(threadsNamed(BackgroundSweep::ThreadName), 0);
}

TOZELO_TESTBED_WINDOW_TEST_MAIN(tst_GuiFastSweep)

#include "tst_GuiFastSweep.moc"
