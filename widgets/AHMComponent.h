#pragma once
#include <QObject>

// Root of the non-visual components that a window places in its design.
class TAHMComponent : public QObject {
    Q_OBJECT
public:
    explicit TAHMComponent(QObject *owner = nullptr);
};
