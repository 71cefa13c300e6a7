#include "KeyboardSort.h"

#include <QAction>
#include <QHeaderView>
#include <QKeySequence>
#include <QTableView>
#include <algorithm>

namespace {
void sortBy(QTableView *table, int column)
{
    const QHeaderView *header = table->horizontalHeader();
    const bool turn = header->sortIndicatorSection() == column && header->sortIndicatorOrder() == Qt::AscendingOrder;
    table->sortByColumn(column, turn ? Qt::DescendingOrder : Qt::AscendingOrder);
}
} // namespace

void KeyboardSort::attach(QTableView *table)
{
    const int columns = table->model()->columnCount();
    for (int column = 0; column < columns; ++column) {
        const QString header = table->model()->headerData(column, Qt::Horizontal).toString();
        auto *action = new QAction("Ordenar por " + header, table);
        action->setObjectName(QString("sortBy%1").arg(column));
        if (column < 9)
            action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key(Qt::Key_1 + column)));
        action->setShortcutContext(Qt::WidgetShortcut);
        QObject::connect(action, &QAction::triggered, table, [table, column] { sortBy(table, column); });
        table->addAction(action);
    }
    table->setContextMenuPolicy(Qt::ActionsContextMenu);
    table->setAccessibleDescription("Ordenar: menu contextual, o Ctrl+1 a Ctrl+" +
                                    QString::number(std::min(columns, 9)));
}
