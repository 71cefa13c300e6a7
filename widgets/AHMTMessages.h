#pragma once
#include "AHMCustomDialog.h"
#include "Events.h"

#include <QStringList>
#include <cstdint>
#include <set>

class QMessageBox;

enum TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll, mbHelp };
using TMsgDlgButtons = std::set<TMsgDlgBtn>;

// A message box prepared in a window's design: running it beeps, shows the lines in a modal
// dialog, keeps the answer in Return and fires the event of the button that closed it.
class TAHMMsgBox : public TAHMCustomDialog {
    Q_OBJECT
public:
    // Stands in for the dialog's exec(): gets the prepared box, returns the QMessageBox button
    // pressed (QMessageBox::Close for the close box).
    using ExecHook = std::function<int(QMessageBox &box)>;

    explicit TAHMMsgBox(QObject *owner = nullptr);

    const QStringList &Caption() const { return m_caption; }
    void SetCaption(const QStringList &value) { m_caption = value; }
    TMsgDlgType MessageType() const { return m_messageType; }
    void SetMessageType(TMsgDlgType value) { m_messageType = value; }
    const TMsgDlgButtons &Buttons() const { return m_buttons; }
    void SetButtons(const TMsgDlgButtons &value) { m_buttons = value; }
    std::uint16_t Return() const { return m_return; }
    int HelpContext() const { return m_helpContext; }
    void SetHelpContext(int value) { m_helpContext = value; }
    int XPosition() const { return m_xPosition; }
    void SetXPosition(int value);
    int YPosition() const { return m_yPosition; }
    void SetYPosition(int value);

    // Beeps, shows the dialog modally, stores the answer and fires its event; true once closed.
    bool Execute() override;

    // Every line of Caption followed by a carriage return.
    QString MessageText() const;
    // The dialog's title for MessageType.
    QString Title() const;

    // Test seam: answers the boxes instead of a user. Never set by the program.
    static void setExecHook(ExecHook hook);

    TNotifyEvent OnYes;
    TNotifyEvent OnNo;
    TNotifyEvent OnOk;
    TNotifyEvent OnCancel;
    TNotifyEvent OnAbort;
    TNotifyEvent OnIgnore;
    TNotifyEvent OnRetry;
    TNotifyEvent OnAll;

private:
    void prepare(QMessageBox &box) const;
    void place(QMessageBox &box) const;
    static int ask(QMessageBox &box);
    void fireAnswer();

    QStringList m_caption;
    TMsgDlgType m_messageType = mtInformation;
    TMsgDlgButtons m_buttons{mbOK, mbCancel};
    std::uint16_t m_return = 0;
    int m_helpContext = 0;
    int m_xPosition = -1;
    int m_yPosition = -1;
};
