#pragma once
#include "MonitorRow.h"

#include <QAbstractTableModel>
#include <QString>
#include <map>
#include <string>
#include <vector>

// The Monitor's rows, one per machine of the history, in the order of their names. What the
// re-ping walk under way knows of a machine's state and last answer is newer than the file's, and
// shows over it.
class MonitorRowModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { MachineColumn, StateColumn, SinceColumn, LastColumn, LossColumn, MedianColumn, ColumnCount };
    // Times in ms since the epoch, round-trip times in ms, the loss as a fraction, the state's number.
    static constexpr int ValueRole = Qt::UserRole;

    explicit MonitorRowModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The machines known, their rows not read yet.
    void setMachines(const std::vector<std::string> &machines);
    void setRows(size_t first, const std::vector<MonitorRow> &rows);
    void setLive(const std::map<std::string, Reachability::Machine> &machines);

    const MonitorRow &rowAt(int row) const { return m_rows.at(size_t(row)); }
    Reachability::Machine stateOf(const MonitorRow &row) const;

private:
    QVariant valueOf(const MonitorRow &row, int column) const;
    QString textOf(const MonitorRow &row, int column) const;
    QString lastText(const MonitorRow &row) const;
    int64_t lastAnswerMs(const MonitorRow &row) const;

    std::vector<MonitorRow> m_rows;
    std::map<std::string, Reachability::Machine> m_live;
};
