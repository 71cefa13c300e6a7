#pragma once
#include <QWidget>
#include <functional>

class QToolButton;
class TFloatEdit;

// Up-down arrows bound to a numeric field. A step starts from the number the field shows (the last
// one it showed while its text is no number), moves by the increment, stops at the bounds and
// writes the new number into the field. The bounds limit only the arrows, never what is typed.
class TUpDown : public QWidget {
    Q_OBJECT
public:
    enum TUDBtnType { btNext, btPrev };
    using TUDClickEvent = std::function<void(QObject *Sender, TUDBtnType Button)>;
    using TUDChangingEvent = std::function<void(QObject *Sender, bool &AllowChange)>;

    struct Range {
        int Min;
        int Max;
        int Increment;
        int Position;
    };

    TUpDown(TFloatEdit *associate, Range range, QWidget *parent);

    TFloatEdit *Associate() const { return m_associate; }
    const Range &range() const { return m_range; }
    // One step, as a click on an arrow or the Up and Down keys in the field do.
    void step(TUDBtnType button);

    QToolButton *upButton() const { return m_up; }
    QToolButton *downButton() const { return m_down; }

    TUDChangingEvent OnChanging; // before a step, which it may refuse
    TUDClickEvent OnClick;       // after a step

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QToolButton *arrow(Qt::ArrowType type, TUDBtnType button);

    TFloatEdit *m_associate;
    Range m_range;
    QToolButton *m_up;
    QToolButton *m_down;
};
