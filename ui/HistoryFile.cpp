#include "HistoryFile.h"

#include "history/HistoryLocation.h"

#include <QRegularExpression>
#include <QStandardPaths>

QString HistoryFile::path()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data.isEmpty() ? data : data + '/' + Folder + '/' + HistoryLocation::FileName;
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
