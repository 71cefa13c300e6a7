#pragma once
#include "MonitorHistory.h"
#include "history/HistoryExport.h"
#include "history/Reachability.h"
#include "ui/UpDown.h"

#include <QList>
#include <QModelIndexList>
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <string>
#include <vector>

class MonitorChart;
class MonitorExport;
class MonitorLoader;
class MonitorRowModel;
class QComboBox;
class QFileDialog;
class QLabel;
class QTableView;
class QWidget;
class TBackground;
class TFloatEdit;
class TForm1;
class TTransparentButton;

// The Monitor page of the main window: how each machine of the history has answered over the
// span chosen, a row each, and the times of the rows chosen drawn together. The history is read
// off the window's thread and again every little while the page shows; what the re-ping walk
// under way knows of a machine's state shows at once.
class MonitorPage : public QObject {
public:
    static constexpr int RefreshMs = 10000;

    MonitorPage(TForm1 &form, QWidget *page);
    ~MonitorPage() override;

    void reload();
    void pageChange();
    void spanChange();
    void downAfterChange();
    void selectionChange();
    void csvClick();
    void jsonClick();
    // The walk told of machines that went down or came back up.
    void machinesChanged();

    MonitorHistory::Span span() const;
    int downAfter() const;
    bool loading() const;
    // The machines of the rows chosen, in the table's order.
    std::vector<std::string> chosenMachines() const;
    QList<QWidget *> tabOrder() const;

    TBackground *Background4;
    QComboBox *spanBox;
    TFloatEdit *downAfterField;
    TUpDown *downAfterArrows;
    TTransparentButton *csv;
    TTransparentButton *json;
    QLabel *state;
    QTableView *table;
    MonitorChart *chart;
    MonitorRowModel *rows;
    QFileDialog *exportDialog;

private:
    void createControls();
    void createTable();
    void layOut();
    void bindLoader();
    template <typename Handler> void bind(TTransparentButton *button, Handler handler);
    QModelIndexList chosenRows() const;
    void choose(const std::vector<std::string> &machines);
    void showLive();
    void drawChart();
    void rowsRead(size_t first, size_t count);
    void loaded();
    void exportAs(const QString &filter, const QString &suffix, HistoryExport::Format format);
    void exported(const QString &fileName, const QString &failure);

    TForm1 &m_form;
    QWidget *m_page;
    MonitorLoader *m_loader;
    MonitorExport *m_export;
    QTimer m_refresh;
    int64_t m_nowMs = 0;
    MonitorHistory::Span m_shownSpan = MonitorHistory::Span::Hour;
};
