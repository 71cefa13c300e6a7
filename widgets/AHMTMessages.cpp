#include "AHMTMessages.h"

#include "ScreenCentre.h"

#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <array>

namespace {

struct ButtonInfo {
    TMsgDlgBtn button;
    QMessageBox::StandardButton standard;
    const char *caption;
    std::uint16_t result;
};

// QMessageBox has no plain "All" answer; SaveAll stands in for it under its own caption.
constexpr std::array<ButtonInfo, 11> ButtonTable{{
    {mbYes, QMessageBox::Yes, "&Yes", 6},
    {mbNo, QMessageBox::No, "&No", 7},
    {mbOK, QMessageBox::Ok, "OK", 1},
    {mbCancel, QMessageBox::Cancel, "Cancel", 2},
    {mbAbort, QMessageBox::Abort, "&Abort", 3},
    {mbRetry, QMessageBox::Retry, "&Retry", 4},
    {mbIgnore, QMessageBox::Ignore, "&Ignore", 5},
    {mbAll, QMessageBox::SaveAll, "&All", 8},
    {mbNoToAll, QMessageBox::NoToAll, "N&o to All", 9},
    {mbYesToAll, QMessageBox::YesToAll, "Y&es to All", 10},
    {mbHelp, QMessageBox::Help, "&Help", 0},
}};

constexpr std::uint16_t CancelResult = 2;

std::uint16_t resultOf(int answer)
{
    if (answer == QMessageBox::Close)
        return CancelResult;
    for (const ButtonInfo &info : ButtonTable)
        if (info.standard == answer)
            return info.result;
    return 0;
}

QMessageBox::Icon iconOf(TMsgDlgType type)
{
    switch (type) {
    case mtWarning: return QMessageBox::Warning;
    case mtError: return QMessageBox::Critical;
    case mtInformation: return QMessageBox::Information;
    case mtConfirmation: return QMessageBox::Question;
    case mtCustom: break;
    }
    return QMessageBox::NoIcon;
}

TAHMMsgBox::ExecHook &execHook()
{
    static TAHMMsgBox::ExecHook hook;
    return hook;
}

} // namespace

TAHMMsgBox::TAHMMsgBox(QObject *owner) : TAHMCustomDialog(owner) {}

void TAHMMsgBox::SetXPosition(int value)
{
    m_xPosition = value;
    if (value == -1)
        m_yPosition = -1;
}

void TAHMMsgBox::SetYPosition(int value)
{
    m_yPosition = value;
    if (value == -1)
        m_xPosition = -1;
}

QString TAHMMsgBox::MessageText() const
{
    QString text;
    for (const QString &line : m_caption)
        text += line + QChar('\r');
    return text;
}

QString TAHMMsgBox::Title() const
{
    switch (m_messageType) {
    case mtWarning: return "Warning";
    case mtError: return "Error";
    case mtInformation: return "Information";
    case mtConfirmation: return "Confirm";
    case mtCustom: break;
    }
    return QGuiApplication::applicationDisplayName();
}

bool TAHMMsgBox::Execute()
{
    TAHMCustomDialog::Execute();
    QMessageBox box;
    prepare(box);
    place(box);
    int answer = ask(box);
    // Help does not close the message; the box comes back until another answer.
    while (answer == QMessageBox::Help)
        answer = ask(box);
    m_return = resultOf(answer);
    fireAnswer();
    return true;
}

void TAHMMsgBox::setExecHook(ExecHook hook)
{
    execHook() = std::move(hook);
}

// Qt breaks lines at line feeds only, so the box shows the lines as lines.
void TAHMMsgBox::prepare(QMessageBox &box) const
{
    // Only the close box, as the system's own message boxes have.
    box.setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                       Qt::WindowCloseButtonHint);
    box.setWindowTitle(Title());
    box.setIcon(iconOf(m_messageType));
    box.setText(m_caption.join('\n'));
    box.setProperty("helpContext", m_helpContext);
    for (const ButtonInfo &info : ButtonTable)
        if (m_buttons.count(info.button))
            box.addButton(info.standard)->setText(info.caption);
    // The close box and Escape answer Cancel whatever the buttons, as the system's own boxes do.
    QPushButton *closeBox = box.addButton(QMessageBox::Close);
    closeBox->hide();
    box.setEscapeButton(closeBox);
}

// Qt would centre a box on the active window; this one goes to the middle of the screen unless
// it has a top edge of its own.
void TAHMMsgBox::place(QMessageBox &box) const
{
    if (m_yPosition == -1) {
        TScreenCentre::keepCentred(&box);
        return;
    }
    int x = m_xPosition;
    if (x == -1)
        x = QGuiApplication::primaryScreen()->availableGeometry().center().x() - box.sizeHint().width() / 2;
    box.move(x, m_yPosition);
}

int TAHMMsgBox::ask(QMessageBox &box)
{
    if (execHook())
        return execHook()(box);
    return box.exec();
}

void TAHMMsgBox::fireAnswer()
{
    const std::array<std::pair<std::uint16_t, TNotifyEvent *>, 8> events{{
        {6, &OnYes},
        {7, &OnNo},
        {1, &OnOk},
        {2, &OnCancel},
        {3, &OnAbort},
        {4, &OnRetry},
        {5, &OnIgnore},
        {8, &OnAll},
    }};
    for (const auto &[result, event] : events)
        if (result == m_return && *event)
            (*event)(this);
}
