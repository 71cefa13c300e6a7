#include "ExportFile.h"

#include <QSaveFile>
#include <stdexcept>

void ExportFile::write(const QString &fileName, const std::string &bytes)
{
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()) ||
        !file.commit())
        throw std::runtime_error(("No se pudo guardar " + fileName + ": " + file.errorString()).toStdString());
}
