#include "FastSweepPage.h"

#include "ExportFile.h"
#include "PageLook.h"
#include "SweepMessages.h"
#include "SweepResultModel.h"
#include "Unit1.h"
#include "history/HistoryRecorder.h"
#include "history/SweepRecording.h"
#include "history/WallClock.h"
#include "platform/IcmpTypes.h"
#include "sweep/NeighbourPresence.h"
#include "sweep/ReverseNames.h"
#include "sweep/TcpPorts.h"
#include "sweep/TcpPresence.h"
#include "ui/ExceptionReport.h"
#include "ui/HistoryFile.h"
#include "ui/IntegerText.h"
#include "ui/KeyboardSort.h"
#include "ui/TestSeams.h"
#include "ui/UpDown.h"
#include "widgets/Backgnd.h"
#include "widgets/FloatEdit.h"
#include "widgets/ProgBarEx.h"
#include "widgets/TransBtn.h"

#include <QAction>
#include <QBoxLayout>
#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <cmath>
#include <sstream>
#include <stdexcept>
#include <tuple>

namespace {
// While a sweep runs the page shows where it stands this often.
constexpr qint64 ProgressIntervalMs = 250;
// Answers wait to be shown and recorded, a slice of time per turn of the event loop, so that tens
// of thousands never hold up a frame; meanwhile the turns come this often. Once asked to stop, the
// page looks for the end at a quicker pace.
constexpr int BusyIntervalMs = 20;
constexpr int StoppingIntervalMs = 10;
constexpr qint64 ShowBudgetNs = 4000000;
constexpr qint64 RecordBudgetNs = 2000000;
constexpr size_t RowsAtOnce = 200;
constexpr QSize SmallButtonSize(80, 28);
constexpr int MinFieldWidth = 48;
constexpr SweepResultModel::Column PresenceColumns[] = {SweepResultModel::FoundByColumn, SweepResultModel::MacColumn,
                                                        SweepResultModel::MakerColumn};

QString qText(const std::string &text)
{
    return QString::fromStdString(text);
}

QPalette whiteOnPage()
{
    QPalette palette;
    palette.setColor(QPalette::WindowText, Qt::white);
    return palette;
}

QLineEdit *newLine(QWidget *page, const char *name, const QString &caption)
{
    auto *edit = new QLineEdit(page);
    edit->setObjectName(name);
    edit->setAccessibleName(caption);
    edit->setPalette(typedText());
    QFont bookman("Bookman Old Style");
    bookman.setPixelSize(13);
    edit->setFont(bookman);
    return edit;
}

QCheckBox *newBox(QWidget *page, const char *name, const QString &caption)
{
    auto *box = new QCheckBox(caption, page);
    box->setObjectName(name);
    box->setAccessibleName(caption);
    box->setPalette(whiteOnPage());
    return box;
}

// How far the sweep went through its addresses: retries count among the requests sent.
uint64_t firstPassOf(const Sweep::Progress &progress)
{
    return std::min(progress.sent, progress.addresses);
}

// The arrows' bounds hold for what is typed too.
// What the engine throws, told in the window's language.
template <typename Work> auto inSpanish(Work work)
{
    try {
        return work();
    } catch (const std::exception &e) {
        throw std::runtime_error(SweepMessages::spanish(e.what()).toStdString());
    }
}

int boundedOf(const TFloatEdit *field, const TUpDown *arrows)
{
    const int value = integerOf(field->Text());
    const TUpDown::Range &range = arrows->range();
    if (value < range.Min || value > range.Max)
        throw std::invalid_argument((field->accessibleName() + " debe estar entre " + QString::number(range.Min) +
                                     " y " + QString::number(range.Max))
                                        .toStdString());
    return value;
}

// The command line's list, the field's name before what is wrong with it.
std::vector<uint16_t> portsOf(const QLineEdit *field)
{
    try {
        return TcpPorts::parse(field->text().trimmed().toStdString());
    } catch (const std::invalid_argument &e) {
        throw std::invalid_argument((field->accessibleName() + ": " + SweepMessages::spanish(e.what())).toStdString());
    }
}
} // namespace

FastSweepPage::FastSweepPage(TForm1 &form, QWidget *page) : m_form(form), m_page(page)
{
    Background3 = newPageBackground(page, "Background3", 5);
    createFields();
    createButtons();
    m_startFocus.emplace(start, targets);
    createResults();
    layOut();
    growWhenShown(form.tipo, page);
    m_poll.setObjectName("sweepPoll");
    connect(&m_poll, &QTimer::timeout, this, [this] { reportExceptions(&m_form, [this] { poll(); }); });
    setIdle(true);
}

// The names go first: their last answers would land on a table that is gone.
FastSweepPage::~FastSweepPage()
{
    m_names.reset();
    m_sweep.reset();
}

TFloatEdit *FastSweepPage::newField(const char *name, const QString &caption, const TUpDown::Range &range,
                                    TUpDown *&arrows)
{
    auto *field = new TFloatEdit(m_page);
    field->setObjectName(name);
    field->setAccessibleName(caption);
    const QString largest = QString::number(range.Max);
    field->SetText(QString::number(range.Position));
    field->SetMaxLength(int(largest.size()));
    field->setPalette(typedText());
    // Room for the largest value, beside the frame and the margins.
    field->setFixedWidth(std::max(MinFieldWidth, field->fontMetrics().horizontalAdvance(largest) + 12));
    arrows = new TUpDown(field, range, m_page);
    arrows->setObjectName(QString(name) + "Arrows");
    field->OnChange = [this](QObject *) { reportExceptions(&m_form, [this] { m_form.showPageSettings(); }); };
    return field;
}

void FastSweepPage::createFields()
{
    targets = newLine(m_page, "sweepTargets", "Direcciones");
    targets->setToolTip("192.0.2.0/24, 192.0.2.1-192.0.2.9, 2001:db8::/120 o 192.0.2.7, separadas por blancos o comas");
    exclusions = newLine(m_page, "sweepExclusions", "Excepto");
    const Sweep::Settings defaults;
    using Limits = Sweep::Settings;
    rate = newField("sweepRate", "Paquetes por seg", {1, Limits::MaxRate, 1000, defaults.rate}, rateArrows);
    timeout =
        newField("sweepTimeout", "Espera (ms)", {1, Limits::MaxTimeoutMs, 100, defaults.timeoutMs}, timeoutArrows);
    retries = newField("sweepRetries", "Reintentos", {0, Limits::MaxRetries, 1, defaults.retries}, retriesArrows);
    names = newBox(m_page, "sweepNames", "Nombres");
    connect(names, &QCheckBox::toggled, this, [this] { reportExceptions(&m_form, [this] { namesClick(); }); });
    createPresenceFields();
}

void FastSweepPage::createPresenceFields()
{
    neighbours = newBox(m_page, "sweepNeighbours", "Vecinos");
    neighbours->setToolTip("Tras el barrido, busca por ARP y ND las maquinas de los enlaces de esta maquina, "
                           "respondan o no al eco, con su MAC y su fabricante");
    tcp = newBox(m_page, "sweepTcp", "TCP");
    tcp->setToolTip("Tras el barrido (y los vecinos, si se buscan), intenta una conexion TCP con las direcciones de "
                    "las que no se supo nada: una maquina que descarta el eco responde en uno de estos puertos con "
                    "SYN-ACK o con un reset");
    for (QCheckBox *box : {neighbours, tcp})
        connect(box, &QCheckBox::toggled, this, [this] { reportExceptions(&m_form, [this] { presenceClick(); }); });
    tcpPorts = newLine(m_page, "sweepTcpPorts", "Puertos TCP");
    tcpPorts->setToolTip("80,443 o 8000-8010, separados por comas, " + QString::number(TcpPorts::MaxPorts) +
                         " como mucho; se prueban en este orden");
    tcpPorts->setText("80,443");
    // Short lists whole at the least size, longer ones in a wider window.
    tcpPorts->setMinimumWidth(tcpPorts->fontMetrics().horizontalAdvance("80,443") + 12);
    tcpPorts->setMaximumWidth(tcpPorts->fontMetrics().horizontalAdvance("22,80,443,8000-8010") + 12);
}

template <typename Handler> void FastSweepPage::bind(TTransparentButton *button, Handler handler)
{
    button->OnClick = [this, handler](QObject *) {
        reportExceptions(&m_form, [this, handler] { (this->*handler)(); });
    };
}

void FastSweepPage::createButtons()
{
    start = newPageButton(m_page, "sweepStart", "Barrer", QStyle::SP_MediaPlay);
    stop = newPageButton(m_page, "sweepStop", "Stop", QStyle::SP_MediaStop);
    csv = newPageButton(m_page, "sweepCsv", "CSV", QStyle::SP_DialogSaveButton, GlyphCells::normal, SmallButtonSize);
    json = newPageButton(m_page, "sweepJson", "JSON", QStyle::SP_DialogSaveButton, GlyphCells::normal, SmallButtonSize);
    bind(start, &FastSweepPage::startClick);
    bind(stop, &FastSweepPage::stopClick);
    bind(csv, &FastSweepPage::csvClick);
    bind(json, &FastSweepPage::jsonClick);

    progress = new TProgressBarEx(m_page);
    progress->setObjectName("sweepProgress");
    progress->setAccessibleName("Progreso del barrido");
    progress->SetSmooth(true);
    progress->setFixedHeight(14);
    state = newPageCaption(m_page, "sweepState", QString());
    state->setAccessibleName("Estado del barrido");

    exportDialog = newExportDialog(&m_form, "sweepExportDialog");
}

void FastSweepPage::createResults()
{
    results = new SweepResultModel(this);
    sorted = new QSortFilterProxyModel(this);
    sorted->setSourceModel(results);
    sorted->setSortRole(SweepResultModel::SortRole);
    table = new QTableView(m_page);
    table->setObjectName("sweepTable");
    table->setAccessibleName("Maquinas encontradas");
    table->setModel(sorted);
    table->setSortingEnabled(true);
    table->sortByColumn(SweepResultModel::AddressColumn, Qt::AscendingOrder);
    KeyboardSort::attach(table);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    describePageTable(table, typedText());
    showPresenceColumns(false);
    // A hardware address shown whole, beside the cell's margins.
    table->setColumnWidth(SweepResultModel::MacColumn,
                          table->fontMetrics().horizontalAdvance("00:00:00:00:00:00") + 16);
    connect(table, &QTableView::doubleClicked, this, [this](const QModelIndex &index) {
        reportExceptions(&m_form, [this, &index] { tableDoubleClick(index); });
    });
}

// Like the range scan page: the fields at the left and the buttons in a column at the right; below
// them what the sweep looks for besides echo and the exports, the progress beside where the sweep
// stands, and the table in all the room that is left.
void FastSweepPage::layOut()
{
    auto *fields = new QGridLayout;
    fields->setHorizontalSpacing(4);
    fields->setVerticalSpacing(3);
    fields->addWidget(newPageCaption(m_page, "sweepTargetsCaption", targets->accessibleName()), 0, 0);
    fields->addWidget(targets, 0, 1);
    fields->addWidget(newPageCaption(m_page, "sweepExclusionsCaption", exclusions->accessibleName()), 1, 0);
    fields->addWidget(exclusions, 1, 1);
    auto *numbers = new QHBoxLayout;
    numbers->setSpacing(2);
    const std::tuple<TFloatEdit *, TUpDown *, const char *> settings[] = {
        {rate, rateArrows, "Ritmo"}, {timeout, timeoutArrows, "Espera"}, {retries, retriesArrows, "Reint."}};
    for (const auto &[field, arrows, caption] : settings) {
        if (field != rate)
            numbers->addSpacing(6);
        auto *label = newPageCaption(m_page, qPrintable(field->objectName() + "Caption"), caption);
        label->setToolTip(field->accessibleName());
        label->setBuddy(field);
        numbers->addWidget(label);
        numbers->addWidget(field);
        numbers->addWidget(arrows);
    }
    numbers->addStretch(1);
    fields->addLayout(numbers, 2, 0, 1, 2);
    auto *buttons = new QVBoxLayout;
    buttons->setSpacing(2);
    buttons->addWidget(start);
    buttons->addWidget(stop);
    fields->addLayout(buttons, 0, 2, 3, 1);

    auto *output = new QHBoxLayout;
    for (QWidget *search : QList<QWidget *>{names, neighbours, tcp})
        output->addWidget(search);
    output->addWidget(tcpPorts, 1);
    output->addStretch(0);
    output->addSpacing(6);
    output->addWidget(csv);
    output->addWidget(json);
    auto *standing = new QHBoxLayout;
    standing->addWidget(progress, 1);
    standing->addWidget(state, 3);

    auto *column = new QVBoxLayout(m_page);
    column->setContentsMargins(8, 4, 4, 4);
    column->setSpacing(3);
    column->addLayout(fields);
    column->addLayout(output);
    column->addLayout(standing);
    column->addWidget(table, 1);
}

void FastSweepPage::setIdle(bool idle)
{
    m_startFocus->setEnabled(idle);
    stop->setEnabled(!idle);
    for (TTransparentButton *button : {csv, json})
        button->setEnabled(idle && m_report.has_value());
}

SweepTargets FastSweepPage::targetsTyped() const
{
    SweepTargets swept = inSpanish([this] {
        SweepTargets typed;
        for (const std::string &word : SweepTargets::wordsOf(exclusions->text().toStdString()))
            typed.exclude(word);
        for (const std::string &word : SweepTargets::wordsOf(targets->text().toStdString()))
            typed.add(word);
        return typed;
    });
    if (swept.count() == 0)
        throw std::invalid_argument("No hay direcciones que barrer");
    return swept;
}

Sweep::Settings FastSweepPage::settingsTyped() const
{
    Sweep::Settings settings;
    settings.rate = boundedOf(rate, rateArrows);
    settings.timeoutMs = boundedOf(timeout, timeoutArrows);
    settings.retries = boundedOf(retries, retriesArrows);
    return settings;
}

// In the command line's order: the links' hosts first, so that TCP asks only those still unheard of.
BackgroundSweep::Searches FastSweepPage::searchesAsked(const Sweep::Settings &settings) const
{
    std::vector<uint16_t> ports;
    if (tcp->isChecked())
        ports = portsOf(tcpPorts);
    BackgroundSweep::Searches searches;
    if (neighbours->isChecked())
        searches.push_back(std::make_unique<NeighbourPresence>(settings.rate, settings.timeoutMs));
    if (tcp->isChecked())
        searches.push_back(std::make_unique<TcpPresence>(std::move(ports), settings.rate, settings.timeoutMs));
    return searches;
}

// Everything is read and checked before anything of the last sweep is given up.
void FastSweepPage::startClick()
{
    SweepTargets swept = targetsTyped();
    const Sweep::Settings settings = settingsTyped();
    const uint64_t addresses = swept.count();
    BackgroundSweep::Searches searches = searchesAsked(settings);
    // The end is looked for at once, not at the next turn of the timer.
    m_sweep = inSpanish([&] {
        return std::make_unique<BackgroundSweep>(
            std::move(swept), settings,
            [this] {
                QMetaObject::invokeMethod(
                    this, [this] { reportExceptions(&m_form, [this] { poll(); }); }, Qt::QueuedConnection);
            },
            std::move(searches));
    });
    if (const QString history = HistoryFile::path(); !m_history && !history.isEmpty())
        m_history = std::make_unique<HistoryRecorder>(history.toStdString(), WallClock::system());
    m_report.reset();
    m_unshown.clear();
    // The last sweep's lookups still waiting are of no use now.
    if (m_names)
        startNames();
    results->clear();
    m_effectiveRate = m_sweep->effectiveRate();
    m_timeoutMs = settings.timeoutMs;
    progress->SetPosition(0);
    progress->SetMax(int(addresses));
    m_clock.start();
    showProgress(Sweep::Progress{addresses, 0, 0, 0, 0});
    setIdle(false);
    m_poll.start(int(ProgressIntervalMs));
}

void FastSweepPage::stopClick()
{
    if (!m_sweep)
        return;
    m_sweep->stop();
    m_poll.start(StoppingIntervalMs);
}

void FastSweepPage::poll()
{
    QElapsedTimer spent;
    spent.start();
    if (m_sweep) {
        BackgroundSweep::News news = m_sweep->take();
        m_unshown.insert(m_unshown.end(), news.answers.begin(), news.answers.end());
        keepInHistory(news.answers);
        for (const Sweep::Answer &answer : news.answers)
            if (answer.status == IP_SUCCESS)
                m_unrecorded.push_back(answer);
        if (news.finished)
            finish(news);
        else if (news.searching)
            state->setText("Buscando las maquinas que no responden al eco");
        else if (m_lastProgress.elapsed() >= ProgressIntervalMs)
            showProgress(news.progress);
    }
    showPending(spent);
    spent.restart();
    recordPending(spent);
    int interval = 0;
    if (m_sweep && m_sweep->stopped())
        interval = StoppingIntervalMs;
    else if (!m_unshown.empty() || !m_unrecorded.empty())
        interval = BusyIntervalMs;
    else if (m_sweep)
        interval = int(ProgressIntervalMs);
    if (interval == 0)
        m_poll.stop();
    else if (!m_poll.isActive() || m_poll.interval() != interval)
        m_poll.start(interval);
}

void FastSweepPage::showPending(const QElapsedTimer &spent)
{
    while (!m_unshown.empty() && spent.nsecsElapsed() < ShowBudgetNs) {
        const auto end = m_unshown.begin() + std::ptrdiff_t(std::min(RowsAtOnce, m_unshown.size()));
        const std::vector<Sweep::Answer> rows(m_unshown.begin(), end);
        m_unshown.erase(m_unshown.begin(), end);
        std::vector<IpAddress> answered;
        for (const Sweep::Answer &answer : rows)
            if (answer.status == IP_SUCCESS)
                answered.push_back(answer.address);
        lookUpNames(answered);
        results->add(rows);
    }
}

void FastSweepPage::showProgress(const Sweep::Progress &now)
{
    m_lastProgress.start();
    const uint64_t firstPass = firstPassOf(now);
    progress->SetPosition(int(firstPass));
    const double seconds = std::max<qint64>(1, m_clock.elapsed()) / 1000.0;
    const auto measured = uint64_t(double(now.sent) / seconds);
    const double left = double(now.addresses - firstPass) / std::max(1, m_effectiveRate) + m_timeoutMs / 1000.0;
    state->setText("Enviados " + QString::number(now.sent) + " de " + QString::number(now.addresses) + ", respuestas " +
                   QString::number(now.replies) + ", " + QString::number(measured) + " por seg, quedan " +
                   QString::number(int(std::ceil(left))) + " s");
}

void FastSweepPage::finish(const BackgroundSweep::News &last)
{
    const bool stopped = m_sweep->stopped();
    if (last.failure.empty())
        m_report = m_sweep->report();
    m_sweep.reset();
    setIdle(true);
    if (!last.failure.empty()) {
        state->setText(SweepMessages::spanish(last.failure));
        showStopMessage(&m_form, state->text());
        return;
    }
    if (m_report->withPresence)
        lookUpNames(results->setPresence(m_report->presence));
    // Stopped, the bar shows how far the sweep went, not a sweep done.
    progress->SetPosition(stopped ? int(firstPassOf(last.progress)) : progress->Max());
    showFound(last, stopped);
}

// What was found, told on the page and counted in the status panel.
void FastSweepPage::showFound(const BackgroundSweep::News &last, bool stopped)
{
    uint64_t replies = 0;
    for (const Sweep::Answer &answer : m_report->answers)
        replies += answer.status == IP_SUCCESS;
    uint64_t present = 0;
    for (const auto &found : m_report->presence)
        present += found.second.method != HostPresence::Method::Echo;
    QString text = "Responden " + QString::number(replies) + " de " + QString::number(m_report->addresses);
    if (present != 0)
        text += ", " + QString::number(present) + " mas presentes sin eco";
    if (stopped)
        text += ", detenido";
    if (m_report->dropped != 0)
        text += ", el sistema perdio " + QString::number(m_report->dropped) + " respuestas: puede faltar alguna";
    for (const std::string &shortfall : last.shortfalls)
        text += "; " + SweepMessages::spanish(shortfall);
    if (const std::optional<HistoryError> lost = m_history ? m_history->takeFailure() : std::nullopt)
        text += "; " + HistoryFile::failureText(*lost);
    state->setText(text);
    m_form.setStatusPanel(0, "Encontradas " + QString::number(replies + present) + " Maquinas");
}

// Every answer and error goes to the history as it comes; a history that cannot be kept is told at
// the sweep's end.
void FastSweepPage::keepInHistory(const std::vector<Sweep::Answer> &answers)
{
    if (!m_history)
        return;
    const int64_t now = WallClock::system().nowMs();
    for (const Sweep::Answer &answer : answers)
        m_history->record(SweepRecording::answerOf(answer, now));
}

void FastSweepPage::recordPending(const QElapsedTimer &spent)
{
    while (!m_unrecorded.empty() && spent.nsecsElapsed() < RecordBudgetNs) {
        const Sweep::Answer &answer = m_unrecorded.front();
        m_form.addico(qText(answer.address.toString()), int(std::lround(answer.rttMs)));
        m_unrecorded.pop_front();
    }
}

void FastSweepPage::lookUpNames(const std::vector<IpAddress> &hosts)
{
    if (!m_names)
        return;
    for (const IpAddress &host : hosts)
        m_names->lookUp(host);
}

// A name comes on a lookup's thread and is shown from the event loop.
void FastSweepPage::startNames()
{
    m_names = std::make_unique<ReverseNames>([this](const IpAddress &address, const std::string &name) {
        QMetaObject::invokeMethod(
            this, [this, address, name] { results->setName(address, qText(name)); }, Qt::QueuedConnection);
    });
}

void FastSweepPage::namesClick()
{
    if (!names->isChecked()) {
        m_names.reset();
        results->clearNames();
        return;
    }
    startNames();
    std::vector<IpAddress> found;
    for (int row = 0; row < results->rowCount(); ++row)
        if (results->foundAt(row))
            found.push_back(results->answerAt(row).address);
    lookUpNames(found);
}

// The columns show while either box is checked; the next sweep searches as they say.
void FastSweepPage::presenceClick()
{
    showPresenceColumns(presenceAsked());
}

bool FastSweepPage::presenceAsked() const
{
    return neighbours->isChecked() || tcp->isChecked();
}

// A hidden column is sorted by neither its menu entry nor its shortcut.
void FastSweepPage::showPresenceColumns(bool shown)
{
    for (const SweepResultModel::Column column : PresenceColumns) {
        table->setColumnHidden(column, !shown);
        if (auto *sortBy = table->findChild<QAction *>(QString("sortBy%1").arg(column)))
            sortBy->setVisible(shown);
    }
}

void FastSweepPage::csvClick()
{
    exportAs("CSV (*.csv)", "csv", &SweepReport::writeCsv);
}

void FastSweepPage::jsonClick()
{
    exportAs("JSON (*.json)", "json", &SweepReport::writeJson);
}

// The file is written whole through a temporary one, so that a failed export leaves what was there.
void FastSweepPage::exportAs(const QString &filter, const QString &suffix,
                             void (SweepReport::*write)(std::ostream &) const)
{
    if (!m_report)
        return;
    exportDialog->setNameFilters({filter});
    exportDialog->setDefaultSuffix(suffix);
    const QString fileName = execFileDialog(*exportDialog);
    if (fileName.isEmpty())
        return;
    SweepReport report = *m_report;
    report.withNames = names->isChecked();
    report.withPresence = m_report->withPresence && presenceAsked();
    for (auto name = results->names().constBegin(); name != results->names().constEnd(); ++name)
        report.names[name.key()] = name.value().toStdString();
    std::ostringstream text;
    (report.*write)(text);
    ExportFile::write(fileName, text.str());
}

QList<QWidget *> FastSweepPage::tabOrder() const
{
    return QList<QWidget *>{targets, exclusions, rate, timeout, retries, start, stop} +
           QList<QWidget *>{names, neighbours, tcp, tcpPorts, csv, json, table};
}

// Short enough for the narrow panels at the largest values; the timer's panel has nothing to show.
QStringList FastSweepPage::settingsTexts() const
{
    return {rate->Text() + "/s", timeout->Text() + "mSeg", "Reint. : " + retries->Text(), QString()};
}

QString FastSweepPage::cellText(int row, int column) const
{
    return sorted->index(row, column).data().toString();
}

// The address is pinged on the single ping page at once, as a found machine's "Re PinG" does.
void FastSweepPage::tableDoubleClick(const QModelIndex &index)
{
    const Sweep::Answer &answer = results->answerAt(sorted->mapToSource(index).row());
    m_form.Sible1Click();
    m_form.HostEdit->setText(qText(answer.address.toString()));
    m_form.PingButtonClick();
}
