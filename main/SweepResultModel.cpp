#include "SweepResultModel.h"

#include "echo/EchoTerms.h"
#include "platform/IcmpTypes.h"
#include "sweep/HardwareMakers.h"

namespace {
QString qText(const std::string &text)
{
    return QString::fromStdString(text);
}

bool answered(const Sweep::Answer &answer)
{
    return answer.status == IP_SUCCESS;
}

// The makers as the list names them; an address no maker set, in the window's language.
QString makerText(const HostPresence *presence)
{
    if (presence == nullptr)
        return {};
    return presence->maker == HardwareMakers::LocallyAdministered ? "administrada localmente" : qText(presence->maker);
}

// What an empty cell reads as.
QString emptyText(int column)
{
    switch (column) {
    case SweepResultModel::RttColumn: return "sin tiempo";
    case SweepResultModel::FoundByColumn: return "sin datos";
    case SweepResultModel::MacColumn: return "sin MAC";
    case SweepResultModel::MakerColumn: return "sin fabricante";
    default: return "sin nombre";
    }
}
} // namespace

SweepResultModel::SweepResultModel(QObject *parent) : QAbstractTableModel(parent) {}

int SweepResultModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int SweepResultModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString SweepResultModel::statusText(const Sweep::Answer &answer)
{
    if (answered(answer))
        return "Responde";
    const QString error = qText(EchoTerms::errorText(int(answer.status)));
    return answer.from.isNull() ? error : error + " from " + qText(answer.from.toString());
}

// As the exported files write it.
QString SweepResultModel::rttText(const Sweep::Answer &answer)
{
    return answered(answer) ? QString::number(answer.rttMs, 'f', 3) : QString();
}

QVariant SweepResultModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || size_t(index.row()) >= m_rows.size())
        return {};
    const Sweep::Answer &answer = m_rows[size_t(index.row())];
    if (role == SortRole) {
        switch (index.column()) {
        // Of one length in each family, the family first: hexadecimal text sorts as the numbers do.
        case AddressColumn:
            return QString(answer.address.isV4() ? "4" : "6") +
                   QByteArray(reinterpret_cast<const char *>(answer.address.bytes()), qsizetype(answer.address.size()))
                       .toHex();
        // The errors beyond every time.
        case RttColumn: return answered(answer) ? answer.rttMs : 1e300;
        default: return textOf(answer, index.column());
        }
    }
    if (role == Qt::TextAlignmentRole && index.column() == RttColumn)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::AccessibleTextRole)
        return {};
    const QString text = textOf(answer, index.column());
    // An empty cell still reads as something.
    if (role == Qt::AccessibleTextRole && text.isEmpty())
        return emptyText(index.column());
    return text;
}

QString SweepResultModel::textOf(const Sweep::Answer &answer, int column) const
{
    const HostPresence *presence = presenceOf(answer.address);
    switch (column) {
    case AddressColumn: return qText(answer.address.toString());
    case RttColumn: return rttText(answer);
    case StatusColumn: return statusOf(answer);
    case FoundByColumn: return foundByText(answer);
    case MacColumn: return presence ? qText(presence->hardware) : QString();
    case MakerColumn: return makerText(presence);
    default: return m_names.value(answer.address);
    }
}

QString SweepResultModel::statusOf(const Sweep::Answer &answer) const
{
    return !answered(answer) && presenceOf(answer.address) ? "Presente" : statusText(answer);
}

// Every echo answer was found by echo, once hosts were looked for otherwise too.
QString SweepResultModel::foundByText(const Sweep::Answer &answer) const
{
    if (const HostPresence *presence = presenceOf(answer.address))
        return qText(presence->foundBy());
    return m_withPresence && answered(answer) ? "echo" : QString();
}

const HostPresence *SweepResultModel::presenceOf(const IpAddress &address) const
{
    const auto found = m_presence.find(address);
    return found == m_presence.end() ? nullptr : &found->second;
}

bool SweepResultModel::foundAt(int row) const
{
    const Sweep::Answer &answer = answerAt(row);
    return answered(answer) || presenceOf(answer.address) != nullptr;
}

QVariant SweepResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const Headers[ColumnCount] = {"Direccion IP",   "Tiempo (ms)", "Estado",    "Nombre",
                                                     "Encontrado por", "MAC",         "Fabricante"};
    return Headers[section];
}

void SweepResultModel::add(const std::vector<Sweep::Answer> &answers)
{
    if (answers.empty())
        return;
    const int first = int(m_rows.size());
    beginInsertRows(QModelIndex(), first, first + int(answers.size()) - 1);
    for (const Sweep::Answer &answer : answers) {
        m_rowOf.insert(answer.address, int(m_rows.size()));
        m_rows.push_back(answer);
    }
    endInsertRows();
}

void SweepResultModel::setName(const IpAddress &address, const QString &name)
{
    const auto row = m_rowOf.constFind(address);
    if (row == m_rowOf.constEnd() || name.isEmpty())
        return;
    m_names.insert(address, name);
    const QModelIndex cell = index(*row, NameColumn);
    emit dataChanged(cell, cell);
}

void SweepResultModel::clearNames()
{
    if (m_names.isEmpty())
        return;
    m_names.clear();
    emit dataChanged(index(0, NameColumn), index(rowCount() - 1, NameColumn));
}

std::vector<IpAddress> SweepResultModel::setPresence(const std::map<IpAddress, HostPresence> &presence)
{
    m_withPresence = true;
    m_presence = presence;
    if (!m_rows.empty())
        emit dataChanged(index(0, StatusColumn), index(rowCount() - 1, MakerColumn));
    std::vector<IpAddress> added;
    std::vector<Sweep::Answer> rows;
    for (const auto &[address, found] : presence)
        if (found.method != HostPresence::Method::Echo && !m_rowOf.contains(address)) {
            added.push_back(address);
            rows.push_back({address, IP_REQ_TIMED_OUT, {}, 0});
        }
    add(rows);
    return added;
}

void SweepResultModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_rowOf.clear();
    m_names.clear();
    m_withPresence = false;
    m_presence.clear();
    endResetModel();
}
