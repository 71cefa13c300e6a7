// The fast sweep page as far as it goes without sweeping: how it is reached, what it refuses before
// a sweep, the order of its table, the double click, and the names assistive tools read.
#include "FakeNetwork.h"
#include "TestMain.h"
#include "dialogs/Unit2.h"
#include "dialogs/Unit3.h"
#include "gui/WindowChecks.h"
#include "gui/WindowSeams.h"
#include "main/FastSweepPage.h"
#include "main/Forms.h"
#include "main/SweepMessages.h"
#include "main/SweepResultModel.h"
#include "main/Unit1.h"
#include "platform/IcmpTypes.h"
#include "sweep/HardwareMakers.h"
#include "ui/UpDown.h"
#include "widgets/FloatEdit.h"
#include "widgets/ProgBarEx.h"
#include "widgets/TransBtn.h"
#include "widgets/oxSplits.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QStackedWidget>
#include <QTableView>
#include <QtTest>
#include <memory>
#include <optional>

namespace {
IpAddress ip(const char *text)
{
    const std::optional<IpAddress> address = IpAddress::parse(text);
    if (!address)
        qFatal("bad address in the test: %s", text);
    return *address;
}

Sweep::Answer reply(const char *address, double rttMs)
{
    return {ip(address), IP_SUCCESS, {}, rttMs};
}

HostPresence found(HostPresence::Method method, const char *hardware, const char *maker)
{
    HostPresence presence;
    presence.method = method;
    presence.hardware = hardware;
    presence.maker = maker;
    return presence;
}

HostPresence foundByTcp(uint16_t port)
{
    HostPresence presence = found(HostPresence::Method::Tcp, "", "");
    presence.port = port;
    return presence;
}
} // namespace

class tst_FastSweepPage : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void reachedThroughItsCommands();
    void commandsAndPanelsFollowThePage();
    void mistakesSendNothing_data();
    void mistakesSendNothing();
    void tableSortsAsNumbers();
    void doubleClickPingsOnTheSinglePingPage();
    void presenceInItsColumns();
    void searchShortfallsInSpanish();
    void namedAndInTabOrder();

private:
    FastSweepPage &page() { return m_form->fastSweep(); }
    QStringList column(int index);

    // The window's ping components take their sockets from it, so that it opens for any user.
    FakeNetwork m_network;
    std::unique_ptr<WindowSeams> m_seams;
    std::unique_ptr<TForm1> m_form;
};

void tst_FastSweepPage::init()
{
    m_seams = std::make_unique<WindowSeams>();
    m_form = std::make_unique<TForm1>();
    m_form->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
}

void tst_FastSweepPage::cleanup()
{
    Form2 = nullptr;
    Form3 = nullptr;
    m_form.reset();
    m_seams.reset();
}

QStringList tst_FastSweepPage::column(int index)
{
    QStringList cells;
    for (int row = 0; row < page().table->model()->rowCount(); ++row)
        cells << page().cellText(row, index);
    return cells;
}

// The menu entry and the dock button do the same; the page takes room for its table and gives it
// back to the found machines when another page is chosen.
void tst_FastSweepPage::reachedThroughItsCommands()
{
    TForm1 &form = *m_form;
    Form2 = new TForm2(&form);
    Form3 = new TForm3(&form);
    const int designed = form.tipo->height();
    QCOMPARE(designed, 157);
    for (const auto &reach : {std::function<void()>([&] { form.BarridoRapido1->trigger(); }),
                              std::function<void()>([&] { QTest::mouseClick(form.barrido, Qt::LeftButton); })}) {
        form.Sible1Click();
        Form2->show();
        Form3->show();
        reach();
        QCOMPARE(form.tipo->currentWidget(), form.TabSheet3);
        QVERIFY(!form.Timer1->isActive());
        QVERIFY(!form.rsping->isEnabled() && !form.SinglePing1->isEnabled());
        QVERIFY(form.rping->isEnabled() && form.MultiPinG1->isEnabled());
        QVERIFY(!Form2->isVisible() && !Form3->isVisible());
        QTRY_VERIFY(form.tipo->height() > designed);
        QTRY_VERIFY(page().table->height() >= 100);
    }
    form.N3Click();
    QTRY_COMPARE(form.tipo->height(), designed);
    QCOMPARE(form.tipo->currentWidget(), form.TabSheet2);
}

// The property dialogs and the fast timer have nothing to set on this page, and the status panels
// show the sweep's settings as typed; the classic pages get back their own, as last written.
void tst_FastSweepPage::commandsAndPanelsFollowThePage()
{
    TForm1 &form = *m_form;
    Form2 = new TForm2(&form);
    Form3 = new TForm3(&form);
    QAction *properties = form.findChild<QAction *>("propertiesItem");
    const auto panels = [&form] {
        QStringList texts;
        for (int i = 1; i < TForm1::StatusPanels; ++i)
            texts << form.statusPanel(i);
        return texts;
    };
    const auto classicCommands = [&] {
        return form.Tranton1->isEnabled() && form.tbuton->isEnabled() && properties->isEnabled();
    };
    QTest::mouseClick(form.tbuton, Qt::LeftButton);
    const QStringList scanPanels = {"Paket : 56", "Delay : 50", "TTL : 64", "Timer: 50"};
    QCOMPARE(panels(), scanPanels);

    QTest::mouseClick(form.barrido, Qt::LeftButton);
    QVERIFY(!form.Tranton1->isEnabled() && !form.tbuton->isEnabled() && !properties->isEnabled());
    QCOMPARE(panels(), QStringList({"5000/s", "500mSeg", "Reint. : 0", ""}));
    QTest::mouseClick(form.Tranton1, Qt::LeftButton);
    QTest::mouseClick(form.tbuton, Qt::LeftButton);
    properties->trigger();
    QVERIFY(!Form2->isVisible() && !Form3->isVisible());
    page().rate->selectAll();
    QTest::keyClicks(page().rate, "250");
    page().timeoutArrows->step(TUpDown::btNext);
    page().retriesArrows->step(TUpDown::btNext);
    QCOMPARE(panels(), QStringList({"250/s", "600mSeg", "Reint. : 1", ""}));
    // What a classic page writes meanwhile waits for it.
    form.setStatusPanel(2, "Delay : 70");
    form.setStatusPanel(0, "Encontradas 3 Maquinas");
    QCOMPARE(form.statusPanel(2), QString("600mSeg"));
    QCOMPARE(form.statusPanel(0), QString("Encontradas 3 Maquinas"));

    form.N3->trigger();
    QVERIFY(classicCommands());
    QCOMPARE(panels(), QStringList({"Paket : 56", "Delay : 70", "TTL : 64", "Timer: 50"}));
    form.BarridoRapido1->trigger();
    form.Sible1->trigger();
    QVERIFY(classicCommands());
    QCOMPARE(panels(), QStringList({"Paket : 56", "Delay : 70", "TTL : 64", "Timer: 50"}));
    QTest::mouseClick(form.Tranton1, Qt::LeftButton);
    QVERIFY(Form3->isVisible());
}

void tst_FastSweepPage::mistakesSendNothing_data()
{
    QTest::addColumn<QString>("targets");
    QTest::addColumn<QString>("exclusions");
    QTest::addColumn<QString>("field"); // objectName of a numeric field given a text of its own
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("report");
    QTest::newRow("no target") << " , "
                               << ""
                               << ""
                               << ""
                               << "No hay direcciones que barrer";
    QTest::newRow("all excluded") << "127.0.0.0/30"
                                  << "127.0.0.0-127.0.0.3"
                                  << ""
                                  << ""
                                  << "No hay direcciones que barrer";
    QTest::newRow("bad target") << "127.0.0.1, 127.0.0.300"
                                << ""
                                << ""
                                << ""
                                << "'127.0.0.300': '127.0.0.300' no es una direccion IPv4 valida";
    QTest::newRow("bad exclusion") << "127.0.0.1"
                                   << "127.0.0.0/40"
                                   << ""
                                   << ""
                                   << "'127.0.0.0/40': la longitud del prefijo debe estar entre 0 y 32";
    QTest::newRow("rate 0") << "127.0.0.1"
                            << ""
                            << "sweepRate"
                            << "0"
                            << "Paquetes por seg debe estar entre 1 y 10000000";
    QTest::newRow("time-out too long") << "127.0.0.1"
                                       << ""
                                       << "sweepTimeout"
                                       << "60001"
                                       << "Espera (ms) debe estar entre 1 y 60000";
    QTest::newRow("retries 11") << "127.0.0.1"
                                << ""
                                << "sweepRetries"
                                << "11"
                                << "Reintentos debe estar entre 0 y 10";
    QTest::newRow("empty rate") << "127.0.0.1"
                                << ""
                                << "sweepRate"
                                << ""
                                << "'' is not a valid integer value";
    // The command line's ports and limits, told in Spanish.
    QTest::newRow("port 0") << "127.0.0.1"
                            << ""
                            << "sweepTcpPorts"
                            << "443,0"
                            << "Puertos TCP: '0' no es un puerto: son numeros del 1 al 65535";
    QTest::newRow("ports backwards") << "127.0.0.1"
                                     << ""
                                     << "sweepTcpPorts"
                                     << "22,8010-8000"
                                     << "Puertos TCP: '8010-8000': el rango termina antes de empezar";
    QTest::newRow("65 ports") << "127.0.0.1"
                              << ""
                              << "sweepTcpPorts"
                              << "80,1-64"
                              << "Puertos TCP: '1-64': mas de 64 puertos";
    QTest::newRow("no port") << "127.0.0.1"
                             << ""
                             << "sweepTcpPorts"
                             << " "
                             << "Puertos TCP: '': falta un puerto";
}

void tst_FastSweepPage::mistakesSendNothing()
{
    QFETCH(QString, targets);
    QFETCH(QString, exclusions);
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, report);
    m_form->BarridoRapido1Click();
    page().results->add({reply("127.0.0.9", 1)});
    page().targets->setText(targets);
    page().exclusions->setText(exclusions);
    page().tcp->setChecked(true);
    if (field == page().tcpPorts->objectName())
        page().tcpPorts->setText(text);
    else if (!field.isEmpty())
        m_form->findChild<TFloatEdit *>(field)->SetText(text);
    QTest::mouseClick(page().start, Qt::LeftButton);
    QCOMPARE(m_seams->reports, QStringList{report});
    QVERIFY(!page().sweeping());
    QVERIFY(page().start->isEnabled() && !page().stop->isEnabled());
    QCOMPARE(column(SweepResultModel::AddressColumn), QStringList{"127.0.0.9"});
}

// Addresses as numbers, IPv4 before IPv6 (whose text sorts otherwise: "1::" before "::ffff:..."),
// times as numbers with the errors after them, either way round.
void tst_FastSweepPage::tableSortsAsNumbers()
{
    m_form->BarridoRapido1Click();
    page().results->add({reply("10.0.0.10", 12.5),
                         reply("fd00::10", 7),
                         reply("9.255.0.1", 0.25),
                         reply("1::", 0.5),
                         {ip("10.0.0.9"), IP_DEST_HOST_UNREACHABLE, ip("10.0.0.254"), 3},
                         reply("fd00::9", 50),
                         reply("2001:db8::a", 1),
                         reply("10.0.0.100", 2),
                         reply("::ffff:10.0.0.1", 20),
                         reply("192.168.0.1", 100)});
    QCOMPARE(column(SweepResultModel::AddressColumn),
             QStringList({"9.255.0.1", "10.0.0.9", "10.0.0.10", "10.0.0.100", "192.168.0.1", "::ffff:10.0.0.1",
                          "1::", "2001:db8::a", "fd00::9", "fd00::10"}));
    QCOMPARE(column(SweepResultModel::StatusColumn),
             QStringList({"Responde", "Destination host unreachable from 10.0.0.254", "Responde", "Responde",
                          "Responde", "Responde", "Responde", "Responde", "Responde", "Responde"}));
    QHeaderView *header = page().table->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(SweepResultModel::RttColumn) + 5, header->height() / 2));
    QCOMPARE(column(SweepResultModel::RttColumn),
             QStringList({"0.250", "0.500", "1.000", "2.000", "7.000", "12.500", "20.000", "50.000", "100.000", ""}));
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(SweepResultModel::RttColumn) + 5, header->height() / 2));
    QCOMPARE(column(SweepResultModel::RttColumn),
             QStringList({"", "100.000", "50.000", "20.000", "12.500", "7.000", "2.000", "1.000", "0.500", "0.250"}));

    // Rows that come later take their place in the order shown.
    page().results->add({reply("10.0.0.11", 5)});
    QCOMPARE(column(SweepResultModel::RttColumn), QStringList({"", "100.000", "50.000", "20.000", "12.500", "7.000",
                                                               "5.000", "2.000", "1.000", "0.500", "0.250"}));
}

void tst_FastSweepPage::doubleClickPingsOnTheSinglePingPage()
{
    m_form->BarridoRapido1Click();
    page().results->add({reply("127.0.0.20", 1), reply("127.0.0.3", 1)});
    QTableView *table = page().table;
    QTRY_VERIFY(table->viewport()->height() > 60);
    const QRect second = table->visualRect(table->model()->index(1, SweepResultModel::StatusColumn));
    // As a user's: the first click of the two presses the row.
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, second.center());
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, second.center());
    QCOMPARE(m_form->HostEdit->text(), QString("127.0.0.20"));
    QCOMPARE(m_form->tipo->currentWidget(), m_form->TabSheet1);
    QVERIFY(m_form->PingButton->isEnabled() && m_form->rsping->isEnabled());
    QTRY_VERIFY2(linesOf(m_form->DisplayMemo).value(3).startsWith("Received 56 bytes from 127.0.0.20 in "),
                 qPrintable(linesOf(m_form->DisplayMemo).join('|')));
}

// Hosts found without echo become rows of their own, present and without a time; an answer gets its
// hardware address whether its row came before its presence or after; the columns show while
// "Vecinos" or "TCP" is checked, and their empty cells read as something.
void tst_FastSweepPage::presenceInItsColumns()
{
    m_form->BarridoRapido1Click();
    QTableView *table = page().table;
    const auto columnsShown = [table] {
        QList<bool> shown{table->findChild<QAction *>("sortBy5")->isVisible()};
        for (const int presence :
             {SweepResultModel::FoundByColumn, SweepResultModel::MacColumn, SweepResultModel::MakerColumn})
            shown << !table->isColumnHidden(presence);
        return shown;
    };
    QCOMPARE(columnsShown(), QList<bool>(4, false));
    page().results->add({reply("10.0.0.4", 1), {ip("10.0.0.9"), IP_DEST_HOST_UNREACHABLE, ip("10.0.0.254"), 3}});
    const std::vector<IpAddress> added = page().results->setPresence(
        {{ip("10.0.0.2"), found(HostPresence::Method::Arp, "00:16:3e:18:06:02", "Xensource, Inc.")},
         {ip("10.0.0.3"), found(HostPresence::Method::Arp, "02:18:06:00:00:03", HardwareMakers::LocallyAdministered)},
         {ip("10.0.0.4"), found(HostPresence::Method::Echo, "00:50:56:18:06:04", "")},
         {ip("10.0.0.5"), found(HostPresence::Method::Echo, "00:50:56:18:06:05", "VMware, Inc.")},
         {ip("10.0.0.7"), foundByTcp(443)},
         {ip("fd00::2"), found(HostPresence::Method::Nd, "00:16:3e:18:06:02", "")}});
    QCOMPARE(added, std::vector<IpAddress>({ip("10.0.0.2"), ip("10.0.0.3"), ip("10.0.0.7"), ip("fd00::2")}));
    page().results->add({reply("10.0.0.5", 2), reply("10.0.0.6", 2)});
    QCOMPARE(column(SweepResultModel::AddressColumn), QStringList({"10.0.0.2", "10.0.0.3", "10.0.0.4", "10.0.0.5",
                                                                   "10.0.0.6", "10.0.0.7", "10.0.0.9", "fd00::2"}));
    QCOMPARE(column(SweepResultModel::StatusColumn),
             QStringList({"Presente", "Presente", "Responde", "Responde", "Responde", "Presente",
                          "Destination host unreachable from 10.0.0.254", "Presente"}));
    QCOMPARE(column(SweepResultModel::RttColumn), QStringList({"", "", "1.000", "2.000", "2.000", "", "", ""}));
    QCOMPARE(column(SweepResultModel::FoundByColumn),
             QStringList({"arp", "arp", "echo", "echo", "echo", "tcp:443", "", "nd"}));
    QCOMPARE(column(SweepResultModel::MacColumn),
             QStringList({"00:16:3e:18:06:02", "02:18:06:00:00:03", "00:50:56:18:06:04", "00:50:56:18:06:05", "", "",
                          "", "00:16:3e:18:06:02"}));
    QCOMPARE(column(SweepResultModel::MakerColumn),
             QStringList({"Xensource, Inc.", "administrada localmente", "", "VMware, Inc.", "", "", "", ""}));
    const QAbstractItemModel *shown = table->model();
    QCOMPARE(shown->index(4, SweepResultModel::MacColumn).data(Qt::AccessibleTextRole).toString(), QString("sin MAC"));
    QCOMPARE(shown->index(2, SweepResultModel::MakerColumn).data(Qt::AccessibleTextRole).toString(),
             QString("sin fabricante"));
    QCOMPARE(shown->index(6, SweepResultModel::FoundByColumn).data(Qt::AccessibleTextRole).toString(),
             QString("sin datos"));
    // In the order the rows came: the unreachable one second.
    QVERIFY(page().results->foundAt(0) && !page().results->foundAt(1) && page().results->foundAt(2));

    page().tcp->setChecked(true);
    QCOMPARE(columnsShown(), QList<bool>(4, true));
    page().neighbours->setChecked(true);
    page().tcp->setChecked(false);
    QCOMPARE(columnsShown(), QList<bool>(4, true));
    page().neighbours->setChecked(false);
    QCOMPARE(columnsShown(), QList<bool>(4, false));
    QCOMPARE(shown->headerData(SweepResultModel::FoundByColumn, Qt::Horizontal).toString(), QString("Encontrado por"));
    QCOMPARE(shown->headerData(SweepResultModel::MakerColumn, Qt::Horizontal).toString(), QString("Fabricante"));
    page().results->clear();
    page().results->add({reply("10.0.0.4", 1)});
    QCOMPARE(column(SweepResultModel::FoundByColumn), QStringList{""});
}

// What kept the neighbours' or the TCP search from finding every host, as the engine words it, in
// the page's language with its numbers and the system's reason in their places.
void tst_FastSweepPage::searchShortfallsInSpanish()
{
    QCOMPARE(SweepMessages::spanish("Operation not permitted: 12 targets on this host's links could not be asked"),
             QString("no se pudo preguntar a 12 objetivos de los enlaces de esta maquina: Operation not permitted"));
    QCOMPARE(
        SweepMessages::spanish("3 more targets on this host's links were not asked: at most 65536 are"),
        QString("no se pregunto a 3 objetivos mas de los enlaces de esta maquina: se pregunta a 65536 como mucho"));
    QCOMPARE(SweepMessages::spanish("cannot read the makers of hardware addresses from /x/oui.csv: No such file or "
                                    "directory"),
             QString("no se pudo leer la lista de fabricantes /x/oui.csv: No such file or directory"));
    QCOMPARE(SweepMessages::spanish("eth0 is down: the link's hosts were asked through the neighbour table instead"),
             QString("se pregunto a las maquinas del enlace por la tabla de vecinos: eth0 is down"));
    QCOMPARE(SweepMessages::spanish("7 TCP connection attempts could not be sent (no route, a broadcast address, or "
                                    "this host's firewall)"),
             QString("no se pudieron enviar 7 intentos de conexion TCP (sin ruta, una direccion de difusion, o el "
                     "cortafuegos de esta maquina)"));
    QCOMPARE(SweepMessages::spanish("1 TCP connection attempt could not be sent (no route, a broadcast address, or "
                                    "this host's firewall)"),
             QString("no se pudo enviar 1 intento de conexion TCP (sin ruta, una direccion de difusion, o el "
                     "cortafuegos de esta maquina)"));
    QCOMPARE(SweepMessages::spanish("cannot open a TCP socket: Too many open files"),
             QString("no se pudo abrir un socket TCP: Too many open files"));
}

// Beyond what the window's own checks find on every page: the table's rows, empty cells among
// them, are named for assistive tools; the numeric fields have room for their largest values; the
// controls carry their captions; and Tab runs through the page in reading order, passing by what
// is disabled.
void tst_FastSweepPage::namedAndInTabOrder()
{
    TForm1 &form = *m_form;
    form.BarridoRapido1->trigger();
    QTRY_VERIFY(page().table->height() >= 100);
    page().results->add({reply("10.0.0.10", 12.5), {ip("10.0.0.9"), IP_DEST_HOST_UNREACHABLE, {}, 3}});
    page().results->setPresence({{ip("10.0.0.2"), found(HostPresence::Method::Arp, "00:16:3e:18:06:02", "")}});
    page().neighbours->setChecked(true);
    QStringList faults = WindowChecks::accessibilityFaults(&form);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    // The numeric fields show their largest values whole.
    for (const TUpDown *arrows : {page().rateArrows, page().timeoutArrows, page().retriesArrows})
        arrows->Associate()->SetText(QString::number(arrows->range().Max));
    faults = WindowChecks::layoutFaults(&form);
    faults.removeAll("QLabel fstatePanel4 leaves its parent StatusPanels ");
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    QCOMPARE(form.BarridoRapido1->text(), QString("&Barrido rápido"));
    QCOMPARE(form.barrido->accessibleName(), QString("Barrido rápido"));
    const std::vector<std::pair<QWidget *, QString>> named = {
        {page().targets, "Direcciones"},   {page().exclusions, "Excepto"},
        {page().rate, "Paquetes por seg"}, {page().timeout, "Espera (ms)"},
        {page().retries, "Reintentos"},    {page().progress, "Progreso del barrido"},
        {page().neighbours, "Vecinos"},    {page().tcp, "TCP"},
        {page().tcpPorts, "Puertos TCP"},  {page().table, "Maquinas encontradas"}};
    for (const auto &[control, name] : named)
        QCOMPARE(control->accessibleName(), name);

    QVERIFY(QTest::qWaitForWindowActive(&form));
    page().targets->setFocus(Qt::TabFocusReason);
    QStringList visited;
    for (int i = 0; i < 11; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(visited, QStringList({"sweepExclusions", "sweepRate", "sweepTimeout", "sweepRetries", "sweepStart",
                                   "sweepNames", "sweepNeighbours", "sweepTcp", "sweepTcpPorts", "sweepTable", "del"}));
}

TOZELO_TEST_MAIN(tst_FastSweepPage)
#include "tst_FastSweepPage.moc"
