// The Monitor page over a history the test writes in a folder of its own, on a scripted clock: the rows
// against a hand count, the chart's pixels, the span, the exports against the command line's, and the
// re-ping walk's history, notices and unusable files as the window tells them.
#include "FakeNetwork.h"
#include "TestMain.h"
#include "dialogs/Unit5.h"
#include "gui/WindowSeams.h"
#include "history/HistoryError.h"
#include "history/HistoryExport.h"
#include "history/HistoryLocation.h"
#include "history/HistoryStore.h"
#include "main/Forms.h"
#include "main/MonitorChart.h"
#include "main/MonitorHistory.h"
#include "main/MonitorPage.h"
#include "main/MonitorRowModel.h"
#include "main/Unit1.h"
#include "ui/DesktopNotice.h"
#include "ui/ExceptionReport.h"
#include "ui/HistoryFile.h"
#include "ui/TestSeams.h"
#include "widgets/FloatEdit.h"
#include "widgets/TransBtn.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusError>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <fstream>
#include <memory>
#include <sqlite3.h>
#include <sstream>

namespace {
constexpr int64_t MinuteMs = HistoryStore::MinuteMs;
constexpr int64_t HourMs = HistoryStore::HourMs;
constexpr int64_t Noon = 1714564800000; // 2024-05-01T12:00:00Z

struct ScriptedClock : WallClock {
    int64_t now = Noon;
    int64_t nowMs() const override { return now; }
};

HistoryAnswer answer(const char *machine, int64_t atMs, uint32_t rttMs)
{
    return {machine, atMs, true, rttMs, {}};
}

HistoryAnswer lost(const char *machine, int64_t atMs)
{
    return {machine, atMs, false, 0, "Tiempo agotado"};
}

QString fileText(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
} // namespace

// The desktop's notification service, on a session bus of the test's own, keeping what it is asked
// to show.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    // Why no bus could be had, or nothing.
    QString start()
    {
        m_daemon.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
        if (!m_daemon.waitForStarted(10000) || !m_daemon.waitForReadyRead(10000))
            return "needs dbus-daemon for a session bus of its own";
        const QString address = QString::fromLatin1(m_daemon.readLine()).trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toLatin1());
        QDBusConnection bus = QDBusConnection::connectToBus(address, "fakeNotifications");
        if (!bus.registerObject(DesktopNotice::Path, this, QDBusConnection::ExportAllSlots) ||
            !bus.registerService(DesktopNotice::Service))
            return "could not serve notifications on the bus: " + bus.lastError().message();
        return {};
    }
    ~FakeNotifications() override
    {
        QDBusConnection::disconnectFromBus("fakeNotifications");
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }

    QStringList shown;

public slots:
    uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &, const QVariantMap &, int)
    {
        shown << summary + ": " + body;
        return uint(shown.size());
    }

private:
    QProcess m_daemon;
};

class tst_MonitorPage : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void reachedFromMenuAndDockBarOnTheCommandLinesFile();
    void rowsMatchAHandCount();
    void chartDrawsMediansSpreadAndLoss();
    void spanChoiceRereadsRowsAndChart();
    void rereadingNeverWaitsForAReadHeldUp();
    void weekTakesInTheMinutesKeptAsFigures();
    void exportsAreTheCommandLines();
    void walkRecordsAndTellsADownAndAnUpOnce();
    void unusableHistoryIsToldAndTheWindowGoesOn();

private:
    // A: 10, 20, lost, 30, 40 ms, ten minutes apart; B: 5 ms, then three lost.
    void fillHistory();
    void showMonitor();
    void selectRows(const QList<int> &rows);
    QVariant value(int row, int column) const;
    void startWalk(const QStringList &addresses);
    void pass(int entries);

    FakeNetwork m_network;
    FakeNotifications m_notifications;
    QString m_noNotifications;
    ScriptedClock m_clock;
    QTemporaryDir m_folder;
    int m_tests = 0;
    std::unique_ptr<WindowSeams> m_seams;
    std::unique_ptr<TForm1> m_form;
    TForm5 *m_dialog = nullptr;
    MonitorPage *m_page = nullptr;
};

// No tray host runs offscreen: the window's notices go to the desktop too.
void tst_MonitorPage::initTestCase()
{
    m_noNotifications = m_notifications.start();
}

void tst_MonitorPage::init()
{
    QVERIFY(m_folder.isValid());
    // A data folder of its own for every test, made by the history when it first writes.
    qputenv("XDG_DATA_HOME", QString("%1/data%2").arg(m_folder.path()).arg(++m_tests).toLocal8Bit());
    m_clock.now = Noon;
    TestSeams::instance().clock = &m_clock;
    m_seams = std::make_unique<WindowSeams>();
    m_form = std::make_unique<TForm1>();
    m_dialog = new TForm5(m_form.get());
    Form5 = m_dialog;
    m_page = &m_form->monitor();
    m_form->show();
}

void tst_MonitorPage::cleanup()
{
    m_form.reset();
    Form5 = nullptr;
    m_seams.reset();
    TestSeams::instance().clock = nullptr;
    TestSeams::instance().fileDialog = nullptr;
}

void tst_MonitorPage::fillHistory()
{
    HistoryStore store(HistoryFile::path().toStdString());
    store.append({answer("A", Noon - 40 * MinuteMs, 10), answer("A", Noon - 30 * MinuteMs, 20),
                  lost("A", Noon - 20 * MinuteMs), answer("A", Noon - 10 * MinuteMs, 30),
                  answer("A", Noon - 5 * MinuteMs, 40), answer("B", Noon - 30 * MinuteMs, 5),
                  lost("B", Noon - 20 * MinuteMs), lost("B", Noon - 15 * MinuteMs), lost("B", Noon - 10 * MinuteMs)});
}

void tst_MonitorPage::showMonitor()
{
    m_form->Monitor1->trigger();
    QCOMPARE(m_form->tipo->currentWidget(), m_form->TabSheet4);
    QTRY_VERIFY(!m_page->loading());
}

void tst_MonitorPage::selectRows(const QList<int> &rows)
{
    m_page->table->clearSelection();
    for (int row : rows)
        m_page->table->selectionModel()->select(m_page->rows->index(row, 0),
                                                QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QVariant tst_MonitorPage::value(int row, int column) const
{
    return m_page->rows->data(m_page->rows->index(row, column), MonitorRowModel::ValueRole);
}

void tst_MonitorPage::reachedFromMenuAndDockBarOnTheCommandLinesFile()
{
    QCOMPARE(HistoryFile::path().toStdString(), HistoryLocation::defaultFile());
    QVERIFY(HistoryFile::path().startsWith(qEnvironmentVariable("XDG_DATA_HOME")));
    QCOMPARE(m_dialog->walk().historyFile(), HistoryLocation::defaultFile());

    QTest::mouseClick(m_form->monitorButton, Qt::LeftButton);
    QCOMPARE(m_form->tipo->currentWidget(), m_form->TabSheet4);
    QVERIFY(!m_form->Tranton1->isEnabled() && !m_form->propertiesItem->isEnabled());
    QTRY_VERIFY(!m_page->loading());
    QCOMPARE(m_page->state->text(), QString("Sin historial todavia"));
    m_form->N3->trigger();
    QTRY_COMPARE(m_form->tipo->height(), 157);
    QVERIFY(m_form->Tranton1->isEnabled());
}

void tst_MonitorPage::rowsMatchAHandCount()
{
    fillHistory();
    showMonitor();
    QCOMPARE(m_page->rows->rowCount(), 2);
    QCOMPARE(m_page->state->text(), QString("2 maquinas"));
    const auto text = [this](int row, int column) { return m_page->rows->index(row, column).data().toString(); };
    QCOMPARE(text(0, MonitorRowModel::MachineColumn), QString("A"));
    QCOMPARE(text(0, MonitorRowModel::StateColumn), QString("Responde"));
    QCOMPARE(value(0, MonitorRowModel::SinceColumn).toLongLong(), Noon - 40 * MinuteMs);
    QCOMPARE(text(0, MonitorRowModel::LastColumn), QString("40 mSeg"));
    QCOMPARE(text(0, MonitorRowModel::LossColumn), QString("20.0 %"));
    QCOMPARE(text(0, MonitorRowModel::MedianColumn), QString("20 mSeg")); // the lower middle of 10 20 30 40

    QCOMPARE(text(1, MonitorRowModel::StateColumn), QString("No responde"));
    QCOMPARE(value(1, MonitorRowModel::SinceColumn).toLongLong(), Noon - 20 * MinuteMs); // the first miss
    QCOMPARE(text(1, MonitorRowModel::LastColumn), QString("Tiempo agotado"));
    QCOMPARE(text(1, MonitorRowModel::LossColumn), QString("75.0 %"));
    QCOMPARE(text(1, MonitorRowModel::MedianColumn), QString("5 mSeg"));

    // Four misses in a row are needed now: B has only three.
    m_page->downAfterField->SetText("4");
    QTRY_VERIFY(!m_page->loading());
    QCOMPARE(text(1, MonitorRowModel::StateColumn), QString("Responde"));
    QCOMPARE(m_dialog->walk().reachability().downAfter(), 4);
}

void tst_MonitorPage::chartDrawsMediansSpreadAndLoss()
{
    fillHistory();
    showMonitor();
    const MonitorChart &chart = *m_page->chart;
    QVERIFY(chart.width() > 100);
    QCOMPARE(chart.image().size(), chart.size());
    // The first row is chosen at once.
    QCOMPARE(m_page->chosenMachines(), std::vector<std::string>{"A"});
    QCOMPARE(chart.scaleMs(), 50u);
    const QImage &image = chart.image();
    const int lossRow = chart.plotArea().bottom() + MonitorChart::LossLane;
    const QColor a = MonitorChart::colourOf(0);
    for (const auto &[atMs, rtt] : {std::pair{Noon - 40 * MinuteMs, 10u}, {Noon - 30 * MinuteMs, 20u}}) {
        QCOMPARE(image.pixelColor(chart.xOf(atMs), chart.yOf(rtt)), a);
        QCOMPARE(image.pixelColor(chart.xOf(atMs + MinuteMs) - 1, chart.yOf(rtt)), a);
        QCOMPARE(image.pixelColor(chart.xOf(atMs), lossRow), QColor(Qt::black));
    }
    QCOMPARE(image.pixelColor(chart.xOf(Noon - 20 * MinuteMs), lossRow), QColor(MonitorChart::LossColour));
    QCOMPARE(image.pixelColor(chart.xOf(Noon - 20 * MinuteMs), chart.yOf(20)), QColor(Qt::black));

    selectRows({0, 1});
    QCOMPARE(m_page->chosenMachines(), (std::vector<std::string>{"A", "B"}));
    QCOMPARE(chart.image().pixelColor(chart.xOf(Noon - 30 * MinuteMs), chart.yOf(20)), a);
    QCOMPARE(chart.image().pixelColor(chart.xOf(Noon - 30 * MinuteMs), chart.yOf(5)), MonitorChart::colourOf(1));
    QVERIFY(MonitorChart::colourOf(1) != a);
    QCOMPARE(chart.image().pixelColor(chart.xOf(Noon - 15 * MinuteMs), lossRow), QColor(MonitorChart::LossColour));
}

void tst_MonitorPage::spanChoiceRereadsRowsAndChart()
{
    fillHistory();
    showMonitor();
    selectRows({1});
    m_page->spanBox->setCurrentIndex(int(MonitorHistory::Span::TenMinutes));
    QTRY_VERIFY(!m_page->loading());
    // The rows chosen stay chosen.
    QCOMPARE(m_page->chosenMachines(), std::vector<std::string>{"B"});
    selectRows({0});
    const auto text = [this](int row, int column) { return m_page->rows->index(row, column).data().toString(); };
    // Only 30 and 40 ms are that recent; B has one miss left.
    QCOMPARE(text(0, MonitorRowModel::LossColumn), QString("0.0 %"));
    QCOMPARE(text(0, MonitorRowModel::MedianColumn), QString("30 mSeg"));
    QCOMPARE(text(1, MonitorRowModel::LossColumn), QString("100.0 %"));
    QCOMPARE(text(1, MonitorRowModel::StateColumn), QString("Sin datos"));
    const MonitorChart &chart = *m_page->chart;
    const int left = chart.plotArea().left();
    QCOMPARE(chart.xOf(Noon - 10 * MinuteMs), left);
    QCOMPARE(chart.image().pixelColor(chart.xOf(Noon - 5 * MinuteMs), chart.yOf(40)), MonitorChart::colourOf(0));
    // A ten-second period, not a minute's.
    QCOMPARE(chart.image().pixelColor(chart.xOf(Noon - 5 * MinuteMs + 10000) + 1, chart.yOf(40)), QColor(Qt::black));

    // An hour's period holds all of A's answers: the band from 10 to 40 ms, the median at 20.
    m_page->spanBox->setCurrentIndex(int(MonitorHistory::Span::Week));
    QTRY_VERIFY(!m_page->loading());
    QCOMPARE(text(0, MonitorRowModel::LossColumn), QString("20.0 %"));
    const int hour = chart.xOf(Noon - HourMs);
    QCOMPARE(chart.image().pixelColor(hour, chart.yOf(20)), MonitorChart::colourOf(0));
    for (const uint32_t rtt : {10u, 30u, 40u})
        QCOMPARE(chart.image().pixelColor(hour, chart.yOf(rtt)), MonitorChart::shadeOf(MonitorChart::colourOf(0)));
    QCOMPARE(chart.image().pixelColor(hour, chart.yOf(40) - 1), QColor(Qt::black));
}

// Two minutes of three days ago, kept as figures, make one hour of the chart; the span's figures take
// them in beside today's answers.
// A read the writer holds up waits up to a second for it; the window starts the next read at once
// and shows that one's rows.
void tst_MonitorPage::rereadingNeverWaitsForAReadHeldUp()
{
    fillHistory();
    showMonitor();
    sqlite3 *holder = nullptr;
    QCOMPARE(sqlite3_open(HistoryFile::path().toUtf8().constData(), &holder), SQLITE_OK);
    QCOMPARE(sqlite3_exec(holder, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;", nullptr, nullptr, nullptr),
             SQLITE_OK);
    m_page->reload();
    QTest::qWait(100);
    QElapsedTimer held;
    held.start();
    m_page->reload();
    const qint64 reloadMs = held.elapsed();
    sqlite3_close(holder);
    QVERIFY2(reloadMs < 500, qPrintable(QString::number(reloadMs) + " ms"));
    QTRY_VERIFY(!m_page->loading());
    QCOMPARE(m_page->rows->rowCount(), 2);
}

void tst_MonitorPage::weekTakesInTheMinutesKeptAsFigures()
{
    fillHistory();
    const int64_t hour = Noon - 3 * 24 * HourMs;
    {
        HistoryStore store(HistoryFile::path().toStdString());
        store.transaction([&] {
            store.addFigures("A", MinuteMs, {{hour, 10, 2, 5, 8, 60}, {hour + 20 * MinuteMs, 10, 0, 6, 9, 70}});
        });
    }
    const MonitorRow row =
        MonitorHistory::read(HistoryStore(HistoryFile::path().toStdString(), HistoryStore::Mode::Read), "A",
                             MonitorHistory::Span::Week, Noon, 3);
    QCOMPARE(row.periods.size(), size_t(2));
    const HistoryFigures &aged = row.periods.front();
    QCOMPARE(QList<qint64>({aged.startMs, aged.count, aged.lost, aged.minMs, aged.maxMs}),
             QList<qint64>({hour, 20, 2, 5, 70}));
    QVERIFY(aged.medianMs == 8 || aged.medianMs == 9);
    QCOMPARE(row.periods.back().count, qint64(5));
    QCOMPARE(QList<qint64>({row.span.count, row.span.lost, row.span.minMs, row.span.maxMs}),
             QList<qint64>({25, 3, 5, 70}));
    QCOMPARE(row.state.state, Reachability::State::Up);
}

void tst_MonitorPage::exportsAreTheCommandLines()
{
    fillHistory();
    showMonitor();
    const HistoryStore store(HistoryFile::path().toStdString(), HistoryStore::Mode::Read);
    const auto expected = [&](std::vector<std::string> machines, HistoryExport::Format format) {
        std::ostringstream out;
        HistoryExport::write(store, std::move(machines), Noon - HourMs, Noon + 1, format, out);
        return QString::fromStdString(out.str());
    };
    const QString csv = m_folder.path() + "/a.csv";
    const QString json = m_folder.path() + "/all.json";
    QString answer = csv;
    TestSeams::instance().fileDialog = [&](QFileDialog &) { return answer; };
    // Written off the window's thread: the buttons wait for the export's end.
    const auto exportWith = [&](TTransparentButton *button) {
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(!m_page->csv->isEnabled() && !m_page->json->isEnabled());
        QTRY_VERIFY(m_page->csv->isEnabled() && m_page->json->isEnabled());
    };
    exportWith(m_page->csv);
    QCOMPARE(fileText(csv), expected({"A"}, HistoryExport::Format::Csv));
    QVERIFY(fileText(csv).contains("Tiempo agotado") && !fileText(csv).contains("B,"));
    QCOMPARE(m_page->state->text(), "Exportado a " + csv);

    m_page->table->clearSelection();
    answer = json;
    exportWith(m_page->json);
    QCOMPARE(fileText(json), expected({}, HistoryExport::Format::Json));
    QVERIFY(fileText(json).contains("\"B\""));

    answer = m_folder.path() + "/missing/folder/x.csv";
    exportWith(m_page->csv);
    QCOMPARE(m_seams->reports.size(), 1);
    QVERIFY(m_seams->reports.first().startsWith("No se pudo guardar"));
}

void tst_MonitorPage::startWalk(const QStringList &addresses)
{
    for (const QString &address : addresses)
        m_form->addico(address, 1);
    m_dialog->ciclo->setChecked(true);
    m_dialog->rto->SetText("3000");
    m_dialog->rpingClick();
}

// The pass's entries, then the idle tick that ends it, a second of the clock each.
void tst_MonitorPage::pass(int entries)
{
    for (int i = 0; i <= entries; ++i) {
        m_clock.now += 1000;
        m_dialog->rTimer1Timer();
    }
}

void tst_MonitorPage::walkRecordsAndTellsADownAndAnUpOnce()
{
    m_page->downAfterField->SetText("1");
    m_network.setHost("127.0.0.1", FakeNetwork::failing(0, 3, 1, "127.0.0.1"));
    startWalk({"127.0.0.1", "127.0.0.2"});
    pass(2);
    QVERIFY(m_form->statusPanel(0).startsWith("127.0.0.1 no responde desde las "));
    m_network.setHost("127.0.0.1", FakeNetwork::answering());
    m_network.setHost("127.0.0.2", FakeNetwork::failing(0, 3, 1, "127.0.0.2"));
    const QString firstTick = QDateTime::fromMSecsSinceEpoch(m_clock.now + 1000).toString("HH:mm:ss");
    const QString secondTick = QDateTime::fromMSecsSinceEpoch(m_clock.now + 2000).toString("HH:mm:ss");
    pass(2);
    const QString notice =
        "127.0.0.1 responde de nuevo desde las " + firstTick + "; 127.0.0.2 no responde desde las " + secondTick;
    QCOMPARE(m_form->statusPanel(0), notice);
    QVERIFY2(m_noNotifications.isEmpty(), qPrintable(m_noNotifications));
    QTRY_COMPARE(m_notifications.shown.size(), 2);
    QCOMPARE(m_notifications.shown.last(), QString(ApplicationTitle) + ": " + notice);
    QVERIFY(m_seams->reports.isEmpty());
    // The log has its lines too, with the time.
    const QStringList log = linesOf(m_dialog->Memo1);
    QVERIFY2(log.size() == 7 && log[5].startsWith("127.0.0.1 responde otra vez desde ") &&
                 log[6].startsWith("127.0.0.2 no responde desde "),
             qPrintable(log.join('\n')));

    // The rows change at once, from the walk; its answers reach the window's history.
    m_form->Monitor1->trigger();
    const auto state = [this](const char *machine) {
        const QModelIndexList rows =
            m_page->rows->match(m_page->rows->index(0, 0), Qt::DisplayRole, machine, 1, Qt::MatchExactly);
        return rows.isEmpty() ? QString()
                              : rows.first().siblingAtColumn(MonitorRowModel::StateColumn).data().toString();
    };
    QTRY_COMPARE(state("127.0.0.1"), QString("Responde"));
    QCOMPARE(state("127.0.0.2"), QString("No responde"));
    // The recorder makes the file with its first batch.
    const auto kept = [this] {
        try {
            return HistoryStore(HistoryFile::path().toStdString(), HistoryStore::Mode::Read)
                .answers("127.0.0.2", Noon, m_clock.now + 1)
                .size();
        } catch (const HistoryError &) {
            return size_t(0);
        }
    };
    QTRY_VERIFY(kept() >= 2);
}

void tst_MonitorPage::unusableHistoryIsToldAndTheWindowGoesOn()
{
    for (const bool corrupt : {true, false}) {
        cleanup();
        init();
        fillHistory();
        const QString history = HistoryFile::path();
        if (corrupt) {
            std::ofstream(history.toStdString(), std::ios::trunc) << "not a database, only words";
        } else {
            QVERIFY(QFile::setPermissions(history, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        }
        startWalk({"127.0.0.1"});
        for (int i = 0; i < 4 && m_seams->reports.isEmpty(); ++i) {
            QTest::qWait(400);
            pass(1);
        }
        QTRY_COMPARE(m_seams->reports.size(), 1);
        QVERIFY2(m_seams->reports.first().startsWith("No se puede usar el historial " + history + ": "),
                 qPrintable(m_seams->reports.first()));
        QVERIFY(m_seams->reports.first().endsWith("El re-ping sigue sin guardar sus respuestas."));
        QVERIFY(!m_seams->reports.first().contains("cannot be used"));
        const int lines = int(linesOf(m_dialog->Memo1).size());
        pass(1);
        QCOMPARE(m_seams->reports.size(), 1);
        QVERIFY(linesOf(m_dialog->Memo1).size() > lines);

        m_form->Monitor1->trigger();
        QTRY_VERIFY(!m_page->loading());
        if (corrupt)
            QVERIFY2(m_page->state->text().startsWith("No se puede usar el historial " + history + ": "),
                     qPrintable(m_page->state->text()));
        else // the two of the file and the one the walk asks
            QCOMPARE(m_page->state->text(), QString("3 maquinas"));
        QCOMPARE(m_seams->reports.size(), 1);
    }
}

TOZELO_TEST_MAIN(tst_MonitorPage)
#include "tst_MonitorPage.moc"
