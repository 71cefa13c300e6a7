#pragma once
#include "CaptionButtons.h"
#include "CaptionDrag.h"
#include "CaptionLook.h"
#include "CaptionMetrics.h"
#include "CaptionRollUp.h"
#include "CaptionTitle.h"
#include "CaptionTray.h"
#include "Colors.h"
#include "DFClasses.h"
#include "Events.h"

#include <QFlags>
#include <QMargins>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <vector>

class TNCButton;
class TNCCustomButton;

enum ToxfOption { oxfActiveGradient = 0x1, oxfInactiveGradient = 0x2, oxfMinMax = 0x4 };
Q_DECLARE_FLAGS(ToxfOptions, ToxfOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(ToxfOptions)

enum ToxbButton { oxbRollUp = 0x1, oxbHelp = 0x2, oxbStart = 0x4, oxbOnTop = 0x8, oxbCustom = 0x10 };
Q_DECLARE_FLAGS(ToxbButtons, ToxbButton)
Q_DECLARE_OPERATORS_FOR_FLAGS(ToxbButtons)

using TButtonClickEvent = std::function<void(QObject *Sender, const QString &Caption)>;
using THelpSelectEvent = std::function<void(QObject *Sender, QWidget *Control, int ContextID, bool &Cancel)>;

// The caption bar of a frameless window, drawn inside the window: gradient, icon, partly italic
// title, the extra buttons (stay on top, roll up, help, start, custom) next to the window's own,
// moving and sizing through the window system, and the window's tray icon. It lies under all
// other children of its form and leaves them the client area through the form's margins.
class ToxForm : public TDFGraphicControl {
    Q_OBJECT
public:
    // form must be a top-level window; anything else throws std::invalid_argument.
    explicit ToxForm(QWidget *form);

    // Off gives the window its system frame back.
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool value);
    TColor ActiveGradient() const { return m_look.settings(true).start; }
    void SetActiveGradient(TColor value) { m_look.set(true, &TCaptionLook::Settings::start, value); }
    TColor InactiveGradient() const { return m_look.settings(false).start; }
    void SetInactiveGradient(TColor value) { m_look.set(false, &TCaptionLook::Settings::start, value); }
    int ItalicWords() const { return m_italicWords; }
    void SetItalicWords(int value);
    ToxfOptions Options() const { return m_options; }
    void SetOptions(ToxfOptions value);
    ToxbButtons CaptionButtons() const { return m_captionButtons; }
    void SetCaptionButtons(ToxbButtons value);
    QStringList CustomButtons() const { return m_customLines; }
    void SetCustomButtons(const QStringList &value);
    bool RollUp() const { return m_rollUp.rolledUp(); }
    void SetRollUp(bool value);
    T3DEffect ActiveCaption() const { return m_look.settings(true).caption; }
    void SetActiveCaption(T3DEffect value) { m_look.set(true, &TCaptionLook::Settings::caption, value); }
    T3DEffect ActiveText() const { return m_look.settings(true).text; }
    void SetActiveText(T3DEffect value) { m_look.set(true, &TCaptionLook::Settings::text, value); }
    T3DEffect ActiveBorder() const { return m_look.settings(true).border; }
    void SetActiveBorder(T3DEffect value) { m_look.set(true, &TCaptionLook::Settings::border, value); }
    T3DEffect InactiveCaption() const { return m_look.settings(false).caption; }
    void SetInactiveCaption(T3DEffect value) { m_look.set(false, &TCaptionLook::Settings::caption, value); }
    T3DEffect InactiveText() const { return m_look.settings(false).text; }
    void SetInactiveText(T3DEffect value) { m_look.set(false, &TCaptionLook::Settings::text, value); }
    T3DEffect InactiveBorder() const { return m_look.settings(false).border; }
    void SetInactiveBorder(T3DEffect value) { m_look.set(false, &TCaptionLook::Settings::border, value); }
    int MinHeight() const { return m_minHeight; }
    void SetMinHeight(int value) { setTrackingSize(m_minHeight, value); }
    int MinWidth() const { return m_minWidth; }
    void SetMinWidth(int value) { setTrackingSize(m_minWidth, value); }
    int MaxWidth() const { return m_maxWidth; }
    void SetMaxWidth(int value) { setTrackingSize(m_maxWidth, value); }
    int MaxHeight() const { return m_maxHeight; }
    void SetMaxHeight(int value) { setTrackingSize(m_maxHeight, value); }
    TAlignment Alignment() const { return m_alignment; }
    void SetAlignment(TAlignment value);
    bool OnTop() const { return m_onTop; }
    void SetOnTop(bool value);
    QIcon TrayIcon() const { return m_tray->Icon(); }
    void SetTrayIcon(const QIcon &value) { m_tray->SetIcon(value); }
    QString TrayHint() const { return m_tray->Hint(); }
    void SetTrayHint(const QString &value) { m_tray->SetHint(value); }
    QMenu *TrayMenu() const { return m_tray->Menu(); }
    void SetTrayMenu(QMenu *value) { m_tray->SetMenu(value); }
    // Opened by the start button, which stands for the desktop's own start menu; without one the
    // button is shown but cannot be pressed.
    QMenu *StartMenu() const;
    void SetStartMenu(QMenu *value);
    bool TrayEnabled() const { return m_tray->Enabled(); }
    void SetTrayEnabled(bool value) { m_tray->SetEnabled(value); }
    // Whether the desktop has a tray for the icon now.
    static bool TrayAvailable() { return TCaptionTray::available(); }

    TNotifyEvent OnRollUp;
    TButtonClickEvent OnButtonClick;
    THelpSelectEvent OnHelpSelect;
    TNotifyEvent OnTrayClick;
    TNotifyEvent OnTrayDblClk;
    // The tray went away while the tray icon was enabled.
    TNotifyEvent OnTrayLost;

    QWidget *form() const { return m_form; }
    int frameWidth() const { return m_metrics.frame; }
    int captionHeight() const { return m_metrics.captionHeight; }
    int captionButtonWidth() const { return m_metrics.buttonWidth; }
    int systemButtonsWidth() const { return m_metrics.systemButtonsWidth(); }
    // From the left frame edge to the window's own buttons, below the top frame edge.
    QRect captionRect() const;
    QFont captionFont() const { return m_metrics.captionFont; }
    bool captionActive() const;
    // The title as the caption draws it, x relative to the caption rectangle.
    std::vector<TTitlePiece> titlePieces() const;
    TNCButton *onTopButton() const { return m_buttons.onTopButton(); }
    TNCButton *rollUpButton() const { return m_buttons.rollUpButton(); }
    TNCButton *helpButton() const { return m_buttons.helpButton(); }
    TNCButton *startButton() const { return m_buttons.startButton(); }
    const std::vector<TNCCustomButton *> &customButtons() const { return m_buttons.customButtons(); }
    QSystemTrayIcon *trayIcon() const { return m_tray->icon(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void renderPicture(QImage &picture) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    void bindButtons();
    void attach();
    void detach();
    void setWindowFlagQuietly(Qt::WindowType flag, bool on);
    void recomputeMetrics();
    void layOutButtons();
    void invalidateCaption();
    void formResized();
    void setTrackingSize(int &size, int value);
    void applyTrackingSizes();
    bool helpRequested(QWidget *control);
    void watchControls(bool on);

    void onTopClick();
    void rollUpClick();
    void helpClick();
    void startClick();
    void customClick(TNCButton *button);
    void minimizeClick();
    void maximizeClick();
    void closeClick();

    Qt::Edges resizeEdges(const QPoint &point) const;
    int titleRoomRight() const;
    void paintCaption(QPainter &painter, bool active) const;
    void paintSystemArea(QPainter &painter, bool active) const;

    QWidget *m_form;
    bool m_enabled = true;
    int m_italicWords = 1;
    ToxfOptions m_options = ToxfOptions(oxfActiveGradient | oxfInactiveGradient);
    ToxbButtons m_captionButtons = ToxbButtons(oxbRollUp | oxbHelp | oxbStart | oxbOnTop | oxbCustom);
    QStringList m_customLines;
    int m_minHeight = 0;
    int m_minWidth = 0;
    int m_maxWidth = 400;
    int m_maxHeight = 300;
    TAlignment m_alignment = taLeftJustify;
    bool m_onTop = false;

    TCaptionLook m_look;
    TCaptionMetrics m_metrics;
    TCaptionTray *m_tray;
    TCaptionButtons m_buttons;
    QPointer<TNCButton> m_pressedButton;

    TCaptionRollUp m_rollUp;
    bool m_trackingApplied = false;
    QMargins m_savedMargins;
    bool m_helpPicked = false;
    TCaptionDrag m_drag;
};
