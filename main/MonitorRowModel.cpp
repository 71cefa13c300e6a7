#include "MonitorRowModel.h"

#include <QDateTime>

namespace {
const char *const Headers[MonitorRowModel::ColumnCount] = {"Maquina", "Estado",  "Desde",
                                                           "Ultimo",  "Perdida", "Mediana"};

QString timeText(int64_t ms)
{
    return ms == 0 ? QString() : QDateTime::fromMSecsSinceEpoch(ms).toString("dd/MM HH:mm:ss");
}

QString rttText(uint32_t ms)
{
    return QString::number(ms) + " mSeg";
}

QString stateText(Reachability::State state)
{
    switch (state) {
    case Reachability::State::Up: return "Responde";
    case Reachability::State::Down: return "No responde";
    case Reachability::State::Unknown: break;
    }
    return "Sin datos";
}
} // namespace

MonitorRowModel::MonitorRowModel(QObject *parent) : QAbstractTableModel(parent) {}

int MonitorRowModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int MonitorRowModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant MonitorRowModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QVariant();
    return QString(Headers[section]);
}

QVariant MonitorRowModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || size_t(index.row()) >= m_rows.size())
        return QVariant();
    const MonitorRow &row = m_rows[size_t(index.row())];
    if (role == ValueRole)
        return valueOf(row, index.column());
    if (role == Qt::DisplayRole)
        return textOf(row, index.column());
    return QVariant();
}

void MonitorRowModel::setMachines(const std::vector<std::string> &machines)
{
    beginResetModel();
    m_rows.clear();
    for (const std::string &machine : machines)
        m_rows.push_back({machine, {}, {}, {}, {}, false});
    for (const auto &[machine, state] : m_live)
        if (!std::binary_search(machines.begin(), machines.end(), machine))
            m_rows.push_back({machine, {}, {}, {}, {}, false});
    endResetModel();
}

void MonitorRowModel::setRows(size_t first, const std::vector<MonitorRow> &rows)
{
    if (rows.empty() || first + rows.size() > m_rows.size())
        return;
    std::copy(rows.begin(), rows.end(), m_rows.begin() + long(first));
    emit dataChanged(index(int(first), 0), index(int(first + rows.size()) - 1, ColumnCount - 1));
}

// Machines the walk has asked that the file does not hold yet join at the end.
void MonitorRowModel::setLive(const std::map<std::string, Reachability::Machine> &machines)
{
    m_live = machines;
    for (const auto &[machine, state] : m_live) {
        const bool known =
            std::any_of(m_rows.begin(), m_rows.end(), [&](const MonitorRow &row) { return row.machine == machine; });
        if (known)
            continue;
        beginInsertRows(QModelIndex(), int(m_rows.size()), int(m_rows.size()));
        m_rows.push_back({machine, {}, {}, {}, {}, false});
        endInsertRows();
    }
    if (!m_rows.empty())
        emit dataChanged(index(0, StateColumn), index(int(m_rows.size()) - 1, LastColumn));
}

Reachability::Machine MonitorRowModel::stateOf(const MonitorRow &row) const
{
    const auto live = m_live.find(row.machine);
    return live != m_live.end() && live->second.state != Reachability::State::Unknown ? live->second : row.state;
}

int64_t MonitorRowModel::lastAnswerMs(const MonitorRow &row) const
{
    const auto live = m_live.find(row.machine);
    const int64_t liveMs = live == m_live.end() ? 0 : live->second.lastAnswerMs;
    return std::max(liveMs, row.last ? row.last->atMs : 0);
}

QVariant MonitorRowModel::valueOf(const MonitorRow &row, int column) const
{
    switch (column) {
    case MachineColumn: return QString::fromStdString(row.machine);
    case StateColumn: return int(stateOf(row).state);
    case SinceColumn: return qint64(stateOf(row).sinceMs);
    case LastColumn: return qint64(lastAnswerMs(row));
    case LossColumn: return row.span.loss();
    case MedianColumn: return uint(row.span.medianMs);
    }
    return QVariant();
}

QString MonitorRowModel::textOf(const MonitorRow &row, int column) const
{
    const bool known = row.read || m_live.count(row.machine) != 0;
    if (column != MachineColumn && !known)
        return "...";
    const Reachability::Machine state = stateOf(row);
    switch (column) {
    case MachineColumn: return QString::fromStdString(row.machine);
    case StateColumn: return stateText(state.state);
    case SinceColumn: return state.state == Reachability::State::Unknown ? QString() : timeText(state.sinceMs);
    case LastColumn: return lastText(row);
    case LossColumn: return row.span.count == 0 ? QString() : QString::number(row.span.loss() * 100, 'f', 1) + " %";
    case MedianColumn: return row.span.answered() == 0 ? QString() : rttText(row.span.medianMs);
    }
    return QString();
}

// The newest of the file's last answer and the walk's last reply.
QString MonitorRowModel::lastText(const MonitorRow &row) const
{
    const auto live = m_live.find(row.machine);
    if (live != m_live.end() && live->second.lastAnswerMs != 0 &&
        (!row.last || live->second.lastAnswerMs >= row.last->atMs))
        return rttText(live->second.lastRttMs);
    if (!row.last)
        return QString();
    return row.last->answered ? rttText(row.last->rttMs) : QString::fromStdString(row.last->status);
}
