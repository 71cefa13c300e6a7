#pragma once
#include "TNCButton.h"

// A caption button made from one line of the caption bar's custom button list; it shows the
// first character of that line.
class TNCCustomButton : public TNCButton {
    Q_OBJECT
public:
    explicit TNCCustomButton(const QString &line, const QFont &font, QObject *owner = nullptr);
};
