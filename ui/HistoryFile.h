#pragma once
#include <QString>

// The window's history: the file the command line keeps unless told otherwise, in the user's data
// folder. The application is named by its title, which its message boxes show, so the folder is
// the program's own name under the generic data folder rather than the application's.
class HistoryFile {
public:
    static constexpr const char *Folder = "tozelo";
    static QString path();
    // A history that cannot be used, told in the window's language: the engine's text names the file
    // and the database's reason.
    static QString failureText(const QString &failure);
};
