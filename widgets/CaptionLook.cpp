#include "CaptionLook.h"

#include "BandGradient.h"

#include <QPainter>
#include <utility>
#include <vector>

namespace {

// The rings of the border and caption frame effects, outermost first; ox3Normal has none.
std::vector<std::pair<TColor, TColor>> effectRings(T3DEffect effect)
{
    switch (effect) {
    case ox3Flat: return {{colorBtnShadow, colorBtnShadow}};
    case ox3Raised: return {{colorBtnHighlight, colorBtnShadow}};
    case ox3Inset: return {{colorBtnShadow, colorBtnHighlight}};
    case ox3Ridged: return {{colorBtnHighlight, colorBtnShadow}, {colorBtnShadow, colorBtnHighlight}};
    case ox3Grooved: return {{colorBtnShadow, colorBtnHighlight}, {colorBtnHighlight, colorBtnShadow}};
    case ox3Shadow: return {{colorBtnFace, colorWindowFrame}, {colorBtnFace, colorBtnShadow}};
    default: return {};
    }
}

void drawEffect(QPainter &painter, QRect rect, T3DEffect effect)
{
    for (const auto &[top, bottom] : effectRings(effect))
        drawRings(painter, rect, top, bottom, 1);
}

} // namespace

TCaptionLook::TCaptionLook(QObject *owner) : m_gradients{new TBandGradient(owner), new TBandGradient(owner)}
{
    for (bool active : {true, false})
        m_gradients[active]->SetStartColor(m_settings[active].start);
}

void TCaptionLook::changed()
{
    for (bool active : {true, false})
        m_gradients[active]->SetStartColor(m_settings[active].start);
    invalidate();
    if (OnChange)
        OnChange();
}

void TCaptionLook::resolveColours()
{
    for (bool active : {true, false})
        m_gradients[active]->SetEndColor(toRgbColor(active ? colorActiveCaption : colorInactiveCaption));
}

void TCaptionLook::invalidate()
{
    m_pictures[0] = QImage();
    m_pictures[1] = QImage();
}

QColor TCaptionLook::plainColour(bool active)
{
    return toQColor(active ? colorActiveCaption : colorInactiveCaption);
}

QColor TCaptionLook::titleColour(bool active) const
{
    const QColor rgb = toQColor(m_settings[active].start);
    return QColor(255 - rgb.red(), 255 - rgb.green(), 255 - rgb.blue());
}

// The plain border is the classic raised window edge; any other effect replaces it.
void TCaptionLook::paintBorder(QPainter &painter, QRect bar, int frame, bool active) const
{
    const T3DEffect effect = m_settings[active].border;
    if (effect != ox3Normal) {
        drawEffect(painter, bar, effect);
        return;
    }
    drawRings(painter, bar, colorBtnFace, colorDarkShadow, 1);
    drawRings(painter, bar, colorBtnHighlight, colorBtnShadow, 1);
    drawRings(painter, bar, colorBtnFace, colorBtnFace, frame - 2);
}

const QImage &TCaptionLook::captionPicture(bool active, const QRect &rect,
                                           const std::function<void(QPainter &)> &paintContent)
{
    QImage &picture = m_pictures[active];
    if (picture.isNull() || m_pictureRects[active] != rect) {
        m_pictureRects[active] = rect;
        picture = QImage(rect.size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
        QPainter painter(&picture);
        if (m_settings[active].gradient)
            m_gradients[active]->fillHorizontal(painter, picture.rect());
        else
            painter.fillRect(picture.rect(), plainColour(active));
        paintContent(painter);
    }
    return picture;
}

void TCaptionLook::paintCaptionFrame(QPainter &painter, const QRect &caption, bool active) const
{
    drawEffect(painter, caption, m_settings[active].caption);
}
