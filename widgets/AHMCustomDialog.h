#pragma once
#include "AHMExecComponent.h"

#include <functional>

enum TAHMBeeptype { bNone, bDefault, bAsterix, bExclamation, bQuestion, bCriticalStop };

// A dialog component that announces itself with a system sound.
class TAHMCustomDialog : public TAHMExecComponent {
    Q_OBJECT
public:
    using SoundHook = std::function<void(TAHMCustomDialog *Sender, unsigned soundType)>;

    explicit TAHMCustomDialog(QObject *owner = nullptr);

    TAHMBeeptype Sound() const { return m_sound; }
    void SetSound(TAHMBeeptype value) { m_sound = value; }

    // Plays Sound; a dialog that only beeps has not been run, hence false.
    bool Execute() override;

    // The system sound type of each value: 0 default, 0x10 stop, 0x20 question, 0x30
    // exclamation, 0x40 asterisk.
    static unsigned soundType(TAHMBeeptype sound);
    // Test seam: receives the sounds instead of the speaker. Never set by the program.
    static void setSoundHook(SoundHook hook);

protected:
    void playSound();

private:
    TAHMBeeptype m_sound = bNone;
};
