#pragma once
#include "history/WallClock.h"

#include <QString>
#include <functional>
#include <optional>

class QFileDialog;
class QMessageBox;

// Hooks through which tests answer what a user would answer. The shipped program never sets them,
// and nothing here is read from the environment.
struct TestSeams {
    std::optional<int> splashDelayMs;
    // Stands in for the dialog's exec(): the chosen file, or an empty text for Cancel.
    std::function<QString(QFileDialog &dialog)> fileDialog;
    // Stands in for the box's exec(): the button pressed.
    std::function<int(QMessageBox &box)> messageBox;
    // The wall clock of the re-ping walk's history and of the Monitor.
    const WallClock *clock = nullptr;

    static TestSeams &instance();
};

// The dialog's exec() as tests answer it: the chosen file, or an empty text for Cancel.
QString execFileDialog(QFileDialog &dialog);

// The wall clock the windows keep their history by: the system's, unless a test gives its own.
const WallClock &windowClock();
