#pragma once

class QTableView;

// Sorting a table without a mouse: one action a column, "Ordenar por" and the column's header, in
// the table's context menu (the Menu key opens it) and on Ctrl+1, Ctrl+2 and so on while the table
// has the keyboard. Choosing the column the table is sorted by turns its order round, as a click on
// its header does.
class KeyboardSort {
public:
    static void attach(QTableView *table);
};
