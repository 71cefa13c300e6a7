#pragma once
#include <QString>

#include <exception>
#include <stdexcept>

// The message of the std::invalid_argument that step throws, "" when it throws none: input refused
// by name. Another exception is no refusal, and says so.
template <typename Step> QString refusalOf(Step step)
{
    try {
        step();
    } catch (const std::invalid_argument &e) {
        return QString::fromStdString(e.what());
    } catch (const std::exception &e) {
        return QString("not refused but failed: ") + e.what();
    }
    return QString();
}
