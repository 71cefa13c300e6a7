#pragma once
#include "Colors.h"
#include "DFClasses.h"
#include "Events.h"

#include <QFlags>
#include <QFont>
#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QStringList>
#include <map>

class QTimer;
class TBandGradient;
class ToxBackground;

enum ToxBtnStyle { bsAuto, bsWin31, bsWin95, bsInset, bsClassic, bsSpeed, bsWin97, bsBorderless, bsShaped };
// Scoped, because other frame styles of the kit use the same value names.
enum class TFontStyle { fsNone, fsNormal, fsRaised, fsInset, fsRidged, fsGrooved, fsShadow };
enum ToxbOption { oxbCacheImages = 0x1, oxbUsePalette = 0x2, oxbSmallIcons = 0x4, oxbNoPicEffects = 0x8 };
Q_DECLARE_FLAGS(ToxbOptions, ToxbOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(ToxbOptions)
enum ToxbButtonType { oxbCommand, oxbToggle, oxbRepeat, oxbMenu };

// A push button that paints everything itself: a background, one of several frame styles, a
// caption placed by offsets with a raised, sunken or shadowed look, and pictures for its states.
// It can be a command, a toggle (in a group of toggles), an auto-repeating button or open a menu.
// Tab gives it the keyboard, marked by a dotted ring; Space and Enter press it.
// Pictures and placements: PictureX/PictureY and TextX/TextY put the left (top) edge that many
// pixels in when positive, the right (bottom) edge when negative, and centre at 0.
class ToxGraphicButton : public TDFGraphicControl {
    Q_OBJECT
public:
    explicit ToxGraphicButton(QWidget *parent = nullptr);

    QString Caption() const { return m_caption; }
    void SetCaption(const QString &value);
    QStringList Lines() const;
    void SetLines(const QStringList &value) { SetCaption(value.join('\n')); }
    TColor Color() const { return m_color; }
    void SetColor(TColor value);
    QFont Font() const { return m_font; }
    void SetFont(const QFont &value) { setAndRepaint(m_font, value); }
    TColor FontColor() const { return m_fontColor; }
    void SetFontColor(TColor value) { setAndRepaint(m_fontColor, value); }
    ToxBackground *Background() const { return m_background; }
    void SetBackground(const ToxBackground &value);
    ToxBtnStyle Style() const { return m_style; }
    void SetStyle(ToxBtnStyle value) { setAndRepaint(m_style, value); }
    TFontStyle Font3D() const { return m_font3D; }
    void SetFont3D(TFontStyle value) { setAndRepaint(m_font3D, value); }
    bool MultiLine() const { return m_multiLine; }
    void SetMultiLine(bool value) { setAndRepaint(m_multiLine, value); }
    QImage PictureUp() const { return m_pictureUp; }
    void SetPictureUp(const QImage &value) { setAndRepaint(m_pictureUp, value); }
    QImage PictureDown() const { return m_pictureDown; }
    void SetPictureDown(const QImage &value) { setAndRepaint(m_pictureDown, value); }
    QImage PictureDisabled() const { return m_pictureDisabled; }
    void SetPictureDisabled(const QImage &value) { setAndRepaint(m_pictureDisabled, value); }
    int PictureX() const { return m_pictureX; }
    void SetPictureX(int value) { setAndRepaint(m_pictureX, value); }
    int PictureY() const { return m_pictureY; }
    void SetPictureY(int value) { setAndRepaint(m_pictureY, value); }
    TColor ShadowColor() const { return m_shadowColor; }
    void SetShadowColor(TColor value) { setAndRepaint(m_shadowColor, value); }
    // Degrees, 0 to 360; other values are ignored.
    int TextAngle() const { return m_textAngle; }
    void SetTextAngle(int value);
    int TextX() const { return m_textX; }
    void SetTextX(int value) { setAndRepaint(m_textX, value); }
    int TextY() const { return m_textY; }
    void SetTextY(int value) { setAndRepaint(m_textY, value); }
    ToxbOptions Options() const { return m_options; }
    void SetOptions(ToxbOptions value) { setAndRepaint(m_options, value); }
    ToxbButtonType ButtonType() const { return m_buttonType; }
    void SetButtonType(ToxbButtonType value) { m_buttonType = value; }
    bool Value() const { return m_value; }
    void SetValue(bool value);
    // Toggles of one parent with the same non-zero group: one down at a time.
    int Group() const { return m_group; }
    void SetGroup(int value) { m_group = value; }
    bool GroupAllowNoSel() const { return m_groupAllowNoSel; }
    void SetGroupAllowNoSel(bool value) { m_groupAllowNoSel = value; }
    quint16 Delay() const { return m_delay; }
    void SetDelay(quint16 value) { m_delay = value; }
    quint16 InitDelay() const { return m_initDelay; }
    void SetInitDelay(quint16 value) { m_initDelay = value; }
    QMenu *PopupMenu() const { return m_popupMenu; }
    void SetPopupMenu(QMenu *value) { m_popupMenu = value; }

    TNotifyEvent OnClick;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TNotifyEvent OnChange;

    void Click();
    // What Space does: toggles a toggle and clicks, or opens the menu of a menu button.
    Q_INVOKABLE void press();
    // Shows pressed: held down with the mouse over it.
    bool Pressed() const { return m_tracking && m_mouseInside; }
    // The caption's box as the button now draws it.
    QRect textRect() const;
    // Times the button was painted, as opposed to copied from its cache.
    int paintCount() const { return m_paintCount; }

protected:
    void renderPicture(QImage &picture) override;
    void changeEvent(QEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    enum VisualState { vsUp, vsHot, vsPressed, vsLatched, vsLatchedHot, vsDisabled };

    template <typename T> void setAndRepaint(T &field, const T &value)
    {
        if (field == value)
            return;
        field = value;
        propertyChanged();
    }
    void propertyChanged();
    void syncGradient();
    VisualState visualState() const;
    bool tracksHot() const;
    bool insideShape(const QPoint &point) const;
    QRect textRectFor(VisualState state) const;
    QSize measureCaption() const;
    int captionFlags() const;
    const QImage &pictureFor(VisualState state) const;
    QRect pictureRect(const QImage &picture) const;
    void paintButton(QImage &picture, VisualState state);
    void paintBackground(QPainter &painter, VisualState state);
    void paintPicture(QPainter &painter, VisualState state) const;
    void paintFrame(QPainter &painter, VisualState state) const;
    void paintCaption(QPainter &painter, VisualState state) const;
    void toggle();
    void repeatClick();
    void release();

    QString m_caption;
    TColor m_color = colorBtnFace;
    QFont m_font;
    TColor m_fontColor = colorBtnText;
    ToxBackground *m_background;
    TBandGradient *m_gradient;
    ToxBtnStyle m_style = bsAuto;
    TFontStyle m_font3D = TFontStyle::fsNormal;
    bool m_multiLine = false;
    QImage m_pictureUp;
    QImage m_pictureDown;
    QImage m_pictureDisabled;
    int m_pictureX = 1;
    int m_pictureY = 1;
    TColor m_shadowColor = colorGray;
    int m_textAngle = 0;
    int m_textX = -5;
    int m_textY = -5;
    ToxbOptions m_options = oxbCacheImages;
    ToxbButtonType m_buttonType = oxbCommand;
    bool m_value = false;
    int m_group = 0;
    bool m_groupAllowNoSel = false;
    quint16 m_delay = 200;
    quint16 m_initDelay = 400;
    QPointer<QMenu> m_popupMenu;

    bool m_tracking = false;
    bool m_mouseInside = false;
    bool m_spaceHeld = false;
    bool m_hot = false;
    QTimer *m_repeat;
    std::map<VisualState, QImage> m_cache;
    int m_paintCount = 0;
};
