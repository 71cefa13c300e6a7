#pragma once
#include <functional>

class QObject;

// The plain notification of the widget kit; the engine declares the same alias.
using TNotifyEvent = std::function<void(QObject *Sender)>;
