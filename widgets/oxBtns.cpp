#include "oxBtns.h"

#include "BandGradient.h"
#include "ButtonAccessible.h"
#include "PictureFill.h"
#include "ToxBackground.h"

#include <QEnterEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <functional>

namespace {
constexpr int DefaultSize = 25;
constexpr int MaxAngle = 360;

// Where a box of length goes in a room: centred for offset 0, offset pixels in from the start
// when positive, -offset pixels in from the end when negative. Halves go toward zero.
int place(int start, int room, int length, int offset)
{
    if (offset == 0)
        return start + (room - length) / 2;
    if (offset > 0)
        return start + offset;
    return start + room + offset - length;
}

QImage recoloured(const QImage &picture, const std::function<QRgb(QRgb)> &colour)
{
    QImage copy = picture.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < copy.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(copy.scanLine(y));
        for (int x = 0; x < copy.width(); ++x)
            if (qAlpha(line[x]) != 0)
                line[x] = colour(line[x]);
    }
    return copy;
}
} // namespace

ToxGraphicButton::ToxGraphicButton(QWidget *parent)
    : TDFGraphicControl(parent), m_background(new ToxBackground(this)), m_gradient(new TBandGradient(this)),
      m_repeat(new QTimer(this))
{
    resize(DefaultSize, DefaultSize);
    setFocusPolicy(Qt::TabFocus);
    TButtonAccessible::registerButtons();
    connect(m_background, &ToxBackground::changed, this, &ToxGraphicButton::propertyChanged);
    connect(m_repeat, &QTimer::timeout, this, &ToxGraphicButton::repeatClick);
    syncGradient();
}

QStringList ToxGraphicButton::Lines() const
{
    return m_caption.isEmpty() ? QStringList() : m_caption.split('\n');
}

void ToxGraphicButton::SetCaption(const QString &value)
{
    setAccessibleName(TButtonAccessible::captionName(value));
    setAndRepaint(m_caption, value);
}

void ToxGraphicButton::SetColor(TColor value)
{
    setAndRepaint(m_color, value);
}

void ToxGraphicButton::SetBackground(const ToxBackground &value)
{
    m_background->Assign(value);
}

void ToxGraphicButton::SetTextAngle(int value)
{
    if (value >= 0 && value <= MaxAngle)
        setAndRepaint(m_textAngle, value);
}

void ToxGraphicButton::SetValue(bool value)
{
    if (m_value == value)
        return;
    m_value = value;
    if (value && m_group != 0 && parentWidget()) {
        for (ToxGraphicButton *other : parentWidget()->findChildren<ToxGraphicButton *>(Qt::FindDirectChildrenOnly))
            if (other != this && other->m_group == m_group)
                other->SetValue(false);
    }
    requestRender();
    if (OnChange)
        OnChange(this);
}

void ToxGraphicButton::Click()
{
    if (OnClick)
        OnClick(this);
}

void ToxGraphicButton::press()
{
    if (!isEnabled())
        return;
    if (m_buttonType == oxbMenu) {
        if (m_popupMenu)
            m_popupMenu->popup(mapToGlobal(QPoint(0, height())));
        return;
    }
    if (m_buttonType == oxbToggle)
        toggle();
    Click();
}

// A changed look makes every kept picture stale.
void ToxGraphicButton::propertyChanged()
{
    syncGradient();
    m_cache.clear();
    requestRender();
}

// Named colours are resolved here, so that a palette change rebuilds the colour table.
void ToxGraphicButton::syncGradient()
{
    m_gradient->SetStartColor(toRgbColor(m_background->Gradient()));
    m_gradient->SetEndColor(toRgbColor(m_color));
}

bool ToxGraphicButton::tracksHot() const
{
    return m_style == bsWin97 || m_style == bsBorderless || m_style == bsShaped;
}

ToxGraphicButton::VisualState ToxGraphicButton::visualState() const
{
    if (!isEnabled())
        return vsDisabled;
    if (Pressed())
        return vsPressed;
    // Held down but dragged off the button, it looks as it does under the mouse.
    const bool hot = (m_hot || m_tracking) && tracksHot();
    if (m_value)
        return hot ? vsLatchedHot : vsLatched;
    return hot ? vsHot : vsUp;
}

QRect ToxGraphicButton::textRect() const
{
    return textRectFor(visualState());
}

QRect ToxGraphicButton::textRectFor(VisualState state) const
{
    QRect client = rect();
    if (m_font3D != TFontStyle::fsShadow) {
        if (state == vsPressed)
            client.translate(2, 2);
        else if (state == vsLatched || state == vsLatchedHot)
            client.translate(1, 1);
    }
    const QSize box = measureCaption() + QSize(4, 2);
    return QRect(place(client.left(), client.width(), box.width(), m_textX),
                 place(client.top(), client.height(), box.height(), m_textY), box.width(), box.height());
}

// A rotated caption is measured on one line.
QSize ToxGraphicButton::measureCaption() const
{
    const QFontMetrics metrics(m_font);
    if (!m_multiLine || m_textAngle != 0)
        return metrics.size(Qt::TextSingleLine, m_caption);
    const QRect room(0, 0, std::max(1, width() - 4), QWIDGETSIZE_MAX);
    return metrics.boundingRect(room, captionFlags(), m_caption).size();
}

int ToxGraphicButton::captionFlags() const
{
    if (!m_multiLine || m_textAngle != 0)
        return Qt::AlignCenter | Qt::TextSingleLine;
    const int horizontal = m_textX > 0 ? Qt::AlignLeft : m_textX < 0 ? Qt::AlignRight : Qt::AlignHCenter;
    return horizontal | Qt::AlignVCenter | Qt::TextWordWrap;
}

const QImage &ToxGraphicButton::pictureFor(VisualState state) const
{
    const bool down = state == vsPressed || state == vsLatched || state == vsLatchedHot;
    if (down && !m_pictureDown.isNull())
        return m_pictureDown;
    if (state == vsDisabled && !m_pictureDisabled.isNull())
        return m_pictureDisabled;
    return m_pictureUp;
}

QRect ToxGraphicButton::pictureRect(const QImage &picture) const
{
    return QRect(place(0, width(), picture.width(), m_pictureX), place(0, height(), picture.height(), m_pictureY),
                 picture.width(), picture.height());
}

// A shaped button answers only where its picture is not transparent.
bool ToxGraphicButton::insideShape(const QPoint &point) const
{
    if (!rect().contains(point))
        return false;
    if (m_style != bsShaped || m_pictureUp.isNull())
        return true;
    const QPoint at = point - pictureRect(m_pictureUp).topLeft();
    if (!m_pictureUp.rect().contains(at))
        return false;
    return qAlpha(TPictureFill::transparentCopy(m_pictureUp).pixel(at)) != 0;
}

void ToxGraphicButton::renderPicture(QImage &picture)
{
    const VisualState state = visualState();
    // A clear button shows what lies behind it, which no kept picture follows.
    const bool caching = (m_options & oxbCacheImages) && m_background->Style() != oxbClear;
    if (caching) {
        const auto kept = m_cache.find(state);
        if (kept != m_cache.end() && kept->second.size() == picture.size()) {
            picture = kept->second;
        } else {
            paintButton(picture, state);
            m_cache[state] = picture;
        }
    } else {
        paintButton(picture, state);
    }
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange))
        drawFocusDots(picture, picture.rect().adjusted(3, 3, -3, -3));
}

void ToxGraphicButton::paintButton(QImage &picture, VisualState state)
{
    ++m_paintCount;
    QPainter painter(&picture);
    paintBackground(painter, state);
    paintPicture(painter, state);
    paintFrame(painter, state);
    paintCaption(painter, state);
}

void ToxGraphicButton::paintBackground(QPainter &painter, VisualState state)
{
    const QRect all = rect();
    switch (m_background->Style()) {
    case oxbClear:
        if (parentWidget())
            parentWidget()->render(&painter, QPoint(), QRegion(geometry()), QWidget::DrawWindowBackground);
        break;
    case oxbGradient: m_gradient->fillHorizontal(painter, all); break;
    default: painter.fillRect(all, toQColor(m_color)); break;
    }
    const QImage &picture = m_background->Picture();
    switch (m_background->Style()) {
    case oxbPictureClip: TPictureFill::drawCentred(painter, all, picture); break;
    case oxbPictureStretch: TPictureFill::drawStretched(painter, all, picture); break;
    case oxbPicturePattern: TPictureFill::drawTiled(painter, all, picture); break;
    default: break;
    }
    if (m_background->DitherDown() && state == vsLatched)
        painter.fillRect(all, QBrush(toQColor(colorBtnHighlight), Qt::Dense4Pattern));
}

// With effects, a picture casts a shadow while up and turns grey while disabled.
void ToxGraphicButton::paintPicture(QPainter &painter, VisualState state) const
{
    const QImage &source = pictureFor(state);
    if (source.isNull())
        return;
    const QRect at = pictureRect(source);
    const QImage picture = TPictureFill::transparentCopy(source);
    if (m_options & oxbNoPicEffects) {
        painter.drawImage(at.topLeft(), picture);
        return;
    }
    const bool down = state == vsPressed || state == vsLatched || state == vsLatchedHot;
    if (state == vsDisabled && m_pictureDisabled.isNull()) {
        painter.drawImage(at.topLeft(), recoloured(picture, [](QRgb pixel) {
                              const int grey = qGray(pixel);
                              return qRgba(grey, grey, grey, qAlpha(pixel));
                          }));
        return;
    }
    if (down) {
        painter.drawImage(at.topLeft() + QPoint(1, 1), picture);
        return;
    }
    const QColor shadow = toQColor(m_shadowColor);
    painter.drawImage(at.topLeft() + QPoint(1, 1), recoloured(picture, [&shadow](QRgb pixel) {
                          return qRgba(shadow.red(), shadow.green(), shadow.blue(), qAlpha(pixel));
                      }));
    painter.drawImage(at.topLeft(), picture);
}

void ToxGraphicButton::paintFrame(QPainter &painter, VisualState state) const
{
    const TColor wf = colorWindowFrame;
    const TColor light = colorBtnHighlight;
    const TColor dark = colorBtnShadow;
    const TColor face = colorBtnFace;
    const bool down = state == vsPressed || state == vsLatched || state == vsLatchedHot;
    const ToxBtnStyle style = m_style == bsAuto ? bsWin95 : m_style;
    QRect frame = rect();
    switch (style) {
    case bsWin31:
        drawRings(painter, frame, wf, wf, 1);
        if (down)
            drawRing(painter, frame, dark, colorNone);
        else
            drawRings(painter, frame, light, dark, 2);
        break;
    case bsWin95:
    case bsSpeed:
        drawRings(painter, frame, down ? wf : light, down ? light : wf, 1);
        drawRings(painter, frame, down ? dark : face, down ? face : dark, 1);
        break;
    case bsInset:
        drawRings(painter, frame, dark, light, 1);
        drawRings(painter, frame, wf, wf, 1);
        if (down)
            drawRing(painter, frame, dark, colorNone);
        else
            drawRings(painter, frame, light, dark, 1);
        break;
    case bsClassic:
        drawRings(painter, frame, dark, down ? light : wf, 1);
        drawRings(painter, frame, down ? wf : light, dark, 1);
        break;
    case bsWin97:
        if (down)
            drawRing(painter, frame, dark, light);
        else if (state == vsHot)
            drawRing(painter, frame, light, dark);
        break;
    default: break;
    }
}

// Disabled captions are grey and sunken whatever their own effect.
void ToxGraphicButton::paintCaption(QPainter &painter, VisualState state) const
{
    if (m_font3D == TFontStyle::fsNone || m_caption.isEmpty())
        return;
    const bool disabled = state == vsDisabled;
    const TFontStyle effect = disabled ? TFontStyle::fsInset : m_font3D;
    const QColor text = toQColor(disabled ? colorGray : m_fontColor);
    const QColor light = toQColor(colorBtnHighlight);
    const QColor dark = toQColor(colorBtnShadow);
    const QRect box = textRectFor(state);
    painter.save();
    painter.setFont(m_font);
    if (m_textAngle != 0) {
        const QPointF centre = QRectF(box).center();
        painter.translate(centre);
        painter.rotate(-m_textAngle);
        painter.translate(-centre);
    }
    const auto draw = [&](int dx, int dy, const QColor &colour) {
        painter.setPen(colour);
        painter.drawText(box.translated(dx, dy), captionFlags(), m_caption);
    };
    switch (effect) {
    case TFontStyle::fsRaised: draw(-1, -1, light); break;
    case TFontStyle::fsInset: draw(1, 1, light); break;
    case TFontStyle::fsRidged:
        draw(1, 1, dark);
        draw(-1, -1, light);
        break;
    case TFontStyle::fsGrooved:
        draw(-1, -1, dark);
        draw(1, 1, light);
        break;
    case TFontStyle::fsShadow: {
        const int drop = state == vsPressed ? 4 : 2;
        draw(drop, drop, toQColor(m_shadowColor));
        break;
    }
    default: break;
    }
    draw(0, 0, text);
    painter.restore();
}

void ToxGraphicButton::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange) {
        if (!isEnabled()) {
            m_tracking = false;
            m_spaceHeld = false;
            m_repeat->stop();
        }
        requestRender();
    } else if (event->type() == QEvent::PaletteChange) {
        propertyChanged();
    }
    TDFGraphicControl::changeEvent(event);
}

void ToxGraphicButton::enterEvent(QEnterEvent *event)
{
    TDFGraphicControl::enterEvent(event);
    m_hot = true;
    if (tracksHot())
        requestRender();
    if (OnMouseEnter)
        OnMouseEnter(this);
}

void ToxGraphicButton::leaveEvent(QEvent *event)
{
    TDFGraphicControl::leaveEvent(event);
    m_hot = false;
    if (tracksHot())
        requestRender();
    if (OnMouseLeave)
        OnMouseLeave(this);
}

void ToxGraphicButton::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !isEnabled() || !insideShape(event->position().toPoint()))
        return;
    if (m_buttonType == oxbMenu) {
        if (m_popupMenu)
            m_popupMenu->popup(mapToGlobal(QPoint(0, height())));
        return;
    }
    m_tracking = true;
    m_mouseInside = true;
    if (m_buttonType == oxbRepeat)
        m_repeat->start(m_initDelay);
    requestRender();
}

void ToxGraphicButton::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_tracking)
        return;
    const bool inside = insideShape(event->position().toPoint());
    if (inside == m_mouseInside)
        return;
    m_mouseInside = inside;
    requestRender();
}

void ToxGraphicButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_tracking || m_spaceHeld)
        return;
    const bool inside = m_mouseInside;
    release();
    if (!inside)
        return;
    if (m_buttonType == oxbToggle)
        toggle();
    if (m_buttonType != oxbRepeat)
        Click();
}

void ToxGraphicButton::release()
{
    m_tracking = false;
    m_mouseInside = false;
    m_repeat->stop();
    requestRender();
}

// Space shows the button pressed while held and presses it on release; Enter presses at once.
void ToxGraphicButton::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (!isEnabled() || m_tracking || event->modifiers() & ~Qt::KeypadModifier) {
        TDFGraphicControl::keyPressEvent(event);
    } else if (key == Qt::Key_Space) {
        if (event->isAutoRepeat())
            return;
        if (m_buttonType == oxbMenu) {
            press();
            return;
        }
        m_spaceHeld = true;
        m_tracking = true;
        m_mouseInside = true;
        requestRender();
    } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        press();
    } else {
        TDFGraphicControl::keyPressEvent(event);
    }
}

void ToxGraphicButton::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() != Qt::Key_Space || event->isAutoRepeat() || !m_spaceHeld) {
        TDFGraphicControl::keyReleaseEvent(event);
        return;
    }
    m_spaceHeld = false;
    release();
    press();
}

void ToxGraphicButton::focusInEvent(QFocusEvent *event)
{
    TDFGraphicControl::focusInEvent(event);
    requestRender();
}

void ToxGraphicButton::focusOutEvent(QFocusEvent *event)
{
    TDFGraphicControl::focusOutEvent(event);
    if (m_spaceHeld) {
        m_spaceHeld = false;
        release();
    }
    requestRender();
}

// The one toggle down in a group stays down unless the group may have none.
void ToxGraphicButton::toggle()
{
    if (m_value && m_group != 0 && !m_groupAllowNoSel)
        return;
    SetValue(!m_value);
}

void ToxGraphicButton::repeatClick()
{
    m_repeat->setInterval(m_delay);
    if (Pressed())
        Click();
}
