#pragma once
#include <QString>

class HistoryError;

// The window's history: the file the command line keeps unless told otherwise, in the user's data
// folder under the program's own name (the application's name is its title, which its message
// boxes show, so Qt's application folder would be another).
class HistoryFile {
public:
    static QString path();
    // A history that cannot be used, told in the window's language; the reason is the database's own.
    static QString failureText(const HistoryError &failure);
};
