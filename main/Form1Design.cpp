#include "Form1Design.h"

#include "Artwork.h"
#include "ExceptionReport.h"
#include "MachineListView.h"
#include "MachineMemo.h"
#include "Unit1.h"
#include "ping/RePingWalk.h"
#include "widgets/AHMTMessages.h"

#include <QAction>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {
// Text and background of a control that shows text on a plain colour.
QPalette textOn(const QColor &text, const QColor &background)
{
    QPalette palette;
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Base, background);
    return palette;
}
} // namespace

Form1Design::Form1Design(TForm1 &form) : m_form(form) {}

void Form1Design::build(TForm1 &form)
{
    Form1Design design(form);
    design.createPages();
    design.createDockBar();
    design.createFoundMachines();
    design.createStatusBar();
    design.createMenus();
    design.createFileDialogs();
    design.createTray();
    design.createMessages();
    design.createCentral();
}

void Form1Design::createCentral()
{
    auto *central = new QWidget(&m_form);
    central->setAutoFillBackground(true);
    central->setPalette(QPalette(Qt::white, Qt::black));
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_form.tipo);
    column->addWidget(m_form.oxDockBar2);
    column->addWidget(m_form.oxSplit1, 1);
    m_form.setCentralWidget(central);
}

void Form1Design::createPages()
{
    m_form.tipo = new QTabWidget(&m_form);
    m_form.tipo->setObjectName("tipo");
    m_form.tipo->setFixedHeight(157);
    m_form.tipo->tabBar()->hide();
    m_form.tipo->setDocumentMode(true);
    createSinglePingPage();

    m_form.TabSheet2 = new QWidget;
    m_form.TabSheet2->setObjectName("TabSheet2");
    m_form.TabSheet2->setAutoFillBackground(true);
    m_form.TabSheet2->setPalette(QPalette(Qt::white, Qt::black));

    m_form.tipo->addTab(m_form.TabSheet1, "Single PinG");
    m_form.tipo->addTab(m_form.TabSheet2, "Multi PinG");
    m_form.tipo->setCurrentWidget(m_form.TabSheet2);
}

void Form1Design::createSinglePingPage()
{
    m_form.TabSheet1 = new QWidget;
    m_form.TabSheet1->setObjectName("TabSheet1");
    m_form.Background1 = new QWidget(m_form.TabSheet1);
    m_form.Background1->setObjectName("Background1");
    m_form.Background1->setAttribute(Qt::WA_StyledBackground);
    m_form.Background1->setStyleSheet("#Background1 { background: qlineargradient(x1: 0, y1: 0, x2: 1, y2: 0,"
                                      " stop: 0 blue, stop: 0.5 navy, stop: 1 black); }");
    auto *page = new QHBoxLayout(m_form.TabSheet1);
    page->setContentsMargins(0, 0, 0, 0);
    page->addWidget(m_form.Background1);

    m_form.Label1 = new QLabel("Direccion IP o dominio", m_form.Background1);
    m_form.Label1->setObjectName("Label1");
    m_form.Label1->setPalette(QPalette(Qt::white, Qt::black));

    QFont bookman("Bookman Old Style");
    bookman.setPixelSize(13);
    m_form.HostEdit = new QLineEdit(m_form.Background1);
    m_form.HostEdit->setObjectName("HostEdit");
    m_form.HostEdit->setAccessibleName(m_form.Label1->text());
    m_form.HostEdit->setFixedSize(193, 26);
    m_form.HostEdit->setFont(bookman);
    QPalette red = m_form.HostEdit->palette();
    red.setColor(QPalette::Text, Qt::red);
    m_form.HostEdit->setPalette(red);
    m_form.HostEdit->installEventFilter(&m_form);

    bookman.setPixelSize(16);
    QPalette white;
    white.setColor(QPalette::ButtonText, Qt::white);
    auto button = [&](const char *name, const QString &text) {
        auto *b = new QPushButton(text, m_form.Background1);
        b->setObjectName(name);
        b->setAccessibleName(text);
        b->setFixedSize(113, 37);
        b->setFlat(true);
        b->setFont(bookman);
        b->setPalette(white);
        return b;
    };
    m_form.PingButton = button("PingButton", "PinG");
    m_form.CancelButton = button("CancelButton", "Stop");
    m_form.bind(m_form.PingButton, &QPushButton::clicked, &TForm1::PingButtonClick);
    m_form.bind(m_form.CancelButton, &QPushButton::clicked, &TForm1::CancelButtonClick);

    m_form.DisplayMemo = new QPlainTextEdit(m_form.Background1);
    m_form.DisplayMemo->setObjectName("DisplayMemo");
    m_form.DisplayMemo->setFixedWidth(229);
    m_form.DisplayMemo->setFrameShape(QFrame::NoFrame);
    m_form.DisplayMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_form.DisplayMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_form.DisplayMemo->setPalette(textOn(Qt::white, Qt::black));
    QFont times("Times New Roman");
    times.setPixelSize(12);
    m_form.DisplayMemo->setFont(times);

    auto *controls = new QVBoxLayout;
    controls->addWidget(m_form.Label1);
    controls->addWidget(m_form.HostEdit);
    controls->addWidget(m_form.PingButton);
    controls->addWidget(m_form.CancelButton);
    controls->addStretch(1);
    auto *row = new QHBoxLayout(m_form.Background1);
    row->setContentsMargins(8, 4, 0, 0);
    row->addLayout(controls);
    row->addStretch(1);
    row->addWidget(m_form.DisplayMemo);
}

void Form1Design::createDockBar()
{
    m_form.oxDockBar2 = new QToolBar(&m_form);
    m_form.oxDockBar2->setObjectName("oxDockBar2");
    m_form.oxDockBar2->setFixedHeight(35);
    m_form.oxDockBar2->setMovable(false);
    m_form.oxDockBar2->setStyleSheet("#oxDockBar2 { background: qlineargradient(x1: 0, y1: 0, x2: 1, y2: 0,"
                                     " stop: 0 #000080, stop: 1 #1084d0); }");
    QPalette captions = m_form.oxDockBar2->palette();
    captions.setColor(QPalette::ButtonText, Qt::white);
    m_form.oxDockBar2->setPalette(captions);
    auto button = [this](const char *name, const QString &hint, QStyle::StandardPixmap glyph) {
        auto *b = new QToolButton(m_form.oxDockBar2);
        b->setObjectName(name);
        b->setToolTip(hint);
        b->setAccessibleName(hint);
        b->setIcon(m_form.style()->standardIcon(glyph));
        return b;
    };
    m_form.Tranton1 = button("Tranton1", "Propiedades de PinG", QStyle::SP_FileDialogInfoView);
    m_form.Tranton1->setText("Propiedades");
    m_form.Tranton1->setAccessibleName("Propiedades");
    m_form.Tranton1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_form.Tranton1->setFixedWidth(89);
    m_form.tbuton = button("tbuton", "Fast Timer", QStyle::SP_MediaSeekForward);
    m_form.del = button("del", "Clear..", QStyle::SP_TrashIcon);
    m_form.del->setPopupMode(QToolButton::InstantPopup);
    m_form.icoGande = button("icoGande", "iconos", QStyle::SP_FileDialogContentsView);
    m_form.icolist = button("icolist", "Listado", QStyle::SP_FileDialogListView);
    m_form.icopeq = button("icopeq", "iconos pequeños", QStyle::SP_FileDialogDetailedView);
    m_form.rping = button("rping", "Retry Multi - Ping", QStyle::SP_BrowserReload);
    m_form.rsping = button("rsping", "Retry Single - PinG", QStyle::SP_MediaPlay);
    m_form.rsping->setEnabled(false);
    m_form.openIp = button("openIp", "Leer Ip`s", QStyle::SP_DialogOpenButton);
    m_form.salvarIP = button("salvarIP", "Salvar IPs", QStyle::SP_DialogSaveButton);
    m_form.stry = button("stry", "System Tray", QStyle::SP_TitleBarMinButton);
    QPalette maroon = m_form.stry->palette();
    maroon.setColor(QPalette::Button, QColor(0x80, 0x00, 0x00));
    m_form.stry->setPalette(maroon);
    m_form.stry->setAutoFillBackground(true);

    m_form.oxDockBar2->addWidget(m_form.Tranton1);
    m_form.oxDockBar2->addWidget(m_form.tbuton);
    m_form.oxDockBar2->addSeparator();
    m_form.oxDockBar2->addWidget(m_form.del);
    m_form.oxDockBar2->addSeparator();
    for (QToolButton *b : {m_form.icoGande, m_form.icolist, m_form.icopeq})
        m_form.oxDockBar2->addWidget(b);
    m_form.oxDockBar2->addSeparator();
    m_form.oxDockBar2->addWidget(m_form.rping);
    m_form.oxDockBar2->addWidget(m_form.rsping);
    auto *spacer = new QWidget(m_form.oxDockBar2);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_form.oxDockBar2->addWidget(spacer);
    for (QToolButton *b : {m_form.openIp, m_form.salvarIP, m_form.stry})
        m_form.oxDockBar2->addWidget(b);

    m_form.bind(m_form.Tranton1, &QToolButton::clicked, &TForm1::Tranton1Click);
    m_form.bind(m_form.tbuton, &QToolButton::clicked, &TForm1::tbutonClick);
    m_form.bind(m_form.rping, &QToolButton::clicked, &TForm1::rpingClick);
    m_form.bind(m_form.rsping, &QToolButton::clicked, &TForm1::rspingClick);
    m_form.bind(m_form.icoGande, &QToolButton::clicked, &TForm1::icoGandeClick);
    m_form.bind(m_form.icolist, &QToolButton::clicked, &TForm1::icolistClick);
    m_form.bind(m_form.icopeq, &QToolButton::clicked, &TForm1::gClick);
    m_form.bind(m_form.openIp, &QToolButton::clicked, &TForm1::openIpClick);
    m_form.bind(m_form.salvarIP, &QToolButton::clicked, &TForm1::salvarIPClick);
    m_form.bind(m_form.stry, &QToolButton::clicked, &TForm1::stryClick);
}

void Form1Design::createFoundMachines()
{
    m_form.oxSplit1 = new QSplitter(Qt::Horizontal, &m_form);
    m_form.oxSplit1->setObjectName("oxSplit1");
    m_form.oxSplit1->installEventFilter(&m_form);
    m_form.oxPane1 = new QWidget;
    m_form.oxPane1->setObjectName("oxPane1");
    m_form.oxPane2 = new QWidget;
    m_form.oxPane2->setObjectName("oxPane2");

    m_form.ListView1 = new MachineListView(m_form.oxPane1);
    auto *left = new QVBoxLayout(m_form.oxPane1);
    left->setContentsMargins(0, 0, 0, 0);
    left->addWidget(m_form.ListView1);

    m_form.Panel1 = new QLabel("Maquinas activas", m_form.oxPane2);
    m_form.Panel1->setObjectName("Panel1");
    m_form.Panel1->setAlignment(Qt::AlignCenter);
    m_form.Panel1->setAutoFillBackground(true);
    m_form.Panel1->setPalette(QPalette(Qt::white, Qt::black));
    m_form.ips = new MachineMemo(m_form.oxPane2);
    m_form.ips->setAccessibleName(m_form.Panel1->text());
    m_form.ips->setPalette(textOn(Qt::red, Qt::black));
    m_form.ips->setFont(QFont("Bookman Old Style"));
    auto *right = new QVBoxLayout(m_form.oxPane2);
    right->setContentsMargins(0, 0, 0, 0);
    right->setSpacing(0);
    right->addWidget(m_form.Panel1);
    right->addWidget(m_form.ips);

    m_form.oxSplit1->addWidget(m_form.oxPane1);
    m_form.oxSplit1->addWidget(m_form.oxPane2);
    m_form.oxSplit1->setStretchFactor(0, 76);
    m_form.oxSplit1->setStretchFactor(1, 24);
    const int width = m_form.width();
    m_form.oxSplit1->setSizes({width * 76 / 100, width - width * 76 / 100});
}

void Form1Design::createStatusBar()
{
    m_form.fstate = new QStatusBar(&m_form);
    m_form.fstate->setObjectName("fstate");
    m_form.fstate->setSizeGripEnabled(false);
    m_form.fstate->setFixedHeight(19);
    const int widths[TForm1::StatusPanels] = {200, 70, 70, 70, 70};
    for (int i = 0; i < TForm1::StatusPanels; ++i) {
        m_form.m_panels[i] = new QLabel(m_form.fstate);
        m_form.m_panels[i]->setObjectName(QString("fstatePanel%1").arg(i));
        m_form.m_panels[i]->setFixedWidth(widths[i]);
        m_form.m_panels[i]->setFrameShape(QFrame::Panel);
        m_form.m_panels[i]->setFrameShadow(QFrame::Sunken);
        m_form.fstate->addWidget(m_form.m_panels[i]);
    }
    m_form.setStatusBar(m_form.fstate);
}

QAction *Form1Design::newAction(const QString &text, const char *name, void (TForm1::*handler)())
{
    auto *action = new QAction(text, &m_form);
    action->setObjectName(name);
    if (handler)
        m_form.bind(action, &QAction::triggered, handler);
    return action;
}

QMenu *Form1Design::newMenu(const QString &title, const char *name, QWidget *parent)
{
    auto *menu = new QMenu(title, parent);
    menu->setObjectName(name);
    return menu;
}

void Form1Design::createMenus()
{
    // Entries that two menus share are one action each.
    m_form.All1 = newAction("All", "All1", &TForm1::All1Click);
    m_form.Iconos1 = newAction("Iconos", "Iconos1", &TForm1::Iconos1Click);
    m_form.pingr = newAction("PinG Return", "pingr", &TForm1::pingrClick);
    m_form.IpPinG1 = newAction("IP PinG", "IpPinG1", &TForm1::IpPinG1Click);
    m_form.IpResumen1 = newAction("Ip Resumen", "IpResumen1", &TForm1::IpResumen1Click);
    m_form.BorrarIcono1 = newAction("Borrar PC", "BorrarIcono1", &TForm1::BorrarIcono1Click);
    m_form.RePinG1 = newAction("Re PinG", "RePinG1", &TForm1::RePinG1Click);
    m_form.CopiarIP1 = newAction("Copiar IP", "CopiarIP1", &TForm1::CopiarIP1Click);
    m_form.IconosGrandes1 = newAction("Iconos Grandes", "IconosGrandes1", &TForm1::IconosGrandes1Click);
    m_form.MenuItem2 = newAction("Iconos Pequeños", "MenuItem2", &TForm1::MenuItem2Click);
    m_form.Listao1 = newAction("Listado", "Listao1", &TForm1::Listao1Click);
    const QList<QAction *> clearEntries = {m_form.All1,  nullptr,        m_form.Iconos1,
                                           m_form.pingr, m_form.IpPinG1, m_form.IpResumen1};
    const QList<QAction *> viewEntries = {m_form.IconosGrandes1, m_form.MenuItem2, m_form.Listao1};
    const QList<QAction *> machineEntries = {m_form.BorrarIcono1, m_form.RePinG1, m_form.CopiarIP1};
    auto fill = [](QMenu *menu, const QList<QAction *> &entries) {
        for (QAction *entry : entries) {
            if (entry)
                menu->addAction(entry);
            else
                menu->addSeparator();
        }
    };

    QMenuBar *bar = m_form.menuBar();
    bar->setObjectName("MainMenu1");
    QMenu *programa = newMenu("&Programa", "programaMenu", bar);
    programa->addAction(newAction("&Salvar IP`s", "saveListItem", &TForm1::salvarIPClick));
    programa->addAction(newAction("&Load Ip`s", "loadListItem", &TForm1::openIpClick));
    programa->addSeparator();
    m_form.Exit1 = newAction("&Exit", "Exit1", &TForm1::Exit1Click);
    programa->addAction(m_form.Exit1);
    bar->addMenu(programa);
    m_form.Sible1 = newAction("&Single Ping", "Sible1", &TForm1::Sible1Click);
    bar->addAction(m_form.Sible1);
    m_form.N3 = newAction("&Multi PinG", "N3", &TForm1::N3Click);
    bar->addAction(m_form.N3);
    QMenu *retry = newMenu("&Retry PinG", "retryMenu", bar);
    m_form.SinglePing1 = newAction("Single Ping (Single IP)", "SinglePing1", &TForm1::rspingClick);
    m_form.SinglePing1->setEnabled(false);
    m_form.MultiPinG1 = newAction("Multi PinG (Multi IP)", "MultiPinG1", &TForm1::rpingClick);
    retry->addActions({m_form.SinglePing1, m_form.MultiPinG1});
    bar->addMenu(retry);
    QMenu *opciones = newMenu("&Opciones", "opcionesMenu", bar);
    opciones->addAction(newAction("&Propiedades", "propertiesItem", &TForm1::Tranton1Click));
    opciones->addSeparator();
    QMenu *borrar = newMenu("Borrar ..(clear)", "borrarMenu", opciones);
    fill(borrar, clearEntries);
    borrar->addAction(newAction(QString(), "emptyClearItem", nullptr));
    opciones->addMenu(borrar);
    QMenu *iconos = newMenu("Iconos", "iconosMenu", opciones);
    fill(iconos, viewEntries);
    opciones->addMenu(iconos);
    QMenu *iconPc = newMenu("Icon-Pc", "iconPcMenu", opciones);
    fill(iconPc, machineEntries);
    opciones->addMenu(iconPc);
    bar->addMenu(opciones);
    m_form.Creditos2 = newAction("&Creditos", "Creditos2", &TForm1::Creditos2Click);
    bar->addAction(m_form.Creditos2);

    m_form.clearM = newMenu(QString(), "clearM", &m_form);
    fill(m_form.clearM, clearEntries);
    m_form.del->setMenu(m_form.clearM);

    m_form.listIco = newMenu(QString(), "listIco", &m_form);
    fill(m_form.listIco, machineEntries);
    m_form.listIco->addSeparator()->setEnabled(false);
    QMenu *iconS = newMenu("IconS", "iconSMenu", m_form.listIco);
    fill(iconS, viewEntries);
    m_form.listIco->addMenu(iconS);
    TForm1 *form = &m_form;
    QObject::connect(form->ListView1, &QWidget::customContextMenuRequested, form, [form](const QPoint &pos) {
        const QPoint pointer = form->ListView1->viewport()->mapToGlobal(pos);
        form->listIco->popup(pointer - QPoint(form->listIco->sizeHint().width() / 2, 0));
    });

    // The custom caption button; the caption bar of the widget kit takes it over later.
    auto *captionButton = new QToolButton(bar);
    captionButton->setObjectName("customCaptionButton");
    captionButton->setText("C");
    captionButton->setAccessibleName("C");
    bar->setCornerWidget(captionButton);
    m_form.bind(captionButton, &QToolButton::clicked, &TForm1::oxForm1ButtonClick);
}

void Form1Design::createTray()
{
    m_form.MaximiZar1 = newAction("MaximiZar", "MaximiZar1", &TForm1::MaximiZar1Click);
    m_form.tryM = newMenu(QString(), "tryM", &m_form);
    m_form.tryM->addAction(m_form.MaximiZar1);
    m_form.tryM->addSeparator();
    m_form.tryM->addAction(newAction("Creditos", "trayCreditsItem", &TForm1::Creditos2Click));
    m_form.oxForm1 = new QSystemTrayIcon(Artwork::computerIcon(), &m_form);
    m_form.oxForm1->setObjectName("oxForm1");
    m_form.oxForm1->setToolTip("Tozelo");
    m_form.oxForm1->setContextMenu(m_form.tryM);
    TForm1 *form = &m_form;
    QObject::connect(form->oxForm1, &QSystemTrayIcon::activated, form,
                     [form](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::DoubleClick)
                             reportExceptions(form, [form] { form->oxForm1TrayDblClk(); });
                     });
}

void Form1Design::createMessages()
{
    m_form.rpingerror = new TAHMMsgBox(&m_form);
    m_form.rpingerror->setObjectName("rpingerror");
    QStringList lines;
    for (const std::string &line : RePingWalk::rpingerrorLines())
        lines << QString::fromStdString(line);
    m_form.rpingerror->SetCaption(lines);
    m_form.rpingerror->SetMessageType(mtError);
    m_form.rpingerror->SetButtons({mbOK});
    m_form.rpingerror->SetSound(bCriticalStop);

    // Prepared in the design, shown by no command.
    m_form.fastP = new TAHMMsgBox(&m_form);
    m_form.fastP->setObjectName("fastP");
    m_form.fastP->SetCaption({"Fast Tozelo", "aun no disponible !"});
    m_form.fastP->SetMessageType(mtWarning);
}

void Form1Design::createFileDialogs()
{
    m_form.GuardarD = new QFileDialog(&m_form);
    m_form.GuardarD->setObjectName("GuardarD");
    m_form.GuardarD->setAcceptMode(QFileDialog::AcceptSave);
    m_form.GuardarD->setNameFilters({"Zarvo Dat (*.dat)", "text (*.txt)"});
    m_form.GuardarD->setOption(QFileDialog::DontConfirmOverwrite);

    m_form.OpenD = new QFileDialog(&m_form);
    m_form.OpenD->setObjectName("OpenD");
    m_form.OpenD->setAcceptMode(QFileDialog::AcceptOpen);
    // A name of a file that does not exist is accepted; the load then reports it.
    m_form.OpenD->setFileMode(QFileDialog::AnyFile);
    m_form.OpenD->setNameFilters({"zarvo dat (*.dat)", "text (*txt)"});
    m_form.OpenD->setDefaultSuffix("dat");
    for (QFileDialog *dialog : {m_form.GuardarD, m_form.OpenD})
        dialog->setOption(QFileDialog::DontUseNativeDialog);
}
