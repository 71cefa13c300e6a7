#include "CaptionButtons.h"

#include "CaptionGlyphs.h"
#include "CaptionMetrics.h"
#include "TNCButton.h"
#include "TNCCustomButton.h"

#include <QWidget>
#include <algorithm>

namespace {
constexpr int ButtonGap = 2;
} // namespace

TCaptionButtons::TCaptionButtons(QWidget *bar)
    : m_bar(bar), m_closeButton(makeButton("CloseBox", QString(), false)),
      m_maximizeButton(makeButton("MaximizeBox", QString(), false)),
      m_minimizeButton(makeButton("MinimizeBox", QString(), false)),
      m_onTopButton(makeButton("OnTopButtonU", QString(), false)),
      m_rollUpButton(makeButton("RollUpButton", QString(), true)), m_helpButton(makeButton(QString(), "?", true)),
      m_startButton(makeButton("StartButton", QString(), true))
{
    m_onTopButton->SetDownGlyph(TCaptionGlyphs::picture("OnTopButtonD"));
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
}

TNCButton *TCaptionButtons::makeButton(const QString &glyph, const QString &caption, bool extraGap)
{
    auto *button = new TNCButton(m_bar);
    button->SetGlyph(TCaptionGlyphs::picture(glyph));
    button->SetCaption(caption);
    button->SetExtraGap(extraGap);
    watch(button);
    return button;
}

void TCaptionButtons::watch(TNCButton *button)
{
    QObject::connect(button, &TNCButton::changed, m_bar, [this] {
        if (OnChange)
            OnChange();
    });
}

void TCaptionButtons::setCustomButtons(const QStringList &lines, const QFont &captionFont)
{
    while (m_customButtons.size() > std::size_t(lines.size())) {
        // A button may be going away from inside its own click.
        m_customButtons.back()->disconnect(m_bar);
        m_customButtons.back()->deleteLater();
        m_customButtons.pop_back();
    }
    while (m_customButtons.size() < std::size_t(lines.size())) {
        auto *button = new TNCCustomButton(lines[qsizetype(m_customButtons.size())], captionFont, m_bar);
        button->OnClick = [this, button](QObject *) {
            if (OnCustomClick)
                OnCustomClick(button);
        };
        watch(button);
        m_customButtons.push_back(button);
    }
    for (std::size_t index = 0; index < m_customButtons.size(); ++index)
        m_customButtons[index]->SetCaption(lines[qsizetype(index)]);
}

void TCaptionButtons::setFonts(const TCaptionMetrics &metrics)
{
    m_helpButton->SetFont(metrics.buttonFont);
    for (TNCCustomButton *button : m_customButtons)
        button->SetFont(metrics.captionFont);
}

std::vector<TNCButton *> TCaptionButtons::extraButtons() const
{
    std::vector<TNCButton *> buttons = {m_onTopButton, m_rollUpButton, m_helpButton, m_startButton};
    buttons.insert(buttons.end(), m_customButtons.begin(), m_customButtons.end());
    return buttons;
}

std::vector<TNCButton *> TCaptionButtons::allButtons() const
{
    std::vector<TNCButton *> buttons = {m_closeButton, m_maximizeButton, m_minimizeButton};
    const std::vector<TNCButton *> extra = extraButtons();
    buttons.insert(buttons.end(), extra.begin(), extra.end());
    return buttons;
}

void TCaptionButtons::layOut(const TCaptionMetrics &metrics, int formWidth, bool maximized)
{
    const int width = metrics.buttonWidth - 2;
    const int height = metrics.captionHeight - 4;
    const int top = metrics.frame + ButtonGap;
    int right = formWidth - metrics.frame - ButtonGap;
    m_closeButton->SetBounds(QRect(right - width, top, width, height));
    right -= width + ButtonGap;
    m_maximizeButton->SetShown(metrics.minMaxBoxes);
    m_minimizeButton->SetShown(metrics.minMaxBoxes);
    showMaximized(maximized);
    m_maximizeButton->SetBounds(QRect(right - width, top, width, height));
    m_minimizeButton->SetBounds(QRect(right - 2 * width, top, width, height));

    right = formWidth - metrics.systemButtonsWidth() - ButtonGap;
    for (TNCButton *button : extraButtons()) {
        if (!button->Shown())
            continue;
        right -= width;
        button->SetBounds(QRect(right, top, width, height));
        if (button->ExtraGap())
            right -= ButtonGap;
    }
}

void TCaptionButtons::showRollState(bool rolledUp)
{
    m_rollUpButton->SetGlyph(TCaptionGlyphs::picture(rolledUp ? "RollDownButton" : "RollUpButton"));
    m_rollUpButton->SetHint(rolledUp ? "Desenrollar" : "Enrollar");
}

void TCaptionButtons::showMaximized(bool maximized)
{
    m_maximizeButton->SetGlyph(TCaptionGlyphs::picture(maximized ? "RestoreBox" : "MaximizeBox"));
    m_maximizeButton->SetHint(maximized ? "Restaurar" : "Maximizar");
}

TNCButton *TCaptionButtons::buttonAt(const QPoint &point) const
{
    const std::vector<TNCButton *> buttons = allButtons();
    for (auto button = buttons.rbegin(); button != buttons.rend(); ++button) {
        if ((*button)->Shown() && (*button)->Enabled() && (*button)->Bounds().contains(point))
            return *button;
    }
    return nullptr;
}

int TCaptionButtons::extraButtonsLeft(int right) const
{
    for (const TNCButton *button : extraButtons()) {
        if (button->Shown())
            right = std::min(right, button->Bounds().left());
    }
    return right;
}

void TCaptionButtons::paintExtraButtons(QPainter &painter, const QPoint &origin) const
{
    for (const TNCButton *button : extraButtons()) {
        if (button->Shown())
            button->paint(painter, origin);
    }
}

void TCaptionButtons::paintSystemButtons(QPainter &painter) const
{
    for (const TNCButton *button : {m_minimizeButton, m_maximizeButton, m_closeButton}) {
        if (button->Shown())
            button->paint(painter, QPoint());
    }
}
