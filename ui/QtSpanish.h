#pragma once
#include <QString>

// Qt's own texts (the buttons of message boxes, the file dialogs) in the window's Spanish, whatever
// the user's locale: the window's own texts are Spanish everywhere.
class QtSpanish {
public:
    // Where Qt keeps its translations; the Spanish one is qtbase_es.qm there.
    static QString translationsPath();
    // Installs the translation on the running application; false when it is not installed on this
    // system, and the standard dialogs then keep Qt's English.
    static bool install();
};
