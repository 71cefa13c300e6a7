#pragma once
#include "flows/MachineListFile.h"

#include <QPlainTextEdit>
#include <QStringList>
#include <QTimer>

// The summary of found machines: shows the lines of a machine list and keeps its exact text, so
// that saving writes back what was loaded. The document's modified flag tells whether there are
// lines that were never saved. New lines reach the screen at the next turn of the event loop, all
// at once: appending to a text document costs far more than recording the line.
class MachineMemo : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit MachineMemo(QWidget *parent = nullptr);

    // Adds line unless it is there already; a new line raises the modified flag.
    bool addLine(const QString &line);
    // Empties the memo and lowers the flag.
    void clearLines();
    // Replaces the text, shows its first lines and lowers the flag.
    void setList(MachineListFile list);
    const MachineListFile &list() const { return m_list; }

    bool isModified() const;
    void setModified(bool modified);

private:
    void showPending();

    MachineListFile m_list;
    QStringList m_pending;
    QTimer m_showPending;
    qsizetype m_shownLines = 0;
};
