#pragma once
#include "Colors.h"
#include "Events.h"

#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QWidget>
#include <algorithm>
#include <functional>
#include <vector>

class QShortcut;

enum TFrameStyle { fsRegular, fsIndent, fsExplorer, fsNone, fsLight, fsDark, fsMono };
enum TTextAlign {
    ttaTopLeft,
    ttaTop,
    ttaTopRight,
    ttaRight,
    ttaBottomRight,
    ttaBottom,
    ttaBottomLeft,
    ttaLeft,
    ttaCenter
};

using TMouseEvent =
    std::function<void(QObject *Sender, Qt::MouseButton Button, Qt::KeyboardModifiers Shift, int X, int Y)>;

// A flat push button that paints only a frame, a glyph and a caption over whatever lies behind
// it. The frame shows while the mouse is over it, the glyph stays grey until then, and a
// drop-down menu can open under it. Tab gives it the keyboard, marked by a dotted ring; Space
// and Enter press it.
class TTransparentButton : public QWidget {
    Q_OBJECT
public:
    explicit TTransparentButton(QWidget *parent = nullptr);

    bool AutoGray() const { return m_autoGray; }
    void SetAutoGray(bool value) { setAndRender(m_autoGray, value); }
    int BorderWidth() const { return m_borderWidth; }
    void SetBorderWidth(int value) { setAndRender(m_borderWidth, std::max(0, value)); }
    QString Caption() const { return m_caption; }
    void SetCaption(const QString &value);
    TColor Color() const { return m_color; }
    void SetColor(TColor value) { setAndRender(m_color, value); }
    bool Down() const { return m_down; }
    void SetDown(bool value);
    bool Flat() const { return m_flat; }
    void SetFlat(bool value) { setAndRender(m_flat, value); }
    TFrameStyle FrameStyle() const { return m_frameStyle; }
    void SetFrameStyle(TFrameStyle value) { setAndRender(m_frameStyle, value); }
    QImage Glyph() const { return m_glyph; }
    void SetGlyph(const QImage &value);
    int NumGlyphs() const { return m_numGlyphs; }
    void SetNumGlyphs(int value);
    int Offset() const { return m_offset; }
    void SetOffset(int value) { setAndRender(m_offset, value); }
    QMenu *DropDownMenu() const { return m_dropDownMenu; }
    void SetDropDownMenu(QMenu *value);
    bool ShowPressed() const { return m_showPressed; }
    void SetShowPressed(bool value) { setAndRender(m_showPressed, value); }
    int Spacing() const { return m_spacing; }
    void SetSpacing(int value) { setAndRender(m_spacing, value); }
    TTextAlign TextAlign() const { return m_textAlign; }
    void SetTextAlign(TTextAlign value) { setAndRender(m_textAlign, value); }
    bool Transparent() const { return m_transparent; }
    void SetTransparent(bool value) { setAndRender(m_transparent, value); }
    bool WordWrap() const { return m_wordWrap; }
    void SetWordWrap(bool value) { setAndRender(m_wordWrap, value); }

    bool Pressed() const { return m_pressed || m_down; }
    bool Hot() const { return m_hot; }
    // The cells of Glyph, then its grey and its disabled image, each transparent where the cell
    // has the colour of its bottom-left pixel.
    const std::vector<QImage> &glyphImages() const { return m_images; }
    // The button as drawn; rendered first when it is out of date.
    const QImage &image();
    void Click();
    // What Space does: opens the drop-down menu, else clicks.
    Q_INVOKABLE void press();
    Q_INVOKABLE bool opensMenu() const { return m_dropDownMenu != nullptr; }

    TNotifyEvent OnClick;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseExit;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    template <typename T> void setAndRender(T &field, T value)
    {
        if (field == value)
            return;
        field = value;
        requestRender();
    }
    void requestRender();
    void render();
    void rebuildImages();
    void setPressed(bool value);
    void dropDown();
    void menuClosed();
    void setHot(bool value);
    void fireMouse(const TMouseEvent &handler, const QMouseEvent *event);
    void paintFrame(QPainter &painter) const;
    QPoint glyphPosition(const QSize &cell) const;
    const QImage *glyphToDraw() const;
    void paintGlyph(QPainter &painter, const QRect &glyph) const;
    void paintCaption(QPainter &painter, const QRect &glyph) const;

    bool m_autoGray = true;
    int m_borderWidth = 1;
    QString m_caption;
    TColor m_color = colorWindow;
    bool m_down = false;
    bool m_flat = true;
    TFrameStyle m_frameStyle = fsExplorer;
    QImage m_glyph;
    int m_numGlyphs = 1;
    int m_offset = 1;
    QPointer<QMenu> m_dropDownMenu;
    bool m_showPressed = true;
    int m_spacing = 2;
    TTextAlign m_textAlign = ttaCenter;
    bool m_transparent = true;
    bool m_wordWrap = false;

    bool m_pressed = false;
    bool m_hot = false;
    bool m_leftHeld = false;
    bool m_spaceHeld = false;
    bool m_menuOpen = false;
    std::vector<QImage> m_images;
    QShortcut *m_shortcut;
    QImage m_picture;
    bool m_stale = true;
};
