#include "TDockLineUp.h"

#include <algorithm>

namespace {
// Hidden controls take no room, so they do not count for the row height or column width.
int tallest(const std::vector<TDockItem> &items)
{
    int height = 0;
    for (const TDockItem &item : items)
        if (item.visible)
            height = std::max(height, item.rect.height());
    return height;
}

int widest(const std::vector<TDockItem> &items)
{
    int width = 0;
    for (const TDockItem &item : items)
        if (item.visible)
            width = std::max(width, item.rect.width());
    return width;
}
} // namespace

TDockLineUp::TDockLineUp(TDockAlign dock, const QRect &area, int borderWidth, int gapSize)
    : m_dock(dock), m_area(area), m_borderWidth(borderWidth), m_gapSize(gapSize)
{
}

void TDockLineUp::sortByPlace(std::vector<TDockItem> &items, TDockAlign lastDock, int borderWidth)
{
    const auto byLeft = [](const TDockItem &a, const TDockItem &b) { return a.rect.left() < b.rect.left(); };
    const auto byTop = [](const TDockItem &a, const TDockItem &b) { return a.rect.top() < b.rect.top(); };
    if (lastDock == dkFloat) {
        const int pitch = std::max(1, tallest(items) + borderWidth);
        std::stable_sort(items.begin(), items.end(), [pitch](const TDockItem &a, const TDockItem &b) {
            const int rowA = a.rect.top() / pitch;
            const int rowB = b.rect.top() / pitch;
            return rowA != rowB ? rowA < rowB : a.rect.left() < b.rect.left();
        });
    } else if (isSideDock(lastDock)) {
        std::stable_sort(items.begin(), items.end(), byTop);
    } else {
        std::stable_sort(items.begin(), items.end(), byLeft);
    }
}

QSize TDockLineUp::arrange(std::vector<TDockItem> &items) const
{
    // A spacer hidden at the start of a floating row may fit again elsewhere.
    for (std::size_t index = 1; index < items.size(); ++index)
        if (items[index].spacer)
            items[index].visible = true;
    const int rowHeight = tallest(items);
    if (rowHeight == 0)
        return QSize();
    switch (m_dock) {
    case dkTop:
    case dkBottom: return arrangeRow(items, rowHeight);
    case dkLeft:
    case dkRight: return arrangeColumn(items, widest(items));
    case dkFloat: break;
    }
    return arrangeRows(items, rowHeight);
}

QSize TDockLineUp::arrangeRow(std::vector<TDockItem> &items, int rowHeight) const
{
    int x = m_area.left();
    for (TDockItem &item : items) {
        if (!item.visible)
            continue;
        item.rect.moveTo(x, m_area.top() + (m_area.height() - item.rect.height()) / 2);
        x += item.rect.width() + m_gapSize;
    }
    return QSize(x - m_area.left(), rowHeight);
}

QSize TDockLineUp::arrangeColumn(std::vector<TDockItem> &items, int columnWidth) const
{
    int y = m_area.top();
    for (TDockItem &item : items) {
        if (!item.visible)
            continue;
        item.rect.moveTo(m_area.left() + (m_area.width() - item.rect.width()) / 2, y);
        y += item.rect.height();
    }
    return QSize(columnWidth, y - m_area.top());
}

QSize TDockLineUp::arrangeRows(std::vector<TDockItem> &items, int rowHeight) const
{
    const int pitch = m_borderWidth + rowHeight;
    const int right = m_area.left() + m_area.width();
    int x = m_area.left();
    int row = 0;
    int widestRow = 0;
    for (TDockItem &item : items) {
        if (!item.visible)
            continue;
        if (x > m_area.left() && x + item.rect.width() > right) {
            // A spacer never starts a row: it would only indent it.
            if (item.spacer) {
                item.visible = false;
                continue;
            }
            widestRow = std::max(widestRow, x - m_area.left());
            ++row;
            x = m_area.left();
        }
        item.rect.moveTo(x, m_area.top() + (rowHeight - item.rect.height()) / 2 + pitch * row);
        x += item.rect.width() + m_gapSize;
    }
    widestRow = std::max(widestRow, x - m_area.left());
    return QSize(widestRow, (row + 1) * pitch);
}
