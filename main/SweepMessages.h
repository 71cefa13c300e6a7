#pragma once
#include <QString>
#include <string>

// The sweep's engine speaks English, as the command line it shares with the window does; the fast
// page shows its messages in the window's Spanish. A message of the system's own (why a socket
// could not be opened) is kept after the Spanish words that say what failed.
class SweepMessages {
public:
    static QString spanish(const std::string &engineText);
};
