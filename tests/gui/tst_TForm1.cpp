// The main window as a user meets it: start-up, pages, closing, single ping, found machines and
// the machine list file.
#include "FakeNetwork.h"
#include "TestFiles.h"
#include "TestMain.h"
#include "dialogs/Unit2.h"
#include "dialogs/Unit3.h"
#include "dialogs/Unit4.h"
#include "dialogs/Unit5.h"
#include "gui/WindowChecks.h"
#include "gui/WindowSeams.h"
#include "main/FastSweepPage.h"
#include "main/Forms.h"
#include "main/MachineListView.h"
#include "main/MachineMemo.h"
#include "main/Unit1.h"
#include "ping/Ping.h"
#include "platform/IcmpApi.h"
#include "platform/Sockets.h"
#include "ui/Artwork.h"
#include "ui/TestSeams.h"
#include "ui/UpDown.h"
#include "widgets/AHMTSplashScreen.h"
#include "widgets/Backgnd.h"
#include "widgets/CaptionTray.h"
#include "widgets/Colors.h"
#include "widgets/FloatEdit.h"
#include "widgets/SplashForm.h"
#include "widgets/TNCButton.h"
#include "widgets/TNCButtonFocus.h"
#include "widgets/TNCCustomButton.h"
#include "widgets/ToxScrollPane.h"
#include "widgets/TransBtn.h"
#include "widgets/oxDockBr.h"
#include "widgets/oxForm.h"
#include "widgets/oxSplits.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>
#include <cstring>
#include <memory>

namespace {
struct BoxSeen {
    QMessageBox::Icon icon;
    QString title;
    QString text;
};

void click(QWidget *button)
{
    QTest::mouseClick(button, Qt::LeftButton);
}

const QString NoSuchFile = QString(": ") + strerror(ENOENT);
// A message box's answer: the button that Escape presses.
constexpr int Escape = -1;

// Where a picture has any ink at all.
QRect inkBounds(const QImage &image)
{
    QRect bounds;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) != 0)
                bounds |= QRect(x, y, 1, 1);
    return bounds;
}

// The widths of the rows of dark pixels inside a button's edges, top to bottom.
QList<int> darkRows(const QImage &picture, const QRect &button)
{
    QList<int> rows;
    for (int y = button.top() + 2; y < button.bottom() - 1; ++y) {
        int dark = 0;
        for (int x = button.left() + 2; x < button.right() - 1; ++x)
            dark += qGray(picture.pixel(x, y)) < 128;
        if (dark > 0)
            rows << dark;
    }
    return rows;
}

// Whether the buttons at the top and the bottom of a picture, each end tall, hold dark arrows that
// point up and down.
bool arrowsPointOut(const QImage &picture, int end)
{
    const QList<int> up = darkRows(picture, QRect(0, 0, picture.width(), end));
    const QList<int> down = darkRows(picture, QRect(0, picture.height() - end, picture.width(), end));
    return up.size() > 1 && down.size() > 1 && up.first() < up.last() && down.first() > down.last();
}

void tab()
{
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
}

QString accessibleName(QObject *object)
{
    return QAccessible::queryAccessibleInterface(object)->text(QAccessible::Name);
}

// A menu as its entries read, separators as "-", sub-menus as "title>".
QStringList entriesOf(const QMenu *menu)
{
    QStringList entries;
    for (const QAction *action : menu->actions())
        entries << (action->isSeparator() ? QString("-") : action->text() + (action->menu() ? ">" : ""));
    return entries;
}
} // namespace

class tst_TForm1 : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startState();
    void menusAndDockBar();
    void formsAreCreatedInOrder();
    void splashKeepsTheEventLoopRunning();
    void splashPictureAndFrames();
    void captionBarDrawsTheFrame();
    void dockBarLinesUpTheCommands();
    void delDropsDownTheClearMenu();
    void splitKeepsTheLeftPaneAt76Percent();
    void pagesArePaintedByTheirBackgrounds();
    void pagesSwitchCommandsAndDialogs();
    void pagesChangeOnlyThroughTheCommands();
    void pagesAreLaidOutAtTheDesignAndLeastSizes();
    void keyboardAlonePingsLoopback();
    void tabRunsThroughTheWindowInItsOrder();
    void assistiveToolsFindEveryControl();
    void buttonWatcherFollowsHostEdit();
    void keyReleaseCopiesHostAndEnterDoesNotPing();
    void trayHidesAndRestores();
    void withoutATrayTheWindowIsMinimised();
    void statusPanelsStandSideBySide();
    void unsavedMachinesGoOnlyWhenTheUserSays_data();
    void unsavedMachinesGoOnlyWhenTheUserSays();
    void singlePingOfLoopback();
    void rePingOfAListedMachine();
    void failedLookupStartIsReported();
    void addicoRecordsAnswersOnly();
    void addicoMatchesWholeAddresses();
    void addicoMovesFocusNotSelection();
    void arrowsShowOnTheBlackPages();
    void machineCommandsOnSelection();
    void deletionLeavesNothingSelected();
    void clearCommands();
    void viewStyles();
    void saveWritesTheExactBytes();
    void loadNormalisesAndKeepsTheText();
    void failedLoadChangesNothing();
    void noPopupOutlivesTheFileDialog();

private:
    QAction *action(const char *name) const { return m_form->findChild<QAction *>(name); }
    QStringList captions() const;
    void recordMachines(const QStringList &addresses);

    FakeNetwork m_network;
    std::unique_ptr<TForm1> m_form;
    QTemporaryDir m_folder;
    QList<BoxSeen> m_boxes;
    QList<int> m_boxAnswers;
    QStringList m_dialogsSeen; // objectName and proposed file
    QStringList m_dialogAnswers;
};

void tst_TForm1::initTestCase()
{
    QVERIFY(m_folder.isValid());
    QApplication::setQuitOnLastWindowClosed(false);
    TestSeams &seams = TestSeams::instance();
    seams.splashDelayMs = 0;
    seams.messageBox = [this](QMessageBox &box) {
        m_boxes.append({box.icon(), box.windowTitle(), box.text()});
        const int answer = m_boxAnswers.isEmpty() ? int(QMessageBox::Cancel) : m_boxAnswers.takeFirst();
        return answer == Escape ? int(box.standardButton(box.escapeButton())) : answer;
    };
}

void tst_TForm1::init()
{
    TestSeams::instance().fileDialog = [this](QFileDialog &dialog) {
        m_dialogsSeen << dialog.objectName() + " " + dialog.selectedFiles().value(0);
        return m_dialogAnswers.isEmpty() ? QString() : m_dialogAnswers.takeFirst();
    };
    m_boxes.clear();
    m_boxAnswers.clear();
    m_dialogsSeen.clear();
    m_dialogAnswers.clear();
    m_form = std::make_unique<TForm1>();
    m_form->show();
}

void tst_TForm1::cleanup()
{
    m_form.reset();
    TCaptionTray::setAvailabilityHook(nullptr);
    Form2 = nullptr;
    Form3 = nullptr;
    Form4 = nullptr;
    Sockets::Testing::faults() = {};
}

QStringList tst_TForm1::captions() const
{
    QStringList texts;
    for (int i = 0; i < m_form->ListView1->count(); ++i)
        texts << m_form->ListView1->item(i)->text();
    return texts;
}

void tst_TForm1::recordMachines(const QStringList &addresses)
{
    for (int i = 0; i < addresses.size(); ++i)
        m_form->addico(addresses[i], i + 1);
}

void tst_TForm1::startState()
{
    TForm1 &form = *m_form;
    QCOMPARE(form.windowTitle(), QString("Tozelo 99 version 1.1"));
    QCOMPARE(form.tipo->currentWidget(), form.TabSheet2);
    QVERIFY(form.Timer1->isActive());
    QCOMPARE(form.Timer1->interval(), 1000);
    QVERIFY(!form.MipTimer1->isActive());
    QVERIFY(!form.rsping->isEnabled());
    QVERIFY(!form.SinglePing1->isEnabled());
    QVERIFY(form.rping->isEnabled());
    QVERIFY(form.MultiPinG1->isEnabled());
    QVERIFY(!form.CancelButton->isEnabled());
    QVERIFY(form.HostEdit->text().isEmpty());
    QVERIFY(linesOf(form.DisplayMemo).isEmpty());
    QVERIFY(linesOf(form.MDisplayMemo).isEmpty());
    QVERIFY(form.ips->list().isEmpty());
    QCOMPARE(form.ListView1->count(), 0);
    const QStringList panels = {"Zarvo SoftWare", "Paket : 56", "Delay : 500", "TTL : 64", "Timer: 500"};
    for (int i = 0; i < TForm1::StatusPanels; ++i)
        QCOMPARE(form.statusPanel(i), panels[i]);
    QVERIFY(!form.oxForm1->TrayEnabled());
    QVERIFY(!form.oxForm1->trayIcon()->isVisible());
    QCOMPARE(form.HostEdit->accessibleName(), QString("Direccion IP o dominio"));
    QCOMPARE(form.PingButton->accessibleName(), QString("PinG"));
}

void tst_TForm1::menusAndDockBar()
{
    QMenuBar *bar = m_form->menuBar();
    QCOMPARE(bar->objectName(), QString("MainMenu1"));
    QStringList top;
    for (const QAction *entry : bar->actions())
        top << entry->text() + (entry->menu() ? ">" : "");
    QCOMPARE(top, QStringList({"&Programa>", "&Single Ping", "&Multi PinG", "&Barrido rápido", "Mo&nitor",
                               "&Retry PinG>", "&Opciones>", "&Creditos"}));
    const QList<QAction *> menus = bar->actions();
    QCOMPARE(entriesOf(menus[0]->menu()), QStringList({"&Salvar IP`s", "&Load Ip`s", "-", "&Exit"}));
    QCOMPARE(entriesOf(menus[5]->menu()), QStringList({"Single Ping (Single IP)", "Multi PinG (Multi IP)"}));
    QMenu *opciones = menus[6]->menu();
    QCOMPARE(entriesOf(opciones), QStringList({"&Propiedades", "-", "Borrar ..(clear)>", "Iconos>", "Icon-Pc>"}));
    const QStringList clearEntries = {"All", "-", "Iconos", "PinG Return", "IP PinG", "Ip Resumen"};
    QCOMPARE(entriesOf(opciones->actions()[2]->menu()), clearEntries + QStringList{"-"});
    QCOMPARE(entriesOf(opciones->actions()[3]->menu()), QStringList({"Iconos Grandes", "Iconos Pequeños", "Listado"}));
    QCOMPARE(entriesOf(opciones->actions()[4]->menu()), QStringList({"Borrar PC", "Re PinG", "Copiar IP"}));
    QCOMPARE(entriesOf(m_form->clearM), clearEntries);
    QCOMPARE(entriesOf(m_form->listIco), QStringList({"Borrar PC", "Re PinG", "Copiar IP", "-", "IconS>"}));
    QVERIFY(!m_form->listIco->actions()[3]->isEnabled());
    QCOMPARE(entriesOf(m_form->tryM), QStringList({"MaximiZar", "-", "Creditos"}));
    QCOMPARE(m_form->oxForm1->TrayMenu(), m_form->tryM);
    QCOMPARE(m_form->oxForm1->TrayHint(), QString("Tozelo"));
}

void tst_TForm1::formsAreCreatedInOrder()
{
    m_form.reset();
    createForms();
    QVERIFY(Form1 && Form2 && Form3 && Form4 && Form5);
    for (QWidget *dialog : std::initializer_list<QWidget *>{Form2, Form3, Form4, Form5}) {
        QVERIFY(!dialog->isVisible());
        QCOMPARE(dialog->parentWidget(), Form1);
    }
    destroyForms();
    QVERIFY(!Form1 && !Form2 && !Form3 && !Form4 && !Form5);

    // An echo session that cannot be set up stops the start-up with its message and no window.
    IcmpApi::Testing::faults().failCreateFile = true;
    QString error;
    try {
        createForms();
    } catch (const TICMPException &e) {
        error = e.what();
    }
    IcmpApi::Testing::faults() = {};
    QCOMPARE(error, QString("Unable to get ping handle"));
    QVERIFY(!Form1 && !Form2 && !Form3 && !Form4 && !Form5);
}

// The wait runs the event loop with the picture shown, centred, before the window exists.
void tst_TForm1::splashKeepsTheEventLoopRunning()
{
    m_form.reset();
    TestSeams::instance().splashDelayMs = 50;
    QImage shown;
    QRect shownAt;
    QTimer probe;
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (auto *splash = qobject_cast<TSplashForm *>(window); splash && splash->isVisible()) {
                shown = splash->picture();
                shownAt = splash->geometry();
            }
        }
    });
    probe.start();
    TForm1 form;
    probe.stop();
    TestSeams::instance().splashDelayMs = 0;
    QCOMPARE(shown.size(), QSize(350, 262));
    QCOMPARE(shown, form.logo->composePicture());
    QCOMPARE(shownAt.center(), form.screen()->availableGeometry().center());
    for (QWidget *window : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<TSplashForm *>(window) || !window->isVisible());
    QVERIFY(form.Timer1->isActive());
}

// The drawn picture fills the splash; a lowered panel edge runs round it, nothing further in.
void tst_TForm1::splashPictureAndFrames()
{
    const TAHMSplashScreen *logo = m_form->logo;
    const QImage picture = logo->composePicture();
    const QImage &image = logo->Image();
    const QRgb shadow = toQColor(colorBtnShadow).rgb();
    const QRgb highlight = toQColor(colorBtnHighlight).rgb();
    QCOMPARE(picture.pixel(0, 100), shadow);
    QCOMPARE(picture.pixel(100, 0), shadow);
    QCOMPARE(picture.pixel(1, 100), qRgb(0, 0, 0));
    QCOMPARE(picture.pixel(100, 1), qRgb(0, 0, 0));
    QCOMPARE(picture.pixel(349, 100), image.pixel(349, 100));
    QCOMPARE(picture.pixel(349, 0), image.pixel(349, 0));
    QCOMPARE(picture.pixel(348, 100), highlight);
    QCOMPARE(picture.pixel(100, 260), highlight);
    for (const QPoint &inside : {QPoint(2, 100), QPoint(3, 100), QPoint(100, 3), QPoint(175, 131)})
        QCOMPARE(picture.pixel(inside), image.pixel(inside));

    // The white title keeps clear of the frame; the signature lies where it says.
    const auto bright = [&image](int x, int y) {
        return qMin(qRed(image.pixel(x, y)), qBlue(image.pixel(x, y))) > 128;
    };
    for (int y = 0; y < image.height(); ++y)
        for (int x = image.width() - 10; x < image.width(); ++x)
            QVERIFY2(!bright(x, y), qPrintable(QString("(%1, %2)").arg(x).arg(y)));
    const QRect signature = Artwork::signatureRect(image.size());
    int signatureInk = 0;
    for (int y = signature.top(); y <= signature.bottom(); ++y)
        for (int x = signature.left(); x <= signature.right(); ++x)
            signatureInk += bright(x, y);
    QVERIFY(signatureInk > 20);
}

void tst_TForm1::pagesSwitchCommandsAndDialogs()
{
    TForm1 &form = *m_form;
    Form2 = new TForm2(&form);
    Form3 = new TForm3(&form);
    click(form.Tranton1);
    QVERIFY(Form2->isVisible());
    QVERIFY(!Form3->isVisible());

    form.MipTimer1->start();
    action("Sible1")->trigger();
    QCOMPARE(form.tipo->currentWidget(), form.TabSheet1);
    QVERIFY(form.Timer1->isActive());
    QVERIFY(!form.MipTimer1->isActive());
    QVERIFY(form.rsping->isEnabled());
    QVERIFY(!form.rping->isEnabled());
    QVERIFY(form.SinglePing1->isEnabled());
    QVERIFY(!form.MultiPinG1->isEnabled());
    QVERIFY(!Form2->isVisible());

    action("propertiesItem")->trigger();
    QVERIFY(Form3->isVisible());

    action("N3")->trigger();
    QCOMPARE(form.tipo->currentWidget(), form.TabSheet2);
    QVERIFY(!form.Timer1->isActive());
    QVERIFY(!form.MipTimer1->isActive());
    QVERIFY(!form.rsping->isEnabled());
    QVERIFY(form.rping->isEnabled());
    QVERIFY(!form.SinglePing1->isEnabled());
    QVERIFY(form.MultiPinG1->isEnabled());
    QVERIFY(!Form3->isVisible());

    Form4 = new TForm4(&form);
    action("Creditos2")->trigger();
    QVERIFY(Form4->isVisible());
    Form4->hide();
}

// The pages have no tabs, so no key switches them behind the commands' back (and no assistive
// tool: see assistiveToolsFindEveryControl).
void tst_TForm1::pagesChangeOnlyThroughTheCommands()
{
    TForm1 &form = *m_form;
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.ip03->setFocus();
    const QList<std::pair<Qt::Key, Qt::KeyboardModifiers>> switches = {
        {Qt::Key_Tab, Qt::ControlModifier},
        {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier},
        {Qt::Key_PageDown, Qt::ControlModifier},
        {Qt::Key_PageUp, Qt::ControlModifier}};
    for (const auto &[key, modifiers] : switches) {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
        QCOMPARE(form.tipo->currentWidget(), form.TabSheet2);
    }
}

// Every page at the window's design size and at its least size, which is the same whatever page
// shows: nothing cut or covered, the status bar's panels included (the last one alone runs past the
// window's edge), every control of the page and of the found machines at its own least size or
// more, a row of icons and three lines of machines in sight; and no page button's caption runs into
// its picture.
void tst_TForm1::pagesAreLaidOutAtTheDesignAndLeastSizes()
{
    TForm1 &form = *m_form;
    recordMachines({"10.0.0.1", "10.0.0.2", "10.0.0.3"});
    QStringList faults;
    const auto laidOut = [&form, &faults] {
        faults = WindowChecks::layoutFaults(&form);
        faults.removeAll("QLabel fstatePanel4 leaves its parent StatusPanels ");
        QList<QWidget *> controls = form.tipo->currentWidget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly);
        controls << QList<QWidget *>{form.ListView1, form.Panel1, form.ips};
        for (const QWidget *control : controls) {
            const QSize least =
                control->minimumSizeHint().expandedTo(control->minimumSize()).boundedTo(control->maximumSize());
            if (control->isVisible() && control->size() != control->size().expandedTo(least))
                faults << WindowChecks::nameOf(control) + " is below its least size";
        }
        if (!form.ListView1->viewport()->rect().contains(form.ListView1->visualItemRect(form.ListView1->item(0))))
            faults << "no icon in sight";
        if (form.ips->viewport()->height() < 3 * form.ips->fontMetrics().lineSpacing())
            faults << "fewer than three machines in sight";
        return faults.isEmpty();
    };
    const QSize least = form.minimumSize();
    for (const QSize &size : {form.size(), least}) {
        form.resize(size);
        // The fast sweep page takes its room once it shows.
        for (QAction *page : {form.Sible1, form.N3, form.BarridoRapido1}) {
            page->trigger();
            QTRY_VERIFY2(laidOut(), qPrintable(page->objectName() + ":\n" + faults.join('\n')));
            QCOMPARE(form.minimumSize(), least);
            QCOMPARE(form.size(), size);
        }
    }
    const FastSweepPage &fast = form.fastSweep();
    for (TTransparentButton *button : {form.PingButton, form.CancelButton, form.MipPinG, form.mipHalt, form.MipStop,
                                       fast.start, fast.stop, fast.csv, fast.json}) {
        const QImage glyph = button->Glyph();
        const int glyphRight = button->Spacing() + button->glyphImages().front().width();
        button->SetGlyph(QImage());
        const QRect caption = inkBounds(button->image());
        button->SetGlyph(glyph);
        QVERIFY2(caption.left() > glyphRight, qPrintable(button->Caption()));
        QVERIFY2(caption.right() < button->width() - button->Spacing() / 2, qPrintable(button->Caption()));
    }
}

// Tab to the host field, type, Tab past the IPv6 box (Space ticks it) to "PinG", Space: the answer
// is logged and the keyboard is still on "PinG", out of the log. With the host gone the keyboard
// waits in the host field. Tab leaves the log, which still takes typed text.
void tst_TForm1::keyboardAlonePingsLoopback()
{
    TForm1 &form = *m_form;
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::AltModifier);
    QCOMPARE(form.tipo->currentWidget(), form.TabSheet1);
    for (int i = 0; i < 60 && QApplication::focusWidget() != form.HostEdit; ++i)
        tab();
    QCOMPARE(QApplication::focusWidget(), form.HostEdit);
    QTest::keyClicks(form.HostEdit, "127.0.0.1");
    QTRY_VERIFY_WITH_TIMEOUT(form.PingButton->isEnabled(), 10000);
    tab();
    QCOMPARE(QApplication::focusWidget(), form.IPv6Box);
    QTest::keyClick(form.IPv6Box, Qt::Key_Space);
    QVERIFY(form.IPv6Box->isChecked());
    QTest::keyClick(form.IPv6Box, Qt::Key_Space);
    tab();
    QCOMPARE(QApplication::focusWidget(), form.PingButton);
    // The focus mark: dots inside the frame, black where x + y is even.
    QCOMPARE(form.PingButton->image().pixel(2, 2), qRgb(0, 0, 0));
    QCOMPARE(form.PingButton->image().pixel(3, 2), qRgb(255, 255, 255));
    QTest::keyClick(form.PingButton, Qt::Key_Space);
    const QStringList log = linesOf(form.DisplayMemo);
    QCOMPARE(log.size(), 4);
    QVERIFY2(log[3].startsWith("Received 56 bytes from 127.0.0.1 in "), qPrintable(log[3]));
    QCOMPARE(QApplication::focusWidget(), form.PingButton);
    form.HostEdit->clear();
    form.Timer1Timer();
    QCOMPARE(QApplication::focusWidget(), form.HostEdit);
    QTest::keyClicks(form.HostEdit, "127.0.0.2");
    form.Timer1Timer();
    QCOMPARE(QApplication::focusWidget(), form.HostEdit);

    form.DisplayMemo->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(form.DisplayMemo, "typed");
    tab();
    QVERIFY(QApplication::focusWidget() != form.DisplayMemo);
    QVERIFY(form.DisplayMemo->toPlainText().contains("typed"));
    QVERIFY(!form.DisplayMemo->toPlainText().contains('\t'));
}

// The page shown, the dock bar's commands, the found machines, the caption's buttons from left to
// right, and round again; disabled and hidden controls are passed by, a rolled-up window's
// content too. A caption button pressed with Space does its work.
void tst_TForm1::tabRunsThroughTheWindowInItsOrder()
{
    TForm1 &form = *m_form;
    Form4 = new TForm4(&form);
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.ip03->setFocus();
    QStringList visited;
    for (int i = 0; i < 40 && (visited.isEmpty() || QApplication::focusWidget() != form.ip03); ++i) {
        tab();
        QWidget *focus = QApplication::focusWidget();
        visited << (focus->objectName().isEmpty() ? accessibleName(focus) : focus->objectName());
    }
    QCOMPARE(visited,
             QStringList(
                 {"ip02",      "ip01",      "ip00",         "ip13",     "ip12",          "ip11",     "ip10",
                  "MipPinG",   "MipStop",   "MDisplayMemo", "Tranton1", "tbuton",        "del",      "icoGande",
                  "icolist",   "icopeq",    "rping",        "barrido",  "monitorButton", "openIp",   "salvarIP",
                  "stry",      "ListView1", "ips",          "Creditos", "Inicio",        "Enrollar", "Siempre visible",
                  "Minimizar", "Maximizar", "Cerrar",       "ip03"}));

    // Rolled up, only the caption's buttons are left, all named, the chevron for what it does next;
    // rolled down, the keyboard is where it was.
    while (accessibleName(QApplication::focusWidget()) != "Enrollar")
        tab();
    QWidget *chevron = QApplication::focusWidget();
    QTest::keyClick(chevron, Qt::Key_Space);
    QVERIFY(form.oxForm1->RollUp());
    QCOMPARE(QApplication::focusWidget(), chevron);
    visited.clear();
    for (int i = 0; i < 7; ++i) {
        tab();
        visited << accessibleName(QApplication::focusWidget());
    }
    QCOMPARE(visited,
             QStringList({"Siempre visible", "Minimizar", "Maximizar", "Cerrar", "Creditos", "Inicio", "Desenrollar"}));
    const QStringList faults = WindowChecks::accessibilityFaults(&form);
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    QStringList buttons = WindowChecks::pressableNames(&form);
    buttons.sort();
    visited.sort();
    QCOMPARE(buttons, visited);
    QTest::keyClick(chevron, Qt::Key_Space);
    QVERIFY(!form.oxForm1->RollUp());
    QCOMPARE(QApplication::focusWidget(), chevron);
    QCOMPARE(accessibleName(chevron), QString("Enrollar"));
    QVERIFY(form.ip03->isVisible());

    while (accessibleName(QApplication::focusWidget()) != "Creditos")
        tab();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QVERIFY(Form4->isVisible());
}

// Every control named, in Spanish where the name is the program's own; what can be pressed is a
// real command, its menu buttons read as such and open their menus; nothing hidden is found; the
// arrows say which field they change; the fast table sorts from the keyboard; the octet fields say
// which address and octet they hold; the current address reads as what it shows.
void tst_TForm1::assistiveToolsFindEveryControl()
{
    TForm1 &form = *m_form;
    QVERIFY(QTest::qWaitForWindowActive(&form));
    for (QAction *page : {form.BarridoRapido1, form.Monitor1, form.Sible1, form.N3}) {
        page->trigger();
        const QStringList faults = WindowChecks::accessibilityFaults(&form);
        QVERIFY2(faults.isEmpty(), qPrintable(page->objectName() + ":\n" + faults.join('\n')));
    }
    QStringList pressable = WindowChecks::pressableNames(&form);
    pressable.sort();
    // The dock bar's commands, the menu bar's, the scan's and the caption's, with the start button
    // that opens the menu bar's commands; the menu bar's pages stand beside the dock bar's.
    QCOMPARE(pressable, QStringList({"Barrido rápido",
                                     "Barrido rápido",
                                     "Cerrar",
                                     "Clear..",
                                     "Creditos",
                                     "Creditos",
                                     "Enrollar",
                                     "Fast Timer",
                                     "Inicio",
                                     "Leer Ip`s",
                                     "Listado",
                                     "Maximizar",
                                     "Minimizar",
                                     "Monitor",
                                     "Monitor",
                                     "Multi PinG",
                                     "Multi PinG",
                                     "Propiedades",
                                     "Retry Multi - Ping",
                                     "Salvar IPs",
                                     "Siempre visible",
                                     "Single Ping",
                                     "Stop",
                                     "System Tray",
                                     "iconos",
                                     "iconos pequeños"}));
    QAccessibleInterface *bar = QAccessible::queryAccessibleInterface(form.oxDockBar2);
    QCOMPARE(bar->role(), QAccessible::ToolBar);
    QCOMPARE(bar->text(QAccessible::Name), QString("Comandos"));
    QAccessibleInterface *clear = QAccessible::queryAccessibleInterface(form.del);
    QCOMPARE(clear->role(), QAccessible::ButtonMenu);
    QAccessibleInterface *start = QAccessible::queryAccessibleInterface(form.oxForm1->startButton()->focusWidget());
    QCOMPARE(start->role(), QAccessible::ButtonMenu);
    start->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QMenu *startMenu = form.oxForm1->StartMenu();
    QTRY_VERIFY(startMenu->isVisible());
    QCOMPARE(startMenu->actions(), form.menuBar()->actions());
    startMenu->close();
    const QList<QAction *> clearItems = form.findChild<QMenu *>("borrarMenu")->actions();
    QVERIFY(clearItems.last()->isSeparator());

    QAccessibleInterface *maximize = nullptr;
    for (TNCButtonFocus *button : form.oxForm1->findChildren<TNCButtonFocus *>())
        if (button->accessibleName() == "Maximizar")
            maximize = QAccessible::queryAccessibleInterface(button);
    QVERIFY(maximize);
    QCOMPARE(maximize->text(QAccessible::Name), QString("Maximizar"));
    maximize->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_VERIFY(form.isMaximized());
    QCOMPARE(maximize->text(QAccessible::Name), QString("Restaurar"));

    form.BarridoRapido1->trigger();
    QTableView *table = form.findChild<QTableView *>("sweepTable");
    const TUpDown *arrows = form.findChild<TUpDown *>();
    QCOMPARE(accessibleName(arrows->upButton()), "Aumentar " + arrows->Associate()->accessibleName());
    QCOMPARE(accessibleName(arrows->downButton()), "Disminuir " + arrows->Associate()->accessibleName());
    table->setFocus();
    QTest::keyClick(table, Qt::Key_2, Qt::ControlModifier);
    QCOMPARE(table->horizontalHeader()->sortIndicatorSection(), 1);
    QCOMPARE(table->horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);
    QTest::keyClick(table, Qt::Key_2, Qt::ControlModifier);
    QCOMPARE(table->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
    QCOMPARE(table->contextMenuPolicy(), Qt::ActionsContextMenu);
    QCOMPARE(table->actions().first()->text(), QString("Ordenar por Direccion IP"));

    QCOMPARE(accessibleName(form.ip03), QString("Ip de Inicio, octeto 1"));
    QCOMPARE(accessibleName(form.ip00), QString("Ip de Inicio, octeto 4"));
    QCOMPARE(accessibleName(form.ip12), QString("ip Final, octeto 2"));
    form.lipo->setText("10.0.0.7");
    QAccessibleInterface *current = QAccessible::queryAccessibleInterface(form.lipo);
    QCOMPARE(current->text(QAccessible::Name), QString("10.0.0.7"));
    QCOMPARE(current->text(QAccessible::Description), QString("Curret Ip :"));
}

void tst_TForm1::buttonWatcherFollowsHostEdit()
{
    QVERIFY(m_form->PingButton->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!m_form->PingButton->isEnabled(), 10000);
    m_form->HostEdit->setText("127.0.0.1");
    QTRY_VERIFY_WITH_TIMEOUT(m_form->PingButton->isEnabled(), 10000);
}

void tst_TForm1::keyReleaseCopiesHostAndEnterDoesNotPing()
{
    Form3 = new TForm3(m_form.get());
    action("Sible1")->trigger();
    QTest::keyClicks(m_form->HostEdit, "127.0.0.1");
    QCOMPARE(Form3->Label8->text(), QString("127.0.0.1"));
    QTest::keyClick(m_form->HostEdit, Qt::Key_Return);
    QVERIFY(linesOf(m_form->DisplayMemo).isEmpty());
    m_form->HostEdit->setText("changed elsewhere");
    QCOMPARE(Form3->Label8->text(), QString("127.0.0.1"));
}

// The tray icon stands in for the hidden window: a single click does nothing, a double click and
// the menu's first entry bring the window back, the menu's last one shows the credits. A tray that
// goes away gives the window back.
void tst_TForm1::trayHidesAndRestores()
{
    bool trayUp = true;
    TCaptionTray::setAvailabilityHook([&trayUp] { return trayUp; });
    QSystemTrayIcon *tray = m_form->oxForm1->trayIcon();
    click(m_form->stry);
    QVERIFY(!m_form->isVisible());
    QVERIFY(m_form->oxForm1->TrayEnabled());
    QVERIFY(tray->isVisible());
    emit tray->activated(QSystemTrayIcon::Context);
    QTRY_VERIFY(m_form->tryM->isVisible());
    m_form->tryM->actions().first()->trigger();
    m_form->tryM->hide();
    QVERIFY(m_form->isVisible());
    QVERIFY(!tray->isVisible());

    click(m_form->stry);
    emit tray->activated(QSystemTrayIcon::Trigger);
    QVERIFY(!m_form->isVisible());
    emit tray->activated(QSystemTrayIcon::DoubleClick);
    QVERIFY(m_form->isVisible());
    QVERIFY(!m_form->oxForm1->TrayEnabled());

    Form4 = new TForm4(m_form.get());
    m_form->tryM->actions().last()->trigger();
    QVERIFY(Form4->isVisible());

    click(m_form->stry);
    QVERIFY(!m_form->isVisible());
    trayUp = false;
    QTRY_VERIFY(m_form->isVisible());
    QVERIFY(!m_form->oxForm1->TrayEnabled());
}

// Hidden with no tray to bring it back, the window and its unsaved machines would be lost.
void tst_TForm1::withoutATrayTheWindowIsMinimised()
{
    TCaptionTray::setAvailabilityHook([] { return false; });
    click(m_form->stry);
    QTRY_VERIFY(m_form->isMinimized());
    QVERIFY(m_form->isVisible());
    QVERIFY(!m_form->oxForm1->TrayEnabled());
    QCOMPARE(m_form->statusPanel(0), QString("Sin System Tray: minimizada"));
}

// 200, 70, 70, 70 and 70 pixels side by side, each wholly seen but the last, which the window's
// edge cuts.
void tst_TForm1::statusPanelsStandSideBySide()
{
    const int widths[TForm1::StatusPanels] = {200, 70, 70, 70, 70};
    QList<QLabel *> panels;
    for (int i = 0; i < TForm1::StatusPanels; ++i)
        panels << m_form->fstate->findChild<QLabel *>(QString("fstatePanel%1").arg(i));
    QWidget *strip = panels[0]->parentWidget();
    QVERIFY(strip->width() < 480);
    int left = 0;
    for (int i = 0; i < TForm1::StatusPanels; ++i) {
        QCOMPARE(panels[i]->geometry(), QRect(left, 0, widths[i], strip->height()));
        left += widths[i];
        const QRect seen = panels[i]->visibleRegion().boundingRect();
        QCOMPARE(seen, i < 4 ? panels[i]->rect() : QRect(0, 0, strip->width() - panels[i]->x(), strip->height()));
    }
    QVERIFY(panels[0]->mapTo(m_form.get(), QPoint()).y() > m_form->centralWidget()->geometry().bottom());
}

// The window draws its own frame: the caption above the menu bar, and the extra buttons, of which
// "C" shows the credits and the flag does nothing here. The title itself is tst_ToxForm's.
void tst_TForm1::captionBarDrawsTheFrame()
{
    TForm1 &form = *m_form;
    ToxForm *caption = form.oxForm1;
    QVERIFY(form.windowFlags().testFlag(Qt::FramelessWindowHint));
    const int frame = caption->frameWidth();
    QCOMPARE(form.menuBar()->pos(), QPoint(frame, frame + caption->captionHeight()));
    QCOMPARE(form.centralWidget()->width(), 486 - 2 * frame);

    QVERIFY(caption->onTopButton()->Shown());
    QVERIFY(caption->rollUpButton()->Shown());
    QVERIFY(caption->startButton()->Shown());
    QVERIFY(!caption->helpButton()->Shown());
    QCOMPARE(int(caption->customButtons().size()), 1);
    const TNCButton *credits = caption->customButtons().front();
    QCOMPARE(credits->Caption(), QString("C"));
    QVERIFY(credits->Bounds().right() < caption->startButton()->Bounds().left());

    Form4 = new TForm4(&form);
    QTest::mouseClick(caption, Qt::LeftButton, {}, caption->startButton()->Bounds().center());
    QVERIFY(!Form4->isVisible());
    QVERIFY(form.isVisible());
    QTest::mouseClick(caption, Qt::LeftButton, {}, credits->Bounds().center());
    QVERIFY(Form4->isVisible());
}

// 35 pixels under the pages; "Propiedades" at the left edge, the file and tray buttons at the right
// edge, the other commands in their order between, each centred in the 27-pixel row.
void tst_TForm1::dockBarLinesUpTheCommands()
{
    TForm1 &form = *m_form;
    ToxDockBar *bar = form.oxDockBar2;
    QTRY_COMPARE(bar->geometry(), QRect(0, form.tipo->geometry().bottom() + 1, 478, 35));

    QList<TTransparentButton *> buttons = bar->findChildren<TTransparentButton *>();
    std::sort(buttons.begin(), buttons.end(), [](QWidget *a, QWidget *b) { return a->x() < b->x(); });
    QStringList order;
    for (TTransparentButton *button : buttons)
        order << button->objectName() + "=" + button->toolTip();
    QCOMPARE(order, QStringList({"Tranton1=Propiedades de PinG", "tbuton=Fast Timer", "del=Clear..", "icoGande=iconos",
                                 "icolist=Listado", "icopeq=iconos pequeños", "rping=Retry Multi - Ping",
                                 "rsping=Retry Single - PinG", "barrido=Barrido rápido", "monitorButton=Monitor",
                                 "openIp=Leer Ip`s", "salvarIP=Salvar IPs", "stry=System Tray"}));
    QCOMPARE(form.Tranton1->Caption(), QString("Propiedades"));
    QCOMPARE(form.Tranton1->accessibleName(), QString("Propiedades"));
    QCOMPARE(form.Tranton1->geometry(), QRect(4, 4, 89, 27));
    QCOMPARE(form.stry->geometry().right(), 478 - 4 - 1);
    QCOMPARE(form.salvarIP->geometry().right() + 1, form.stry->x());
    QCOMPARE(form.openIp->geometry().right() + 1, form.salvarIP->x());
    for (TTransparentButton *button : buttons.mid(1, 8)) {
        QCOMPARE(button->y(), 5);
        QVERIFY(button->x() > form.Tranton1->geometry().right());
        QVERIFY(button->geometry().right() < form.openIp->x());
    }
    QCOMPARE(form.stry->image().pixel(1, 1), qRgb(128, 0, 0));

    // Locked: a double click leaves it docked.
    QTest::mouseDClick(bar, Qt::LeftButton, {}, QPoint(300, 2));
    QCOMPARE(bar->Dock(), dkTop);
    QCOMPARE(bar->parentWidget(), form.centralWidget());
}

// "Clear.." opens its menu under itself on a press; the menu's entries still clear.
void tst_TForm1::delDropsDownTheClearMenu()
{
    TForm1 &form = *m_form;
    QCOMPARE(form.del->DropDownMenu(), form.clearM);
    recordMachines({"10.0.0.1", "10.0.0.2"});
    QTest::mousePress(form.del, Qt::LeftButton);
    QTRY_VERIFY(form.clearM->isVisible());
    QCOMPARE(form.clearM->pos(), form.del->mapToGlobal(QPoint(0, form.del->height())));
    QAction *icons = form.clearM->actions()[2];
    QCOMPARE(icons, form.Iconos1);
    QTest::mouseClick(form.clearM, Qt::LeftButton, {}, form.clearM->actionGeometry(icons).center());
    QTRY_VERIFY(!form.clearM->isVisible());
    QCOMPARE(form.ListView1->count(), 0);
    QCOMPARE(form.ips->list().lines().size(), 2);
    QVERIFY(!form.del->Pressed());

    // Closed by a click elsewhere, the button is drawn released and flat again, the mouse gone.
    QTest::mouseMove(form.del);
    QTest::mousePress(form.del, Qt::LeftButton);
    QTRY_VERIFY(form.clearM->isVisible());
    const QPoint elsewhere = form.clearM->mapFromGlobal(form.ListView1->mapToGlobal(QPoint(200, 100)));
    QCursor::setPos(form.clearM->mapToGlobal(elsewhere));
    QTest::mouseClick(form.clearM, Qt::LeftButton, {}, elsewhere);
    QTRY_VERIFY(!form.clearM->isVisible());
    QVERIFY(!form.del->Pressed());
    QVERIFY(!form.del->Hot());
    QCOMPARE(qAlpha(form.del->image().pixel(0, 10)), 0);

    // From the keyboard: Space opens it on its first entry, Escape closes it.
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.tbuton->setFocus();
    QTest::keyClick(form.tbuton, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), form.del);
    QTest::keyClick(form.del, Qt::Key_Space);
    QTRY_VERIFY(form.clearM->isVisible());
    QCOMPARE(form.clearM->activeAction(), form.All1);
    QVERIFY(form.del->Pressed());
    QTest::keyClick(form.clearM, Qt::Key_Escape);
    QTRY_VERIFY(!form.clearM->isVisible());
    QVERIFY(!form.del->Pressed());
}

// The bar at 76 % of the room it travels in, kept as a percentage when the window widens.
void tst_TForm1::splitKeepsTheLeftPaneAt76Percent()
{
    TForm1 &form = *m_form;
    ToxSplit *split = form.oxSplit1;
    QCOMPARE(split->width(), 478);
    QCOMPARE(split->Panes(), (std::vector<ToxScrollPane *>{form.oxPane1, form.oxPane2}));
    const int height = split->height();
    QCOMPARE(form.oxPane1->geometry(), QRect(2, 2, 353, height - 4));
    QCOMPARE(form.oxPane2->geometry(), QRect(361, 2, 476 - 361, height - 4));
    QCOMPARE(form.oxPane1->widget(), form.ListView1);
    QVERIFY(form.oxPane2->isAncestorOf(form.Panel1));
    QVERIFY(form.Panel1->mapTo(form.oxPane2, QPoint()).y() < form.ips->mapTo(form.oxPane2, QPoint()).y());

    form.resize(form.width() + 400, form.height());
    QTRY_COMPARE(split->width(), 878);
    QCOMPARE(form.oxPane1->geometry().right() + 1, 659);
    QCOMPARE(split->PercentX(), 76);
}

// Blue at the left edge of every page, in bands of one pixel on the single ping page and of five
// on the others; the page buttons leave the gradient showing.
void tst_TForm1::pagesArePaintedByTheirBackgrounds()
{
    TForm1 &form = *m_form;
    action("Sible1")->trigger();
    QTRY_VERIFY(form.TabSheet1->isVisible());
    QCOMPARE(form.Background1->geometry(), form.TabSheet1->rect());
    const QImage single = form.TabSheet1->grab().toImage();
    int row = single.height() - 1;
    QCOMPARE(single.pixel(0, row), qRgb(0, 0, 255));
    QVERIFY(single.pixel(1, row) != single.pixel(0, row));
    QCOMPARE(single.pixel(6, row), form.Background1->image().pixel(6, row));
    const QPoint besidePicture = form.PingButton->geometry().topLeft() + QPoint(1, 1);
    QCOMPARE(single.pixel(besidePicture), form.Background1->image().pixel(besidePicture));

    const FastSweepPage &fast = form.fastSweep();
    const struct {
        QAction *page;
        QWidget *sheet;
        TBackground *background;
        QWidget *button;
    } banded[] = {{action("N3"), form.TabSheet2, form.Background2, form.MipPinG},
                  {action("BarridoRapido1"), form.TabSheet3, fast.Background3, fast.start}};
    for (const auto &[page, sheet, background, button] : banded) {
        page->trigger();
        QTRY_COMPARE(background->geometry(), sheet->rect());
        const QImage painted = sheet->grab().toImage();
        row = painted.height() - 1;
        for (int x = 0; x < 5; ++x)
            QCOMPARE(painted.pixel(x, row), qRgb(0, 0, 255));
        QVERIFY(painted.pixel(5, row) != qRgb(0, 0, 255));
        const QPoint onButton = button->geometry().topLeft() + QPoint(1, 1);
        QCOMPARE(painted.pixel(onButton), background->image().pixel(onButton));
    }
}

// Closing, "Exit", "Load Ip`s", "All" and "Ip Resumen" give up the found machines: each asks first
// when some were never saved, and goes on only as the answer allows.
void tst_TForm1::unsavedMachinesGoOnlyWhenTheUserSays_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("unsaved");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("save"); // the save dialog's answer: a file name, "" for Cancel
    QTest::addColumn<bool>("goesOn");
    const QString unwritable = m_folder.filePath("no-such-folder/ip`s.dat");
    for (const QString command : {"close", "exit", "load", "all", "summary"}) {
        const auto row = [&](const char *name) -> QTestData & {
            return QTest::newRow(qPrintable(command + ", " + name)) << command;
        };
        row("all saved") << false << int(QMessageBox::Cancel) << QString() << true;
        row("Cancel") << true << int(QMessageBox::Cancel) << QString() << false;
        row("Escape") << true << Escape << QString() << false;
        row("No") << true << int(QMessageBox::No) << QString() << true;
        row("Yes") << true << int(QMessageBox::Yes) << m_folder.filePath(command + "-yes.dat") << true;
        row("Yes, save cancelled") << true << int(QMessageBox::Yes) << QString() << false;
        row("Yes, save failed") << true << int(QMessageBox::Yes) << unwritable << false;
    }
}

void tst_TForm1::unsavedMachinesGoOnlyWhenTheUserSays()
{
    QFETCH(QString, command);
    QFETCH(bool, unsaved);
    QFETCH(int, answer);
    QFETCH(QString, save);
    QFETCH(bool, goesOn);
    TForm1 &form = *m_form;
    form.addico("10.0.0.7", 12);
    form.HostEdit->setText("10.0.0.7");
    if (!unsaved) {
        m_dialogAnswers << m_folder.filePath("saved.dat");
        click(form.salvarIP);
        m_dialogsSeen.clear();
    }
    const QString loaded = m_folder.filePath("loaded.dat");
    writeFile(loaded, "10.0.0.8\r\n");
    m_boxAnswers << answer << QMessageBox::Ok;
    if (unsaved && answer == QMessageBox::Yes)
        m_dialogAnswers << save;
    if (command == "load")
        m_dialogAnswers << loaded;

    if (command == "close")
        form.close();
    else if (command == "exit")
        action("Exit1")->trigger();
    else if (command == "load")
        click(form.openIp);
    else if (command == "all")
        form.clearM->actions().first()->trigger();
    else
        form.IpResumen1->trigger();

    QCOMPARE(m_boxes.isEmpty(), !unsaved);
    if (unsaved) {
        QCOMPARE(m_boxes[0].icon, QMessageBox::Question);
        QCOMPARE(m_boxes[0].text, QString("desea guardar los IP encontrados en ip`s.dat?"));
    }
    if (answer == QMessageBox::Yes && unsaved) {
        QVERIFY(m_dialogsSeen.value(0).startsWith("GuardarD ") && m_dialogsSeen.value(0).endsWith("/ip`s.dat"));
        if (!save.isEmpty())
            QCOMPARE(contentsOf(save), goesOn ? QByteArray("10.0.0.7\r\n") : QByteArray("<missing>"));
    } else {
        QVERIFY(!m_dialogsSeen.join(' ').contains("GuardarD"));
    }
    // A failed save is reported after the question, and names no file the list's.
    const bool failedSave = save.contains("no-such-folder");
    QCOMPARE(m_boxes.size(), int(unsaved) + int(failedSave));
    if (failedSave) {
        QCOMPARE(m_boxes.last().icon, QMessageBox::Critical);
        QCOMPARE(m_boxes.last().text, "Cannot create file " + save + NoSuchFile);
        QCOMPARE(form.listFileName, QString("ip`s.dat"));
    }
    const QStringList kept = {"10.0.0.7"};
    if (!goesOn) {
        QVERIFY(form.isVisible());
        QVERIFY(form.ips->isModified());
        QCOMPARE(form.ips->list().lines(), kept);
        QCOMPARE(form.ListView1->count(), 1);
        QCOMPARE(form.HostEdit->text(), QString("10.0.0.7"));
        QVERIFY(!m_dialogsSeen.join(' ').contains("OpenD"));
    } else if (command == "load") {
        QVERIFY(m_dialogsSeen.last().startsWith("OpenD "));
        QCOMPARE(form.ips->list().lines(), QStringList{"10.0.0.8"});
        QCOMPARE(form.listFileName, loaded);
    } else if (command == "all") {
        QVERIFY(form.ips->list().isEmpty());
        QCOMPARE(form.ListView1->count(), 0);
        QVERIFY(form.HostEdit->text().isEmpty());
    } else if (command == "summary") {
        QVERIFY(form.ips->list().isEmpty());
        QCOMPARE(form.ListView1->count(), 1);
    } else {
        QVERIFY(!form.isVisible());
    }
}

void tst_TForm1::singlePingOfLoopback()
{
    TForm1 &form = *m_form;
    action("Sible1")->trigger();
    form.DisplayMemo->setPlainText("an earlier ping");
    // Blanks typed around the host are no part of it.
    form.HostEdit->setText("  127.0.0.1 ");
    QTest::mouseClick(form.PingButton, Qt::LeftButton);

    const QStringList log = linesOf(form.DisplayMemo);
    QCOMPARE(log.size(), 4);
    QCOMPARE(log[0], QString("Resolving host '127.0.0.1'"));
    QCOMPARE(log[1], QString("Host '127.0.0.1' is 127.0.0.1"));
    QCOMPARE(log[2], QString("Sending 56 bytes to 127.0.0.1 (127.0.0.1)"));
    QVERIFY2(QRegularExpression("^Received 56 bytes from 127\\.0\\.0\\.1 in \\d+ mSecs$").match(log[3]).hasMatch(),
             qPrintable(log[3]));
    QCOMPARE(form.statusPanel(0), QString("current IP: 127.0.0.1"));
    QVERIFY(form.PingButton->isEnabled());
    QVERIFY(!form.CancelButton->isEnabled());
    // Loopback answers within the millisecond, reported as 0: it is recorded all the same.
    QCOMPARE(captions().size(), 1);
    QVERIFY(QRegularExpression("^127\\.0\\.0\\.1 \\(\\d+mSeg\\)$").match(captions()[0]).hasMatch());
    QCOMPARE(form.ips->list().lines(), QStringList{"127.0.0.1"});
    QVERIFY(form.ips->isModified());
    QTRY_COMPARE(linesOf(form.ips), QStringList{"127.0.0.1"});
}

void tst_TForm1::rePingOfAListedMachine()
{
    TForm1 &form = *m_form;
    form.addico("127.0.0.1", 12);
    form.RePinG1->trigger();
    QCOMPARE(form.statusPanel(0), QString("SELECIONE UN PC !!"));
    QCOMPARE(form.tipo->currentWidget(), form.TabSheet1);
    QVERIFY(linesOf(form.DisplayMemo).isEmpty());

    action("N3")->trigger();
    form.ListView1->item(0)->setSelected(true);
    form.RePinG1->trigger();
    QCOMPARE(form.tipo->currentWidget(), form.TabSheet1);
    QCOMPARE(form.HostEdit->text(), QString("127.0.0.1 (12mSeg)"));
    const QStringList log = linesOf(form.DisplayMemo);
    QVERIFY(log.size() == 4);
    QCOMPARE(log[1], QString("Host '127.0.0.1 (12mSeg)' is 127.0.0.1"));
    QCOMPARE(form.ListView1->count(), 1);
    QVERIFY(captions()[0] != "127.0.0.1 (12mSeg)");
    QCOMPARE(form.statusPanel(0), QString("REPING a 127.0.0.1"));
    QCOMPARE(form.ips->list().lines(), QStringList{"127.0.0.1"});
}

void tst_TForm1::failedLookupStartIsReported()
{
    Sockets::Testing::faults().failAsyncStart = true;
    action("Sible1")->trigger();
    m_form->HostEdit->setText("nohost.invalid");
    QTest::mouseClick(m_form->PingButton, Qt::LeftButton);
    QCOMPARE(m_boxes.size(), 1);
    QCOMPARE(m_boxes[0].icon, QMessageBox::Critical);
    QCOMPARE(m_boxes[0].title, QString("Tozelo 1.1"));
    QVERIFY2(m_boxes[0].text.startsWith("nohost.invalid: can't start DNS lookup, error #"),
             qPrintable(m_boxes[0].text));
    QCOMPARE(linesOf(m_form->DisplayMemo), QStringList{"Resolving host 'nohost.invalid'"});
    QVERIFY(!m_form->PingButton->isEnabled());
    QVERIFY(m_form->CancelButton->isEnabled());
    QVERIFY(m_form->isVisible());
}

void tst_TForm1::addicoRecordsAnswersOnly()
{
    TForm1 &form = *m_form;
    form.addico("10.0.0.7", 0);
    form.addico("10.0.0.8", 0, false);
    form.addico("10.0.0.9", 1);
    QCOMPARE(captions(), QStringList({"10.0.0.7 (0mSeg)", "10.0.0.9 (1mSeg)"}));
    QCOMPARE(form.ips->list().lines(), QStringList({"10.0.0.7", "10.0.0.9"}));
    QVERIFY(form.ips->isModified());
    QCOMPARE(form.statusPanel(0), QString("Zarvo SoftWare"));

    form.addico("10.0.0.9", 25, false);
    QCOMPARE(captions(), QStringList({"10.0.0.7 (0mSeg)", "10.0.0.9 (0mSeg)"}));
    QCOMPARE(form.statusPanel(0), QString("REPING a 10.0.0.9"));
    form.addico("10.0.0.7", 30);
    QCOMPARE(captions(), QStringList({"10.0.0.7 (30mSeg)", "10.0.0.9 (0mSeg)"}));
    QCOMPARE(form.ips->list().lines(), QStringList({"10.0.0.7", "10.0.0.9"}));

    // Icons cleared, the summary kept: the machines come back as icons, not as second lines.
    form.Iconos1->trigger();
    form.addico("10.0.0.9", 4);
    form.addico("10.0.0.7", 5);
    QCOMPARE(captions(), QStringList({"10.0.0.9 (4mSeg)", "10.0.0.7 (5mSeg)"}));
    QCOMPARE(form.ips->list().lines(), QStringList({"10.0.0.7", "10.0.0.9"}));
    QTRY_COMPARE(linesOf(form.ips), QStringList({"10.0.0.7", "10.0.0.9"}));
}

void tst_TForm1::addicoMatchesWholeAddresses()
{
    TForm1 &form = *m_form;
    form.addico("10.0.0.12", 3);
    form.addico("10.0.0.1", 2);
    QCOMPARE(captions(), QStringList({"10.0.0.12 (3mSeg)", "10.0.0.1 (2mSeg)"}));
    form.addico("10.0.0.1", 9);
    QCOMPARE(captions(), QStringList({"10.0.0.12 (3mSeg)", "10.0.0.1 (9mSeg)"}));
    form.addico("10.0.0.12", 8);
    QCOMPARE(captions(), QStringList({"10.0.0.12 (8mSeg)", "10.0.0.1 (9mSeg)"}));
    form.addico("10.0.0.123", 0, false);
    form.addico("10.0.0", 0, false);
    QCOMPARE(form.ListView1->count(), 2);
    QCOMPARE(form.ips->list().lines(), QStringList({"10.0.0.12", "10.0.0.1"}));
    // One IPv6 machine, however its address is written, shown in the address's one form.
    form.addico("2001:0DB8:0:0:0:0:0:1", 4);
    form.addico("2001:db8::1", 5);
    form.addico("2001:db8::", 0, false);
    QCOMPARE(captions().mid(2), QStringList({"2001:db8::1 (5mSeg)"}));
    QCOMPARE(form.ips->list().lines().mid(2), QStringList({"2001:db8::1"}));
}

// The focus mark moves, the selection stays; the view follows the mark only until the user scrolls
// it or selects in it, so that a re-ping going round a long list leaves it to be read.
void tst_TForm1::addicoMovesFocusNotSelection()
{
    TForm1 &form = *m_form;
    MachineListView *list = form.ListView1;
    QStringList addresses;
    for (int i = 1; i <= 300; ++i)
        addresses << QString("10.0.%1.%2").arg(i / 250).arg(i % 250);
    recordMachines(addresses);
    QScrollBar *bar = list->horizontalScrollBar();
    form.Listao1->trigger();
    const auto inSight = [list](int row) {
        return list->viewport()->rect().intersects(list->visualItemRect(list->item(row)));
    };

    // Left alone, the view follows the mark to the end of the list and back.
    form.addico(addresses.last(), 7);
    QCOMPARE(list->currentItem(), list->item(299));
    QVERIFY(inSight(299));
    form.addico(addresses.first(), 7);
    QVERIFY(inSight(0));

    list->item(2)->setSelected(true);
    form.addico(addresses.last(), 8);
    QCOMPARE(list->currentItem(), list->item(299));
    QCOMPARE(list->selectedItems(), QList<QListWidgetItem *>{list->item(2)});
    QVERIFY(!inSight(299));
    QVERIFY(inSight(2));

    list->clearSelection();
    form.addico(addresses[150], 9);
    QVERIFY(inSight(150));
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() - 20, bar->height() / 2));
    const int scrolled = bar->value();
    QVERIFY(scrolled > 0);
    for (const QString &address : addresses)
        form.addico(address, 10);
    QCOMPARE(list->currentItem(), list->item(299));
    QCOMPARE(bar->value(), scrolled);
}

// The fast page's up-down controls and the black lists' scroll bars have their arrows drawn in the
// dialogs' colours, not white on white.
void tst_TForm1::arrowsShowOnTheBlackPages()
{
    TForm1 &form = *m_form;
    QStringList addresses;
    for (int i = 1; i <= 80; ++i)
        addresses << QString("10.0.0.%1").arg(i);
    recordMachines(addresses);
    for (int i = 0; i < 60; ++i)
        form.MDisplayMemo->appendPlainText("10.0.0.1");
    const FastSweepPage &fast = form.fastSweep();
    for (TUpDown *arrows : {fast.rateArrows, fast.timeoutArrows, fast.retriesArrows})
        QVERIFY2(arrowsPointOut(arrows->grab().toImage(), arrows->upButton()->height()),
                 qPrintable(arrows->objectName()));
    for (QAbstractScrollArea *list : QList<QAbstractScrollArea *>{form.ListView1, form.ips, form.MDisplayMemo}) {
        QScrollBar *bar = list->verticalScrollBar();
        QTRY_VERIFY2(bar->isVisible(), qPrintable(list->objectName()));
        QVERIFY2(arrowsPointOut(bar->grab().toImage(), bar->width()), qPrintable(list->objectName()));
    }
    form.Listao1->trigger();
    QScrollBar *across = form.ListView1->horizontalScrollBar();
    QTRY_VERIFY(across->isVisible());
    // Turned a quarter clockwise, the left arrow points up.
    QVERIFY(arrowsPointOut(across->grab().toImage().transformed(QTransform().rotate(90)), across->height()));
}

void tst_TForm1::machineCommandsOnSelection()
{
    TForm1 &form = *m_form;
    recordMachines({"10.0.0.1", "10.0.0.2"});
    form.BorrarIcono1->trigger();
    QCOMPARE(form.statusPanel(0), QString("SELECIONE UN PC para borrarlo .."));
    form.CopiarIP1->trigger();
    QCOMPARE(form.statusPanel(0), QString("SELECIONE UN PC !!"));
    QCOMPARE(form.ListView1->count(), 2);

    emit form.ListView1->customContextMenuRequested(QPoint(4, 4));
    QTRY_VERIFY(form.listIco->isVisible());
    form.listIco->hide();

    form.ListView1->item(1)->setSelected(true);
    form.CopiarIP1->trigger();
    QCOMPARE(form.HostEdit->text(), QString("10.0.0.2 (2mSeg)"));
    QCOMPARE(form.tipo->currentWidget(), form.TabSheet2);

    form.BorrarIcono1->trigger();
    QCOMPARE(captions(), QStringList{"10.0.0.1 (1mSeg)"});
    QCOMPARE(form.ips->list().lines(), QStringList({"10.0.0.1", "10.0.0.2"}));
    // Gone from the index too: its next answer gives it a new icon.
    form.addico("10.0.0.2", 6);
    QCOMPARE(captions(), QStringList({"10.0.0.1 (1mSeg)", "10.0.0.2 (6mSeg)"}));
    form.addico("10.0.0.2", 0, false);
    QCOMPARE(captions(), QStringList({"10.0.0.1 (1mSeg)", "10.0.0.2 (0mSeg)"}));
}

// A click chooses one machine; after its deletion nothing is chosen, so a second "Borrar PC" deletes
// nothing more.
void tst_TForm1::deletionLeavesNothingSelected()
{
    TForm1 &form = *m_form;
    recordMachines({"10.0.0.1", "10.0.0.2", "10.0.0.3"});
    const QRect first = form.ListView1->visualItemRect(form.ListView1->item(0));
    QTest::mouseClick(form.ListView1->viewport(), Qt::LeftButton, {}, first.center());
    QCOMPARE(form.ListView1->selectedMachine(), form.ListView1->item(0));
    for (int i = 0; i < 3; ++i)
        form.BorrarIcono1->trigger();
    QCOMPARE(captions(), QStringList({"10.0.0.2 (2mSeg)", "10.0.0.3 (3mSeg)"}));
    QVERIFY(form.ListView1->selectedItems().isEmpty());
    QCOMPARE(form.statusPanel(0), QString("SELECIONE UN PC para borrarlo .."));
}

void tst_TForm1::clearCommands()
{
    TForm1 &form = *m_form;
    auto fill = [&] {
        recordMachines({"10.0.0.1", "10.0.0.2"});
        form.HostEdit->setText("10.0.0.1");
        form.DisplayMemo->setPlainText("single");
        form.MDisplayMemo->setPlainText("multi");
    };
    fill();
    form.Iconos1->trigger();
    QCOMPARE(form.ListView1->count(), 0);
    QCOMPARE(form.ips->list().lines().size(), 2);
    QVERIFY(form.ips->isModified());

    form.pingr->trigger();
    QVERIFY(linesOf(form.DisplayMemo).isEmpty());
    QVERIFY(linesOf(form.MDisplayMemo).isEmpty());
    QCOMPARE(form.HostEdit->text(), QString("10.0.0.1"));

    form.IpPinG1->trigger();
    QVERIFY(form.HostEdit->text().isEmpty());

    recordMachines({"10.0.0.3"});
    m_boxAnswers << QMessageBox::No;
    form.IpResumen1->trigger();
    QVERIFY(form.ips->list().isEmpty());
    QVERIFY(!form.ips->isModified());
    QCOMPARE(form.ListView1->count(), 1);

    fill();
    m_boxAnswers << QMessageBox::No;
    form.clearM->actions().first()->trigger();
    QCOMPARE(form.ListView1->count(), 0);
    QVERIFY(form.HostEdit->text().isEmpty());
    QVERIFY(linesOf(form.DisplayMemo).isEmpty());
    QVERIFY(linesOf(form.MDisplayMemo).isEmpty());
    QVERIFY(form.ips->list().isEmpty());
    QTRY_VERIFY(linesOf(form.ips).isEmpty());
    // Emptied summaries were never saved, yet the close asks nothing: the questions were Ip Resumen's
    // and All's.
    QVERIFY(form.close());
    QCOMPARE(m_boxes.size(), 2);
}

void tst_TForm1::viewStyles()
{
    TForm1 &form = *m_form;
    MachineListView *list = form.ListView1;
    recordMachines({"10.0.0.1", "10.0.0.2"});
    QCOMPARE(list->viewStyle(), MachineListView::ViewStyle::LargeIcons);
    QCOMPARE(list->iconSize(), QSize(48, 48));
    // At the window's own size, icons stand side by side, small icons too; the list runs down.
    const auto first = [list] { return list->visualItemRect(list->item(0)); };
    const auto second = [list] { return list->visualItemRect(list->item(1)); };
    QTRY_COMPARE(second().top(), first().top());
    QVERIFY(first().height() >= 48 + list->fontMetrics().height());

    click(form.icopeq);
    QCOMPARE(list->viewStyle(), MachineListView::ViewStyle::SmallIcons);
    QCOMPARE(list->iconSize(), QSize(16, 16));
    QTRY_VERIFY(first().height() < 48);
    QCOMPARE(second().top(), first().top());
    QVERIFY(second().left() > first().right());

    form.Listao1->trigger();
    QCOMPARE(list->viewStyle(), MachineListView::ViewStyle::List);
    QCOMPARE(list->iconSize(), QSize(16, 16));
    QTRY_VERIFY(second().top() > first().top());
    QCOMPARE(second().left(), first().left());

    // A wider caption widens every cell.
    const int narrow = first().width();
    m_form->addico("10.0.0.1", 12345);
    QTRY_VERIFY(first().width() > narrow);
    QCOMPARE(second().width(), first().width());

    form.MenuItem2->trigger();
    QCOMPARE(list->viewStyle(), MachineListView::ViewStyle::SmallIcons);
    click(form.icolist);
    QCOMPARE(list->viewStyle(), MachineListView::ViewStyle::List);
    form.IconosGrandes1->trigger();
    QCOMPARE(list->viewStyle(), MachineListView::ViewStyle::LargeIcons);
    click(form.icolist);
    click(form.icoGande);
    QCOMPARE(list->viewStyle(), MachineListView::ViewStyle::LargeIcons);

    // Two computers and their cable, in both sizes; every item shows the same picture.
    const QColor screen(0x00, 0x00, 0x80);
    for (int size : {48, 16}) {
        const QImage picture = Artwork::computers(size);
        QCOMPARE(picture.size(), QSize(size, size));
        QCOMPARE(picture.pixelColor(0, size - 1).alpha(), 0);
        QCOMPARE(picture.pixelColor(11 * size / 48, 7 * size / 48), screen);
        QCOMPARE(picture.pixelColor(36 * size / 48, 28 * size / 48), screen);
    }
    QCOMPARE(Artwork::computers(48).pixelColor(24, 45), QColor(0xff, 0xd0, 0x00));
    QVERIFY(list->item(0)->icon().availableSizes().contains(QSize(48, 48)));
    QVERIFY(list->item(1)->icon().availableSizes().contains(QSize(16, 16)));
}

void tst_TForm1::saveWritesTheExactBytes()
{
    TForm1 &form = *m_form;
    QCOMPARE(form.GuardarD->nameFilters(), QStringList({"Zarvo Dat (*.dat)", "text (*.txt)"}));
    QVERIFY(form.GuardarD->defaultSuffix().isEmpty());
    QCOMPARE(form.OpenD->nameFilters(), QStringList({"zarvo dat (*.dat)", "text (*txt)"}));
    QCOMPARE(form.OpenD->defaultSuffix(), QString("dat"));
    QCOMPARE(form.OpenD->fileMode(), QFileDialog::AnyFile);

    recordMachines({"10.0.0.7", "10.0.0.9"});
    click(form.salvarIP);
    QVERIFY(m_dialogsSeen.value(0).endsWith("/ip`s.dat"));
    QVERIFY(form.ips->isModified());

    const QString fileName = m_folder.filePath("twenty");
    m_dialogAnswers << fileName;
    action("saveListItem")->trigger();
    QCOMPARE(contentsOf(fileName), QByteArray("10.0.0.7\r\n10.0.0.9\r\n"));
    QCOMPARE(form.listFileName, fileName);
    QVERIFY(!form.ips->isModified());
    click(form.salvarIP);
    QCOMPARE(m_dialogsSeen.last(), "GuardarD " + fileName);
    QVERIFY(form.close());
    QVERIFY(m_boxes.isEmpty());
}

void tst_TForm1::loadNormalisesAndKeepsTheText()
{
    TForm1 &form = *m_form;
    const QString lfOnly = m_folder.filePath("lf-only.txt");
    writeFile(lfOnly, "10.0.0.7\n\n10.0.0.9");
    recordMachines({"10.0.0.1"});
    m_boxAnswers << QMessageBox::No;
    m_dialogAnswers << lfOnly;
    click(form.openIp);
    QCOMPARE(m_dialogsSeen.size(), 1);
    QVERIFY(m_dialogsSeen[0].startsWith("OpenD "));
    QCOMPARE(form.listFileName, lfOnly);
    QCOMPARE(linesOf(form.ips), QStringList({"10.0.0.7", "", "10.0.0.9"}));
    QCOMPARE(form.ips->textCursor().position(), 0);
    QVERIFY(!form.ips->isModified());
    QCOMPARE(captions(), QStringList{"10.0.0.1 (1mSeg)"});
    m_boxes.clear();
    QVERIFY(form.close());
    QVERIFY(m_boxes.isEmpty());
    form.show();

    // A machine found after loading goes after the last line, which keeps having no line end.
    form.addico("10.0.0.10", 3);
    QVERIFY(form.ips->isModified());
    QTRY_COMPARE(linesOf(form.ips), QStringList({"10.0.0.7", "", "10.0.0.9", "10.0.0.10"}));
    m_dialogAnswers << lfOnly;
    click(form.salvarIP);
    QCOMPARE(m_dialogsSeen.last(), "GuardarD " + lfOnly);
    QCOMPARE(contentsOf(lfOnly), QByteArray("10.0.0.7\r\n\r\n10.0.0.9\r\n10.0.0.10"));
    QVERIFY(!form.ips->isModified());
}

// Why a load fails, for each way: tst_MachineListFile.
void tst_TForm1::failedLoadChangesNothing()
{
    TForm1 &form = *m_form;
    recordMachines({"10.0.0.1", "10.0.0.2"});
    const QString missing = m_folder.filePath("missing.dat");
    // The machines may go unsaved, and the load fails.
    m_boxAnswers << QMessageBox::No << QMessageBox::Ok;
    m_dialogAnswers << missing;
    action("loadListItem")->trigger();
    QCOMPARE(m_boxes.size(), 2);
    QCOMPARE(m_boxes[1].text, "Cannot open file " + missing + NoSuchFile);
    QCOMPARE(m_boxes[1].icon, QMessageBox::Critical);
    QCOMPARE(m_boxes[1].title, QString("Tozelo 1.1"));
    QCOMPARE(form.ips->list().lines(), QStringList({"10.0.0.1", "10.0.0.2"}));
    QTRY_COMPARE(linesOf(form.ips), QStringList({"10.0.0.1", "10.0.0.2"}));
    QVERIFY(form.ips->isModified());
    QCOMPARE(form.listFileName, QString("ip`s.dat"));

    m_boxAnswers << QMessageBox::No;
    click(form.openIp);
    QCOMPARE(form.ips->list().lines().size(), 2);
}

// A name typed into the real dialog and Enter: the name's completion list closes with the dialog
// and takes no click meant for the main window.
void tst_TForm1::noPopupOutlivesTheFileDialog()
{
    TForm1 &form = *m_form;
    QVERIFY(QTest::qWaitForWindowActive(&form));
    writeFile(m_folder.filePath("ips-casa.dat"), "10.0.0.7\r\n");
    writeFile(m_folder.filePath("ips-oficina.dat"), "10.0.0.8\r\n");
    form.OpenD->setDirectory(m_folder.path());
    TestSeams::instance().fileDialog = nullptr;
    bool typed = false;
    QTimer::singleShot(0, &form, [&] {
        auto *name = form.OpenD->findChild<QLineEdit *>("fileNameEdit");
        QTRY_VERIFY(form.OpenD->isVisible() && name->hasFocus());
        QTest::keyClicks(name, "ips-casa");
        QTest::keyClick(name, Qt::Key_Return);
        typed = true;
    });
    click(form.openIp);
    QVERIFY(typed);
    QCOMPARE(form.ips->list().lines(), QStringList{"10.0.0.7"});
    QTRY_VERIFY(!QApplication::activePopupWidget());
    for (QWidget *window : QApplication::topLevelWidgets())
        QVERIFY2(!(window->isVisible() && window->windowType() == Qt::Popup), qPrintable(window->objectName()));
    QTest::mouseClick(form.icolist, Qt::LeftButton);
    QCOMPARE(form.ListView1->viewStyle(), MachineListView::ViewStyle::List);
}

TOZELO_TEST_MAIN(tst_TForm1)
#include "tst_TForm1.moc"
