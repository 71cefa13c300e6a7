#pragma once
#include <QStyledItemDelegate>

// Every machine's cell is as large as the widest caption its list has shown, so that a list of
// tens of thousands of machines is laid out without measuring each caption.
class MachineItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
