#pragma once
#include "sweep/HostPresence.h"
#include "sweep/Sweep.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QString>
#include <map>
#include <vector>

inline size_t qHash(const IpAddress &address, size_t seed = 0)
{
    return qHashBits(address.bytes(), address.size(), seed);
}

// The rows of the fast sweep's table, one per address heard from, in the order they came; a sort
// proxy shows them in order, by SortRole: addresses as numbers (IPv4 before IPv6), times as numbers.
// With presence, a host found by other means than echo is a row too, and each row tells how its host
// was found, with its hardware address and maker where known.
class SweepResultModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        AddressColumn,
        RttColumn,
        StatusColumn,
        NameColumn,
        FoundByColumn,
        MacColumn,
        MakerColumn,
        ColumnCount
    };
    static constexpr int SortRole = Qt::UserRole;

    explicit SweepResultModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    void add(const std::vector<Sweep::Answer> &answers);
    void setName(const IpAddress &address, const QString &name);
    void clearNames();
    // Returns the hosts that became rows: those found without echo.
    std::vector<IpAddress> setPresence(const std::map<IpAddress, HostPresence> &presence);
    void clear();

    // A host found without echo is there with the time-out its echo met.
    const Sweep::Answer &answerAt(int row) const { return m_rows[size_t(row)]; }
    // Whether the row's host is there: it answered echo, or was found otherwise.
    bool foundAt(int row) const;
    // The names found so far, by address.
    const QHash<IpAddress, QString> &names() const { return m_names; }

private:
    static QString statusText(const Sweep::Answer &answer);
    static QString rttText(const Sweep::Answer &answer);
    QString textOf(const Sweep::Answer &answer, int column) const;
    QString statusOf(const Sweep::Answer &answer) const;
    QString foundByText(const Sweep::Answer &answer) const;
    const HostPresence *presenceOf(const IpAddress &address) const;

    std::vector<Sweep::Answer> m_rows;
    QHash<IpAddress, int> m_rowOf;
    QHash<IpAddress, QString> m_names;
    // Kept by address, as an answer may become a row only after its presence is known.
    bool m_withPresence = false;
    std::map<IpAddress, HostPresence> m_presence;
};
