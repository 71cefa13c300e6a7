#include "HistoryFile.h"

#include "history/HistoryLocation.h"

#include <QRegularExpression>

QString HistoryFile::path()
{
    return QString::fromStdString(HistoryLocation::defaultFile());
}

QString HistoryFile::failureText(const QString &failure)
{
    static const QRegularExpression engineWords("^The history (.*) cannot be used: (.*)$",
                                                QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch words = engineWords.match(failure);
    if (!words.hasMatch())
        return "No se puede usar el historial: " + failure;
    return "No se puede usar el historial " + words.captured(1) + ": " + words.captured(2);
}
