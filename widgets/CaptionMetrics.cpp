#include "CaptionMetrics.h"

#include <QWidget>
#include <algorithm>

namespace {

constexpr int SizingFrame = 4;
constexpr int DialogFrame = 3;
constexpr int CaptionHeight = 19;
constexpr int CaptionButtonWidth = 18;
constexpr int SmallCaptionHeight = 16;
constexpr int SmallCaptionButtonWidth = 13;

// Caption text is drawn without smoothing, as on the classic desktop, so that it stays crisp on
// the gradient.
QFont captionFontOf(int pointSize)
{
    QFont font("MS Sans Serif", pointSize, QFont::Bold);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

} // namespace

bool TCaptionMetrics::resizable(const QWidget *form)
{
    return form->minimumSize() != form->maximumSize();
}

TCaptionMetrics TCaptionMetrics::of(const QWidget *form)
{
    TCaptionMetrics metrics;
    metrics.toolWindow = form->windowType() == Qt::Tool;
    metrics.dialog = form->windowType() == Qt::Dialog;
    metrics.minMaxBoxes = form->windowType() == Qt::Window;
    metrics.frame = resizable(form) ? SizingFrame : DialogFrame;
    metrics.captionHeight = metrics.toolWindow ? SmallCaptionHeight : CaptionHeight;
    metrics.buttonWidth = metrics.toolWindow ? SmallCaptionButtonWidth : CaptionButtonWidth;
    metrics.captionFont = captionFontOf(metrics.toolWindow ? 7 : 8);
    metrics.buttonFont = captionFontOf(8);
    return metrics;
}

int TCaptionMetrics::systemButtonsWidth() const
{
    const int button = buttonWidth - 2;
    return frame + 4 + button * (minMaxBoxes ? 3 : 1) + (toolWindow ? button : 0);
}

// The frame is the grip; near a corner it grips both edges for a caption button's width.
Qt::Edges TCaptionMetrics::edgesAt(const QPoint &point, const QSize &window) const
{
    const int grip = std::max(frame, 1);
    const bool nearLeft = point.x() < grip, nearRight = point.x() >= window.width() - grip;
    const bool nearTop = point.y() < grip, nearBottom = point.y() >= window.height() - grip;
    const bool onSide = nearLeft || nearRight, onEnd = nearTop || nearBottom;
    Qt::Edges edges;
    if (nearLeft || (onEnd && point.x() < buttonWidth))
        edges |= Qt::LeftEdge;
    if (nearRight || (onEnd && point.x() >= window.width() - buttonWidth))
        edges |= Qt::RightEdge;
    if (nearTop || (onSide && point.y() < buttonWidth))
        edges |= Qt::TopEdge;
    if (nearBottom || (onSide && point.y() >= window.height() - buttonWidth))
        edges |= Qt::BottomEdge;
    return edges;
}

Qt::CursorShape TCaptionMetrics::cursorFor(Qt::Edges edges)
{
    if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
        return Qt::SizeFDiagCursor;
    if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge))
        return Qt::SizeBDiagCursor;
    if (edges & (Qt::LeftEdge | Qt::RightEdge))
        return Qt::SizeHorCursor;
    return edges ? Qt::SizeVerCursor : Qt::ArrowCursor;
}
