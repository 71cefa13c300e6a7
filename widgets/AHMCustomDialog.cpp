#include "AHMCustomDialog.h"

#include <QApplication>

namespace {
TAHMCustomDialog::SoundHook &soundHook()
{
    static TAHMCustomDialog::SoundHook hook;
    return hook;
}
} // namespace

TAHMCustomDialog::TAHMCustomDialog(QObject *owner) : TAHMExecComponent(owner) {}

bool TAHMCustomDialog::Execute()
{
    playSound();
    return false;
}

unsigned TAHMCustomDialog::soundType(TAHMBeeptype sound)
{
    switch (sound) {
    case bAsterix: return 0x40;
    case bExclamation: return 0x30;
    case bQuestion: return 0x20;
    case bCriticalStop: return 0x10;
    case bNone:
    case bDefault: break;
    }
    return 0;
}

void TAHMCustomDialog::setSoundHook(SoundHook hook)
{
    soundHook() = std::move(hook);
}

void TAHMCustomDialog::playSound()
{
    if (m_sound == bNone)
        return;
    if (soundHook())
        soundHook()(this, soundType(m_sound));
    else
        QApplication::beep();
}
