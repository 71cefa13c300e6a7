#include "TNCCustomButton.h"

TNCCustomButton::TNCCustomButton(const QString &line, const QFont &font, QObject *owner) : TNCButton(owner)
{
    SetCaption(line);
    SetFont(font);
}
