#include "HistoryFile.h"

#include "history/HistoryLocation.h"

#include <QStandardPaths>

QString HistoryFile::path()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data.isEmpty() ? data : data + '/' + Folder + '/' + HistoryLocation::FileName;
}
