#pragma once
#include <QRect>
#include <QStringList>
#include <functional>
#include <vector>

class QFont;
class QPainter;
class QWidget;
class TNCButton;
class TNCCustomButton;
struct TCaptionMetrics;

// The buttons of a caption bar: the window's own (close, maximise, minimise) at the right and, to
// their left, the extra ones (stay on top, roll up, help, start) and the custom ones, right to
// left with their gaps. They are made in the bar, in the order the keyboard reaches them; the bar
// draws them and hands them the mouse.
class TCaptionButtons {
public:
    explicit TCaptionButtons(QWidget *bar);

    TNCButton *closeButton() const { return m_closeButton; }
    TNCButton *maximizeButton() const { return m_maximizeButton; }
    TNCButton *minimizeButton() const { return m_minimizeButton; }
    TNCButton *onTopButton() const { return m_onTopButton; }
    TNCButton *rollUpButton() const { return m_rollUpButton; }
    TNCButton *helpButton() const { return m_helpButton; }
    TNCButton *startButton() const { return m_startButton; }
    const std::vector<TNCCustomButton *> &customButtons() const { return m_customButtons; }
    // One button a line, in the caption font.
    void setCustomButtons(const QStringList &lines, const QFont &captionFont);

    void setFonts(const TCaptionMetrics &metrics);
    void layOut(const TCaptionMetrics &metrics, int formWidth, bool maximized);
    // The chevron's picture and name say what it does next.
    void showRollState(bool rolledUp);
    // The box, like the chevron, shows and says what it does next.
    void showMaximized(bool maximized);
    // The last made button wins where buttons overlap.
    TNCButton *buttonAt(const QPoint &point) const;
    // Where the shown extra buttons begin, right when none is shown.
    int extraButtonsLeft(int right) const;
    // The extra buttons, on a caption whose top left is origin in the window.
    void paintExtraButtons(QPainter &painter, const QPoint &origin) const;
    void paintSystemButtons(QPainter &painter) const;

    // A button changed how it looks.
    std::function<void()> OnChange;
    std::function<void(TNCButton *button)> OnCustomClick;

private:
    TNCButton *makeButton(const QString &glyph, const QString &caption, bool extraGap);
    void watch(TNCButton *button);
    std::vector<TNCButton *> extraButtons() const;
    std::vector<TNCButton *> allButtons() const;

    QWidget *m_bar;
    TNCButton *m_closeButton;
    TNCButton *m_maximizeButton;
    TNCButton *m_minimizeButton;
    TNCButton *m_onTopButton;
    TNCButton *m_rollUpButton;
    TNCButton *m_helpButton;
    TNCButton *m_startButton;
    std::vector<TNCCustomButton *> m_customButtons;
};
