#pragma once
#include "AHMComponent.h"

// A component that is run: a dialog or a splash screen.
class TAHMExecComponent : public TAHMComponent {
    Q_OBJECT
public:
    explicit TAHMExecComponent(QObject *owner = nullptr);

    virtual bool Execute();
};
