#include "oxForm.h"

#include "ShownChildrenAccessible.h"
#include "TNCButton.h"

#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QWhatsThis>
#include <QWindow>
#include <stdexcept>

namespace {

QWidget *requireForm(QWidget *form)
{
    if (!form || !form->isWindow())
        throw std::invalid_argument("A Form MUST be the owner");
    return form;
}

} // namespace

ToxForm::ToxForm(QWidget *form)
    : TDFGraphicControl(requireForm(form)), m_form(form), m_look(this), m_tray(new TCaptionTray(form, this)),
      m_buttons(this), m_rollUp(form, this), m_drag(form)
{
    setObjectName("captionBar");
    TShownChildrenAccessible::registerContainers();
    setMouseTracking(true);
    bindButtons();
    m_look.OnChange = [this] { requestRender(); };
    m_tray->OnClick = [this](QObject *) {
        if (OnTrayClick)
            OnTrayClick(this);
    };
    m_tray->OnDblClk = [this](QObject *) {
        if (OnTrayDblClk)
            OnTrayDblClk(this);
    };
    m_tray->OnLost = [this](QObject *) {
        if (OnTrayLost)
            OnTrayLost(this);
    };
    m_rollUp.OnChange = [this] {
        applyTrackingSizes();
        m_buttons.showRollState(m_rollUp.rolledUp());
    };
    attach();
}

void ToxForm::bindButtons()
{
    const std::pair<TNCButton *, void (ToxForm::*)()> clicks[] = {
        {m_buttons.closeButton(), &ToxForm::closeClick},       {m_buttons.maximizeButton(), &ToxForm::maximizeClick},
        {m_buttons.minimizeButton(), &ToxForm::minimizeClick}, {m_buttons.onTopButton(), &ToxForm::onTopClick},
        {m_buttons.rollUpButton(), &ToxForm::rollUpClick},     {m_buttons.helpButton(), &ToxForm::helpClick},
        {m_buttons.startButton(), &ToxForm::startClick}};
    for (const auto &[button, click] : clicks)
        button->OnClick = [this, click = click](QObject *) { (this->*click)(); };
    m_buttons.OnChange = [this] { invalidateCaption(); };
    m_buttons.OnCustomClick = [this](TNCButton *button) { customClick(button); };
}

void ToxForm::attach()
{
    m_savedMargins = m_form->contentsMargins();
    m_form->installEventFilter(this);
    setWindowFlagQuietly(Qt::FramelessWindowHint, true);
    recomputeMetrics();
    setGeometry(m_form->rect());
    lower();
    show();
    layOutButtons();
    invalidateCaption();
}

void ToxForm::detach()
{
    m_form->removeEventFilter(this);
    m_form->setContentsMargins(m_savedMargins);
    setWindowFlagQuietly(Qt::FramelessWindowHint, false);
    hide();
}

// Changing a window flag makes the window anew, hidden; it comes back where it was, without
// taking the focus.
void ToxForm::setWindowFlagQuietly(Qt::WindowType flag, bool on)
{
    if (m_form->windowFlags().testFlag(flag) == on)
        return;
    const bool visible = m_form->isVisible();
    const bool quiet = m_form->testAttribute(Qt::WA_ShowWithoutActivating);
    m_form->setAttribute(Qt::WA_ShowWithoutActivating, true);
    m_form->setWindowFlag(flag, on);
    if (visible)
        m_form->show();
    m_form->setAttribute(Qt::WA_ShowWithoutActivating, quiet);
}

void ToxForm::SetEnabled(bool value)
{
    if (m_enabled == value)
        return;
    m_enabled = value;
    if (value)
        attach();
    else
        detach();
}

void ToxForm::SetItalicWords(int value)
{
    if (m_italicWords == value)
        return;
    m_italicWords = value;
    invalidateCaption();
}

void ToxForm::SetOptions(ToxfOptions value)
{
    if (m_options == value)
        return;
    m_options = value;
    m_look.set(true, &TCaptionLook::Settings::gradient, bool(value & oxfActiveGradient));
    m_look.set(false, &TCaptionLook::Settings::gradient, bool(value & oxfInactiveGradient));
    applyTrackingSizes();
    invalidateCaption();
}

void ToxForm::SetCaptionButtons(ToxbButtons value)
{
    if (m_captionButtons == value)
        return;
    m_captionButtons = value;
    m_buttons.rollUpButton()->SetShown(value & oxbRollUp);
    m_buttons.helpButton()->SetShown(value & oxbHelp);
    m_buttons.startButton()->SetShown(value & oxbStart);
    m_buttons.onTopButton()->SetShown(value & oxbOnTop);
    layOutButtons();
    invalidateCaption();
}

void ToxForm::SetCustomButtons(const QStringList &value)
{
    if (m_customLines == value)
        return;
    m_customLines = value;
    m_buttons.setCustomButtons(value, m_metrics.captionFont);
    layOutButtons();
    invalidateCaption();
}

void ToxForm::SetRollUp(bool value)
{
    if (m_rollUp.rolledUp() == value)
        return;
    if (value)
        m_rollUp.rollUp(m_metrics.rolledHeight());
    else
        m_rollUp.rollDown();
}

void ToxForm::setTrackingSize(int &size, int value)
{
    size = value;
    applyTrackingSizes();
}

// The tracking sizes hold only while the window is not rolled up; taking them off gives the
// window its free sizes back.
void ToxForm::applyTrackingSizes()
{
    if ((m_options & oxfMinMax) && !m_rollUp.rolledUp()) {
        m_form->setMinimumSize(m_minWidth, m_minHeight);
        m_form->setMaximumSize(m_maxWidth, m_maxHeight);
        m_trackingApplied = true;
    } else if (m_trackingApplied) {
        m_form->setMinimumSize(0, 0);
        m_form->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        m_trackingApplied = false;
    }
}

void ToxForm::SetAlignment(TAlignment value)
{
    if (m_alignment == value)
        return;
    m_alignment = value;
    invalidateCaption();
}

// The hint goes to the native window as it stands: making it anew would hide and show it, which
// hands activation to another window and forgets a maximised state and its restore size.
void ToxForm::SetOnTop(bool value)
{
    if (m_onTop == value)
        return;
    m_onTop = value;
    m_buttons.onTopButton()->SetDown(value);
    Qt::WindowFlags flags = m_form->windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, value);
    m_form->overrideWindowFlags(flags);
    if (QWindow *window = m_form->windowHandle())
        window->setFlag(Qt::WindowStaysOnTopHint, value);
}

void ToxForm::recomputeMetrics()
{
    m_metrics = TCaptionMetrics::of(m_form);
    m_buttons.setFonts(m_metrics);
    m_look.resolveColours();
    const int frame = m_metrics.frame;
    m_form->setContentsMargins(frame, frame + m_metrics.captionHeight, frame, frame);
}

QRect ToxForm::captionRect() const
{
    return QRect(m_metrics.frame, m_metrics.frame, m_form->width() - systemButtonsWidth() - m_metrics.frame,
                 m_metrics.captionHeight);
}

bool ToxForm::captionActive() const
{
    return m_form->isActiveWindow();
}

void ToxForm::layOutButtons()
{
    m_buttons.layOut(m_metrics, m_form->width(), m_form->isMaximized());
}

void ToxForm::invalidateCaption()
{
    m_look.invalidate();
    requestRender();
}

void ToxForm::formResized()
{
    if (!m_rollUp.changing() && m_rollUp.rolledUp() && m_form->height() > 2 * m_metrics.rolledHeight())
        m_rollUp.unrolled();
    setGeometry(m_form->rect());
    layOutButtons();
    invalidateCaption();
}

bool ToxForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::WhatsThis && watched->isWidgetType())
        return helpRequested(static_cast<QWidget *>(watched));
    if (watched != m_form)
        return false;
    switch (event->type()) {
    case QEvent::Resize: formResized(); break;
    case QEvent::WindowStateChange:
        m_rollUp.stateChanged(static_cast<QWindowStateChangeEvent *>(event)->oldState());
        layOutButtons();
        break;
    case QEvent::WindowTitleChange:
    case QEvent::WindowIconChange:
    case QEvent::PaletteChange:
    case QEvent::FontChange:
    case QEvent::StyleChange:
        recomputeMetrics();
        layOutButtons();
        invalidateCaption();
        break;
    case QEvent::Show:
    case QEvent::Hide: m_tray->formShownOrHidden(); break;
    case QEvent::ActivationChange: requestRender(); break;
    case QEvent::EnterWhatsThisMode: watchControls(true); break;
    case QEvent::LeaveWhatsThisMode: watchControls(false); break;
    default: break;
    }
    return false;
}

// In context-help mode the pick reaches the control itself first, so every control is watched.
void ToxForm::watchControls(bool on)
{
    m_helpPicked = false;
    for (QWidget *control : m_form->findChildren<QWidget *>()) {
        if (control != this) {
            control->removeEventFilter(this);
            if (on)
                control->installEventFilter(this);
        }
    }
}

// A control of this form picked in context-help mode; the handler may keep the help from showing.
// An unanswered pick climbs to the parents, which must not report it again.
bool ToxForm::helpRequested(QWidget *control)
{
    if (m_helpPicked || control->window() != m_form || !OnHelpSelect)
        return false;
    m_helpPicked = true;
    bool cancel = false;
    OnHelpSelect(this, control, 0, cancel);
    // A cancelled pick is answered all the same: the mode ends as when help is shown.
    if (cancel)
        QWhatsThis::leaveWhatsThisMode();
    return cancel;
}

void ToxForm::onTopClick()
{
    SetOnTop(!m_onTop);
}

void ToxForm::rollUpClick()
{
    SetRollUp(!m_rollUp.rolledUp());
    if (OnRollUp)
        OnRollUp(this);
}

void ToxForm::helpClick()
{
    QWhatsThis::enterWhatsThisMode();
}

QMenu *ToxForm::StartMenu() const
{
    return m_buttons.startButton()->Menu();
}

void ToxForm::SetStartMenu(QMenu *value)
{
    m_buttons.startButton()->SetMenu(value);
    m_buttons.startButton()->SetEnabled(value != nullptr);
}

// At the pointer when the mouse pressed the button, below the button when the keyboard did.
void ToxForm::startClick()
{
    TNCButton *start = m_buttons.startButton();
    QMenu *menu = start->Menu();
    if (!menu)
        return;
    const QRect bounds = start->Bounds().translated(-mapTo(m_form, QPoint()));
    const QPoint pointer = mapFromGlobal(QCursor::pos());
    menu->popup(bounds.contains(pointer) ? QCursor::pos() : mapToGlobal(bounds.bottomLeft()));
}

void ToxForm::customClick(TNCButton *button)
{
    if (OnButtonClick)
        OnButtonClick(this, button->Caption());
}

void ToxForm::minimizeClick()
{
    m_form->showMinimized();
}

void ToxForm::maximizeClick()
{
    if (m_form->isMaximized())
        m_form->showNormal();
    else
        m_form->showMaximized();
}

void ToxForm::closeClick()
{
    m_form->close();
}

Qt::Edges ToxForm::resizeEdges(const QPoint &point) const
{
    if (!TCaptionMetrics::resizable(m_form) || m_form->isMaximized())
        return {};
    return m_metrics.edgesAt(point, size());
}

void ToxForm::mousePressEvent(QMouseEvent *event)
{
    const QPoint point = event->position().toPoint();
    if (TNCButton *button = m_buttons.buttonAt(point)) {
        if (event->button() == Qt::LeftButton) {
            m_form->raise();
            m_form->activateWindow();
        }
        m_pressedButton = button;
        button->mousePress(point - button->Bounds().topLeft(), event->button());
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    m_drag.press(event, resizeEdges(point), point.y() < m_metrics.frame + m_metrics.captionHeight);
}

void ToxForm::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint point = event->position().toPoint();
    if (m_pressedButton) {
        m_pressedButton->mouseMove(point - m_pressedButton->Bounds().topLeft());
        return;
    }
    if (!event->buttons().testFlag(Qt::LeftButton))
        m_drag.end();
    if (!m_drag.move(event))
        setCursor(TCaptionMetrics::cursorFor(resizeEdges(point)));
}

void ToxForm::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_drag.end();
    if (!m_pressedButton)
        return;
    QPointer<TNCButton> button = m_pressedButton;
    m_pressedButton = nullptr;
    button->mouseRelease(event->position().toPoint() - button->Bounds().topLeft(), event->button());
}

void ToxForm::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QPoint point = event->position().toPoint();
    if (m_buttons.buttonAt(point)) {
        mousePressEvent(event);
        return;
    }
    m_drag.end();
    if (event->button() == Qt::LeftButton && m_metrics.minMaxBoxes && captionRect().contains(point))
        maximizeClick();
}

int ToxForm::titleRoomRight() const
{
    return m_buttons.extraButtonsLeft(captionRect().right() + 1) - captionRect().left();
}

std::vector<TTitlePiece> ToxForm::titlePieces() const
{
    const int start = (m_metrics.dialog || m_metrics.toolWindow ? -2 : m_metrics.buttonWidth - 2) + 4;
    return TCaptionTitle::layout(m_form->windowTitle(), m_metrics.captionFont, start, titleRoomRight(), m_alignment,
                                 m_italicWords);
}

void ToxForm::paintCaption(QPainter &painter, bool active) const
{
    if (!m_metrics.dialog && !m_metrics.toolWindow)
        m_form->windowIcon().paint(&painter, QRect(1, 1, m_metrics.buttonWidth - 2, m_metrics.captionHeight - 2));
    const int top = roundEven((m_metrics.captionHeight - QFontMetrics(m_metrics.captionFont).height()) / 2.0);
    TCaptionTitle::draw(painter, titlePieces(), m_metrics.captionFont, top, m_look.titleColour(active),
                        m_look.settings(active).text);
    m_buttons.paintExtraButtons(painter, captionRect().topLeft());
}

void ToxForm::renderPicture(QImage &picture)
{
    const bool active = captionActive();
    QPainter painter(&picture);
    painter.fillRect(picture.rect(), m_form->palette().color(QPalette::Window));
    m_look.paintBorder(painter, rect(), m_metrics.frame, active);
    const QRect caption = captionRect();
    if (caption.width() > 0)
        painter.drawImage(caption.topLeft(), m_look.captionPicture(active, caption, [this, active](QPainter &on) {
            paintCaption(on, active);
        }));
    paintSystemArea(painter, active);
    m_look.paintCaptionFrame(painter, caption, active);
}

// Behind the window's own buttons the caption carries on in the colour the gradient ends in.
void ToxForm::paintSystemArea(QPainter &painter, bool active) const
{
    const QRect caption = captionRect();
    const int left = caption.right() + 1;
    painter.fillRect(QRect(left, m_metrics.frame, width() - m_metrics.frame - left, m_metrics.captionHeight),
                     TCaptionLook::plainColour(active));
    m_buttons.paintSystemButtons(painter);
}
