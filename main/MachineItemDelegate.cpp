#include "MachineItemDelegate.h"

#include <QApplication>
#include <QStyle>

namespace {
const QString WidestCaption = "255.255.255.255 (99999mSeg)";
}

QSize MachineItemDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem widest = option;
    initStyleOption(&widest, index);
    widest.text = WidestCaption;
    const QWidget *view = option.widget;
    const QStyle *style = view ? view->style() : QApplication::style();
    return style->sizeFromContents(QStyle::CT_ItemViewItem, &widest, QSize(), view);
}
