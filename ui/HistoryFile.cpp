#include "HistoryFile.h"

#include "history/HistoryError.h"
#include "history/HistoryLocation.h"

QString HistoryFile::path()
{
    return QString::fromStdString(HistoryLocation::defaultFile());
}

QString HistoryFile::failureText(const HistoryError &failure)
{
    return "No se puede usar el historial " + QString::fromStdString(failure.file()) + ": " +
           QString::fromStdString(failure.reason());
}
