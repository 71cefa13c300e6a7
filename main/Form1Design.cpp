#include "Form1Design.h"

#include "FastSweepPage.h"
#include "MachineListView.h"
#include "MachineMemo.h"
#include "MonitorPage.h"
#include "PageLook.h"
#include "StatusPanels.h"
#include "Unit1.h"
#include "flows/RePingWalk.h"
#include "ui/Artwork.h"
#include "ui/DialogColours.h"
#include "widgets/AHMClasses.h"
#include "widgets/AHMTMessages.h"
#include "widgets/AHMTSplashScreen.h"
#include "widgets/Backgnd.h"
#include "widgets/FloatEdit.h"
#include "widgets/TNCButtonFocus.h"
#include "widgets/TNCCustomButton.h"
#include "widgets/ToxDockBack.h"
#include "widgets/ToxScrollPane.h"
#include "widgets/ToxSpace.h"
#include "widgets/TransBtn.h"
#include "widgets/oxDockBr.h"
#include "widgets/oxForm.h"
#include "widgets/oxSplits.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCompleter>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStackedWidget>
#include <QStatusBar>
#include <QVBoxLayout>
#include <algorithm>

namespace {
constexpr int DockButtonSize = 25;
constexpr int DockGlyphSize = 16;
constexpr int DockBevelWidth = 2;

// Text and background of a control that shows text on a plain colour.
QPalette textOn(const QColor &text, const QColor &background)
{
    QPalette palette;
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Base, background);
    return palette;
}

QIcon styleIcon(QStyle::StandardPixmap icon)
{
    return QApplication::style()->standardIcon(icon);
}

QImage dockGlyph(QStyle::StandardPixmap icon)
{
    return Artwork::glyph(styleIcon(icon), DockGlyphSize);
}

// A log keeps taking typed text, but Tab moves on to the next control.
void makeLog(QPlainTextEdit *log, const QString &name)
{
    log->setAccessibleName(name);
    log->setTabChangesFocus(true);
}
} // namespace

Form1Design::Form1Design(TForm1 &form) : m_form(form) {}

void Form1Design::build(TForm1 &form)
{
    Form1Design design(form);
    design.createCentral();
    design.createPages();
    design.createDockBar();
    design.createFoundMachines();
    design.createStatusBar();
    design.createMenus();
    design.createFileDialogs();
    design.createCaptionBar();
    design.createMessages();
    design.createSplash();
    form.oxDockBar2->Loaded();
}

// From top to bottom: the pages, the dock bar, the found machines, on the window's black.
void Form1Design::createCentral()
{
    auto *central = new QWidget(&m_form);
    central->setObjectName("centralArea");
    central->setAutoFillBackground(true);
    central->setPalette(QPalette(Qt::white, Qt::black));
    m_column = new QVBoxLayout(central);
    m_column->setContentsMargins(0, 0, 0, 0);
    m_column->setSpacing(0);
    m_form.setCentralWidget(central);
}

void Form1Design::createPages()
{
    // The pages have no tabs at all: only the menu commands, which do the switch's work, show them.
    m_form.tipo = new QStackedWidget(m_column->parentWidget());
    m_form.tipo->setObjectName("tipo");
    m_form.tipo->setFixedHeight(157);
    createSinglePingPage();

    m_form.TabSheet2 = new QWidget;
    m_form.TabSheet2->setObjectName("TabSheet2");
    m_form.TabSheet2->setPalette(QPalette(Qt::white, Qt::black));

    m_form.TabSheet3 = new QWidget;
    m_form.TabSheet3->setObjectName("TabSheet3");

    m_form.TabSheet4 = new QWidget;
    m_form.TabSheet4->setObjectName("TabSheet4");

    m_form.tipo->addWidget(m_form.TabSheet1);
    m_form.tipo->addWidget(m_form.TabSheet2);
    m_form.tipo->addWidget(m_form.TabSheet3);
    m_form.tipo->addWidget(m_form.TabSheet4);
    m_form.tipo->setCurrentWidget(m_form.TabSheet2);
    m_column->addWidget(m_form.tipo);
}

void Form1Design::createSinglePingPage()
{
    m_form.TabSheet1 = new QWidget;
    m_form.TabSheet1->setObjectName("TabSheet1");
    m_form.Background1 = newPageBackground(m_form.TabSheet1, "Background1", 1);

    m_form.Label1 = new QLabel("Direccion IP o dominio", m_form.TabSheet1);
    m_form.Label1->setObjectName("Label1");
    m_form.Label1->setPalette(QPalette(Qt::white, Qt::black));

    QFont bookman("Bookman Old Style");
    bookman.setPixelSize(13);
    m_form.HostEdit = new QLineEdit(m_form.TabSheet1);
    m_form.HostEdit->setObjectName("HostEdit");
    m_form.HostEdit->setAccessibleName(m_form.Label1->text());
    m_form.HostEdit->setFixedSize(193, 26);
    m_form.HostEdit->setFont(bookman);
    m_form.HostEdit->setPalette(textOn(Qt::red, Qt::white));
    m_form.HostEdit->installEventFilter(&m_form);
    m_form.IPv6Box = new QCheckBox("IPv6", m_form.TabSheet1);
    m_form.IPv6Box->setObjectName("IPv6Box");
    m_form.IPv6Box->setAccessibleName("IPv6");
    m_form.IPv6Box->setPalette(m_form.Label1->palette());

    m_form.PingButton = newPageButton(m_form.TabSheet1, "PingButton", "PinG", QStyle::SP_MediaPlay);
    m_form.CancelButton = newPageButton(m_form.TabSheet1, "CancelButton", "Stop", QStyle::SP_MediaStop);
    m_form.PingButton->OnClick = m_form.notifier(&TForm1::PingButtonClick);
    m_form.CancelButton->OnClick = m_form.notifier(&TForm1::CancelButtonClick);

    m_form.DisplayMemo = new QPlainTextEdit(m_form.TabSheet1);
    m_form.DisplayMemo->setObjectName("DisplayMemo");
    m_form.DisplayMemo->setFixedWidth(229);
    m_form.DisplayMemo->setFrameShape(QFrame::NoFrame);
    m_form.DisplayMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_form.DisplayMemo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_form.DisplayMemo->setPalette(textOn(Qt::white, Qt::black));
    QFont times("Times New Roman");
    times.setPixelSize(12);
    m_form.DisplayMemo->setFont(times);
    makeLog(m_form.DisplayMemo, "Registro de Single PinG");

    // The box stands over the host field's right end, on the label's line: beside the field, the
    // field as wide as ever.
    auto *label = new QHBoxLayout;
    label->addWidget(m_form.Label1);
    label->addStretch(1);
    label->addWidget(m_form.IPv6Box);
    auto *controls = new QVBoxLayout;
    controls->addLayout(label);
    controls->addWidget(m_form.HostEdit);
    controls->addWidget(m_form.PingButton);
    controls->addWidget(m_form.CancelButton);
    controls->addStretch(1);
    auto *row = new QHBoxLayout(m_form.TabSheet1);
    row->setContentsMargins(8, 4, 0, 0);
    row->addLayout(controls);
    row->addStretch(1);
    row->addWidget(m_form.DisplayMemo);
}

// Locked at the top: it neither floats nor moves to another edge.
void Form1Design::createDockBar()
{
    auto *bar = new ToxDockBar(m_column->parentWidget());
    m_form.oxDockBar2 = bar;
    bar->setObjectName("oxDockBar2");
    bar->SetCaption("oxDockBar2");
    bar->setAccessibleName("Comandos");
    bar->SetOptions(opAutoAlign | opAutoSize | opCloseBox | opLock | opSizeable | opDblClkDock);
    bar->SetDockHeight(35);
    bar->SetFloatWidth(481);
    bar->SetFloatHeight(47);
    QFont title("Small Fonts");
    title.setPixelSize(9);
    bar->SetTitleFont(title);
    bar->Background()->SetStyle(oxdGradient);
    bar->Background()->SetGradient(colorActiveCaption);
    m_column->addWidget(bar);
    createDockButtons();
}

TTransparentButton *Form1Design::newDockButton(const char *name, const QString &hint, const QImage &glyph)
{
    auto *button = new TTransparentButton(m_form.oxDockBar2);
    button->setObjectName(name);
    button->setToolTip(hint);
    button->setAccessibleName(hint);
    button->SetFrameStyle(fsDark);
    button->SetGlyph(glyph);
    button->resize(DockButtonSize, DockButtonSize);
    return button;
}

void Form1Design::newDockBevel()
{
    auto *bevel = new QFrame(m_form.oxDockBar2);
    bevel->setObjectName(QString("dockBevel%1").arg(++m_bevels));
    bevel->setFrameStyle(QFrame::VLine | QFrame::Sunken);
    bevel->resize(DockBevelWidth, DockButtonSize);
}

void Form1Design::newDockSpace()
{
    new ToxSpace(m_form.oxDockBar2);
}

// The bar lines its controls up in the order they are made; the right-aligned ones stand from the
// last made at the right edge.
void Form1Design::createDockButtons()
{
    TForm1 &form = m_form;
    form.Tranton1 = newDockButton("Tranton1", "Propiedades de PinG", QImage());
    form.Tranton1->SetCaption("Propiedades");
    form.Tranton1->setAccessibleName("Propiedades");
    form.Tranton1->resize(89, 27);
    QPalette white = form.Tranton1->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    form.Tranton1->setPalette(white);
    form.tbuton = newDockButton("tbuton", "Fast Timer", dockGlyph(QStyle::SP_MediaSeekForward));
    newDockBevel();
    newDockSpace();
    form.del = newDockButton("del", "Clear..", dockGlyph(QStyle::SP_TrashIcon));
    newDockSpace();
    form.icoGande = newDockButton("icoGande", "iconos", dockGlyph(QStyle::SP_FileDialogContentsView));
    form.icolist = newDockButton("icolist", "Listado", dockGlyph(QStyle::SP_FileDialogListView));
    form.icopeq = newDockButton("icopeq", "iconos pequeños", dockGlyph(QStyle::SP_FileDialogDetailedView));
    newDockBevel();
    newDockSpace();
    form.rping = newDockButton("rping", "Retry Multi - Ping", dockGlyph(QStyle::SP_BrowserReload));
    form.rsping = newDockButton("rsping", "Retry Single - PinG", dockGlyph(QStyle::SP_MediaPlay));
    form.rsping->setEnabled(false);
    form.barrido = newDockButton("barrido", "Barrido rápido", dockGlyph(QStyle::SP_DriveNetIcon));
    form.monitorButton = newDockButton("monitorButton", "Monitor", dockGlyph(QStyle::SP_FileDialogInfoView));
    form.openIp = newDockButton("openIp", "Leer Ip`s", dockGlyph(QStyle::SP_DialogOpenButton));
    form.salvarIP = newDockButton("salvarIP", "Salvar IPs", dockGlyph(QStyle::SP_DialogSaveButton));
    form.stry = newDockButton("stry", "System Tray", dockGlyph(QStyle::SP_TitleBarMinButton));
    form.stry->SetTransparent(false);
    form.stry->SetColor(rgbColor(128, 0, 0));
    for (TTransparentButton *button : {form.openIp, form.salvarIP, form.stry})
        form.oxDockBar2->setControlAlign(button, caRight);

    form.Tranton1->OnClick = form.notifier(&TForm1::Tranton1Click);
    form.tbuton->OnClick = form.notifier(&TForm1::tbutonClick);
    form.rping->OnClick = form.notifier(&TForm1::rpingClick);
    form.rsping->OnClick = form.notifier(&TForm1::rspingClick);
    form.barrido->OnClick = form.notifier(&TForm1::BarridoRapido1Click);
    form.monitorButton->OnClick = form.notifier(&TForm1::Monitor1Click);
    form.icoGande->OnClick = form.notifier(&TForm1::icoGandeClick);
    form.icolist->OnClick = form.notifier(&TForm1::icolistClick);
    form.icopeq->OnClick = form.notifier(&TForm1::gClick);
    form.openIp->OnClick = form.notifier(&TForm1::openIpClick);
    form.salvarIP->OnClick = form.notifier(&TForm1::salvarIPClick);
    form.stry->OnClick = form.notifier(&TForm1::stryClick);
}

void Form1Design::createFoundMachines()
{
    auto *split = new ToxSplit(m_column->parentWidget());
    m_form.oxSplit1 = split;
    split->setObjectName("oxSplit1");
    split->SetBorderStyle(bsNone);
    split->SetColor(colorWhite);
    split->SetOptions(oxsSaveAsPercent);
    split->SetPercentX(76);
    split->SetPercentY(18);

    m_form.oxPane1 = new ToxScrollPane(split);
    m_form.oxPane1->setObjectName("oxPane1");
    m_form.ListView1 = new MachineListView;
    m_form.oxPane1->setWidget(m_form.ListView1);
    m_form.ListView1->setAccessibleName("Iconos de maquinas activas");

    m_form.oxPane2 = new ToxScrollPane(split);
    m_form.oxPane2->setObjectName("oxPane2");
    auto *machines = new QWidget;
    m_form.Panel1 = new QLabel("Maquinas activas", machines);
    m_form.Panel1->setObjectName("Panel1");
    m_form.Panel1->setAlignment(Qt::AlignCenter);
    m_form.Panel1->setAutoFillBackground(true);
    m_form.Panel1->setPalette(QPalette(Qt::white, Qt::black));
    m_form.ips = new MachineMemo(machines);
    makeLog(m_form.ips, m_form.Panel1->text());
    m_form.ips->setPalette(textOn(Qt::red, Qt::black));
    m_form.ips->setFont(QFont("Bookman Old Style"));
    auto *column = new QVBoxLayout(machines);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_form.Panel1);
    column->addWidget(m_form.ips);
    m_form.oxPane2->setWidget(machines);
    // The panes only hold the lists, which take the keyboard themselves.
    for (ToxScrollPane *pane : {m_form.oxPane1, m_form.oxPane2})
        pane->setFocusPolicy(Qt::NoFocus);

    split->OnResize = m_form.notifier(&TForm1::oxSplit1Resize);
    m_column->addWidget(split, 1);
}

void Form1Design::createStatusBar()
{
    m_form.fstate = new QStatusBar(&m_form);
    m_form.fstate->setObjectName("fstate");
    m_form.fstate->setSizeGripEnabled(false);
    m_form.fstate->setAccessibleName("Estado");
    m_form.fstate->setFixedHeight(19);
    // The panels are wider than the window; the last one is cut at its edge instead.
    m_form.fstate->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    auto *panels = new StatusPanels({200, 70, 70, 70, 70}, m_form.fstate);
    for (int i = 0; i < TForm1::StatusPanels; ++i) {
        m_form.m_panels[i] = panels->panel(i);
        m_form.m_panels[i]->setObjectName(QString("fstatePanel%1").arg(i));
    }
    m_form.fstate->addWidget(panels, 1);
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
    m_form.BarridoRapido1 = newAction("&Barrido rápido", "BarridoRapido1", &TForm1::BarridoRapido1Click);
    bar->addAction(m_form.BarridoRapido1);
    m_form.Monitor1 = newAction("Mo&nitor", "Monitor1", &TForm1::Monitor1Click);
    bar->addAction(m_form.Monitor1);
    QMenu *retry = newMenu("&Retry PinG", "retryMenu", bar);
    m_form.SinglePing1 = newAction("Single Ping (Single IP)", "SinglePing1", &TForm1::rspingClick);
    m_form.SinglePing1->setEnabled(false);
    m_form.MultiPinG1 = newAction("Multi PinG (Multi IP)", "MultiPinG1", &TForm1::rpingClick);
    retry->addActions({m_form.SinglePing1, m_form.MultiPinG1});
    bar->addMenu(retry);
    QMenu *opciones = newMenu("&Opciones", "opcionesMenu", bar);
    m_form.propertiesItem = newAction("&Propiedades", "propertiesItem", &TForm1::Tranton1Click);
    opciones->addAction(m_form.propertiesItem);
    opciones->addSeparator();
    QMenu *borrar = newMenu("Borrar ..(clear)", "borrarMenu", opciones);
    fill(borrar, clearEntries);
    // A blank line closes the list: a separator, not an item that has no name and does nothing.
    borrar->addSeparator()->setObjectName("emptyClearItem");
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
    m_form.del->SetDropDownMenu(m_form.clearM);

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
}

// The window's frame is drawn by the caption bar; the tray icon stands in for the window while it
// is hidden.
void Form1Design::createCaptionBar()
{
    m_form.MaximiZar1 = newAction("MaximiZar", "MaximiZar1", &TForm1::MaximiZar1Click);
    m_form.tryM = newMenu(QString(), "tryM", &m_form);
    m_form.tryM->addAction(m_form.MaximiZar1);
    m_form.tryM->addSeparator();
    m_form.tryM->addAction(newAction("Creditos", "trayCreditsItem", &TForm1::Creditos2Click));

    m_form.setWindowIcon(Artwork::computerIcon());
    auto *caption = new ToxForm(&m_form);
    m_form.oxForm1 = caption;
    caption->setObjectName("oxForm1");
    caption->SetCaptionButtons(oxbRollUp | oxbStart | oxbOnTop | oxbCustom);
    caption->SetCustomButtons({"C"});
    caption->customButtons().front()->SetHint("Creditos");
    caption->SetTrayIcon(QIcon(QPixmap::fromImage(Artwork::computers(32))));
    caption->SetTrayHint("Tozelo");
    caption->SetTrayMenu(m_form.tryM);
    // The start button opens the program's own commands, the menu bar's entries, where the desktop
    // has no start menu to open.
    QMenu *start = newMenu(QString(), "startM", &m_form);
    start->addActions(m_form.menuBar()->actions());
    caption->SetStartMenu(start);
    const TNotifyEvent creditsClick = m_form.notifier(&TForm1::oxForm1ButtonClick);
    caption->OnButtonClick = [creditsClick](QObject *sender, const QString &) { creditsClick(sender); };
    caption->OnTrayDblClk = m_form.notifier(&TForm1::oxForm1TrayDblClk);
    caption->OnTrayLost = m_form.notifier(&TForm1::oxForm1TrayLost);
}

void Form1Design::colourScrollBars(TForm1 &form)
{
    for (QScrollBar *bar : form.centralWidget()->findChildren<QScrollBar *>())
        DialogColours::wear(bar);
}

void Form1Design::setLeastSize(TForm1 &form)
{
    // The panes scroll what does not fit them: the lists and their heading keep their least size.
    int listHeight = 0;
    for (const ToxScrollPane *pane : {form.oxPane1, form.oxPane2})
        listHeight = std::max(listHeight, pane->widget()->minimumSizeHint().height());
    form.oxSplit1->setMinimumHeight(listHeight);
    int tallestPage = 0;
    for (int i = 0; i < form.tipo->count(); ++i)
        tallestPage = std::max(tallestPage, form.tipo->widget(i)->minimumSizeHint().height());
    form.layout()->invalidate();
    const int growth = std::max(0, tallestPage - form.tipo->minimumHeight());
    form.setMinimumSize(form.layout()->totalMinimumSize() + QSize(0, growth));
}

void Form1Design::createSplash()
{
    auto *logo = new TAHMSplashScreen(&m_form);
    m_form.logo = logo;
    logo->setObjectName("logo");
    logo->SetImage(Artwork::splash(QSize(Artwork::SplashWidth, Artwork::SplashHeight)));
    logo->SetSplashWidth(Artwork::SplashWidth);
    logo->SetSplashHeight(Artwork::SplashHeight);
    logo->SetDelayInMsec(3000);
    logo->OutsideFrame()->SetFrameStyle(framePanelDown);
    logo->InsideFrame()->SetFrameStyle(frameNone);
    logo->SetBorderwidth(2);
    logo->SetScreencenter(true);
    logo->OnSplashDone = m_form.notifier(&TForm1::logoSplashDone);
}

void Form1Design::createMessages()
{
    m_form.rpingerror = new TAHMMsgBox(&m_form);
    m_form.rpingerror->setObjectName("rpingerror");
    m_form.rpingerror->SetCaption(RePingWalk::rpingerrorLines());
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
    for (QFileDialog *dialog : {m_form.GuardarD, m_form.OpenD}) {
        dialog->setOption(QFileDialog::DontUseNativeDialog);
        // A name typed and entered at once leaves its completion list open over the main window,
        // where the next click would only close it.
        QObject::connect(dialog, &QDialog::finished, dialog, [dialog] {
            for (QCompleter *completer : dialog->findChildren<QCompleter *>())
                completer->popup()->hide();
        });
    }
}

void Form1Design::orderTabs(TForm1 &form)
{
    QList<QWidget *> chain = {form.HostEdit, form.IPv6Box, form.PingButton, form.CancelButton, form.DisplayMemo};
    chain << QList<QWidget *>{form.ip03, form.ip02, form.ip01, form.ip00, form.ip13, form.ip12, form.ip11, form.ip10};
    chain << QList<QWidget *>{form.MipPinG, form.mipHalt, form.MipStop, form.MDisplayMemo};
    chain << form.fastSweep().tabOrder();
    chain << form.monitor().tabOrder();
    for (TTransparentButton *button :
         {form.Tranton1, form.tbuton, form.del, form.icoGande, form.icolist, form.icopeq, form.rping, form.rsping,
          form.barrido, form.monitorButton, form.openIp, form.salvarIP, form.stry})
        chain << button;
    chain << QList<QWidget *>{form.ListView1, form.ips};
    QList<TNCButtonFocus *> captionButtons =
        form.oxForm1->findChildren<TNCButtonFocus *>(QString(), Qt::FindDirectChildrenOnly);
    std::sort(captionButtons.begin(), captionButtons.end(),
              [](const QWidget *a, const QWidget *b) { return a->x() < b->x(); });
    for (TNCButtonFocus *button : captionButtons)
        chain << button;
    for (int i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain[i - 1], chain[i]);
}
