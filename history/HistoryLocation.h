#pragma once
#include <string>

// Where the history is kept unless told otherwise: the user's data folder, $XDG_DATA_HOME/tozelo
// or ~/.local/share/tozelo, as the window's application data folder is.
class HistoryLocation {
public:
    static constexpr const char *FileName = "history.sqlite";

    // The file in that folder; empty when neither variable gives a folder.
    static std::string defaultFile();
    // Makes the folders up to the file's own, as the user alone may read them.
    static void makeFolderOf(const std::string &file);
};
