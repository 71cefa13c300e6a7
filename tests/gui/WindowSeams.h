#pragma once
#include "ui/TestSeams.h"
#include "widgets/AHMTMessages.h"

#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStringList>

// Answers every box the windows show, as a user pressing OK would, and keeps what each showed:
// the general error report's text, and a message box component's title, icon, lines and sound.
class WindowSeams {
public:
    struct Message {
        QString title;
        QMessageBox::Icon icon;
        QStringList lines;
        unsigned sound;
    };

    WindowSeams()
    {
        TestSeams &seams = TestSeams::instance();
        seams.splashDelayMs = 0;
        seams.messageBox = [this](QMessageBox &box) {
            reports << box.text();
            return int(QMessageBox::Ok);
        };
        TAHMCustomDialog::setSoundHook([this](TAHMCustomDialog *, unsigned type) { m_sound = type; });
        TAHMMsgBox::setExecHook([this](QMessageBox &box) {
            messages.append({box.windowTitle(), box.icon(), box.text().split('\n'), m_sound});
            return int(QMessageBox::Ok);
        });
    }

    ~WindowSeams()
    {
        TestSeams::instance().messageBox = nullptr;
        TAHMCustomDialog::setSoundHook(nullptr);
        TAHMMsgBox::setExecHook(nullptr);
    }

    void clear()
    {
        reports.clear();
        messages.clear();
    }

    QStringList reports;
    QList<Message> messages;

private:
    unsigned m_sound = 0;
};

inline QStringList linesOf(const QPlainTextEdit *memo)
{
    const QString text = memo->toPlainText();
    return text.isEmpty() ? QStringList() : text.split('\n');
}
