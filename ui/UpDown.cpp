#include "UpDown.h"

#include "DialogColours.h"
#include "widgets/FloatEdit.h"

#include <QKeyEvent>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

TUpDown::TUpDown(TFloatEdit *associate, Range range, QWidget *parent)
    : QWidget(parent), m_associate(associate), m_range(range), m_up(arrow(Qt::UpArrow, btNext)),
      m_down(arrow(Qt::DownArrow, btPrev))
{
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_up);
    column->addWidget(m_down);
    setFixedWidth(16);
    DialogColours::wear(this);
    // Read as the field they change, which is named before its arrows are made.
    setAccessibleName(m_associate->accessibleName());
    m_associate->installEventFilter(this);
}

QToolButton *TUpDown::arrow(Qt::ArrowType type, TUDBtnType button)
{
    auto *b = new QToolButton(this);
    b->setArrowType(type);
    b->setAccessibleName((button == btNext ? "Aumentar " : "Disminuir ") + m_associate->accessibleName());
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    connect(b, &QToolButton::clicked, this, [this, button] { step(button); });
    return b;
}

void TUpDown::step(TUDBtnType button)
{
    bool allow = true;
    if (OnChanging)
        OnChanging(this, allow);
    if (!allow)
        return;
    bool shown = false;
    const int value = m_associate->Text().toInt(&shown, 10);
    const int from = std::clamp(shown ? value : m_range.Position, m_range.Min, m_range.Max);
    const long long next = from + static_cast<long long>(button == btNext ? m_range.Increment : -m_range.Increment);
    m_range.Position = static_cast<int>(std::clamp<long long>(next, m_range.Min, m_range.Max));
    m_associate->SetText(QString::number(m_range.Position));
    if (OnClick)
        OnClick(this, button);
}

bool TUpDown::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_associate && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            step(key == Qt::Key_Up ? btNext : btPrev);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
