#include "IntegerText.h"

#include <stdexcept>

int integerOf(const QString &text)
{
    bool ok = !text.isEmpty() && !text.front().isSpace() && !text.back().isSpace();
    const int value = ok ? text.toInt(&ok, 10) : 0;
    if (!ok)
        throw std::invalid_argument(("'" + text + "' is not a valid integer value").toStdString());
    return value;
}

bool applyInteger(const QString &text, const std::function<void(int)> &target)
{
    if (text.isEmpty())
        return false;
    target(integerOf(text));
    return true;
}
