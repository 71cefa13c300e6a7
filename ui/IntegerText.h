#pragma once
#include <QString>
#include <functional>

// The numeric fields hold text; the windows read it as a whole decimal number of the int range.
// Throws std::invalid_argument with the general error report's text otherwise.
int integerOf(const QString &text);

// Hands a field's text to target as a number; an empty text applies nothing and gives false.
bool applyInteger(const QString &text, const std::function<void(int)> &target);
