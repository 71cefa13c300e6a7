#pragma once
#include <QRegularExpression>
#include <QString>

// Whether the whole of text matches pattern, for log lines that carry times.
inline bool matches(const QString &pattern, const QString &text)
{
    return QRegularExpression("^" + pattern + "$").match(text).hasMatch();
}
