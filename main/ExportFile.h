#pragma once
#include <QString>
#include <string>

// An export the pages write: whole through a temporary file, so that a failed one leaves what was
// there; a failure throws the window's text.
class ExportFile {
public:
    static void write(const QString &fileName, const std::string &bytes);
};
