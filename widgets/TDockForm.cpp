#include "TDockForm.h"

#include "Colors.h"
#include "TDockTracker.h"
#include "oxDockBr.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace {
constexpr int SizingFrame = 4;
constexpr int FixedFrame = 3;
constexpr int SmallCaptionHeight = 16;
constexpr int SmallestTrack = 10;
constexpr int CloseBoxMargin = 2;
} // namespace

TDockForm::TDockForm(ToxDockBar *bar, QWidget *owner)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      m_bar(bar), m_owner(owner)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setMinimumSize(SmallestTrack, SmallestTrack);
    setContentsMargins(chrome(options()));
    if (owner)
        owner->installEventFilter(this);
}

TDockForm::~TDockForm()
{
    if (m_bar)
        m_bar->m_dockForm = nullptr;
}

QMargins TDockForm::chrome(ToxDockOptions options)
{
    const int frame = options & opSizeable ? SizingFrame : FixedFrame;
    const int caption = options & opCaption ? SmallCaptionHeight : 0;
    return QMargins(frame, frame + caption, frame, frame);
}

ToxDockOptions TDockForm::options() const
{
    return m_bar ? m_bar->Options() : ToxDockOptions();
}

QRect TDockForm::captionRect() const
{
    if (!(options() & opCaption))
        return QRect();
    const int frame = chrome(options()).left();
    return QRect(frame, frame, width() - 2 * frame, SmallCaptionHeight);
}

QRect TDockForm::closeBoxRect() const
{
    const QRect caption = captionRect();
    if (caption.isEmpty() || !(options() & opCloseBox))
        return QRect();
    const int side = caption.height() - 2 * CloseBoxMargin;
    return QRect(caption.right() + 1 - CloseBoxMargin - side, caption.top() + CloseBoxMargin, side, side);
}

bool TDockForm::captionActive() const
{
    return isActiveWindow() || (m_owner && m_owner->isActiveWindow());
}

void TDockForm::fitBar()
{
    if (m_bar && m_bar->parentWidget() == this)
        m_bar->setGeometry(contentsRect());
}

void TDockForm::syncVisibility()
{
    const bool wanted = m_bar && m_bar->parentWidget() == this && !explicitlyHidden(m_bar) && ownerAllowsShowing();
    if (wanted != isVisible())
        setVisible(wanted);
}

bool TDockForm::ownerAllowsShowing() const
{
    if (!m_owner)
        return true;
    if (!m_owner->isVisible() || m_owner->isMinimized())
        return false;
    // Activation that strays to this window still counts as the owner's.
    return !(options() & opAutoHide) || m_owner->isActiveWindow() || isActiveWindow();
}

void TDockForm::optionsChanged()
{
    setContentsMargins(chrome(options()));
    fitBar();
    syncVisibility();
    update();
}

bool TDockForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_owner) {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::WindowStateChange: syncVisibility(); break;
        case QEvent::ActivationChange:
            syncVisibility();
            update();
            break;
        default: break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// Both windows show as active while the user works with the floating bar.
void TDockForm::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange) {
        if (isActiveWindow() && m_owner)
            m_owner->activateWindow();
        update();
    }
    QWidget::changeEvent(event);
}

void TDockForm::closeEvent(QCloseEvent *event)
{
    if (m_bar)
        m_bar->hide();
    event->accept();
}

void TDockForm::moveEvent(QMoveEvent *event)
{
    QWidget::moveEvent(event);
    if (m_bar)
        m_bar->floatBoundsChanged(geometry());
}

void TDockForm::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_bar)
        m_bar->floatBoundsChanged(geometry());
    fitBar();
}

void TDockForm::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QRect frame = rect();
    painter.fillRect(frame, toQColor(colorBtnFace));
    drawRings(painter, frame, colorBtnFace, colorDarkShadow, 1);
    drawRings(painter, frame, colorBtnHighlight, colorBtnShadow, 1);
    if (m_bar && (options() & opCaption))
        paintCaption(painter);
}

void TDockForm::paintCaption(QPainter &painter) const
{
    const QRect caption = captionRect();
    painter.fillRect(caption, toQColor(captionActive() ? colorActiveCaption : colorInactiveCaption));
    QRect title = caption.adjusted(2, 0, -2, 0);
    if (!closeBoxRect().isEmpty())
        title.setRight(closeBoxRect().left() - 2);
    const QFont font = m_bar->TitleFont();
    painter.setFont(font);
    painter.setPen(toQColor(colorCaptionText));
    painter.drawText(title, Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetrics(font).elidedText(m_bar->Caption(), Qt::ElideRight, title.width()));
    paintCloseBox(painter);
}

void TDockForm::paintCloseBox(QPainter &painter) const
{
    QRect box = closeBoxRect();
    if (box.isEmpty())
        return;
    painter.fillRect(box, toQColor(colorBtnFace));
    const TColor light = m_closePressed ? colorDarkShadow : colorBtnHighlight;
    const TColor dark = m_closePressed ? colorBtnHighlight : colorDarkShadow;
    drawRings(painter, box, light, dark, 1);
    const int shift = m_closePressed ? 1 : 0;
    const QRect cross = box.adjusted(2, 2, -3, -2).translated(shift, shift);
    painter.setPen(toQColor(colorBtnText));
    for (int thickness = 0; thickness < 2; ++thickness) {
        painter.drawLine(cross.topLeft() + QPoint(thickness, 0), cross.bottomRight() + QPoint(thickness, 0));
        painter.drawLine(cross.topRight() + QPoint(thickness, 0), cross.bottomLeft() + QPoint(thickness, 0));
    }
}

Qt::Edges TDockForm::sizingEdgesAt(const QPoint &point) const
{
    Qt::Edges edges;
    if (!(options() & opSizeable))
        return edges;
    const int frame = chrome(options()).left();
    if (point.x() < frame)
        edges |= Qt::LeftEdge;
    if (point.x() >= width() - frame)
        edges |= Qt::RightEdge;
    if (point.y() < frame)
        edges |= Qt::TopEdge;
    if (point.y() >= height() - frame)
        edges |= Qt::BottomEdge;
    return edges;
}

// The edges under the mouse follow it; the opposite ones stay. With opAutoSize the window takes
// the size the line-up needs at the new width.
void TDockForm::sizeTo(const QPoint &global)
{
    const QPoint delta = global - m_sizingPress;
    QRect bounds = m_sizingStart;
    if (m_sizingEdges & Qt::LeftEdge)
        bounds.setLeft(bounds.left() + delta.x());
    if (m_sizingEdges & Qt::RightEdge)
        bounds.setRight(bounds.right() + delta.x());
    if (m_sizingEdges & Qt::TopEdge)
        bounds.setTop(bounds.top() + delta.y());
    if (m_sizingEdges & Qt::BottomEdge)
        bounds.setBottom(bounds.bottom() + delta.y());
    QSize size = bounds.size().expandedTo(QSize(SmallestTrack, SmallestTrack));
    if (options() & opAutoSize) {
        const QSize needed = m_bar->floatSizeFor(size.width());
        if (needed.isValid())
            size = needed.expandedTo(QSize(SmallestTrack, SmallestTrack));
    }
    const int x = m_sizingEdges & Qt::LeftEdge ? m_sizingStart.right() + 1 - size.width() : m_sizingStart.left();
    const int y = m_sizingEdges & Qt::TopEdge ? m_sizingStart.bottom() + 1 - size.height() : m_sizingStart.top();
    m_bar->setFloatRect(QRect(QPoint(x, y), size));
}

void TDockForm::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_bar)
        return;
    const QPoint at = event->position().toPoint();
    if (closeBoxRect().contains(at)) {
        m_closePressed = true;
        update();
        return;
    }
    m_sizingEdges = sizingEdgesAt(at);
    if (m_sizingEdges) {
        m_sizingStart = geometry();
        m_sizingPress = event->globalPosition().toPoint();
    } else if (captionRect().contains(at) && !(options() & opLock)) {
        m_captionPressed = true;
        m_bar->m_tracker->press(event->globalPosition().toPoint());
    }
}

void TDockForm::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_bar)
        return;
    if (m_sizingEdges)
        sizeTo(event->globalPosition().toPoint());
    else if (m_captionPressed)
        m_bar->m_tracker->move(event->globalPosition().toPoint());
}

void TDockForm::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_sizingEdges = {};
    if (m_closePressed) {
        m_closePressed = false;
        update();
        if (closeBoxRect().contains(event->position().toPoint()))
            close();
    } else if (m_captionPressed && m_bar) {
        m_captionPressed = false;
        m_bar->m_tracker->release(event->globalPosition().toPoint());
    }
}

void TDockForm::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (m_bar && captionRect().contains(event->position().toPoint()))
        m_bar->dblClickDock();
}
