#include "oxDockBr.h"

#include "ShownChildrenAccessible.h"
#include "TDockBarPainter.h"
#include "TDockForm.h"
#include "TDockLineUp.h"
#include "TDockPositionFile.h"
#include "TDockTracker.h"
#include "ToxDockBack.h"
#include "ToxSpace.h"

#include <QCoreApplication>
#include <QLayout>
#include <QMouseEvent>
#include <QPainter>

namespace {
// Room enough that the line-up never wraps or runs out while it only measures.
constexpr int Unbounded = QWIDGETSIZE_MAX / 4;
constexpr int DefaultTitlePoints = 7;
} // namespace

ToxDockBar::ToxDockBar(QWidget *parent)
    : TDFGraphicControl(parent), m_titleFont("Small Fonts", DefaultTitlePoints), m_look(this), m_site(this),
      m_tracker(std::make_unique<TDockTracker>(*this)), m_iniFileName(TDockPositionFile::defaultFileName())
{
    TShownChildrenAccessible::registerContainers();
    m_look.OnChange = [this] { requestRender(); };
    adoptSite();
}

ToxDockBar::~ToxDockBar()
{
    // Nothing is announced while the bar goes.
    OnDocked = OnShow = OnHide = OnPaint = OnResize = nullptr;
    m_tracker.reset();
    if (m_loaded && (m_options & opAutoSave))
        writePosition();
    if (TDockForm *form = m_dockForm) {
        m_dockForm = nullptr;
        form->releaseBar();
        if (parentWidget() == form)
            setParent(nullptr);
        delete form;
    }
}

void ToxDockBar::SetCaption(const QString &value)
{
    if (m_caption == value)
        return;
    m_caption = value;
    if (m_dockForm)
        m_dockForm->update();
}

void ToxDockBar::SetBorderWidth(int value)
{
    setAndRealign(m_borderWidth, value);
}

void ToxDockBar::SetGapSize(int value)
{
    setAndRealign(m_gapSize, value);
}

void ToxDockBar::SetDock(TDockAlign value)
{
    // A bar that never had a site has no edge to go to.
    if (m_dock == value || (m_dock == dkFloat && !m_site.widget()))
        return;
    m_dock = value;
    if (value == dkFloat)
        floatOut();
    else
        dockAt(value);
    if (OnDocked)
        OnDocked(this);
}

void ToxDockBar::SetDockHeight(int value)
{
    if (m_dockHeight == value)
        return;
    m_dockHeight = value;
    if (m_dock == dkTop || m_dock == dkBottom)
        realign();
}

void ToxDockBar::SetDockWidth(int value)
{
    if (m_dockWidth == value)
        return;
    m_dockWidth = value;
    if (isSideDock(m_dock))
        realign();
}

void ToxDockBar::SetFloatLeft(int value)
{
    if (value != m_floatRect.left())
        setFloatRect(m_floatRect.translated(value - m_floatRect.left(), 0));
}

void ToxDockBar::SetFloatTop(int value)
{
    if (value != m_floatRect.top())
        setFloatRect(m_floatRect.translated(0, value - m_floatRect.top()));
}

void ToxDockBar::SetFloatWidth(int value)
{
    if (value != m_floatRect.width())
        setFloatRect(QRect(m_floatRect.topLeft(), QSize(value, m_floatRect.height())));
}

void ToxDockBar::SetFloatHeight(int value)
{
    if (value != m_floatRect.height())
        setFloatRect(QRect(m_floatRect.topLeft(), QSize(m_floatRect.width(), value)));
}

void ToxDockBar::setFloatRect(const QRect &rect)
{
    m_floatRect = rect;
    if (m_dockForm) {
        m_dockForm->setGeometry(rect);
        m_dockForm->fitBar();
    }
}

void ToxDockBar::SetOptions(ToxDockOptions value)
{
    if (m_options == value)
        return;
    m_options = value;
    if (m_dockForm)
        m_dockForm->optionsChanged();
    realign();
}

void ToxDockBar::SetTitleFont(const QFont &value)
{
    if (m_titleFont == value)
        return;
    m_titleFont = value;
    if (m_dockForm)
        m_dockForm->update();
}

void ToxDockBar::SetSpacesSize(quint16 value)
{
    if (m_spacesSize == value)
        return;
    m_spacesSize = value;
    for (ToxSpace *space : findChildren<ToxSpace *>(Qt::FindDirectChildrenOnly))
        space->fitToBar();
    realign();
}

void ToxDockBar::SetBackground(const ToxDockBack &value)
{
    m_look.background()->Assign(value);
}

TControlAlign ToxDockBar::controlAlign(QWidget *control) const
{
    return m_aligned.align(control);
}

void ToxDockBar::setControlAlign(QWidget *control, TControlAlign align)
{
    if (control && control->parent() == this && m_aligned.setAlign(control, align))
        realign();
}

bool ToxDockBar::dragging() const
{
    return m_tracker && m_tracker->dragging();
}

QRect ToxDockBar::dragOutline() const
{
    return m_tracker ? m_tracker->outline() : QRect();
}

bool ToxDockBar::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::ParentChange: adoptSite(); break;
    case QEvent::ChildAdded: childAdded(static_cast<QChildEvent *>(event)->child()); break;
    case QEvent::ChildRemoved:
        m_aligned.forget(static_cast<QChildEvent *>(event)->child());
        requestRealign();
        break;
    case QEvent::LayoutRequest: realign(); break;
    case QEvent::ShowToParent:
    case QEvent::HideToParent:
        if (m_dockForm)
            m_dockForm->syncVisibility();
        break;
    case QEvent::PaletteChange:
        m_look.syncGradient();
        requestRender();
        break;
    default: break;
    }
    return TDFGraphicControl::event(event);
}

bool ToxDockBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_site.widget()) {
        if (event->type() == QEvent::Resize && m_dock != dkFloat && !m_site.holdsInLayout())
            m_site.placeOnEdge(m_dock);
    } else if (watched->parent() == this && !m_aligning) {
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::ShowToParent:
        case QEvent::HideToParent: requestRealign(); break;
        default: break;
        }
    }
    return TDFGraphicControl::eventFilter(watched, event);
}

void ToxDockBar::childAdded(QObject *child)
{
    if (!child->isWidgetType())
        return;
    child->installEventFilter(this);
    requestRealign();
}

void ToxDockBar::adoptSite()
{
    if (m_site.adopt(parentWidget(), m_dockForm))
        requestRealign();
}

// Posted requests collapse into one, so a burst of new controls lines up once.
void ToxDockBar::requestRealign()
{
    QCoreApplication::postEvent(this, new QEvent(QEvent::LayoutRequest));
}

void ToxDockBar::realign()
{
    if (m_aligning)
        return;
    m_aligning = true;
    // A second pass places the controls in the area that sizing the bar has just changed.
    for (int pass = 0; pass < 2; ++pass) {
        const QRect area =
            m_aligned.place(children(), rect().adjusted(m_borderWidth, m_borderWidth, -m_borderWidth, -m_borderWidth));
        if (m_options & opAutoAlign)
            lineUp(area);
        if (!fitSize())
            break;
    }
    m_aligning = false;
    if (m_look.effectiveStyle() == oxdWin97)
        requestRender();
}

std::vector<TDockItem> ToxDockBar::lineUpItems() const
{
    std::vector<TDockItem> items;
    for (QObject *object : children()) {
        auto *control = qobject_cast<QWidget *>(object);
        if (!control || control->isWindow() || m_aligned.align(control) != caNone)
            continue;
        items.push_back(
            {control, control->geometry(), qobject_cast<ToxSpace *>(control) != nullptr, !explicitlyHidden(control)});
    }
    return items;
}

void ToxDockBar::lineUp(const QRect &area)
{
    std::vector<TDockItem> items = lineUpItems();
    TDockLineUp::sortByPlace(items, m_lastLineUpDock, m_borderWidth);
    if (!TDockLineUp(m_dock, area, m_borderWidth, m_gapSize).arrange(items).isValid())
        return;
    for (const TDockItem &item : items) {
        item.control->setGeometry(item.rect);
        if (item.spacer && item.visible == explicitlyHidden(item.control))
            item.control->setVisible(item.visible);
    }
    m_lastLineUpDock = m_dock;
}

QSize ToxDockBar::measure(TDockAlign dock, const QRect &area) const
{
    std::vector<TDockItem> items = lineUpItems();
    TDockLineUp::sortByPlace(items, m_lastLineUpDock, m_borderWidth);
    return TDockLineUp(dock, area, m_borderWidth, m_gapSize).arrange(items);
}

// Sizes the bar, or its floating window, to the line-up; true when the bar's size changed.
bool ToxDockBar::fitSize()
{
    const QSize before = size();
    if (m_dock != dkFloat) {
        const int extent = edgeExtent(m_dock);
        if (extent > 0)
            applyEdgeExtent(extent);
        return size() != before;
    }
    if (!(m_options & opAutoSize) || !m_dockForm)
        return false;
    const QSize wanted = floatSizeFor(m_floatRect.width());
    if (!wanted.isValid() || wanted == m_floatRect.size())
        return false;
    setFloatRect(QRect(m_floatRect.topLeft(), wanted));
    return size() != before;
}

int ToxDockBar::edgeExtent(TDockAlign edge) const
{
    const bool side = isSideDock(edge);
    const int recorded = side ? m_dockWidth : m_dockHeight;
    if (!(m_options & opAutoSize) && recorded > 0)
        return recorded;
    const QSize needed = measure(edge, QRect(0, 0, Unbounded, Unbounded));
    if (!needed.isValid())
        return recorded;
    const QSize extent = needed + QSize(2 * m_borderWidth, 2 * m_borderWidth) + m_aligned.extent();
    return side ? extent.width() : extent.height();
}

void ToxDockBar::applyEdgeExtent(int extent)
{
    if (isSideDock(m_dock)) {
        m_dockWidth = extent;
        setMinimumSize(extent, 0);
        setMaximumSize(extent, QWIDGETSIZE_MAX);
    } else {
        m_dockHeight = extent;
        setMinimumSize(0, extent);
        setMaximumSize(QWIDGETSIZE_MAX, extent);
    }
    if (!m_site.holdsInLayout())
        m_site.placeOnEdge(m_dock);
}

QSize ToxDockBar::floatSizeFor(int windowWidth) const
{
    const QMargins chrome = TDockForm::chrome(m_options);
    const QSize around = QSize(chrome.left() + chrome.right(), chrome.top() + chrome.bottom()) +
                         QSize(2 * m_borderWidth, 2 * m_borderWidth) + m_aligned.extent();
    const QSize needed = measure(dkFloat, QRect(0, 0, windowWidth - around.width(), Unbounded));
    return needed.isValid() ? needed + around : QSize();
}

// The floating window's size; a window too small to use is first fitted to one row.
QSize ToxDockBar::floatingSize() const
{
    if ((m_options & opAutoSize) && m_floatRect.width() + m_floatRect.height() < 30) {
        const QSize oneRow = floatSizeFor(Unbounded);
        if (oneRow.isValid())
            return oneRow;
    }
    return m_floatRect.size();
}

void ToxDockBar::floatOut()
{
    m_site.rememberSlot();
    if (!m_dockForm)
        m_dockForm = new TDockForm(this, m_site.widget() ? m_site.widget()->window() : nullptr);
    const bool keepShown = !explicitlyHidden(this);
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    const QSize floating = floatingSize();
    setParent(m_dockForm);
    setFloatRect(QRect(m_floatRect.topLeft(), floating));
    if (keepShown)
        show();
    realign();
    m_dockForm->syncVisibility();
}

void ToxDockBar::dockAt(TDockAlign edge)
{
    if (m_dockForm && parentWidget() == m_dockForm) {
        const bool keepShown = !explicitlyHidden(this);
        setParent(m_site.widget());
        m_site.restoreSlot();
        if (keepShown)
            show();
        m_dockForm->syncVisibility();
    }
    m_lastEdge = edge;
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    realign();
}

void ToxDockBar::floatAt(const QPoint &topLeft)
{
    setFloatRect(QRect(topLeft, floatingSize()));
    SetDock(dkFloat);
}

void ToxDockBar::dblClickDock()
{
    if (!(m_options & opDblClkDock) || !(m_options & opAllowFloat) || (m_options & opLock))
        return;
    SetDock(m_dock == dkFloat ? m_lastEdge : dkFloat);
}

void ToxDockBar::Loaded()
{
    if (m_loaded)
        return;
    m_loaded = true;
    if (m_options & opAutoSave)
        readPosition();
}

void ToxDockBar::readPosition()
{
    const TDockPositionFile::Position read =
        TDockPositionFile(m_iniFileName).read(objectName(), {m_floatRect, int(m_dock)});
    setFloatRect(read.floatRect);
    if (read.dock >= dkFloat && read.dock <= dkRight)
        SetDock(TDockAlign(read.dock));
}

void ToxDockBar::writePosition() const
{
    TDockPositionFile(m_iniFileName).write(objectName(), {m_floatRect, int(m_dock)});
}

void ToxDockBar::renderPicture(QImage &picture)
{
    QPainter painter(&picture);
    m_look.paint(painter, picture.rect(), m_dock == dkFloat);
    if (m_look.effectiveStyle() == oxdWin97)
        TDockBarPainter::paintSeparators(painter, lineUpItems(), isSideDock(m_dock),
                                         rect().adjusted(m_borderWidth, 0, -m_borderWidth, 0));
    painter.end();
    if (OnPaint)
        OnPaint(this);
}

void ToxDockBar::resizeEvent(QResizeEvent *event)
{
    TDFGraphicControl::resizeEvent(event);
    realign();
    if (OnResize)
        OnResize(this);
}

void ToxDockBar::showEvent(QShowEvent *event)
{
    TDFGraphicControl::showEvent(event);
    if (!m_loaded)
        QMetaObject::invokeMethod(this, &ToxDockBar::Loaded, Qt::QueuedConnection);
    if (OnShow)
        OnShow(this);
}

void ToxDockBar::hideEvent(QHideEvent *event)
{
    TDFGraphicControl::hideEvent(event);
    if (OnHide)
        OnHide(this);
}

void ToxDockBar::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && !(m_options & opLock))
        m_tracker->press(event->globalPosition().toPoint());
}

void ToxDockBar::mouseMoveEvent(QMouseEvent *event)
{
    m_tracker->move(event->globalPosition().toPoint());
}

void ToxDockBar::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_tracker->release(event->globalPosition().toPoint());
}

void ToxDockBar::mouseDoubleClickEvent(QMouseEvent *)
{
    dblClickDock();
}
