#pragma once
#include "StartFocus.h"
#include "sweep/BackgroundSweep.h"
#include "sweep/Sweep.h"
#include "sweep/SweepReport.h"
#include "ui/UpDown.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <deque>
#include <memory>
#include <optional>

class HistoryRecorder;
class QCheckBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QModelIndex;
class QSortFilterProxyModel;
class QTableView;
class QWidget;
class ReverseNames;
class SweepResultModel;
class TBackground;
class TFloatEdit;
class TForm1;
class TProgressBarEx;
class TTransparentButton;

// The fast sweep page of the main window: many addresses at once, on a thread of the sweep's own so
// that the window stays responsive, its progress a few times a second, and a table of the hosts
// heard from that sorts, exports and names them. The hosts that answer join the found machines
// through the same record call as the range scan's. With "Vecinos" the sweep goes on to look for
// the hosts of this host's links by ARP and ND, with "TCP" for those that answered none of these by
// a connection attempt on the ports typed: they become rows and count as found, but only those
// that answered echo join the found machines and the history, which are of echo answers.
class FastSweepPage : public QObject {
public:
    FastSweepPage(TForm1 &form, QWidget *page);
    // A sweep still running is stopped and its thread waited for.
    ~FastSweepPage() override;

    void startClick();
    void stopClick();
    void namesClick();
    void presenceClick();
    void csvClick();
    void jsonClick();
    void tableDoubleClick(const QModelIndex &index);

    bool sweeping() const { return m_sweep != nullptr; }
    // The page's controls in the order Tab moves through them.
    QList<QWidget *> tabOrder() const;
    // The sweep's settings as the status panels show them while the page shows.
    QStringList settingsTexts() const;
    // The rows of the table as shown, in the order of the view.
    QString cellText(int row, int column) const;

    TBackground *Background3;
    QLineEdit *targets;
    QLineEdit *exclusions;
    TFloatEdit *rate;
    TFloatEdit *timeout;
    TFloatEdit *retries;
    TUpDown *rateArrows;
    TUpDown *timeoutArrows;
    TUpDown *retriesArrows;
    QCheckBox *names;
    QCheckBox *neighbours;
    QCheckBox *tcp;
    QLineEdit *tcpPorts;
    TTransparentButton *start;
    TTransparentButton *stop;
    TTransparentButton *csv;
    TTransparentButton *json;
    TProgressBarEx *progress;
    QLabel *state;
    QTableView *table;
    QFileDialog *exportDialog;
    SweepResultModel *results;
    QSortFilterProxyModel *sorted;

private:
    void createFields();
    void createPresenceFields();
    void createButtons();
    void createResults();
    void layOut();
    TFloatEdit *newField(const char *name, const QString &caption, const TUpDown::Range &range, TUpDown *&arrows);
    template <typename Handler> void bind(TTransparentButton *button, Handler handler);

    SweepTargets targetsTyped() const;
    Sweep::Settings settingsTyped() const;
    BackgroundSweep::Searches searchesAsked(const Sweep::Settings &settings) const;
    bool presenceAsked() const;
    void poll();
    void showPending(const QElapsedTimer &spent);
    void showProgress(const Sweep::Progress &now);
    void finish(const BackgroundSweep::News &last);
    void showFound(const BackgroundSweep::News &last, bool stopped);
    void recordPending(const QElapsedTimer &spent);
    void keepInHistory(const std::vector<Sweep::Answer> &answers);
    void startNames();
    void lookUpNames(const std::vector<IpAddress> &hosts);
    void exportAs(const QString &filter, const QString &suffix, void (SweepReport::*write)(std::ostream &) const);
    void setIdle(bool idle);
    void showPresenceColumns(bool shown);

    TForm1 &m_form;
    QWidget *m_page;
    std::optional<StartFocus> m_startFocus;
    QTimer m_poll;
    QElapsedTimer m_clock;
    QElapsedTimer m_lastProgress;
    int m_effectiveRate = 0;
    int m_timeoutMs = 0;
    std::unique_ptr<BackgroundSweep> m_sweep;
    std::unique_ptr<HistoryRecorder> m_history; // none where no data folder is known
    std::unique_ptr<ReverseNames> m_names;
    std::optional<SweepReport> m_report;
    std::deque<Sweep::Answer> m_unshown;    // answers on their way to the table
    std::deque<Sweep::Answer> m_unrecorded; // replies on their way to the found machines
};
