#include "AHMExecComponent.h"

TAHMExecComponent::TAHMExecComponent(QObject *owner) : TAHMComponent(owner) {}

bool TAHMExecComponent::Execute()
{
    return false;
}
