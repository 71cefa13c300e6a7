#include "MachineMemo.h"

#include <QTextCursor>
#include <utility>

MachineMemo::MachineMemo(QWidget *parent) : QPlainTextEdit(parent)
{
    setObjectName("ips");
    setReadOnly(true);
    setUndoRedoEnabled(false);
    setLineWrapMode(QPlainTextEdit::NoWrap);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_showPending.setSingleShot(true);
    m_showPending.setInterval(0);
    connect(&m_showPending, &QTimer::timeout, this, &MachineMemo::showPending);
}

bool MachineMemo::addLine(const QString &line)
{
    if (!m_list.addLine(line))
        return false;
    m_pending.append(line);
    if (!m_showPending.isActive())
        m_showPending.start();
    setModified(true);
    return true;
}

void MachineMemo::showPending()
{
    QTextCursor cursor(document());
    cursor.beginEditBlock();
    cursor.movePosition(QTextCursor::End);
    // One block per line once there are lines; an empty memo still has its one empty block. One
    // insertion for them all costs far less than one for each.
    cursor.insertText((m_shownLines > 0 ? "\n" : "") + m_pending.join('\n'));
    m_shownLines += m_pending.size();
    cursor.endEditBlock();
    m_pending.clear();
}

void MachineMemo::clearLines()
{
    m_list.clear();
    m_pending.clear();
    m_showPending.stop();
    m_shownLines = 0;
    clear();
    setModified(false);
}

void MachineMemo::setList(MachineListFile list)
{
    m_list = std::move(list);
    m_pending.clear();
    m_showPending.stop();
    m_shownLines = m_list.lines().size();
    setPlainText(m_list.lines().join(QChar('\n')));
    moveCursor(QTextCursor::Start);
    setModified(false);
}

bool MachineMemo::isModified() const
{
    return document()->isModified();
}

void MachineMemo::setModified(bool modified)
{
    document()->setModified(modified);
}
