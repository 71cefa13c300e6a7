#include "oxSplits.h"

#include "ToxScrollPane.h"

#include <QChildEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

namespace {

// Clamp that tolerates an empty range (a split smaller than its bars): the lower bound wins.
int clampTo(int value, int lower, int upper)
{
    return std::max(lower, std::min(value, upper));
}

int percentOf(int position, int length)
{
    return length == 0 ? 0 : clampTo(position * 100 / length, 0, 100);
}

int positionOf(int percent, int length)
{
    return clampTo(length * percent / 100, 0, length);
}

QRect fromEdges(int left, int top, int right, int bottom)
{
    return QRect(left, top, std::max(0, right - left), std::max(0, bottom - top));
}

void ringPair(QPainter &painter, QRect rect, TColor outerTop, TColor outerBottom, TColor innerTop, TColor innerBottom)
{
    drawRing(painter, rect, outerTop, outerBottom);
    drawRing(painter, rect.adjusted(1, 1, -1, -1), innerTop, innerBottom);
}

bool sideBySide(ToxsOrientation orientation)
{
    return orientation == oxsVert || orientation == oxsLeft || orientation == oxsRight;
}

} // namespace

ToxSplit::ToxSplit(QWidget *parent) : TDFGraphicControl(parent), m_tracker(new QWidget(this))
{
    resize(100, 100);
    setMouseTracking(true);
    m_tracker->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_tracker->hide();
    m_tracker->installEventFilter(this);
    positionsFromPercents();
}

// The panes are about to go with the other children; nothing may reach them through the list.
ToxSplit::~ToxSplit()
{
    m_panes.clear();
}

void ToxSplit::SetBarWidth(int value)
{
    if (m_barWidth == value)
        return;
    m_barWidth = value;
    followLengthChange();
    changed();
}

void ToxSplit::SetBorderStyle(TBorderStyle value)
{
    if (m_borderStyle == value)
        return;
    m_borderStyle = value;
    relayOut();
}

void ToxSplit::SetSyncScroll(bool value)
{
    m_syncScroll = value;
}

void ToxSplit::SetStyle(ToxsStyle value)
{
    if (m_style == value)
        return;
    m_style = value;
    followLengthChange();
    changed();
}

void ToxSplit::SetLocked(bool value)
{
    if (m_locked == value)
        return;
    m_locked = value;
    unsetCursor();
}

void ToxSplit::SetPositionX(int value)
{
    if (m_positionX != value)
        setPositions(value, m_positionY);
}

void ToxSplit::SetPositionY(int value)
{
    if (m_positionY != value)
        setPositions(m_positionX, value);
}

void ToxSplit::setPositions(int x, int y)
{
    if (m_options & oxsVer1Compat) {
        x = clampTo(x, 0, maxX());
        y = clampTo(y, 0, maxY());
    }
    m_positionX = std::max(0, x);
    m_positionY = std::max(0, y);
    percentsFromPositions();
    changed();
}

void ToxSplit::SetPercentX(int value)
{
    value = clampTo(value, 0, 100);
    if (m_percentX == value)
        return;
    m_percentX = value;
    positionsFromPercents();
    changed();
}

void ToxSplit::SetPercentY(int value)
{
    value = clampTo(value, 0, 100);
    if (m_percentY == value)
        return;
    m_percentY = value;
    positionsFromPercents();
    changed();
}

void ToxSplit::SetOrientation(ToxsOrientation value)
{
    if (m_orientation == value)
        return;
    m_orientation = value;
    relayOut();
}

void ToxSplit::SetOptions(ToxsOptions value)
{
    if (m_options == value)
        return;
    m_options = value;
    relayOut();
}

void ToxSplit::SetColor(TColor value)
{
    if (m_color == value)
        return;
    m_color = value;
    requestRender();
}

void ToxSplit::SetCtl3D(bool value)
{
    if (m_ctl3D == value)
        return;
    m_ctl3D = value;
    requestRender();
}

ToxsStyle ToxSplit::effectiveStyle() const
{
    return m_style == oxsAuto ? oxsWin95 : m_style;
}

int ToxSplit::borderInset() const
{
    switch (effectiveStyle()) {
    case oxsWin31: return 0;
    case oxsInset:
    case oxsGroove:
    case oxsRaised: return 1;
    default: return 2;
    }
}

int ToxSplit::maxX() const
{
    return width() - 2 * borderInset() - m_barWidth;
}

int ToxSplit::maxY() const
{
    return height() - 2 * borderInset() - m_barWidth;
}

void ToxSplit::positionsFromPercents()
{
    m_positionX = positionOf(m_percentX, maxX());
    m_positionY = positionOf(m_percentY, maxY());
}

void ToxSplit::percentsFromPositions()
{
    m_percentX = percentOf(m_positionX, maxX());
    m_percentY = percentOf(m_positionY, maxY());
}

// The stored form of the bar positions stays as it is when the length the bars can travel changes.
void ToxSplit::followLengthChange()
{
    if (m_options & oxsSaveAsPercent)
        positionsFromPercents();
    else
        percentsFromPositions();
}

void ToxSplit::changed()
{
    relayOut();
    fireResize();
}

// A handler that moves a bar or resizes the split must not be called again from inside itself.
void ToxSplit::fireResize()
{
    if (!OnResize || m_inResize)
        return;
    m_inResize = true;
    OnResize(this);
    m_inResize = false;
}

void ToxSplit::addPane(ToxScrollPane *pane)
{
    if (std::find(m_panes.begin(), m_panes.end(), pane) != m_panes.end())
        return;
    m_panes.push_back(pane);
    connectScrolling(pane);
    relayOut();
}

void ToxSplit::movePane(ToxScrollPane *pane, int index)
{
    m_panes.erase(std::remove(m_panes.begin(), m_panes.end(), pane), m_panes.end());
    index = clampTo(index, 0, int(m_panes.size()));
    m_panes.insert(m_panes.begin() + index, pane);
    relayOut();
}

void ToxSplit::connectScrolling(ToxScrollPane *pane)
{
    connect(pane->horizontalScrollBar(), &QScrollBar::valueChanged, pane,
            [this, pane](int value) { syncScrollFrom(pane, Qt::Horizontal, value); });
    connect(pane->verticalScrollBar(), &QScrollBar::valueChanged, pane,
            [this, pane](int value) { syncScrollFrom(pane, Qt::Vertical, value); });
}

void ToxSplit::syncScrollFrom(ToxScrollPane *source, Qt::Orientation orientation, int value)
{
    if (!m_syncScroll || m_syncing)
        return;
    m_syncing = true;
    for (ToxScrollPane *pane : m_panes) {
        if (pane != source)
            (orientation == Qt::Horizontal ? pane->horizontalScrollBar() : pane->verticalScrollBar())->setValue(value);
    }
    m_syncing = false;
}

void ToxSplit::childEvent(QChildEvent *event)
{
    TDFGraphicControl::childEvent(event);
    if (event->added()) {
        if (auto *pane = qobject_cast<ToxScrollPane *>(event->child()))
            addPane(pane);
    } else if (event->removed()) {
        const auto gone = std::remove(m_panes.begin(), m_panes.end(), static_cast<QObject *>(event->child()));
        if (gone != m_panes.end()) {
            m_panes.erase(gone, m_panes.end());
            relayOut();
        }
    }
}

std::vector<ToxScrollPane *> ToxSplit::layoutPanes() const
{
    if (!(m_options & oxsHideInvisible))
        return m_panes;
    std::vector<ToxScrollPane *> shown;
    std::copy_if(m_panes.begin(), m_panes.end(), std::back_inserter(shown),
                 [](const ToxScrollPane *pane) { return !pane->isHidden(); });
    return shown;
}

void ToxSplit::layOut()
{
    const std::vector<ToxScrollPane *> panes = layoutPanes();
    const int b = borderInset();
    const int l = b, t = b, r = width() - b, bottom = height() - b;
    const bool raw = m_options & oxsVer1Compat;
    const int x = raw ? m_positionX : std::min(r - l, m_positionX);
    const int y = raw ? m_positionY : std::min(bottom - t, m_positionY);
    const int w = m_barWidth;
    const auto place = [&panes](std::size_t index, const QRect &rect) { panes[index]->setGeometry(rect); };
    switch (panes.size()) {
    case 0: return;
    case 1: place(0, fromEdges(l, t, r, bottom)); return;
    case 2:
        if (sideBySide(m_orientation)) {
            place(0, fromEdges(l, t, x, bottom));
            place(1, fromEdges(x + w, t, r, bottom));
        } else {
            place(0, fromEdges(l, t, r, y));
            place(1, fromEdges(l, y + w, r, bottom));
        }
        return;
    case 3:
        switch (m_orientation) {
        case oxsVert:
        case oxsLeft:
            place(0, fromEdges(l, t, x, bottom));
            place(1, fromEdges(x + w, t, r, y));
            place(2, fromEdges(x + w, y + w, r, bottom));
            return;
        case oxsHorz:
        case oxsBottom:
            place(0, fromEdges(l, t, x, y));
            place(1, fromEdges(x + w, t, r, y));
            place(2, fromEdges(l, y + w, r, bottom));
            return;
        case oxsTop:
            place(0, fromEdges(l, t, r, y));
            place(1, fromEdges(x + w, y + w, r, bottom));
            place(2, fromEdges(l, y + w, x, bottom));
            return;
        case oxsRight:
            place(0, fromEdges(l, t, x, y));
            place(1, fromEdges(x + w, t, r, bottom));
            place(2, fromEdges(l, y + w, x, bottom));
            return;
        }
        return;
    default: {
        const int px = m_positionX, py = m_positionY;
        place(0, fromEdges(l, t, px, py));
        place(1, fromEdges(px + w, t, r, py));
        place(2, fromEdges(px + w, py + w, r, bottom));
        place(3, fromEdges(l, py + w, px, bottom));
    }
    }
}

QRect ToxSplit::verticalBar() const
{
    const std::size_t count = layoutPanes().size();
    if (count < 2 || (count == 2 && !sideBySide(m_orientation)))
        return QRect();
    const int b = borderInset();
    const int left = m_positionX + b;
    int top = 0, bottom = height();
    if (count == 3 && (m_orientation == oxsHorz || m_orientation == oxsBottom))
        bottom = m_positionY + b + m_barWidth;
    else if (count == 3 && m_orientation == oxsTop)
        top = m_positionY;
    return fromEdges(left, top, left + m_barWidth, bottom);
}

QRect ToxSplit::horizontalBar() const
{
    const std::size_t count = layoutPanes().size();
    if (count < 2 || (count == 2 && sideBySide(m_orientation)))
        return QRect();
    const int b = borderInset();
    const int top = m_positionY + b;
    int left = 0, right = width();
    if (count == 3 && (m_orientation == oxsVert || m_orientation == oxsLeft))
        left = m_positionX;
    else if (count == 3 && m_orientation == oxsRight)
        right = m_positionX + b + m_barWidth;
    return fromEdges(left, top, right, top + m_barWidth);
}

int ToxSplit::barsAt(const QPoint &point) const
{
    return (verticalBar().contains(point) ? dragX : dragNone) | (horizontalBar().contains(point) ? dragY : dragNone);
}

void ToxSplit::updateCursor(const QPoint &point)
{
    const int bars = m_locked ? dragNone : barsAt(point);
    switch (bars) {
    case dragBoth: setCursor(Qt::SizeAllCursor); break;
    case dragX: setCursor(Qt::SplitHCursor); break;
    case dragY: setCursor(Qt::SplitVCursor); break;
    default: unsetCursor();
    }
}

void ToxSplit::setHotBar(bool hot)
{
    if (m_hotBar == hot)
        return;
    m_hotBar = hot;
    if (effectiveStyle() == oxsWin97)
        requestRender();
}

void ToxSplit::mousePressEvent(QMouseEvent *event)
{
    const QPoint point = event->position().toPoint();
    const int bars = barsAt(point);
    if (event->button() != Qt::LeftButton || m_locked || bars == dragNone) {
        TDFGraphicControl::mousePressEvent(event);
        return;
    }
    const int b = borderInset();
    m_dragAxes = bars;
    m_grab = QPoint(point.x() - m_positionX - b, point.y() - m_positionY - b);
    if (!m_autoUpdate)
        showTrackingLine(point);
}

QPoint ToxSplit::clampedDragPoint(const QPoint &point) const
{
    const int b = borderInset();
    return QPoint(clampTo(point.x(), b + m_grab.x(), width() + m_grab.x() - m_barWidth),
                  clampTo(point.y(), b + m_grab.y(), height() + m_grab.y() - m_barWidth));
}

void ToxSplit::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint point = event->position().toPoint();
    if (m_dragAxes == dragNone || !(event->buttons() & Qt::LeftButton)) {
        updateCursor(point);
        setHotBar(barsAt(point) != dragNone);
        TDFGraphicControl::mouseMoveEvent(event);
        return;
    }
    const QPoint clamped = clampedDragPoint(point);
    if (!m_autoUpdate) {
        showTrackingLine(clamped);
        return;
    }
    const int b = borderInset();
    setPositions(m_dragAxes & dragX ? clamped.x() - m_grab.x() - b : m_positionX,
                 m_dragAxes & dragY ? clamped.y() - m_grab.y() - b : m_positionY);
}

void ToxSplit::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_dragAxes != dragNone && event->button() == Qt::LeftButton) {
        const QPoint clamped = clampedDragPoint(event->position().toPoint());
        const int b = borderInset();
        const int axes = m_dragAxes;
        m_dragAxes = dragNone;
        hideTrackingLine();
        const int x = axes & dragX ? clamped.x() - m_grab.x() - b : m_positionX;
        const int y = axes & dragY ? clamped.y() - m_grab.y() - b : m_positionY;
        if (x != m_positionX || y != m_positionY)
            setPositions(x, y);
    } else {
        TDFGraphicControl::mouseReleaseEvent(event);
    }
    if (OnChange)
        OnChange(this);
}

void ToxSplit::leaveEvent(QEvent *event)
{
    setHotBar(false);
    TDFGraphicControl::leaveEvent(event);
}

void ToxSplit::resizeEvent(QResizeEvent *event)
{
    TDFGraphicControl::resizeEvent(event);
    followLengthChange();
    changed();
}

void ToxSplit::showTrackingLine(const QPoint &point)
{
    m_trackPoint = point;
    m_tracker->setGeometry(rect());
    m_tracker->raise();
    m_tracker->show();
    m_tracker->update();
}

void ToxSplit::hideTrackingLine()
{
    m_tracker->hide();
}

bool ToxSplit::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_tracker && event->type() == QEvent::Paint) {
        paintTrackingLine();
        return true;
    }
    return TDFGraphicControl::eventFilter(watched, event);
}

// The line inverts whatever lies under it, panes included, so it shows on any background.
void ToxSplit::paintTrackingLine()
{
    QRegion line;
    if (m_dragAxes & dragX) {
        const QRect bar = verticalBar();
        line += QRect(m_trackPoint.x() - m_grab.x(), bar.top(), m_barWidth, bar.height());
    }
    if (m_dragAxes & dragY) {
        const QRect bar = horizontalBar();
        line += QRect(bar.left(), m_trackPoint.y() - m_grab.y(), bar.width(), m_barWidth);
    }
    QPainter painter(m_tracker);
    painter.setClipRegion(line);
    painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    painter.fillRect(m_tracker->rect(), Qt::black);
}

void ToxSplit::relayOut()
{
    layOut();
    requestRender();
}

void ToxSplit::renderPicture(QImage &picture)
{
    QPainter painter(&picture);
    painter.fillRect(picture.rect(), toQColor(m_color));
    for (const ToxScrollPane *pane : layoutPanes()) {
        if (!pane->isHidden())
            paintPaneFrame(painter, pane->geometry());
    }
    if (effectiveStyle() == oxsWin31)
        drawRing(painter, picture.rect(), colorWindowFrame, colorWindowFrame);
}

void ToxSplit::paintPaneFrame(QPainter &painter, const QRect &pane) const
{
    switch (effectiveStyle()) {
    case oxsWin31:
        if (m_ctl3D)
            drawRing(painter, pane.adjusted(-1, -1, 1, 1), colorBtnShadow, colorBtnHighlight);
        break;
    case oxsInset: drawRing(painter, pane.adjusted(-1, -1, 1, 1), colorBtnShadow, colorBtnHighlight); break;
    case oxsGroove: {
        const int grow = m_barWidth / 2;
        ringPair(painter, pane.translated(1, 1).adjusted(-grow, -grow, grow, grow), colorBtnHighlight, colorWindowFrame,
                 colorBtnFace, colorBtnShadow);
        break;
    }
    case oxsWin97:
        if (m_hotBar)
            ringPair(painter, pane.adjusted(-2, -2, 2, 2), colorBtnShadow, colorBtnHighlight, colorWindowFrame,
                     colorBtnFace);
        else
            ringPair(painter, pane.adjusted(-2, -2, 2, 2), colorBtnFace, colorBtnFace, colorBtnShadow,
                     colorBtnHighlight);
        break;
    case oxsRaised:
        ringPair(painter, pane.adjusted(-3, -3, 3, 3), colorBtnShadow, colorBtnHighlight, colorWindowFrame,
                 colorBtnFace);
        break;
    default:
        ringPair(painter, pane.adjusted(-2, -2, 2, 2), colorBtnShadow, colorBtnHighlight, colorWindowFrame,
                 colorBtnFace);
    }
}
