#include "oxForm.h"

#include "BandGradient.h"
#include "CaptionGlyphs.h"
#include "ShownChildrenAccessible.h"
#include "TNCButton.h"
#include "TNCCustomButton.h"

#include <QCursor>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QWhatsThis>
#include <QWindow>
#include <stdexcept>

namespace {

constexpr int ButtonGap = 2;

QWidget *requireForm(QWidget *form)
{
    if (!form || !form->isWindow())
        throw std::invalid_argument("A Form MUST be the owner");
    return form;
}

QColor complement(TColor color)
{
    const QColor rgb = toQColor(color);
    return QColor(255 - rgb.red(), 255 - rgb.green(), 255 - rgb.blue());
}

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

ToxForm::ToxForm(QWidget *form)
    : TDFGraphicControl(requireForm(form)), m_form(form), m_activeGradient(new TBandGradient(this)),
      m_inactiveGradient(new TBandGradient(this)), m_tray(new TCaptionTray(form, this)), m_rollUp(form, this),
      m_drag(form)
{
    setObjectName("captionBar");
    TShownChildrenAccessible::registerContainers();
    setMouseTracking(true);
    m_closeButton = makeButton("CloseBox", QString(), false, &ToxForm::closeClick);
    m_maximizeButton = makeButton("MaximizeBox", QString(), false, &ToxForm::maximizeClick);
    m_minimizeButton = makeButton("MinimizeBox", QString(), false, &ToxForm::minimizeClick);
    m_onTopButton = makeButton("OnTopButtonU", QString(), false, &ToxForm::onTopClick);
    m_onTopButton->SetDownGlyph(TCaptionGlyphs::picture("OnTopButtonD"));
    m_rollUpButton = makeButton("RollUpButton", QString(), true, &ToxForm::rollUpClick);
    m_helpButton = makeButton(QString(), "?", true, &ToxForm::helpClick);
    m_startButton = makeButton("StartButton", QString(), true, &ToxForm::startClick);
    const std::pair<TNCButton *, const char *> hints[] = {{m_closeButton, "Cerrar"},
                                                          {m_minimizeButton, "Minimizar"},
                                                          {m_onTopButton, "Siempre visible"},
                                                          {m_helpButton, "Ayuda"},
                                                          {m_startButton, "Inicio"}};
    for (const auto &[button, hint] : hints)
        button->SetHint(hint);
    showRollState(false);
    showMaximized(false);
    m_startButton->SetEnabled(false);
    m_activeGradient->SetStartColor(m_activeStart);
    m_inactiveGradient->SetStartColor(m_inactiveStart);
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
        showRollState(m_rollUp.rolledUp());
    };
    attach();
}

TNCButton *ToxForm::makeButton(const QString &glyph, const QString &caption, bool extraGap, void (ToxForm::*click)())
{
    auto *button = new TNCButton(this);
    button->SetGlyph(TCaptionGlyphs::picture(glyph));
    button->SetCaption(caption);
    button->SetExtraGap(extraGap);
    button->OnClick = [this, click](QObject *) { (this->*click)(); };
    connect(button, &TNCButton::changed, this, &ToxForm::invalidateCaption);
    return button;
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

void ToxForm::SetActiveGradient(TColor value)
{
    if (m_activeStart == value)
        return;
    m_activeStart = value;
    m_activeGradient->SetStartColor(value);
    invalidateCaption();
}

void ToxForm::SetInactiveGradient(TColor value)
{
    if (m_inactiveStart == value)
        return;
    m_inactiveStart = value;
    m_inactiveGradient->SetStartColor(value);
    invalidateCaption();
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
    applyTrackingSizes();
    invalidateCaption();
}

void ToxForm::SetCaptionButtons(ToxbButtons value)
{
    if (m_captionButtons == value)
        return;
    m_captionButtons = value;
    m_rollUpButton->SetShown(value & oxbRollUp);
    m_helpButton->SetShown(value & oxbHelp);
    m_startButton->SetShown(value & oxbStart);
    m_onTopButton->SetShown(value & oxbOnTop);
    layOutButtons();
    invalidateCaption();
}

void ToxForm::SetCustomButtons(const QStringList &value)
{
    if (m_customLines == value)
        return;
    m_customLines = value;
    rebuildCustomButtons();
}

void ToxForm::rebuildCustomButtons()
{
    while (m_customButtons.size() > std::size_t(m_customLines.size())) {
        // A button may be going away from inside its own click.
        m_customButtons.back()->disconnect(this);
        m_customButtons.back()->deleteLater();
        m_customButtons.pop_back();
    }
    while (m_customButtons.size() < std::size_t(m_customLines.size())) {
        auto *button =
            new TNCCustomButton(m_customLines[qsizetype(m_customButtons.size())], m_metrics.captionFont, this);
        button->OnClick = [this, button](QObject *) { customClick(button); };
        connect(button, &TNCButton::changed, this, &ToxForm::invalidateCaption);
        m_customButtons.push_back(button);
    }
    for (std::size_t index = 0; index < m_customButtons.size(); ++index)
        m_customButtons[index]->SetCaption(m_customLines[qsizetype(index)]);
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

// The chevron's picture and name say what it does next.
void ToxForm::showRollState(bool rolledUp)
{
    m_rollUpButton->SetGlyph(TCaptionGlyphs::picture(rolledUp ? "RollDownButton" : "RollUpButton"));
    m_rollUpButton->SetHint(rolledUp ? "Desenrollar" : "Enrollar");
}

// The box, like the chevron, shows and says what it does next.
void ToxForm::showMaximized(bool maximized)
{
    m_maximizeButton->SetGlyph(TCaptionGlyphs::picture(maximized ? "RestoreBox" : "MaximizeBox"));
    m_maximizeButton->SetHint(maximized ? "Restaurar" : "Maximizar");
}

void ToxForm::setEffect(T3DEffect &effect, T3DEffect value)
{
    if (effect == value)
        return;
    effect = value;
    invalidateCaption();
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
    m_onTopButton->SetDown(value);
    Qt::WindowFlags flags = m_form->windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, value);
    m_form->overrideWindowFlags(flags);
    if (QWindow *window = m_form->windowHandle())
        window->setFlag(Qt::WindowStaysOnTopHint, value);
}

void ToxForm::recomputeMetrics()
{
    m_metrics = TCaptionMetrics::of(m_form);
    m_helpButton->SetFont(m_metrics.buttonFont);
    for (TNCCustomButton *button : m_customButtons)
        button->SetFont(m_metrics.captionFont);
    // Named colours are resolved here so that a palette change rebuilds the tables.
    m_activeGradient->SetEndColor(toRgbColor(colorActiveCaption));
    m_inactiveGradient->SetEndColor(toRgbColor(colorInactiveCaption));
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

std::vector<TNCButton *> ToxForm::extraButtons() const
{
    std::vector<TNCButton *> buttons = {m_onTopButton, m_rollUpButton, m_helpButton, m_startButton};
    buttons.insert(buttons.end(), m_customButtons.begin(), m_customButtons.end());
    return buttons;
}

std::vector<TNCButton *> ToxForm::allButtons() const
{
    std::vector<TNCButton *> buttons = {m_closeButton, m_maximizeButton, m_minimizeButton};
    const std::vector<TNCButton *> extra = extraButtons();
    buttons.insert(buttons.end(), extra.begin(), extra.end());
    return buttons;
}

void ToxForm::layOutButtons()
{
    const int width = m_metrics.buttonWidth - 2;
    const int height = m_metrics.captionHeight - 4;
    const int top = m_metrics.frame + ButtonGap;
    int right = m_form->width() - m_metrics.frame - ButtonGap;
    m_closeButton->SetBounds(QRect(right - width, top, width, height));
    right -= width + ButtonGap;
    m_maximizeButton->SetShown(m_metrics.minMaxBoxes);
    m_minimizeButton->SetShown(m_metrics.minMaxBoxes);
    showMaximized(m_form->isMaximized());
    m_maximizeButton->SetBounds(QRect(right - width, top, width, height));
    m_minimizeButton->SetBounds(QRect(right - 2 * width, top, width, height));

    right = m_form->width() - systemButtonsWidth() - ButtonGap;
    for (TNCButton *button : extraButtons()) {
        if (!button->Shown())
            continue;
        right -= width;
        button->SetBounds(QRect(right, top, width, height));
        if (button->ExtraGap())
            right -= ButtonGap;
    }
}

void ToxForm::invalidateCaption()
{
    m_captionPictures[0] = QImage();
    m_captionPictures[1] = QImage();
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
    return m_startButton->Menu();
}

void ToxForm::SetStartMenu(QMenu *value)
{
    m_startButton->SetMenu(value);
    m_startButton->SetEnabled(value != nullptr);
}

// At the pointer when the mouse pressed the button, below the button when the keyboard did.
void ToxForm::startClick()
{
    QMenu *menu = m_startButton->Menu();
    if (!menu)
        return;
    const QRect bounds = m_startButton->Bounds().translated(-mapTo(m_form, QPoint()));
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

// The last made button wins where buttons overlap.
TNCButton *ToxForm::buttonAt(const QPoint &point) const
{
    const std::vector<TNCButton *> buttons = allButtons();
    for (auto button = buttons.rbegin(); button != buttons.rend(); ++button) {
        if ((*button)->Shown() && (*button)->Enabled() && (*button)->Bounds().contains(point))
            return *button;
    }
    return nullptr;
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
    if (TNCButton *button = buttonAt(point)) {
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
    if (buttonAt(point)) {
        mousePressEvent(event);
        return;
    }
    m_drag.end();
    if (event->button() == Qt::LeftButton && m_metrics.minMaxBoxes && captionRect().contains(point))
        maximizeClick();
}

int ToxForm::titleRoomRight() const
{
    int right = captionRect().right() + 1;
    for (const TNCButton *button : extraButtons()) {
        if (button->Shown())
            right = std::min(right, button->Bounds().left());
    }
    return right - captionRect().left();
}

std::vector<TTitlePiece> ToxForm::titlePieces() const
{
    const int start = (m_metrics.dialog || m_metrics.toolWindow ? -2 : m_metrics.buttonWidth - 2) + 4;
    return TCaptionTitle::layout(m_form->windowTitle(), m_metrics.captionFont, start, titleRoomRight(), m_alignment,
                                 m_italicWords);
}

const QImage &ToxForm::captionPicture(bool active)
{
    QImage &picture = m_captionPictures[active];
    const QRect rect = captionRect();
    if (picture.isNull() || m_captionPictureRects[active] != rect) {
        m_captionPictureRects[active] = rect;
        picture = QImage(rect.size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
        paintCaption(picture, active);
    }
    return picture;
}

void ToxForm::paintCaption(QImage &picture, bool active)
{
    QPainter painter(&picture);
    const QRect area = picture.rect();
    const bool gradient = m_options & (active ? oxfActiveGradient : oxfInactiveGradient);
    if (gradient)
        (active ? m_activeGradient : m_inactiveGradient)->fillHorizontal(painter, area);
    else
        painter.fillRect(area, toQColor(active ? colorActiveCaption : colorInactiveCaption));
    if (!m_metrics.dialog && !m_metrics.toolWindow)
        m_form->windowIcon().paint(&painter, QRect(1, 1, m_metrics.buttonWidth - 2, m_metrics.captionHeight - 2));
    const int top = roundEven((m_metrics.captionHeight - QFontMetrics(m_metrics.captionFont).height()) / 2.0);
    TCaptionTitle::draw(painter, titlePieces(), m_metrics.captionFont, top,
                        complement(active ? m_activeStart : m_inactiveStart), active ? m_activeText : m_inactiveText);
    for (const TNCButton *button : extraButtons()) {
        if (button->Shown())
            button->paint(painter, captionRect().topLeft());
    }
}

void ToxForm::renderPicture(QImage &picture)
{
    const bool active = captionActive();
    QPainter painter(&picture);
    painter.fillRect(picture.rect(), m_form->palette().color(QPalette::Window));
    paintBorder(painter, active);
    const QRect caption = captionRect();
    if (caption.width() > 0)
        painter.drawImage(caption.topLeft(), captionPicture(active));
    paintSystemArea(painter, active);
    drawEffect(painter, caption, active ? m_activeCaption : m_inactiveCaption);
}

// The plain border is the classic raised window edge; any other effect replaces it.
void ToxForm::paintBorder(QPainter &painter, bool active) const
{
    QRect rect = this->rect();
    const T3DEffect effect = active ? m_activeBorder : m_inactiveBorder;
    if (effect != ox3Normal) {
        drawEffect(painter, rect, effect);
        return;
    }
    drawRings(painter, rect, colorBtnFace, colorDarkShadow, 1);
    drawRings(painter, rect, colorBtnHighlight, colorBtnShadow, 1);
    drawRings(painter, rect, colorBtnFace, colorBtnFace, m_metrics.frame - 2);
}

// Behind the window's own buttons the caption carries on in the colour the gradient ends in.
void ToxForm::paintSystemArea(QPainter &painter, bool active) const
{
    const QRect caption = captionRect();
    const int left = caption.right() + 1;
    painter.fillRect(QRect(left, m_metrics.frame, width() - m_metrics.frame - left, m_metrics.captionHeight),
                     toQColor(active ? colorActiveCaption : colorInactiveCaption));
    for (const TNCButton *button : {m_minimizeButton, m_maximizeButton, m_closeButton}) {
        if (button->Shown())
            button->paint(painter, QPoint());
    }
}
