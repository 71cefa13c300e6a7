#include "AHMComponent.h"

TAHMComponent::TAHMComponent(QObject *owner) : QObject(owner) {}
