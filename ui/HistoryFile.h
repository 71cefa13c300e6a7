#pragma once
#include <QString>

// The window's history: the file the command line keeps unless told otherwise, in the user's data
// folder under the program's own name (the application's name is its title, which its message
// boxes show, so Qt's application folder would be another).
class HistoryFile {
public:
    static QString path();
    // A history that cannot be used, told in the window's language: the engine's text names the file
    // and the database's reason.
    static QString failureText(const QString &failure);
};
