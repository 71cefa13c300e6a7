#include "IntegerText.h"

#include "echo/Notation.h"

#include <optional>
#include <stdexcept>

int integerOf(const QString &text)
{
    const std::string digits = text.toStdString();
    const std::optional<int> value = Notation::wholeNumber(digits);
    if (!value)
        throw std::invalid_argument(Notation::notWholeNumber(digits));
    return *value;
}

bool applyInteger(const QString &text, const std::function<void(int)> &target)
{
    if (text.isEmpty())
        return false;
    target(integerOf(text));
    return true;
}
