#pragma once
#include "Events.h"
#include "TNCButtonFocus.h"

#include <QFont>
#include <QImage>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QRect>

class QPainter;

enum TNCButtonState { nbsUp, nbsPressed, nbsLocked };

// A button of the caption bar. It is no widget of its own: the caption bar draws it into its
// picture and hands it the mouse in its own coordinates. Made in a caption bar widget, it gets a
// stand-in there for the keyboard and assistive tools (TNCButtonFocus).
class TNCButton : public QObject {
    Q_OBJECT
public:
    explicit TNCButton(QObject *owner = nullptr);
    ~TNCButton() override;

    // Bounds inside the window, not its client area.
    QRect Bounds() const { return m_bounds; }
    void SetBounds(const QRect &value);
    bool Shown() const { return m_shown; }
    void SetShown(bool value);
    // A further 2-pixel gap follows the button to its left.
    bool ExtraGap() const { return m_extraGap; }
    void SetExtraGap(bool value) { m_extraGap = value; }
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool value);
    // Latched down: the on-top button while stay-on-top is on.
    bool Down() const { return m_down; }
    void SetDown(bool value);
    QString Caption() const { return m_caption; }
    void SetCaption(const QString &value);
    QImage Glyph() const { return m_glyph; }
    void SetGlyph(const QImage &value);
    // Shown instead of Glyph while pressed or locked, when set.
    QImage DownGlyph() const { return m_downGlyph; }
    void SetDownGlyph(const QImage &value);
    QFont Font() const { return m_font; }
    void SetFont(const QFont &value);
    // What assistive tools call the button, rather than its caption.
    QString Hint() const { return m_hint; }
    void SetHint(const QString &value);

    // The menu the button opens, for a menu button; the owner of the button opens it.
    QMenu *Menu() const { return m_menu; }
    void SetMenu(QMenu *value);

    TNCButtonState State() const;
    bool Tracking() const { return m_tracking; }
    // Held down by Space: shows pressed.
    bool KeyHeld() const { return m_keyHeld; }
    void SetKeyHeld(bool value);
    // The widget that takes the keyboard for the button; null without a caption bar widget.
    TNCButtonFocus *focusWidget() const { return m_focus.data(); }
    // Clicks the enabled button.
    void Click();

    // Mouse in the button's own coordinates.
    void mousePress(const QPoint &point, Qt::MouseButton button);
    void mouseMove(const QPoint &point);
    void mouseRelease(const QPoint &point, Qt::MouseButton button);

    // Draws the button at Bounds moved by -origin.
    void paint(QPainter &painter, const QPoint &origin) const;

    TNotifyEvent OnClick;

signals:
    void changed();

private:
    void setInside(bool inside);
    void paintContent(QPainter &painter, const QRect &inner, const QPoint &shift) const;

    QRect m_bounds;
    bool m_shown = true;
    bool m_extraGap = false;
    bool m_enabled = true;
    bool m_down = false;
    QString m_caption;
    QImage m_glyph;
    QImage m_downGlyph;
    QFont m_font;
    QString m_hint;
    QPointer<QMenu> m_menu;
    bool m_tracking = false;
    bool m_inside = false;
    bool m_keyHeld = false;
    QPointer<TNCButtonFocus> m_focus;
};
