#include "MachineItemDelegate.h"

#include "MachineListView.h"

#include <QApplication>
#include <QStyle>

QSize MachineItemDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem widest = option;
    initStyleOption(&widest, index);
    const QWidget *view = option.widget;
    if (const auto *list = qobject_cast<const MachineListView *>(view))
        widest.text = list->widestCaption();
    const QStyle *style = view ? view->style() : QApplication::style();
    return style->sizeFromContents(QStyle::CT_ItemViewItem, &widest, QSize(), view);
}
