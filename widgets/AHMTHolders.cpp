#include "AHMTHolders.h"

TAHMStringHolder::TAHMStringHolder(QObject *owner) : TAHMComponent(owner) {}
