#include "ChangeNotifier.h"

ChangeNotifier::ChangeNotifier(QObject *owner) : QObject(owner) {}

void ChangeNotifier::notifyChange()
{
    emit changed();
    if (OnChange)
        OnChange(this);
}
