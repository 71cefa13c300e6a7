#include "MachineListView.h"

#include "MachineItemDelegate.h"
#include "ui/Artwork.h"

#include <QScrollBar>

namespace {
constexpr int AddressRole = Qt::UserRole;
constexpr int LargeIconSize = 48;
constexpr int SmallIconSize = 16;
} // namespace

MachineListView::MachineListView(QWidget *parent) : QListWidget(parent), m_icon(Artwork::computerIcon())
{
    setObjectName("ListView1");
    setFrameShape(QFrame::NoFrame);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSortingEnabled(false);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setItemDelegate(new MachineItemDelegate(this));
    setUniformItemSizes(true);
    setViewStyle(ViewStyle::LargeIcons);
    // A re-captioned machine may need wider cells.
    connect(model(), &QAbstractItemModel::dataChanged, this, [this](const QModelIndex &first, const QModelIndex &last) {
        for (int row = first.row(); row <= last.row(); ++row)
            captionShown(item(row)->text());
    });
    // Actions are what a user does to a scroll bar; the view's own scrolling sets the value alone.
    for (QScrollBar *bar : {horizontalScrollBar(), verticalScrollBar()})
        connect(bar, &QAbstractSlider::actionTriggered, this, [this] { m_scrolledByUser = true; });
}

QListWidgetItem *MachineListView::addMachine(const QString &address, const QString &caption)
{
    auto *item = new QListWidgetItem(m_icon, caption);
    item->setData(AddressRole, address);
    addItem(item);
    m_itemOf.insert(address, item);
    captionShown(caption);
    return item;
}

// Character by character, which needs no text shaping: a re-caption must stay cheap in a list of
// tens of thousands.
void MachineListView::captionShown(const QString &caption)
{
    const QFontMetrics metrics = fontMetrics();
    int width = 0;
    for (const QChar character : caption)
        width += metrics.horizontalAdvance(character);
    if (width <= m_widestWidth)
        return;
    m_widestWidth = width;
    m_widestCaption = caption;
    scheduleDelayedItemsLayout();
}

void MachineListView::removeMachine(QListWidgetItem *item)
{
    m_itemOf.remove(item->data(AddressRole).toString());
    delete item;
}

void MachineListView::clearMachines()
{
    m_itemOf.clear();
    clear();
    m_widestCaption.clear();
    m_widestWidth = 0;
    m_scrolledByUser = false;
}

// A re-ping moves the mark through the whole list, again and again: a view that followed it would be
// taken from a user reading the list every few moments.
void MachineListView::markFocused(QListWidgetItem *item)
{
    const bool scrolls = hasAutoScroll();
    setAutoScroll(scrolls && !m_scrolledByUser && selectedItems().isEmpty());
    selectionModel()->setCurrentIndex(indexFromItem(item), QItemSelectionModel::NoUpdate);
    setAutoScroll(scrolls);
}

QListWidgetItem *MachineListView::selectedMachine() const
{
    const QList<QListWidgetItem *> selected = selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void MachineListView::setViewStyle(ViewStyle style)
{
    if (style == m_viewStyle)
        return;
    m_viewStyle = style;
    const bool large = style == ViewStyle::LargeIcons;
    setIconSize(large ? QSize(LargeIconSize, LargeIconSize) : QSize(SmallIconSize, SmallIconSize));
    // Small icons fill rows, the list fills columns; both wrap at the view's edge.
    setFlow(style == ViewStyle::List ? QListView::TopToBottom : QListView::LeftToRight);
    setWrapping(true);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
}

void MachineListView::initViewItemOption(QStyleOptionViewItem *option) const
{
    QListWidget::initViewItemOption(option);
    if (m_viewStyle != ViewStyle::LargeIcons)
        return;
    option->decorationPosition = QStyleOptionViewItem::Top;
    option->decorationAlignment = Qt::AlignCenter;
    option->displayAlignment = Qt::AlignHCenter | Qt::AlignTop;
}
