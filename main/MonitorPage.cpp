#include "MonitorPage.h"

#include "MonitorChart.h"
#include "MonitorExport.h"
#include "MonitorLoader.h"
#include "MonitorRowModel.h"
#include "PageLook.h"
#include "Unit1.h"
#include "dialogs/Unit5.h"
#include "history/HistoryError.h"
#include "history/HistoryStore.h"
#include "main/Forms.h"
#include "ui/ExceptionReport.h"
#include "ui/HistoryFile.h"
#include "ui/IntegerText.h"
#include "ui/TestSeams.h"
#include "widgets/Backgnd.h"
#include "widgets/FloatEdit.h"
#include "widgets/TransBtn.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <QStackedWidget>
#include <QTableView>
#include <algorithm>
#include <set>
#include <stdexcept>

namespace {
constexpr QSize SmallButtonSize(80, 28);
const QStringList SpanTexts = {"10 minutos", "1 hora", "1 dia", "1 semana"};
const TUpDown::Range DownAfterRange = {1, 100, 1, Reachability::DefaultDownAfter};

QPalette whiteOnBlack()
{
    QPalette palette(Qt::white, Qt::black);
    palette.setColor(QPalette::Text, Qt::white);
    palette.setColor(QPalette::Base, Qt::black);
    palette.setColor(QPalette::Window, Qt::black);
    return palette;
}

const Reachability *liveWalk()
{
    return Form5 ? &Form5->walk().reachability() : nullptr;
}
} // namespace

MonitorPage::MonitorPage(TForm1 &form, QWidget *page)
    : m_form(form), m_page(page), m_loader(new MonitorLoader(this)), m_export(new MonitorExport(this))
{
    Background4 = newPageBackground(page, "Background4", 5);
    createControls();
    createTable();
    layOut();
    bindLoader();
    m_export->OnDone = [this](const QString &fileName, const QString &failure) { exported(fileName, failure); };
    growWhenShown(form.tipo, page);
    connect(form.tipo, &QStackedWidget::currentChanged, this,
            [this] { reportExceptions(&m_form, [this] { pageChange(); }); });
    m_refresh.setObjectName("monitorRefresh");
    m_refresh.setInterval(RefreshMs);
    connect(&m_refresh, &QTimer::timeout, this, [this] { reportExceptions(&m_form, [this] { reload(); }); });
}

// The loader's thread ends before the rows it would fill go, and an export before the page.
MonitorPage::~MonitorPage()
{
    delete m_loader;
    delete m_export;
}

template <typename Handler> void MonitorPage::bind(TTransparentButton *button, Handler handler)
{
    button->OnClick = [this, handler](QObject *) {
        reportExceptions(&m_form, [this, handler] { (this->*handler)(); });
    };
}

void MonitorPage::createControls()
{
    spanBox = new QComboBox(m_page);
    spanBox->setObjectName("monitorSpan");
    spanBox->setAccessibleName("Periodo");
    spanBox->addItems(SpanTexts);
    spanBox->setCurrentIndex(int(MonitorHistory::Span::Hour));
    QPalette choice = typedText();
    choice.setColor(QPalette::ButtonText, Qt::red);
    choice.setColor(QPalette::Button, Qt::white);
    spanBox->setPalette(choice);
    connect(spanBox, &QComboBox::currentIndexChanged, this,
            [this] { reportExceptions(&m_form, [this] { spanChange(); }); });

    downAfterField = new TFloatEdit(m_page);
    downAfterField->setObjectName("monitorDownAfter");
    downAfterField->setAccessibleName("Caida tras re-pings sin respuesta");
    downAfterField->SetText(QString::number(DownAfterRange.Position));
    downAfterField->SetMaxLength(3);
    downAfterField->setFixedWidth(40);
    downAfterField->setPalette(typedText());
    downAfterArrows = new TUpDown(downAfterField, DownAfterRange, m_page);
    downAfterArrows->setObjectName("monitorDownAfterArrows");
    downAfterField->OnChange = [this](QObject *) { reportExceptions(&m_form, [this] { downAfterChange(); }); };

    csv = newPageButton(m_page, "monitorCsv", "CSV", QStyle::SP_DialogSaveButton, GlyphCells::normal, SmallButtonSize);
    json =
        newPageButton(m_page, "monitorJson", "JSON", QStyle::SP_DialogSaveButton, GlyphCells::normal, SmallButtonSize);
    bind(csv, &MonitorPage::csvClick);
    bind(json, &MonitorPage::jsonClick);
    state = newPageCaption(m_page, "monitorState", QString());
    state->setAccessibleName("Estado del historial");

    exportDialog = newExportDialog(&m_form, "monitorExportDialog");
}

void MonitorPage::createTable()
{
    rows = new MonitorRowModel(this);
    table = new QTableView(m_page);
    table->setObjectName("monitorTable");
    table->setAccessibleName("Maquinas vigiladas");
    table->setModel(rows);
    table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    describePageTable(table, whiteOnBlack());
    table->setMinimumHeight(60);
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { reportExceptions(&m_form, [this] { selectionChange(); }); });

    chart = new MonitorChart(m_page);
    chart->setObjectName("monitorChart");
    chart->setAccessibleName("Grafico de tiempos");
}

// The settings along the top, then the state and the exports, the rows at the left and their chart
// at the right.
void MonitorPage::layOut()
{
    auto *top = new QHBoxLayout;
    top->setSpacing(4);
    top->addWidget(newPageCaption(m_page, "monitorSpanCaption", "Periodo"));
    top->addWidget(spanBox);
    top->addSpacing(8);
    auto *downCaption = newPageCaption(m_page, "monitorDownAfterCaption", "Caida tras");
    downCaption->setBuddy(downAfterField);
    top->addWidget(downCaption);
    top->addWidget(downAfterField);
    top->addWidget(downAfterArrows);
    top->addWidget(newPageCaption(m_page, "monitorDownAfterUnit", "re-pings"));
    top->addStretch(1);

    // The state's text may be long: the window does not widen for it.
    state->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto *middle = new QHBoxLayout;
    middle->addWidget(state, 1);
    middle->addWidget(csv);
    middle->addWidget(json);

    auto *views = new QHBoxLayout;
    views->setSpacing(4);
    views->addWidget(table, 1);
    views->addWidget(chart, 1);

    auto *column = new QVBoxLayout(m_page);
    column->setContentsMargins(8, 4, 4, 4);
    column->setSpacing(3);
    column->addLayout(top);
    column->addLayout(middle);
    column->addLayout(views, 1);
}

void MonitorPage::bindLoader()
{
    m_loader->OnMachines = [this](const std::vector<std::string> &machines) {
        const std::vector<std::string> chosen = chosenMachines();
        rows->setMachines(machines);
        showLive();
        choose(chosen);
        drawChart();
    };
    m_loader->OnRows = [this](size_t first, const std::vector<MonitorRow> &read) {
        rows->setRows(first, read);
        rowsRead(first, read.size());
    };
    m_loader->OnDone = [this] { loaded(); };
    m_loader->OnFailure = [this](const HistoryError &failure) { state->setText(HistoryFile::failureText(failure)); };
}

QList<QWidget *> MonitorPage::tabOrder() const
{
    return {spanBox, downAfterField, csv, json, table};
}

MonitorHistory::Span MonitorPage::span() const
{
    return MonitorHistory::Span(std::max(0, spanBox->currentIndex()));
}

// What is typed counts within the arrows' bounds.
int MonitorPage::downAfter() const
{
    const QString text = downAfterField->Text();
    const int typed = text.isEmpty() ? DownAfterRange.Position : integerOf(text);
    return std::clamp(typed, DownAfterRange.Min, DownAfterRange.Max);
}

bool MonitorPage::loading() const
{
    return m_loader->loading();
}

void MonitorPage::reload()
{
    m_nowMs = windowClock().nowMs();
    m_shownSpan = span();
    state->setText("Leyendo el historial...");
    m_loader->load({HistoryFile::path().toStdString(), m_shownSpan, m_nowMs, downAfter()});
}

// Read when it shows, and again every little while as long as it does.
void MonitorPage::pageChange()
{
    if (m_form.tipo->currentWidget() != m_page) {
        m_refresh.stop();
        return;
    }
    m_refresh.start();
    reload();
}

void MonitorPage::spanChange()
{
    reload();
}

void MonitorPage::downAfterChange()
{
    const int requests = downAfter();
    if (Form5)
        Form5->setDownAfter(requests);
    reload();
}

void MonitorPage::selectionChange()
{
    drawChart();
}

void MonitorPage::machinesChanged()
{
    showLive();
    if (m_form.tipo->currentWidget() == m_page)
        reload();
}

void MonitorPage::showLive()
{
    if (const Reachability *live = liveWalk())
        rows->setLive(live->machines());
}

QModelIndexList MonitorPage::chosenRows() const
{
    QModelIndexList chosen = table->selectionModel()->selectedRows();
    std::sort(chosen.begin(), chosen.end());
    return chosen;
}

// The machines chosen before a new read stay chosen, in one change of the selection; the first row
// stands in for none.
void MonitorPage::choose(const std::vector<std::string> &machines)
{
    const std::set<std::string> wanted(machines.begin(), machines.end());
    QItemSelection selection;
    for (int row = 0; row < rows->rowCount(); ++row)
        if (wanted.count(rows->rowAt(row).machine) != 0)
            selection.select(rows->index(row, 0), rows->index(row, MonitorRowModel::ColumnCount - 1));
    if (selection.isEmpty() && rows->rowCount() > 0)
        selection.select(rows->index(0, 0), rows->index(0, MonitorRowModel::ColumnCount - 1));
    table->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

std::vector<std::string> MonitorPage::chosenMachines() const
{
    std::vector<std::string> machines;
    for (const QModelIndex &index : chosenRows())
        machines.push_back(rows->rowAt(index.row()).machine);
    return machines;
}

void MonitorPage::drawChart()
{
    std::vector<MonitorChart::Series> series;
    for (const QModelIndex &index : chosenRows()) {
        const MonitorRow &row = rows->rowAt(index.row());
        series.push_back({QString::fromStdString(row.machine), row.periods});
    }
    const int64_t length = MonitorHistory::lengthOf(m_shownSpan);
    chart->setSeries(std::move(series), m_nowMs - length, m_nowMs, MonitorHistory::periodOf(m_shownSpan));
}

// The chart is drawn again only when rows it shows were read.
void MonitorPage::rowsRead(size_t first, size_t count)
{
    for (const QModelIndex &index : table->selectionModel()->selectedRows())
        if (size_t(index.row()) >= first && size_t(index.row()) < first + count) {
            drawChart();
            return;
        }
}

void MonitorPage::loaded()
{
    const int machines = rows->rowCount();
    state->setText(machines == 0 ? QString("Sin historial todavia") : QString::number(machines) + " maquinas");
}

void MonitorPage::csvClick()
{
    exportAs("CSV (*.csv)", "csv", HistoryExport::Format::Csv);
}

void MonitorPage::jsonClick()
{
    exportAs("JSON (*.json)", "json", HistoryExport::Format::Json);
}

// What is kept of the machines chosen (all of them when none is) over the span, as the command line
// exports it; read and written off the window's thread, whole through a temporary file.
void MonitorPage::exportAs(const QString &filter, const QString &suffix, HistoryExport::Format format)
{
    const QString history = HistoryFile::path();
    if (!QFile::exists(history))
        throw std::runtime_error("Sin historial todavia");
    exportDialog->setNameFilters({filter});
    exportDialog->setDefaultSuffix(suffix);
    const QString fileName = execFileDialog(*exportDialog);
    if (fileName.isEmpty())
        return;
    const int64_t nowMs = windowClock().nowMs();
    csv->setEnabled(false);
    json->setEnabled(false);
    state->setText("Exportando a " + fileName + "...");
    m_export->start({history.toStdString(), chosenMachines(), nowMs - MonitorHistory::lengthOf(span()), nowMs + 1,
                     format, fileName});
}

void MonitorPage::exported(const QString &fileName, const QString &failure)
{
    csv->setEnabled(true);
    json->setEnabled(true);
    if (!failure.isEmpty()) {
        state->setText(failure);
        showStopMessage(&m_form, failure);
        return;
    }
    state->setText("Exportado a " + fileName);
}
