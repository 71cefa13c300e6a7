#include "TransBtn.h"

#include "ButtonAccessible.h"

#include <QCursor>
#include <QEnterEvent>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QShortcut>
#include <algorithm>

namespace {

constexpr TColor lightGray = rgbColor(223, 223, 223);

QImage withoutColor(QImage image, QRgb transparent)
{
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (line[x] == transparent)
                line[x] = qRgba(0, 0, 0, 0);
    }
    return image;
}

// The grey level weighs red 11, green 59 and blue 30.
QImage greyed(const QImage &cell)
{
    QImage image = cell.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int level = (11 * qRed(line[x]) + 59 * qGreen(line[x]) + 30 * qBlue(line[x])) / 100;
            line[x] = qRgba(level, level, level, qAlpha(line[x]));
        }
    }
    return image;
}

// Every pixel that is neither white nor the background colour (the top-left pixel's) becomes an
// embossed dot: highlight one pixel down-right, shadow in place.
QImage embossed(const QImage &cell)
{
    const QImage source = cell.convertToFormat(QImage::Format_RGB32);
    const QRgb background = source.pixel(0, 0);
    const QRgb white = qRgb(255, 255, 255);
    QImage image(source.size(), QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    const auto ink = [&](int x, int y) {
        const QRgb pixel = source.pixel(x, y);
        return pixel != white && pixel != background;
    };
    const QRgb highlight = toQColor(colorBtnHighlight).rgb();
    const QRgb shadow = toQColor(colorBtnShadow).rgb();
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
            if (ink(x, y) && x + 1 < image.width() && y + 1 < image.height())
                image.setPixel(x + 1, y + 1, highlight);
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
            if (ink(x, y))
                image.setPixel(x, y, shadow);
    return image;
}

QImage ditherPattern()
{
    QImage pattern(8, 8, QImage::Format_RGB32);
    const QRgb face = toQColor(colorBtnFace).rgb();
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            pattern.setPixel(x, y, x % 2 == y % 2 ? qRgb(255, 255, 255) : face);
    return pattern;
}

bool textAbove(TTextAlign align)
{
    return align == ttaTopLeft || align == ttaTop || align == ttaTopRight;
}

bool textBelow(TTextAlign align)
{
    return align == ttaBottomLeft || align == ttaBottom || align == ttaBottomRight;
}

bool textRight(TTextAlign align)
{
    return align == ttaTopRight || align == ttaRight || align == ttaBottomRight;
}

bool textLeft(TTextAlign align)
{
    return align == ttaTopLeft || align == ttaLeft || align == ttaBottomLeft;
}

} // namespace

TTransparentButton::TTransparentButton(QWidget *parent) : QWidget(parent), m_shortcut(new QShortcut(this))
{
    resize(40, 40);
    setFocusPolicy(Qt::TabFocus);
    TButtonAccessible::registerButtons();
    m_shortcut->setContext(Qt::WindowShortcut);
    connect(m_shortcut, &QShortcut::activated, this, [this] {
        if (isEnabled())
            Click();
    });
}

void TTransparentButton::SetCaption(const QString &value)
{
    if (m_caption == value)
        return;
    m_caption = value;
    m_shortcut->setKey(QKeySequence::mnemonic(value));
    setAccessibleName(TButtonAccessible::captionName(value));
    requestRender();
}

void TTransparentButton::SetDown(bool value)
{
    if (m_down == value)
        return;
    m_down = value;
    m_pressed = value;
    requestRender();
}

void TTransparentButton::SetGlyph(const QImage &value)
{
    if (m_glyph == value)
        return;
    m_glyph = value;
    if (value.width() > 0 && value.height() > 0 && value.width() % value.height() == 0) {
        const int cells = value.width() / value.height();
        m_numGlyphs = cells > 4 ? 1 : cells;
    }
    rebuildImages();
    requestRender();
}

void TTransparentButton::SetNumGlyphs(int value)
{
    value = std::clamp(value, 1, 4);
    if (m_numGlyphs == value)
        return;
    m_numGlyphs = value;
    rebuildImages();
    requestRender();
}

// A click outside the open menu only closes it; it must not press the button again.
void TTransparentButton::SetDropDownMenu(QMenu *value)
{
    if (m_dropDownMenu)
        m_dropDownMenu->disconnect(this);
    m_dropDownMenu = value;
    if (value) {
        value->setAttribute(Qt::WA_NoMouseReplay);
        connect(value, &QMenu::aboutToHide, this, &TTransparentButton::menuClosed);
    }
}

void TTransparentButton::rebuildImages()
{
    m_images.clear();
    if (m_glyph.isNull())
        return;
    const int width = m_glyph.width() / m_numGlyphs;
    const int height = m_glyph.height();
    const auto transparentOf = [height](const QImage &cell) { return cell.pixel(0, height - 1); };
    for (int index = 0; index < m_numGlyphs; ++index) {
        const QImage cell = m_glyph.copy(index * width, 0, width, height).convertToFormat(QImage::Format_RGB32);
        m_images.push_back(withoutColor(cell, transparentOf(cell)));
    }
    const QImage first = m_glyph.copy(0, 0, width, height).convertToFormat(QImage::Format_RGB32);
    QImage grey = greyed(first);
    const QImage mask = m_images.front();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            if (qAlpha(mask.pixel(x, y)) == 0)
                grey.setPixel(x, y, qRgba(0, 0, 0, 0));
    m_images.push_back(grey);
    m_images.push_back(embossed(first));
}

void TTransparentButton::Click()
{
    if (OnClick)
        OnClick(this);
}

void TTransparentButton::press()
{
    if (!isEnabled())
        return;
    if (m_dropDownMenu)
        dropDown();
    else
        Click();
}

void TTransparentButton::requestRender()
{
    m_stale = true;
    update();
}

const QImage &TTransparentButton::image()
{
    if (m_stale || m_picture.size() != size())
        render();
    return m_picture;
}

void TTransparentButton::paintEvent(QPaintEvent *event)
{
    image();
    QPainter painter(this);
    painter.drawImage(event->rect(), m_picture, event->rect());
}

void TTransparentButton::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    requestRender();
}

void TTransparentButton::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    switch (event->type()) {
    case QEvent::EnabledChange:
        if (!isEnabled()) {
            m_pressed = m_down;
            m_hot = false;
            m_leftHeld = false;
            m_spaceHeld = false;
        }
        requestRender();
        break;
    case QEvent::FontChange:
    case QEvent::PaletteChange: requestRender(); break;
    default: break;
    }
}

void TTransparentButton::render()
{
    m_stale = false;
    m_picture = QImage(size(), QImage::Format_ARGB32_Premultiplied);
    m_picture.fill(Qt::transparent);
    if (m_picture.isNull())
        return;
    QPainter painter(&m_picture);
    if (!m_transparent)
        painter.fillRect(m_picture.rect(), toQColor(m_color));
    paintFrame(painter);
    const QSize cell = m_images.empty() ? QSize(m_glyph.width(), 0) : m_images.front().size();
    const QRect glyph(glyphPosition(cell), cell);
    if (!m_glyph.isNull())
        paintGlyph(painter, glyph);
    if (!m_caption.isEmpty())
        paintCaption(painter, glyph);
    painter.end();
    // Marked only once the keyboard moved the focus, as the desktop's own buttons do.
    if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        const int inset = m_borderWidth + 1;
        drawFocusDots(m_picture, m_picture.rect().adjusted(inset, inset, -inset, -inset));
    }
}

void TTransparentButton::paintFrame(QPainter &painter) const
{
    QRect rect = m_picture.rect();
    const auto rings = [&](TColor top, TColor bottom) { drawRings(painter, rect, top, bottom, m_borderWidth); };
    const bool shown = !m_flat || m_hot;
    const bool pressed = Pressed();
    if (m_frameStyle == fsExplorer) {
        if (!pressed && m_hot)
            rings(colorBtnHighlight, colorBtnShadow);
        else if (pressed && !m_showPressed)
            rings(colorBtnHighlight, colorBtnShadow);
        else if (pressed && (m_hot || m_down))
            rings(colorBtnShadow, colorBtnHighlight);
        return;
    }
    if (pressed && !m_showPressed)
        return;
    if (!pressed && !shown)
        return;
    switch (m_frameStyle) {
    case fsRegular:
    case fsIndent:
        if (pressed) {
            rings(colorBlack, colorBtnHighlight);
            rings(colorBtnShadow, colorBtnFace);
        } else if (m_frameStyle == fsRegular) {
            rings(colorBtnHighlight, colorBlack);
            rings(lightGray, colorBtnShadow);
        } else {
            rings(colorBtnShadow, colorBtnHighlight);
            rings(colorBtnHighlight, colorBtnShadow);
        }
        break;
    case fsLight: pressed ? rings(colorBtnShadow, colorBtnHighlight) : rings(colorBtnHighlight, colorBtnShadow); break;
    case fsDark: pressed ? rings(colorDarkShadow, colorBtnFace) : rings(colorBtnFace, colorDarkShadow); break;
    case fsMono: pressed ? rings(colorDarkShadow, colorBtnHighlight) : rings(colorBtnHighlight, colorDarkShadow); break;
    default: break;
    }
}

QPoint TTransparentButton::glyphPosition(const QSize &cell) const
{
    int x = (width() - cell.width()) / 2;
    if (m_textAlign == ttaRight)
        x = m_spacing;
    else if (m_textAlign == ttaLeft)
        x = width() - cell.width() - m_spacing;
    int y = (height() - cell.height()) / 2;
    if (textBelow(m_textAlign))
        y = m_spacing;
    else if (textAbove(m_textAlign))
        y = height() - cell.height() - m_spacing;
    return QPoint(x, y);
}

// The grey image stands for an enabled button the mouse is not over; a disabled button shows its
// own cell, or the embossed image when it has only one.
const QImage *TTransparentButton::glyphToDraw() const
{
    const int cells = int(m_images.size()) - 2;
    if (cells < 1)
        return nullptr;
    if (!isEnabled() && cells == 1)
        return &m_images[std::size_t(cells + 1)];
    int cell = 0;
    if (cells == 2)
        cell = isEnabled() ? 0 : 1;
    else if (cells >= 3)
        cell = !isEnabled() ? 1 : Pressed() ? 2 : 0;
    if (isEnabled() && (m_flat || m_frameStyle == fsExplorer) && m_autoGray && !m_hot && !m_down)
        return &m_images[std::size_t(cells)];
    return &m_images[std::size_t(cell)];
}

void TTransparentButton::paintGlyph(QPainter &painter, const QRect &glyph) const
{
    const QImage *image = glyphToDraw();
    if (!image)
        return;
    if (m_hot && m_down) {
        const int inset = m_borderWidth + 1;
        painter.fillRect(m_picture.rect().adjusted(inset, inset, -inset, -inset), QBrush(ditherPattern()));
    }
    const int shift = (Pressed() && m_showPressed) || m_down ? m_offset : 0;
    painter.drawImage(glyph.topLeft() + QPoint(shift, shift), *image);
}

void TTransparentButton::paintCaption(QPainter &painter, const QRect &glyph) const
{
    const int flags = Qt::TextShowMnemonic | (m_wordWrap ? Qt::TextWordWrap : Qt::TextSingleLine);
    const QSize text = fontMetrics().boundingRect(rect(), flags, m_caption).size();
    const int tw = text.width(), th = text.height();
    int x = width() / 2 - tw / 2;
    if (textRight(m_textAlign))
        x = width() - tw - m_spacing;
    else if (textLeft(m_textAlign))
        x = m_spacing;
    int y = height() / 2 - th / 2;
    if (textAbove(m_textAlign))
        y = glyph.top() - th - m_spacing;
    else if (textBelow(m_textAlign))
        y = glyph.top() + glyph.height() + m_spacing;
    const int shift = Pressed() && m_showPressed ? m_offset : 0;
    const QRect box(x + shift, y + shift, tw, th);
    painter.setFont(font());
    const auto draw = [&](const QColor &color, const QRect &at) {
        painter.setPen(color);
        painter.drawText(at, flags | Qt::AlignCenter, m_caption);
    };
    if (isEnabled()) {
        draw(palette().color(foregroundRole()), box);
    } else {
        draw(toQColor(colorBtnHighlight), box.translated(1, 1));
        draw(toQColor(colorBtnShadow), box);
    }
}

void TTransparentButton::setPressed(bool value)
{
    if (m_pressed == value)
        return;
    m_pressed = value;
    requestRender();
}

void TTransparentButton::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    if (isEnabled())
        setHot(true);
}

void TTransparentButton::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    if (isEnabled())
        setHot(false);
}

void TTransparentButton::setHot(bool value)
{
    if (m_hot == value)
        return;
    m_hot = value;
    requestRender();
    const TNotifyEvent &event = value ? OnMouseEnter : OnMouseExit;
    if (event)
        event(this);
}

void TTransparentButton::fireMouse(const TMouseEvent &handler, const QMouseEvent *event)
{
    if (handler) {
        const QPoint point = event->position().toPoint();
        handler(this, event->button(), event->modifiers(), point.x(), point.y());
    }
}

void TTransparentButton::mousePressEvent(QMouseEvent *event)
{
    if (!isEnabled())
        return;
    fireMouse(OnMouseDown, event);
    if (rect().contains(event->position().toPoint()))
        setPressed(true);
    if (event->button() != Qt::LeftButton)
        return;
    m_leftHeld = true;
    if (m_dropDownMenu)
        dropDown();
}

// Opened from the keyboard, the menu takes the keyboard with its first entry chosen.
void TTransparentButton::dropDown()
{
    m_menuOpen = true;
    setPressed(true);
    render();
    repaint();
    m_dropDownMenu->popup(mapToGlobal(QPoint(0, height())));
    if (!m_leftHeld) {
        for (QAction *action : m_dropDownMenu->actions())
            if (!action->isSeparator() && action->isEnabled()) {
                m_dropDownMenu->setActiveAction(action);
                break;
            }
    }
}

// The menu took the release. Opening the menu was the press's whole work, so its closing
// releases the button without a click. The mouse may have left meanwhile unseen by the button.
void TTransparentButton::menuClosed()
{
    if (!m_menuOpen)
        return;
    m_menuOpen = false;
    m_leftHeld = false;
    if (!m_down)
        setPressed(false);
    setHot(isEnabled() && rect().contains(mapFromGlobal(QCursor::pos())));
}

void TTransparentButton::mouseMoveEvent(QMouseEvent *event)
{
    if (m_leftHeld && !m_down)
        setPressed(rect().contains(event->position().toPoint()));
}

void TTransparentButton::mouseReleaseEvent(QMouseEvent *event)
{
    if (!isEnabled())
        return;
    const bool click = m_leftHeld && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    if (event->button() == Qt::LeftButton)
        m_leftHeld = false;
    if (!m_down) {
        fireMouse(OnMouseUp, event);
        setPressed(false);
    }
    if (click)
        Click();
}

void TTransparentButton::mouseDoubleClickEvent(QMouseEvent *event)
{
    mousePressEvent(event);
}

// Space shows the button pressed while held and presses it on release; Enter presses at once.
void TTransparentButton::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if (!isEnabled() || event->modifiers() & ~Qt::KeypadModifier) {
        QWidget::keyPressEvent(event);
    } else if (key == Qt::Key_Space) {
        if (!event->isAutoRepeat()) {
            m_spaceHeld = true;
            setPressed(true);
        }
    } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        press();
    } else {
        QWidget::keyPressEvent(event);
    }
}

void TTransparentButton::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() != Qt::Key_Space || event->isAutoRepeat() || !m_spaceHeld) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    m_spaceHeld = false;
    if (!m_down)
        setPressed(false);
    press();
}

void TTransparentButton::focusInEvent(QFocusEvent *event)
{
    QWidget::focusInEvent(event);
    requestRender();
}

void TTransparentButton::focusOutEvent(QFocusEvent *event)
{
    QWidget::focusOutEvent(event);
    if (m_spaceHeld && !m_down)
        setPressed(false);
    m_spaceHeld = false;
    requestRender();
}
