#include "SweepResultModel.h"

#include "echo/EchoTerms.h"
#include "platform/IcmpTypes.h"

namespace {
QString qText(const std::string &text)
{
    return QString::fromStdString(text);
}

bool answered(const Sweep::Answer &answer)
{
    return answer.status == IP_SUCCESS;
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
        return index.column() == RttColumn ? "sin tiempo" : "sin nombre";
    return text;
}

QString SweepResultModel::textOf(const Sweep::Answer &answer, int column) const
{
    switch (column) {
    case AddressColumn: return qText(answer.address.toString());
    case RttColumn: return rttText(answer);
    case StatusColumn: return statusText(answer);
    default: return m_names.value(answer.address);
    }
}

QVariant SweepResultModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    static const char *const Headers[ColumnCount] = {"Direccion IP", "Tiempo (ms)", "Estado", "Nombre"};
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

void SweepResultModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_rowOf.clear();
    m_names.clear();
    endResetModel();
}
